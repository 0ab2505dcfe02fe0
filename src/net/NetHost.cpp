#include "net/NetHost.h"

#include <enet/time.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>

#include "net/DatagramGuard.h"
#include "net/NetTypes.h"
#include "net/WireProtocol.h"

namespace {

// How long the service thread sleeps on a silent socket: the bound on how
// late a close is noticed and how far apart ENet's resend timers are checked.
constexpr enet_uint32 SOCKET_WAIT_MS = 5;
constexpr int         PASS_PAUSE_US  = 1000;
constexpr enet_uint32 MIN_RESEND_MS  = 100;
constexpr enet_uint32 MAX_RESEND_MS  = 500;

// Socket buffers: ENet's own 256 KiB hold about 40 ms of 255 players'
// datagrams, and a host busy for longer lost some. A host gets 16 KiB for
// each peer it takes, up to 4 MiB; a player keeps ENet's size.
constexpr int SOCKET_BUFFER_PER_PEER = 16 * 1024;
constexpr int MIN_SOCKET_BUFFER      = 256 * 1024;
constexpr int MAX_SOCKET_BUFFER      = 4 * 1024 * 1024;

void initializeEnetOnce() {
    static const bool ENET_INITIALIZED = [] {
        const bool ok = enet_initialize() == 0;
        if (ok) {
            std::atexit(enet_deinitialize);
        }
        return ok;
    }();
    (void)ENET_INITIALIZED;
}

}  // namespace

enet_uint32 monotonicMs() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<enet_uint32>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

NetHost::~NetHost() {
    stop();
    if (host != nullptr) {
        enet_host_destroy(host);
    }
    if (wake >= 0) {
        ::close(wake);
    }
}

bool NetHost::create(const ENetAddress* const address, const std::size_t peerCount) {
    initializeEnetOnce();
    host = enet_host_create(address, peerCount, 1, 0, 0);
    if (host == nullptr) {
        return false;
    }
    // ENet refuses much larger packets before it gathers their fragments;
    // the receivers drop anything above MAX_MESSAGE_SIZE themselves. A
    // bundle of the largest message still fits: its packed form is smaller.
    host->maximumPacketSize = MAX_MESSAGE_SIZE + 16;
    // No compression: packed messages leave a range coder little to take,
    // at the largest part of a busy host's time (docs/performance.md).
    // A peer holds at most two of the largest messages half-received.
    guardDatagrams(host, 2 * MAX_MESSAGE_SIZE);
    sizeSocketBuffers();
    wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    lastHeard.assign(host->peerCount, 0);
    bundles.assign(host->peerCount, BundleBuilder{});
    lossesSeen.assign(host->peerCount, 0);
    incomingSeen.assign(host->peerCount, 0);
    outgoingSeen.assign(host->peerCount, 0);
    return true;
}

void NetHost::sizeSocketBuffers() {
    const int wanted =
        std::clamp(static_cast<int>(host->peerCount) * SOCKET_BUFFER_PER_PEER, MIN_SOCKET_BUFFER, MAX_SOCKET_BUFFER);
    enet_socket_set_option(host->socket, ENET_SOCKOPT_RCVBUF, wanted);
    enet_socket_set_option(host->socket, ENET_SOCKOPT_SNDBUF, wanted);
    // The system caps both at its net.core.[rw]mem_max; a process with
    // CAP_NET_ADMIN (root's) may go past the cap.
    const auto granted = [&](const int option) {
        int       size   = 0;
        socklen_t length = sizeof size;
        // Linux reports twice what was set, for its own bookkeeping.
        return ::getsockopt(host->socket, SOL_SOCKET, option, &size, &length) == 0 ? size / 2 : 0;
    };
    for (const auto& [option, forced] : {std::pair{SO_RCVBUF, SO_RCVBUFFORCE}, std::pair{SO_SNDBUF, SO_SNDBUFFORCE}}) {
        if (granted(option) < wanted) {
            ::setsockopt(host->socket, SOL_SOCKET, forced, &wanted, sizeof wanted);
        }
    }
    buffers = {wanted, granted(SO_RCVBUF), granted(SO_SNDBUF)};
}

void NetHost::start(std::function<void(ENetHost*)> newServiceLocked, std::function<void()> newHandOver) {
    serviceLocked = std::move(newServiceLocked);
    handOver      = std::move(newHandOver);
    stopping      = false;
    thread        = std::thread(&NetHost::serviceLoop, this);
}

