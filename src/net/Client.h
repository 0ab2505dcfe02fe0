#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/IClient.h"
#include "net/NetHost.h"
#include "net/WireProtocol.h"

// The client over ENet, serviced on a thread of its own.
class Client : public IClient {
public:
    // Game messages travel in `form` (net/WireForm.h), as the host's do.
    explicit Client(const Guid& applicationGuid = APPLICATION_GUID, const IWireForm& form = rawWireForm());
    ~Client() override;

    std::int32_t connect(const char* hostName) override;
    std::int32_t send(std::uint32_t size, const void* data, std::uint32_t flags) override;
    // Ends the session, or the attempt still under way; no handler runs after it.
    void          close() override;
    void          flush() override;
    std::uint32_t localPlayerId() const override;
    void          setPlayerName(const std::string& name) override;
    void          setPassword(const std::string& word) override;
    void          setSpectator(const bool watching) override { spectator = watching; }
    void          setPort(const std::uint16_t port) override { hostPort = port; }
    bool          wrongPassword() const override { return passwordRefused; }
    bool          heldOff() const override { return held; }
    std::uint32_t endedWith() const override { return ended; }

    // The host turned this client away: it speaks another application.
    bool wasRefused() const { return refused; }

private:
    struct Arrival {
        enum class What { welcome, message, sessionEnded } what;
        std::uint32_t playerId = 0;
        MessageBuffer bytes;
    };

    void serviceLocked(ENetHost* host);
    void onReceive(const ENetPacket& packet);
    void handOver();
    // Proves to a private game's host that this player knows its password.
    void answer(const Challenge& challenge);

    const Guid                 applicationGuid;
    std::string                playerName;         // read by the service thread only after connect
    std::string                password;           // likewise
    bool                       spectator = false;  // likewise
    std::uint16_t              hostPort  = GAME_PORT;
    NetHost                    net;
    ENetPeer*                  server         = nullptr;  // under net.lock
    bool                       attemptStarted = false;    // game thread only
    bool                       closed         = false;    // game thread only
    std::atomic<std::uint32_t> playerId{0};
    std::atomic<bool>          refused{false};
    std::atomic<bool>          passwordRefused{false};
    std::atomic<bool>          held{false};
    std::atomic<std::uint32_t> ended{0};

    // Gathered by the service thread under the lock, handed over without it.
    std::vector<Arrival> arrivals;
    bool                 welcomed = false;  // service thread only
};

// The dotted IPv4 address, as connect takes it, of a host name or address;
// nothing when it has none.
std::optional<std::string> resolveIPv4(const std::string& hostName);

// "HOST" or "HOST:PORT" as the host and the port (`defaultPort` when none is
// given); nothing when the port is not 1 ... 65535.
struct HostAndPort {
    std::string   host;
    std::uint16_t port;
};
std::optional<HostAndPort> splitHostPort(const std::string& address, std::uint16_t defaultPort);
