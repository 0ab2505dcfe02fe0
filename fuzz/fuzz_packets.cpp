// The packet split and the handshake readers on arbitrary packets.

#include <enet/enet.h>

#include "net/WireProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* const data, const std::size_t size) {
    ENetPacket packet{};
    packet.data                                  = const_cast<enet_uint8*>(data);
    packet.dataLength                            = size;
    const std::optional<ReceivedPacket> received = readPacket(packet);
    if (!received) {
        return 0;
    }
    Guid          guid{};
    std::uint32_t playerId = 0;
    readHelloGuid(received->payload, received->size, guid);
    readWelcomeId(received->payload, received->size, playerId);
    readsAsNotice(received->payload, received->size);
    return 0;
}
