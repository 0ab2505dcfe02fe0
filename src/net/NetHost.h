#pragma once

#include <enet/enet.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "net/Bundle.h"
#include "net/WireForm.h"

// Milliseconds since some moment, on a clock that a change of the wall clock
// does not move. Every timer of the game's own network code runs on it;
// ENet keeps its own time, which follows the wall clock.
enet_uint32 monotonicMs();

// One ENet host and the thread that services it. ENet is not thread-safe, so
// every use of the host is under `lock`; the service thread waits on the
// socket without it, so the game thread's sends are never held up by a wait.
class NetHost {
public:
    NetHost() = default;
    ~NetHost();
    NetHost(const NetHost&)            = delete;
    NetHost& operator=(const NetHost&) = delete;

    // A host bound to the address (null: any free port). False with errno set
    // when the socket cannot be made.
    bool      create(const ENetAddress* address, std::size_t peerCount);
    ENetHost* get() const { return host; }

    // Starts the service thread. Each pass, `serviceLocked` runs with the lock
    // held and drains the host's events; `handOver` then runs without any
    // lock to pass on what was gathered.
    void start(std::function<void(ENetHost*)> serviceLocked, std::function<void()> handOver);

    // Ends the service thread and waits for it, so neither callback runs
    // afterwards. Must not be called from the service thread.
    void stop();

    // Waits up to `timeoutMs` for the peers to acknowledge their disconnection;
    // only with the thread stopped.
    void disconnectAll(enet_uint32 reason, enet_uint32 timeoutMs);

    // Queues a packet (taking it over) and puts it on the wire at once. The
    // caller holds the lock.
    bool sendNow(ENetPeer* peer, ENetPacket* packet);

    // Queues a packet without flushing: it leaves with the next pass.
    bool queue(ENetPeer* peer, ENetPacket* packet);
    // Wakes the service thread, whose pass sends everything queued: the
    // caller pays neither the compression nor the system calls. Needs no lock.
    void requestFlush() const;

    // How game messages travel: the raw form unless told. Before start.
    void             setWireForm(const IWireForm& form) { wireForm = &form; }
    const IWireForm& form() const { return *wireForm; }

    // Adds a message, already in its wire form, to the peer's bundle. A
    // synchronous send's bundle is on the socket before this returns. The
    // caller holds the lock.
    bool bundle(ENetPeer& peer, const std::vector<std::uint8_t>& packed, std::uint32_t sendFlags);
    // The peer's bundle leaves with the next pass (before a disconnection,
    // so that it arrives first). The caller holds the lock.
    void sendBundle(ENetPeer& peer);
    // The end of the owner's frame: every bundle leaves with the next pass.
    // Until an owner first ends a frame, bundles leave at every pass, so
    // that an owner without frames (a tool, a test) needs no calls. Takes the lock.
    void endFrame();

    // Liveness, on the service thread under the lock. `heard` notes a
    // connection or packet from a peer; `keepAlive` notes any datagram,
    // sends the heartbeats due to peers that nothing else went to, and
    // returns the connected peers silent for too long, for the caller to drop.
    void heard(const ENetPeer& peer, enet_uint32 now);
    // A peer just connected: noted as heard, and its heartbeats made safe
    // from ENet's throttle.
    void                   connected(ENetPeer& peer, enet_uint32 now);
    std::vector<ENetPeer*> keepAlive(enet_uint32 now);

    // CPU time the service thread has used so far, in seconds.
    double serviceCpuSeconds();

    // The socket's buffers as the system granted them, in bytes, and what
    // the host asked for: less where net.core.[rw]mem_max caps them and the
    // process may not go past the cap.
    struct SocketBuffers {
        int asked   = 0;
        int receive = 0;
        int send    = 0;
    };
    SocketBuffers socketBuffers() const { return buffers; }

    std::mutex lock;

private:
    void serviceLoop();
    void capResendWaits();
    void sendBundles();
    void sizeSocketBuffers();

    ENetHost*                      host = nullptr;
    std::thread                    thread;
    std::atomic<bool>              stopping{false};
    std::function<void(ENetHost*)> serviceLocked;
    std::function<void()>          handOver;
    std::vector<enet_uint32>       lastHeard;  // by peer index
    const IWireForm*               wireForm = &rawWireForm();
    std::vector<BundleBuilder>     bundles;                // by peer index, under the lock
    std::vector<std::uint32_t>     lossesSeen;             // by peer index: ENet's packetsLost at the last pass
    std::vector<std::uint32_t>     incomingSeen;           // by peer index: ENet's incoming bytes at the last pass
    std::vector<std::uint32_t>     outgoingSeen;           // by peer index: ENet's outgoing bytes at the last beat
    bool                           framed        = false;  // under the lock
    enet_uint32                    lastHeartbeat = 0;
    int                            wake          = -1;  // eventfd the service thread also waits on
    SocketBuffers                  buffers;
};
