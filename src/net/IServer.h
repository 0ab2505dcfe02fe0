#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "net/NetTypes.h"
#include "net/ServerInbox.h"

constexpr std::size_t DEFAULT_MAX_SPECTATORS = 8;

// The id of the host's own listener to what everyone who watches is sent
// (a demo being recorded): never a player's.
constexpr std::uint32_t DEMO_RECORDER_ID = 0xFFFFFFFFu;

// Enough for a LAN party's players behind one router, far from every slot.
constexpr std::size_t DEFAULT_MAX_PER_ADDRESS = 32;

// One player connected to the hosted session.
struct ClientRecord {
    std::uint32_t id = 0;
    // Average round-trip time to the player in milliseconds; -1 until measured.
    float avgRtt = -1.0f;
    // The name the player gave in its hello, as it came: untrusted.
    std::string name;
    // The address it plays from, "10.0.0.7".
    std::string address;
    // It watches: no avatar, not counted as a player.
    bool spectator = false;
};

// The host's end of the network: hosts the session, keeps the players in the
// order they joined, queues what they send and sends to single players.
// Every operation of the base class does nothing, except reading the list.
class IServer {
public:
    // Records are copies: the list changes on the network thread at any time.
    virtual std::optional<ClientRecord> findClient(std::uint32_t playerId) const;
    virtual std::optional<ClientRecord> getClient(std::int32_t index) const;
    virtual void                        close();
    virtual std::int32_t sendTo(std::uint32_t playerId, std::uint32_t size, const void* data, std::uint32_t flags);
    // 0 when the session is up; -1 (after telling the player why) when not.
    virtual std::int32_t host(const char* sessionName);
    // A private game: only players whose hello carries the word may join.
    // Empty (the default): anyone may. Before host.
    virtual void setPassword(const std::string& word);
    // The UDP port to host on (GAME_PORT unless told). Before host.
    virtual void setPort(std::uint16_t newPort);
    // The most peers one address may have, connecting, waiting for their
    // hello or playing (DEFAULT_MAX_PER_ADDRESS unless told). Before host.
    virtual void setMaxPerAddress(std::size_t most);
    // One message to every listed player the filter wants. The base class
    // sends to each in the list's order. The listener hears it first when
    // the filter wants DEMO_RECORDER_ID.
    virtual void sendToPlayers(std::uint32_t size, const void* data, std::uint32_t flags,
                               const std::function<bool(std::uint32_t)>& wanted);
    void         setListener(std::function<void(const std::uint8_t*, std::size_t)> newListener) {
                listener = std::move(newListener);
    }
    // Sends at once what is queued. Sends without DPNSEND_SYNC are queued and
    // leave together, at the end of the frame or on the network thread's
    // next pass.
    virtual void flush();
    // The most players the game takes (255 unless told); more are refused at
    // their hello with DISCONNECT_FULL.
    virtual void setMaxPlayers(std::size_t most);
    // The most spectators it takes (DEFAULT_MAX_SPECTATORS unless told).
    virtual void setMaxSpectators(std::size_t most);
    // Ends a player's connection once what was sent to it has left, giving
    // the reason code.
    virtual void disconnect(std::uint32_t playerId, std::uint32_t reason);
    // Refuses hellos from the IPv4 address (dotted) until `minutes` have
    // passed (0: until the server stops); unban lifts it. Bans as lines
    // "ADDRESS for N more minutes" or "ADDRESS until the server stops".
    virtual void                     ban(const std::string& address, std::uint32_t minutes);
    virtual bool                     unban(const std::string& address);
    virtual std::vector<std::string> bans() const;
    // What the host has to say for its log since it was last asked, a line
    // each (wrong passwords, addresses held off): never a password.
    virtual std::vector<std::string> takeNotes();
    virtual ~IServer();

    std::int32_t clientCount() const;
    // Of the clients, those who watch and those who play.
    std::int32_t spectatorCount() const;
    std::int32_t playerCount() const { return clientCount() - spectatorCount(); }
    // The whole list at one moment, for walking it while players come and go.
    std::vector<ClientRecord> clientList() const;

    ServerInbox incoming;

protected:
    void addClient(const ClientRecord& record);
    void removeClient(std::uint32_t playerId);
    void setRoundTripTime(std::uint32_t playerId, float milliseconds);
    // Tells the listener of a message sent to those the filter wants.
    void tellListener(std::uint32_t size, const void* data, const std::function<bool(std::uint32_t)>& wanted) const {
        if (listener && wanted(DEMO_RECORDER_ID)) {
            listener(static_cast<const std::uint8_t*>(data), size);
        }
    }

    std::string sessionName;

private:
    std::vector<ClientRecord>                             clients;
    mutable std::mutex                                    clientsLock;
    std::function<void(const std::uint8_t*, std::size_t)> listener;
};
