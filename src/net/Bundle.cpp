#include "net/Bundle.h"

#include "net/WireProtocol.h"

namespace {

// ENet splits a packet into fragments when it outgrows the path's MTU less
// its protocol header and a fragment command.
constexpr std::size_t ENET_OVERHEAD = sizeof(ENetProtocolHeader) + sizeof(ENetProtocolSendFragment);

// What a datagram of one reliable packet carries besides it: IPv4 and UDP
// headers, ENet's header with its sent time, and the send command.
constexpr std::size_t DATAGRAM_HEADERS = 20 + 8 + sizeof(ENetProtocolHeader) + sizeof(ENetProtocolSendReliable);

}  // namespace

ENetPacket* BundleBuilder::add(const std::uint8_t* const packed, const std::size_t size, const bool isReliable,
                               const bool isUrgent, const std::size_t limit) {
    ENetPacket* ready = nullptr;
    if (!empty() && (isReliable != reliable || bytes.size() + size > limit)) {
        ready = take();
    }
    if (bytes.empty()) {
        bytes.push_back(static_cast<std::uint8_t>(PacketKind::bundle));
        reliable = isReliable;
    }
    urgent = urgent || isUrgent;
    bytes.insert(bytes.end(), packed, packed + size);
    return ready;
}

bool BundleBuilder::leavesAtFrameEnd() {
    if (empty() || urgent || framesHeld > 0 || bytes.size() >= DATAGRAM_HEADERS) {
        return true;
    }
    ++framesHeld;
    return false;
}

ENetPacket* BundleBuilder::take() {
    urgent     = false;
    framesHeld = 0;
    if (empty()) {
        bytes.clear();
        return nullptr;
    }
    ENetPacket* const packet = enet_packet_create(bytes.data(), bytes.size(), reliable ? ENET_PACKET_FLAG_RELIABLE : 0);
    bytes.clear();
    return packet;
}

std::size_t bundleLimit(const ENetPeer& peer) {
    return peer.mtu > ENET_OVERHEAD ? peer.mtu - ENET_OVERHEAD : ENET_PROTOCOL_MINIMUM_MTU - ENET_OVERHEAD;
}

bool readBundle(const IWireForm& form, const std::uint8_t* const payload, const std::size_t size,
                std::vector<MessageBuffer>& messages) {
    const std::uint8_t*       at  = payload;
    const std::uint8_t* const end = payload + size;
    while (at < end) {
        std::optional<MessageBuffer> message = form.unpack(at, end);
        if (!message || message->size() > MAX_MESSAGE_SIZE) {
            return false;
        }
        messages.push_back(std::move(*message));
    }
    return true;
}
