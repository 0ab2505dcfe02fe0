// The packet split, the handshake readers, bundles of packed game messages
// and the LAN game packets on arbitrary bytes. Whatever a bundle restores
// must pack back to exactly the bytes it was read from: one form for each
// message.

#include <enet/enet.h>

#include <algorithm>
#include <cstdlib>

#include "net/LanDiscovery.h"
#include "net/WireProtocol.h"
#include "platform/TextCleaning.h"
#include "rules/PackedForm.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* const data, const std::size_t size) {
    isLanRequest(data, size);
    if (const std::optional<LanGame> game = decodeLanReply(data, size)) {
        // What was read writes back no larger than a request.
        // What was read writes back no larger than a request, and its text is
        // clean: one line of well-formed characters.
        if (encodeLanReply(*game).size() > LAN_REQUEST_SIZE ||
            cleanText(game->hostName, LAN_NAME_BYTES) != game->hostName ||
            cleanText(game->map, LAN_MAP_BYTES) != game->map) {
            std::abort();
        }
    }
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
    readChallenge(received->payload, received->size);
    readProof(received->payload, received->size);
    if (readHelloName(received->payload, received->size).size() > MAX_HELLO_NAME) {
        std::abort();
    }
    const std::uint8_t*       at  = received->payload;
    const std::uint8_t* const end = received->payload + received->size;
    std::vector<std::uint8_t> repacked;
    while (const std::optional<MessageBuffer> message = gameWireForm().unpack(at, end)) {
        if (!gameWireForm().pack(message->data(), message->size(), repacked) ||
            repacked.size() != static_cast<std::size_t>(at - received->payload) ||
            !std::equal(repacked.begin(), repacked.end(), received->payload)) {
            std::abort();
        }
    }
    return 0;
}
