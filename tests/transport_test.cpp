// What the transport refuses before ENet reads it.

#include <enet/enet.h>
#include <enet/protocol.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "net/DatagramGuard.h"

namespace {

TEST(Datagrams, AFragmentClaimingMorePiecesThanItsPacketHasIsRefused) {
    void* const  coder = enet_range_coder_create();
    std::uint8_t scratch[ENET_PROTOCOL_MAXIMUM_MTU];
    for (const bool compressed : {false, true}) {
        for (const std::uint32_t count : {47u, 1u << 20}) {  // a bitmap of 128 KiB for a packet of 64
            SCOPED_TRACE(::testing::Message() << (compressed ? "compressed, " : "plain, ") << count << " pieces");
            // One fragment command and its data, as a sender's ENet lays it out.
            ENetProtocolSendFragment fragment{};
            fragment.header.command = ENET_PROTOCOL_COMMAND_SEND_FRAGMENT | ENET_PROTOCOL_COMMAND_FLAG_ACKNOWLEDGE;
            fragment.dataLength     = ENET_HOST_TO_NET_16(24);
            fragment.fragmentCount  = ENET_HOST_TO_NET_32(count);
            fragment.totalLength    = ENET_HOST_TO_NET_32(65536);
            std::vector<std::uint8_t> datagram(2 + ENET_PROTOCOL_MAXIMUM_MTU, 0x55);
            datagram[0] = compressed ? ENET_PROTOCOL_HEADER_FLAG_COMPRESSED >> 8 : 0;
            std::memcpy(&datagram[2], &fragment, sizeof fragment);
            std::size_t size = 2 + sizeof fragment + 24;
            if (compressed) {
                const std::vector<std::uint8_t> commands(datagram.begin() + 2, datagram.begin() + size);
                const ENetBuffer                input{const_cast<std::uint8_t*>(commands.data()), commands.size()};
                size = 2 + enet_range_coder_compress(coder, &input, 1, commands.size(), &datagram[2], 1024);
            }
            EXPECT_EQ(isDatagramSound(datagram.data(), size, coder, scratch), count == 47u);
            // Cut short, it is ENet's to refuse; the look reads no further than its end.
            EXPECT_TRUE(compressed || isDatagramSound(datagram.data(), size - 10, coder, scratch) || count != 47u);
        }
    }
    enet_range_coder_destroy(coder);
}

}  // namespace
