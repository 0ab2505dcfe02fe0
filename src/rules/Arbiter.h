#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "net/NetTypes.h"
#include "rules/DemoRecorder.h"
#include "rules/IArbiter.h"
#include "rules/Maps.h"
#include "rules/MessageCodec.h"

class IServer;

// The host's rules: the one authority over placement, pick-ups, hits, kills,
// scores, respawns and new powerups. Each decision is applied to the host's
// world through the Executor and then sent to the other players.
class Arbiter : public IArbiter {
public:
    Arbiter() = default;
    ~Arbiter() override;
    Arbiter(const Arbiter&)            = delete;
    Arbiter& operator=(const Arbiter&) = delete;

    void trySpawnPowerup() override;
    void respawnAvatar(Avatar& avatar) override;
    void avatarInputChanged(Avatar& avatar) override;
    void update() override;
    bool newGame() override;
    void pickPowerup(Avatar& avatar, Powerup& powerup) override;
    void hitAvatar(Avatar& avatar, Bullet& bullet) override;
    void endFrame() override;

    // Puts the avatar on the cell and tells every player, its own included
    // (for setting up a scene in tests and tools).
    void relocate(Avatar& avatar, Position cell);

    // Every bot lets go of its controls and stops thinking, so that worlds
    // can be compared while nothing moves.
    void holdBots();

    // The server console's hold over the match: the current map anew, the
    // next map now, or the named map now (why not, when it cannot be played).
    void                       restartMatch();
    void                       nextMatch();
    std::optional<std::string> playMap(const std::string& name);
    // Seconds since the player's keys last changed (or it joined).
    float idleSeconds(std::uint32_t playerId) const;

    // What a player sent, or a notice about it, as the host's server queued it.
    void receiveFrom(std::uint32_t sender, const MessageBuffer& message);

    float spawnTimer     = 0.0f;
    float roundTripTimer = 0.0f;

private:
    // Sets up the world of the rotation's current map and tells every player.
    void startMatch(std::int32_t number);
    // Ends the match when a limit is reached and one score leads.
    void checkLimits();
    void endMatch(const std::vector<BoardLine>& board);
    // Whether players hear of matches and maps: only once a limit or a map
    // was chosen, so a game without them sends what it always sent.
    bool announcesMatch() const;
    // The maps in turn, read when the game begins: a match never waits for
    // the disk, nor finds its map gone.
    std::vector<GameMap> rotation;
    std::size_t          rotationAt = 0;
    const GameMap&       currentMap() const { return rotation[rotationAt]; }

    void placeAvatar(std::uint32_t playerId);
    // A bot's avatar, steered by the rules on this machine: "Bot 1", "Bot 2" ...
    Avatar&                     placeBot();
    static std::vector<Avatar*> botsInGame();
    std::int32_t                botsWanted() const;
    // Adds or removes a bot, and gives the bots the level asked for.
    void followBotWishes();
    bool botsHeld = false;
    // The name a player gave, as it came; this machine's own for the host's player.
    std::string                     nameOf(std::uint32_t playerId) const;
    static std::vector<std::string> avatarNames();
    // Every avatar's name, to one player.
    void sendNames(std::uint32_t playerId) const;
    // The match, the map and the world as they stand, to one who joins now:
    // a player with the avatar it steers, or one who watches.
    void sendWorldTo(std::uint32_t playerId, std::optional<std::int32_t> avatarId) const;
    void sendNewGame(const WorldSetupMessage& worldSetup) const;
    // The messages a player sends; the others it may not.
    void receive(std::uint32_t sender, const AvatarStateMessage& state);
    void receive(std::uint32_t sender, const AvatarRemoveMessage& remove);
    void receive(std::uint32_t sender, const ChatMessage& said);
    template <class Message>
    void receive(std::uint32_t /*sender*/, const Message& /*message*/) {}
    void handlePlayerJoined(std::uint32_t playerId);
    void handleSpectatorJoined(std::uint32_t playerId, const std::string& name);
    void handlePlayerLeft(std::uint32_t playerId);
    void removeAvatar(std::int32_t avatarId, std::uint32_t sender);
    // "Ann joined", "Bob left": on this screen and every player's.
    void notify(const std::string& line, std::uint32_t excluded = 0) const;
    // Every player's round trip, measured here, to every player for the scoreboard.
    void shareRoundTrips();
    // Tells every player the host's cell, hit points, score and ammunition of the avatar.
    void sendStatus(const Avatar& avatar) const;
    // Sends to every player of this game except the host's own and `excluded`.
    template <class Message>
    void broadcast(const Message& message, const std::uint32_t excluded = 0) const {
        broadcastBytes(encode(message), Message::KIND.flags, excluded);
    }
    template <class Message>
    void sendTo(const std::uint32_t playerId, const Message& message) const {
        sendBytesTo(playerId, encode(message), Message::KIND.flags);
    }
    void broadcastBytes(const MessageBuffer& message, std::uint32_t flags, std::uint32_t excluded) const;
    void sendBytesTo(std::uint32_t playerId, const MessageBuffer& message, std::uint32_t flags) const;

    // Remembers that the avatar changed now, and tells everyone how it stands
    // once it has settled.
    void                          markChanged(const Avatar& avatar);
    void                          settleChanges();
    std::map<std::int32_t, float> changedAt;

    // Sends the other players the state reports received this frame.
    void forwardStates();
    struct Report {
        AvatarStateMessage state;
        std::uint32_t      sender = 0;
    };
    std::map<std::int32_t, Report> forwarding;
    // Avatars whose player let go of fire in this frame's reports.
    std::set<std::int32_t> fireReleased;

    // Whether a player's report may put its avatar on the cell: no further
    // from the host's own cell than its steps and its network's delays allow.
    bool isReachable(const Avatar& avatar, Position reported);

    // Game time on the host, for what the rules count out per second.
    float hostTime = 0.0f;
    // How far reports may still move each avatar beyond the host's own steps.
    struct Allowance {
        float cells;
        float since;
    };
    std::map<std::int32_t, Allowance> allowances;

    // The players with an avatar in this game: those listed when it began
    // and those who joined since.
    std::set<std::uint32_t> playersInGame;
    // Those who watch: no avatar, and every message the players get.
    std::set<std::uint32_t> watchers;
    // Every match, as a spectator sees it, into a demo. What is recorded of
    // a send changes nothing the rules hold.
    mutable DemoRecorder recorder;
    // When each player last changed its keys, on the host's clock.
    std::map<std::uint32_t, float> lastInput;
    // Avatars steered on this machine whose fire flag was last reported on.
    std::set<std::int32_t> firingAvatars;
    // Players' avatars respawned here whose player has not reported since.
    std::set<std::int32_t> respawnedUnheard;
};

// The most bots a host puts into one game.
constexpr std::int32_t MAX_BOTS = 32;

// Starts the host's rules.
void createArbiter();

// The cell the rules put something on: drawn at random until it is floor.
Position randomFreeCell();

// The id of the host's own player, as its own client learned it.
std::uint32_t ownPlayerId();

// Builds the world set-up message from the world as it stands.
WorldSetupMessage describeWorld(const char* mapName);