void NetHost::capResendWaits() {
    // ENet doubles the wait before each resend of a reliable packet without
    // bound, and everything after a lost packet waits for it: on a lossy link
    // a third loss in a row held a game's messages back for seconds. A game
    // would rather resend sooner: at most every two round trips, within
    // 100 to 500 ms. ENet doubles a wait only where it counts a loss, so
    // only the peers that lost something since the last pass are looked at.
    for (ENetPeer* peer = host->peers; peer < host->peers + host->peerCount; ++peer) {
        std::uint32_t& seen = lossesSeen[static_cast<std::size_t>(peer - host->peers)];
        if (peer->packetsLost == seen) {
            continue;
        }
        seen = peer->packetsLost;
        if (peer->state != ENET_PEER_STATE_CONNECTED || enet_list_empty(&peer->sentReliableCommands)) {
            continue;
        }
        const enet_uint32 cap = std::clamp<enet_uint32>(2 * peer->roundTripTime, MIN_RESEND_MS, MAX_RESEND_MS);
        for (ENetListIterator entry                                     = enet_list_begin(&peer->sentReliableCommands);
             entry != enet_list_end(&peer->sentReliableCommands); entry = enet_list_next(entry)) {
            auto* const command       = reinterpret_cast<ENetOutgoingCommand*>(entry);
            command->roundTripTimeout = std::min(command->roundTripTimeout, cap);
        }
        const auto* const oldest =
            reinterpret_cast<const ENetOutgoingCommand*>(enet_list_front(&peer->sentReliableCommands));
        const enet_uint32 due = oldest->sentTime + oldest->roundTripTimeout;
        if (ENET_TIME_LESS(due, peer->nextTimeout)) {
            peer->nextTimeout = due;
        }
    }
}

double NetHost::serviceCpuSeconds() {
    clockid_t clock = 0;
    timespec  used{};
    if (!thread.joinable() || pthread_getcpuclockid(thread.native_handle(), &clock) != 0 ||
        clock_gettime(clock, &used) != 0) {
        return 0.0;
    }
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
}

void NetHost::stop() {
    stopping = true;
    if (thread.joinable()) {
        thread.join();
    }
}

void NetHost::requestFlush() const {
    if (wake >= 0) {
        const std::uint64_t            one     = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake, &one, sizeof one);
    }
}

void NetHost::serviceLoop() {
    while (!stopping) {
        // Wakes for a datagram, for a flush the game asked for, or after the wait.
        pollfd ready[2] = {{host->socket, POLLIN, 0}, {wake, POLLIN, 0}};
        if (::poll(ready, wake >= 0 ? 2 : 1, static_cast<int>(SOCKET_WAIT_MS)) > 0 &&
            (ready[1].revents & POLLIN) != 0) {
            std::uint64_t                  count = 0;
            [[maybe_unused]] const ssize_t got   = ::read(wake, &count, sizeof count);
        }
        {
            const std::lock_guard<std::mutex> guard(lock);
            if (!framed) {
                sendBundles();
            }
            capResendWaits();
            serviceLocked(host);
        }
        handOver();
        // With many peers every datagram would wake a pass over all of
        // them; a short pause lets a pass take what arrived meanwhile.
        std::this_thread::sleep_for(std::chrono::microseconds(PASS_PAUSE_US));
    }
}

bool NetHost::queue(ENetPeer* const peer, ENetPacket* const packet) {
    if (packet == nullptr) {
        return false;
    }
    if (enet_peer_send(peer, 0, packet) != 0) {
        enet_packet_destroy(packet);
        return false;
    }
    return true;
}

bool NetHost::bundle(ENetPeer& peer, const std::vector<std::uint8_t>& packed, const std::uint32_t sendFlags) {
    const bool     reliable = (sendFlags & DPNSEND_GUARANTEED) != 0;
    const bool     urgent   = (sendFlags & DPNSEND_PRIORITY_LOW) == 0;
    BundleBuilder& builder  = bundles[static_cast<std::size_t>(&peer - host->peers)];
    if (ENetPacket* const full = builder.add(packed.data(), packed.size(), reliable, urgent, bundleLimit(peer));
        full != nullptr && !queue(&peer, full)) {
        return false;
    }
    if ((sendFlags & DPNSEND_SYNC) != 0) {
        return sendNow(&peer, builder.take());
    }
    return true;
}

void NetHost::sendBundle(ENetPeer& peer) {
    if (ENetPacket* const packet = bundles[static_cast<std::size_t>(&peer - host->peers)].take()) {
        queue(&peer, packet);
    }
}

