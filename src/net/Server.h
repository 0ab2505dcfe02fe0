#pragma once

#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "net/IServer.h"
#include "net/NetHost.h"
#include "net/PasswordProof.h"

// The server over ENet, serviced on a thread of its own.
class Server : public IServer {
public:
    // Game messages travel in `form` (net/WireForm.h); the game gives its
    // packed form, the network's own tests the raw one.
    explicit Server(const Guid& applicationGuid = APPLICATION_GUID, const IWireForm& form = rawWireForm());
    ~Server() override;

    std::int32_t             host(const char* sessionName) override;
    void                     setPassword(const std::string& word) override;
    void                     setPort(std::uint16_t newPort) override { port = newPort; }
    void                     setMaxPerAddress(std::size_t most) override { maxPerAddress = most; }
    void                     setMaxPlayers(std::size_t most) override { maxPlayers = most; }
    void                     setMaxSpectators(std::size_t most) override { maxSpectators = most; }
    void                     disconnect(std::uint32_t playerId, std::uint32_t reason) override;
    void                     ban(const std::string& address, std::uint32_t minutes) override;
    bool                     unban(const std::string& address) override;
    std::vector<std::string> bans() const override;
    std::int32_t sendTo(std::uint32_t playerId, std::uint32_t size, const void* data, std::uint32_t flags) override;
    void         sendToPlayers(std::uint32_t size, const void* data, std::uint32_t flags,
                               const std::function<bool(std::uint32_t)>& wanted) override;
    void         flush() override;
    std::vector<std::string> takeNotes() override;
    // Ends the session for every player; no handler runs after it.
    void close() override;

    // What crossed the host's socket so far, for measuring.
    struct Traffic {
        std::uint64_t bytesOut = 0, packetsOut = 0, bytesIn = 0, packetsIn = 0;
        double        serviceCpuSeconds = 0.0;
    };
    Traffic traffic();

    // For tests: runs on the network thread between listing a player who
    // joined and telling the game, to hold that moment open. Before host.
    std::function<void(std::uint32_t playerId)> afterListing;

private:
    struct Arrival {
        enum class What { joined, left, message, roundTrip } what;
        std::uint32_t playerId = 0;
        MessageBuffer bytes;
        float         roundTripMs = 0.0f;
        std::string   name;
        std::string   address;
        bool          spectator = false;
    };

    // What the host watches of each peer, by peer index.
    struct PeerWatch {
        enet_uint32   connectedAt    = 0;
        enet_uint32   windowStart    = 0;
        std::uint32_t windowBytes    = 0;
        std::uint32_t windowPackets  = 0;
        std::uint32_t windowMessages = 0;
        enet_uint32   busySince      = 0;      // when its slot was first seen taken; 0 free
        bool          challenged     = false;  // a private game's: it owes the answer
        ProofNonce    challenge{};
        std::string   name;  // from its hello, until it has answered
        bool          spectator = false;
    };

    // Wrong passwords from one address: after a few, it waits longer and
    // longer before it may try again.
    struct Guesses {
        std::uint32_t wrong     = 0;
        enet_uint32   heldUntil = 0;
        enet_uint32   lastHeard = 0;
    };
    void               onHello(ENetPeer& peer, const std::uint8_t* payload, std::size_t size, enet_uint32 now);
    void               onProof(ENetPeer& peer, const std::uint8_t* payload, std::size_t size, enet_uint32 now);
    bool               isHeldOff(const ENetPeer& peer, enet_uint32 now) const;
    void               note(std::string line);
    static std::string addressOf(const ENetPeer& peer);

    void serviceLocked(ENetHost* host);
    void onConnect(ENetPeer& peer, enet_uint32 now);
    // False when the peer was cut off for sending too much.
    bool withinRate(ENetPeer& peer, std::size_t bytes, enet_uint32 now);
    void dropLatePeers(ENetHost* host, enet_uint32 now);
    void keepSlotsSpare(ENetHost* host, enet_uint32 now);
    // Disconnects at once; a player among them leaves the game.
    void cutOff(ENetPeer& peer, enet_uint32 reason);
    void onReceive(ENetPeer& peer, const ENetPacket& packet, enet_uint32 now);
    void onBundle(ENetPeer& peer, const std::uint8_t* payload, std::size_t size);
    void welcome(ENetPeer& peer, std::string name, bool spectator);
    // Whether the game has room for one more of this kind.
    bool hasRoomFor(bool spectator) const;
    // A private game's: the salt and the key its password makes, set before
    // host and only read afterwards.
    bool                                     isPrivate = false;
    ProofSalt                                passwordSalt{};
    std::optional<ProofKey>                  passwordKey;
    std::unordered_map<enet_uint32, Guesses> guesses;  // by address, service thread only
    std::mutex                               notesLock;
    std::vector<std::string>                 notes;
    void                                     measureRoundTrips(ENetHost* host);
    // Logs it when the system granted the socket less than the host asked.
    void      noteSmallBuffers();
    void      handOver();
    ENetPeer* peerOf(std::uint32_t playerId) const;
    // Puts the message into `packed`, its wire form; false (noted) when the form refuses it.
    bool                      packMessage(std::uint32_t size, const void* data);
    std::vector<std::uint8_t> packed;  // under the lock

    const Guid    applicationGuid;
    std::uint16_t port          = GAME_PORT;
    std::size_t   maxPerAddress = DEFAULT_MAX_PER_ADDRESS;
    std::size_t   maxPlayers    = 255;
    std::size_t   maxSpectators = DEFAULT_MAX_SPECTATORS;
    // Spectators among playerPeers, by id; service thread only.
    std::unordered_set<std::uint32_t> spectatorIds;
    // Banned addresses and when each ban ends (0: never), read by the
    // service thread at each hello.
    mutable std::mutex                           bansLock;
    std::unordered_map<enet_uint32, enet_uint32> banned;
    bool                                         isBanned(enet_uint32 address, enet_uint32 now);
    NetHost                                      net;

    // Service thread only (under the lock where they touch ENet).
    std::uint32_t          nextPlayerId = 1;
    enet_uint32            lastMeasure  = 0;
    std::vector<Arrival>   arrivals;
    std::vector<PeerWatch> watches;
    // Peers went since memory was last handed back to the system, and when that was.
    bool        trimDue  = false;
    enet_uint32 lastTrim = 0;
    // Each player's peer, under the lock: a send finds its peer at once.
    std::unordered_map<std::uint32_t, ENetPeer*> playerPeers;
};
