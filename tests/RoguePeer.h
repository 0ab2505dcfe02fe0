#pragma once

#include <enet/enet.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "net/NetHost.h"
#include "net/NetTypes.h"

// An ENet peer of the tests' own that speaks Quillstep's packets, or
// anything else, as an attacker would: it sends whatever bytes it is given.
// Its ENet host is serviced on a thread of its own, like the game's.
class RoguePeer {
public:
    RoguePeer();

    bool connectTo(const char* address, std::uint16_t port, std::chrono::milliseconds bound = std::chrono::seconds(5));

    // A whole packet, its kind byte included.
    void sendPacket(const std::vector<std::uint8_t>& packet, bool reliable = true);
    void sendGame(const MessageBuffer& message, bool reliable = true);
    void sendHello(const Guid& guid = APPLICATION_GUID, const std::string& name = "rogue");

    bool        connected() const { return isConnected; }
    enet_uint32 disconnectReason() const { return reason; }
    bool        welcomed() const { return playerId != 0; }
    // Game messages received so far.
    std::vector<MessageBuffer> received();

private:
    void serviceLocked(ENetHost* host);

    NetHost                    net;
    ENetPeer*                  peer = nullptr;  // under net.lock
    std::atomic<bool>          isConnected{false};
    std::atomic<enet_uint32>   reason{0};
    std::atomic<std::uint32_t> playerId{0};
    std::mutex                 receivedLock;
    std::vector<MessageBuffer> messages;
};