void NetHost::sendBundles() {
    for (ENetPeer* peer = host->peers; peer < host->peers + host->peerCount; ++peer) {
        // A peer gone or not yet connected has nothing bundled worth sending.
        if (peer->state == ENET_PEER_STATE_CONNECTED) {
            sendBundle(*peer);
        } else {
            enet_packet_destroy(bundles[static_cast<std::size_t>(peer - host->peers)].take());
        }
    }
}

void NetHost::endFrame() {
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (host == nullptr) {
            return;
        }
        framed = true;
        for (ENetPeer* peer = host->peers; peer < host->peers + host->peerCount; ++peer) {
            if (peer->state == ENET_PEER_STATE_CONNECTED &&
                bundles[static_cast<std::size_t>(peer - host->peers)].leavesAtFrameEnd()) {
                sendBundle(*peer);
            }
        }
    }
    requestFlush();
}

void NetHost::heard(const ENetPeer& peer, const enet_uint32 now) {
    lastHeard[static_cast<std::size_t>(&peer - host->peers)] = now;
}

void NetHost::connected(ENetPeer& peer, const enet_uint32 now) {
    heard(peer, now);
    // Whatever was bundled for the slot's last peer is not for this one.
    enet_packet_destroy(bundles[static_cast<std::size_t>(&peer - host->peers)].take());
    // ENet drops unreliable packets when round trips grow, and on a lossy
    // link it throttles them down to nothing. The only unreliable packets
    // here are heartbeats, which must get through most of all.
    peer.packetThrottle             = ENET_PEER_PACKET_THROTTLE_SCALE;
    peer.packetThrottleDeceleration = 0;
}

std::vector<ENetPeer*> NetHost::keepAlive(const enet_uint32 now) {
    std::vector<ENetPeer*> silent;
    const bool             beat = now - lastHeartbeat >= HEARTBEAT_PERIOD_MS;
    if (beat) {
        lastHeartbeat = now;
    }
    bool sent = false;
    for (ENetPeer* peer = host->peers; peer < host->peers + host->peerCount; ++peer) {
        if (peer->state != ENET_PEER_STATE_CONNECTED) {
            continue;
        }
        const auto index = static_cast<std::size_t>(peer - host->peers);
        // Any datagram counts, even one whose packet ENet holds back behind a
        // lost one: ENet adds each to the peer's incoming bytes (and clears
        // them every second).
        if (peer->incomingDataTotal != incomingSeen[index]) {
            incomingSeen[index] = peer->incomingDataTotal;
            lastHeard[index]    = now;
        }
        if (now - lastHeard[index] > SILENCE_LIMIT_MS) {
            silent.push_back(peer);
        } else if (beat && peer->outgoingDataTotal == outgoingSeen[index]) {
            // Nothing else went to it since the last beat: the peer would
            // hear nothing from this end.
            queue(peer, makeHeartbeat());
            sent = true;
        }
        if (beat) {
            outgoingSeen[index] = peer->outgoingDataTotal;
        }
    }
    if (sent) {
        enet_host_flush(host);
    }
    return silent;
}

bool NetHost::sendNow(ENetPeer* const peer, ENetPacket* const packet) {
    if (!queue(peer, packet)) {
        return false;
    }
    enet_host_flush(host);
    return true;
}

void NetHost::disconnectAll(const enet_uint32 reason, const enet_uint32 timeoutMs) {
    const std::lock_guard<std::mutex> guard(lock);
    if (host == nullptr) {
        return;
    }
    sendBundles();
    std::size_t waiting = 0;
    for (ENetPeer* peer = host->peers; peer < host->peers + host->peerCount; ++peer) {
        if (peer->state == ENET_PEER_STATE_CONNECTED) {
            // Later, not now: guaranteed messages still queued go out first.
            enet_peer_disconnect_later(peer, reason);
            ++waiting;
        } else if (peer->state != ENET_PEER_STATE_DISCONNECTED) {
            enet_peer_reset(peer);
        }
    }
    enet_host_flush(host);
    const enet_uint32 start = monotonicMs();
    ENetEvent         event;
    while (waiting > 0 && monotonicMs() - start < timeoutMs) {
        if (enet_host_service(host, &event, 1) <= 0) {
            continue;
        }
        if (event.type == ENET_EVENT_TYPE_RECEIVE) {
            enet_packet_destroy(event.packet);
        } else if (event.type == ENET_EVENT_TYPE_DISCONNECT) {
            --waiting;
        }
    }
    for (ENetPeer* peer = host->peers; peer < host->peers + host->peerCount; ++peer) {
        if (peer->state != ENET_PEER_STATE_DISCONNECTED) {
            enet_peer_reset(peer);
        }
    }
}
