#pragma once

#include <cstdint>
#include <vector>

#include "net/IServer.h"
#include "net/NetHost.h"

// The server over ENet, serviced on a thread of its own.
class Server : public IServer {
public:
    explicit Server(const Guid& applicationGuid = APPLICATION_GUID);
    ~Server() override;

    std::int32_t host(const char* sessionName) override;
    std::int32_t sendTo(std::uint32_t playerId, std::uint32_t size, const void* data, std::uint32_t flags) override;
    // Ends the session for every player; no handler runs after it.
    void close() override;

private:
    struct Arrival {
        enum class What { joined, left, message, roundTrip } what;
        std::uint32_t playerId = 0;
        MessageBuffer bytes;
        float         roundTripMs = 0.0f;
    };

    void      serviceLocked(ENetHost* host);
    void      onReceive(ENetPeer& peer, const ENetPacket& packet);
    void      welcome(ENetPeer& peer);
    void      measureRoundTrips(ENetHost* host);
    void      handOver();
    ENetPeer* peerOf(std::uint32_t playerId) const;

    const Guid applicationGuid;
    NetHost    net;

    // Service thread only (under the lock where they touch ENet).
    std::uint32_t        nextPlayerId = 1;
    enet_uint32          lastMeasure  = 0;
    std::vector<Arrival> arrivals;
};
