// What the transport refuses before ENet reads it.

#include <enet/enet.h>
#include <enet/protocol.h>
#include <gtest/gtest.h>

#include <vector>

#include "net/DatagramGuard.h"

namespace {

// A datagram of one fragment command, as a sender's ENet lays it out, its
// commands compressed with ENet's range coder when asked.
std::vector<std::uint8_t> fragmentDatagram(const std::uint32_t count, const std::uint32_t total,
                                           const bool compressed) {
    ENetProtocolSendFragment fragment{};
    fragment.header.command = ENET_PROTOCOL_COMMAND_SEND_FRAGMENT | ENET_PROTOCOL_COMMAND_FLAG_ACKNOWLEDGE;
    fragment.dataLength     = ENET_HOST_TO_NET_16(24);
    fragment.fragmentCount  = ENET_HOST_TO_NET_32(count);
    fragment.totalLength    = ENET_HOST_TO_NET_32(total);
    std::vector<std::uint8_t> commands(reinterpret_cast<const std::uint8_t*>(&fragment),
                                       reinterpret_cast<const std::uint8_t*>(&fragment) + sizeof fragment);
    commands.resize(commands.size() + 24, 0x55);
    std::vector<std::uint8_t> datagram(2 + ENET_PROTOCOL_MAXIMUM_MTU);
    datagram[1] = 0x01;  // peer 1, no sent time
    datagram.resize(2);
    if (!compressed) {
        datagram.insert(datagram.end(), commands.begin(), commands.end());
        return datagram;
    }
    datagram[0] |= ENET_PROTOCOL_HEADER_FLAG_COMPRESSED >> 8;
    void* const       coder = enet_range_coder_create();
    const ENetBuffer  input{commands.data(), commands.size()};
    std::uint8_t      packed[ENET_PROTOCOL_MAXIMUM_MTU];
    const std::size_t size = enet_range_coder_compress(coder, &input, 1, commands.size(), packed, sizeof packed);
    enet_range_coder_destroy(coder);
    datagram.insert(datagram.end(), packed, packed + size);
    return datagram;
}

TEST(Datagrams, AFragmentClaimingMorePiecesThanItsPacketHasIsRefused) {
    void* const  coder = enet_range_coder_create();
    std::uint8_t scratch[ENET_PROTOCOL_MAXIMUM_MTU];
    for (const bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "compressed" : "plain");
        const std::vector<std::uint8_t> honest  = fragmentDatagram(47, 65536, compressed);
        const std::vector<std::uint8_t> hostile = fragmentDatagram(1u << 20, 65536, compressed);
        EXPECT_TRUE(isDatagramSound(honest.data(), honest.size(), coder, scratch));
        EXPECT_FALSE(isDatagramSound(hostile.data(), hostile.size(), coder, scratch))
            << "a bitmap of 128 KiB for a packet of 64";
        EXPECT_TRUE(isDatagramSound(honest.data(), honest.size() - 10, coder, scratch))
            << "a datagram cut short is ENet's to refuse, and read no further than its end";
    }
    enet_range_coder_destroy(coder);
}

}  // namespace
