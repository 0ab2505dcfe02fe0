#include "net/NetHost.h"

#include <cstdlib>

#include "net/NetTypes.h"
#include "net/WireProtocol.h"

namespace {

// How long the service thread sleeps on a silent socket: the bound on how
// late a close is noticed and how far apart ENet's resend timers are checked.
constexpr enet_uint32 SOCKET_WAIT_MS = 5;

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

NetHost::~NetHost() {
    stop();
    if (host != nullptr) {
        enet_host_destroy(host);
    }
}

bool NetHost::create(const ENetAddress* const address, const std::size_t peerCount) {
    initializeEnetOnce();
    host = enet_host_create(address, peerCount, 1, 0, 0);
    if (host == nullptr) {
        return false;
    }
    // ENet refuses much larger packets before it gathers their fragments;
    // the receivers drop anything above MAX_MESSAGE_SIZE themselves.
    host->maximumPacketSize = MAX_MESSAGE_SIZE + 16;
    lastHeard.assign(host->peerCount, 0);
    return true;
}

void NetHost::start(std::function<void(ENetHost*)> newServiceLocked, std::function<void()> newHandOver) {
    serviceLocked = std::move(newServiceLocked);
    handOver      = std::move(newHandOver);
    stopping      = false;
    thread        = std::thread(&NetHost::serviceLoop, this);
}

void NetHost::stop() {
    stopping = true;
    if (thread.joinable()) {
        thread.join();
    }
}

void NetHost::serviceLoop() {
    while (!stopping) {
        enet_uint32 condition = ENET_SOCKET_WAIT_RECEIVE | ENET_SOCKET_WAIT_INTERRUPT;
        enet_socket_wait(host->socket, &condition, SOCKET_WAIT_MS);
        {
            const std::lock_guard<std::mutex> guard(lock);
            serviceLocked(host);
        }
        handOver();
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

void NetHost::heard(const ENetPeer& peer, const enet_uint32 now) {
    lastHeard[static_cast<std::size_t>(&peer - host->peers)] = now;
}

void NetHost::connected(ENetPeer& peer, const enet_uint32 now) {
    heard(peer, now);
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
    for (ENetPeer* peer = host->peers; peer < host->peers + host->peerCount; ++peer) {
        if (peer->state != ENET_PEER_STATE_CONNECTED) {
            continue;
        }
        if (now - lastHeard[static_cast<std::size_t>(peer - host->peers)] > SILENCE_LIMIT_MS) {
            silent.push_back(peer);
        } else if (beat) {
            queue(peer, makeHeartbeat());
        }
    }
    if (beat) {
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
    const enet_uint32 start = enet_time_get();
    ENetEvent         event;
    while (waiting > 0 && enet_time_get() - start < timeoutMs) {
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
