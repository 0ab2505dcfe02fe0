#include "net/DatagramGuard.h"

#include <enet/protocol.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <utility>

namespace {

// The smallest fragment a sender ENet would be makes: a minimum MTU less
// the headers, rounded down.
constexpr std::uint32_t SMALLEST_FRAGMENT = 512;

std::uint16_t bigEndian16(const std::uint8_t* const at) {
    return static_cast<std::uint16_t>(at[0] << 8 | at[1]);
}

std::uint32_t bigEndian32(const std::uint8_t* const at) {
    return static_cast<std::uint32_t>(at[0]) << 24 | static_cast<std::uint32_t>(at[1]) << 16 |
           static_cast<std::uint32_t>(at[2]) << 8 | at[3];
}

// Whether the commands hold no fragment that claims more pieces than its
// packet's length allows. What ENet itself would refuse is left to it.
bool areCommandsSound(const std::uint8_t* at, const std::uint8_t* const end) {
    while (end - at >= static_cast<std::ptrdiff_t>(sizeof(ENetProtocolCommandHeader))) {
        const std::uint8_t number = at[0] & ENET_PROTOCOL_COMMAND_MASK;
        const std::size_t  size   = enet_protocol_command_size(number);
        if (size == 0 || end - at < static_cast<std::ptrdiff_t>(size)) {
            return true;
        }
        std::size_t data = 0;
        if (number == ENET_PROTOCOL_COMMAND_SEND_FRAGMENT || number == ENET_PROTOCOL_COMMAND_SEND_UNRELIABLE_FRAGMENT) {
            const std::uint32_t count = bigEndian32(at + offsetof(ENetProtocolSendFragment, fragmentCount));
            const std::uint32_t total = bigEndian32(at + offsetof(ENetProtocolSendFragment, totalLength));
            if (count > total / SMALLEST_FRAGMENT + 1) {
                return false;
            }
            data = bigEndian16(at + offsetof(ENetProtocolSendFragment, dataLength));
        } else if (number == ENET_PROTOCOL_COMMAND_SEND_RELIABLE) {
            data = bigEndian16(at + offsetof(ENetProtocolSendReliable, dataLength));
        } else if (number == ENET_PROTOCOL_COMMAND_SEND_UNRELIABLE) {
            data = bigEndian16(at + offsetof(ENetProtocolSendUnreliable, dataLength));
        } else if (number == ENET_PROTOCOL_COMMAND_SEND_UNSEQUENCED) {
            data = bigEndian16(at + offsetof(ENetProtocolSendUnsequenced, dataLength));
        }
        if (static_cast<std::size_t>(end - at) < size + data) {
            return true;  // cut short: ENet refuses it itself
        }
        at += size + data;
    }
    return true;
}

// The decompressor of the thread that services a host, kept for its life.
struct RangeCoder {
    void* const context = enet_range_coder_create();
    RangeCoder()        = default;
    ~RangeCoder() { enet_range_coder_destroy(context); }
    RangeCoder(const RangeCoder&)            = delete;
    RangeCoder& operator=(const RangeCoder&) = delete;
};

// A test's wiretap: set on one thread while the hosts' service threads call
// it, so it is swapped and called under a lock, which nobody pays for while
// no one watches.
std::mutex                                            watcherLock;
std::atomic<bool>                                     watching{false};
std::function<void(const std::uint8_t*, std::size_t)> datagramWatcher;

int interceptDatagram(ENetHost* const host, ENetEvent* /*event*/) {
    if (watching.load(std::memory_order_acquire)) {
        const std::lock_guard<std::mutex> guard(watcherLock);
        if (datagramWatcher) {
            datagramWatcher(host->receivedData, host->receivedDataLength);
        }
    }
    static thread_local std::uint8_t scratch[ENET_PROTOCOL_MAXIMUM_MTU];
    static thread_local RangeCoder   coder;
    return isDatagramSound(host->receivedData, host->receivedDataLength, coder.context, scratch) ? 0 : 1;
}

}  // namespace

bool isDatagramSound(const std::uint8_t* const data, const std::size_t size, void* const rangeCoder,
                     std::uint8_t* const scratch) {
    if (size < 2) {
        return true;
    }
    const std::uint16_t flags      = bigEndian16(data) & ENET_PROTOCOL_HEADER_FLAG_MASK;
    const std::size_t   headerSize = (flags & ENET_PROTOCOL_HEADER_FLAG_SENT_TIME) != 0 ? 4 : 2;
    if (size < headerSize) {
        return true;
    }
    if ((flags & ENET_PROTOCOL_HEADER_FLAG_COMPRESSED) == 0) {
        return areCommandsSound(data + headerSize, data + size);
    }
    const std::size_t commands = enet_range_coder_decompress(rangeCoder, data + headerSize, size - headerSize, scratch,
                                                             ENET_PROTOCOL_MAXIMUM_MTU);
    return commands == 0 || areCommandsSound(scratch, scratch + commands);
}

void watchDatagrams(std::function<void(const std::uint8_t*, std::size_t)> watcher) {
    const std::lock_guard<std::mutex> guard(watcherLock);
    watching        = static_cast<bool>(watcher);
    datagramWatcher = std::move(watcher);
}

void guardDatagrams(ENetHost* const host, const std::size_t maximumWaitingBytes) {
    host->intercept          = interceptDatagram;
    host->maximumWaitingData = maximumWaitingBytes;
}
