#pragma once

#include <cstdint>
#include <optional>

#include "net/NetTypes.h"
#include "rules/GameMessages.h"
#include "rules/Maps.h"
#include "rules/Match.h"

class Avatar;
class Powerup;

// Writes what game messages say into this machine's world. On every player's
// machine it applies what the host sends; on the host the rules call the
// same operations, so a decision has the same effect everywhere.
//
// The apply operations are for objects known to be in play: they end the
// process when one is missing, as a check of the host's own bookkeeping.
// Messages from the network are checked before they get there, and dropped
// when they name an object this machine does not have.
// What applying the received messages did to the game flow.
enum class MessagesOutcome {
    applied,       // nothing more than the messages say
    worldBuilt,    // a joined player's world is set up: its game runs
    worldRefused,  // the host's world cannot be set up here (the player has been told why)
};

class Executor {
public:
    static Executor& instance();
    virtual ~Executor();

    // Applies what this machine's client has received, in order. It stops
    // after a message that built this game's world or refused it: the rest
    // waits for the next frame, so a game starts or ends between frames and
    // never while its messages are being applied.
    MessagesOutcome processMessages();

    // One received message; what processMessages does with each.
    MessagesOutcome apply(const MessageBuffer& message);

    void applyAvatarState(const AvatarStateMessage& state);
    void removeObject(std::int32_t id);
    void applyRespawn(std::int32_t avatarId, Position pos);
    void applyHp(std::int32_t avatarId, std::int32_t hp);
    // Shows who shot whom, and tells the victim's death panel.
    void applyKill(std::int32_t victimId, std::int32_t killerId);
    // Takes the host's cell, hit points, score and ammunition for an avatar.
    void         applyAvatarStatus(const AvatarStatusMessage& status);
    void         applyScore(std::int32_t avatarId, std::int32_t score);
    void         applyPowerupTaken(std::int32_t avatarId, std::int32_t powerupId);
    std::int32_t addPowerup(Position pos, std::int32_t type);
    void         addPowerupWithId(Position pos, std::int32_t type, std::int32_t id);

    // Gives the avatar to this machine's keyboard and makes it the local avatar.
    void attachKeyboard(Avatar& avatar);

    // Forgets what the last game's host sent: its map, a world to come.
    void forgetGame();

    // A demo's world comes next, on the demo's own map, whatever the game
    // flow waits for.
    void awaitWorld(const GameMap& map);

    std::int32_t localAvatarId = -1;

private:
    Executor() = default;

    // Each message from the host, its fields in their ranges; what the world
    // has to say (objects that exist, cells that are floor) is checked here.
    void receive(const YourAvatarMessage& message);
    void receive(const WorldSetupMessage& message);
    void receive(const AvatarStateMessage& message);
    void receive(const AvatarRemoveMessage& message);
    void receive(const AvatarRespawnMessage& message);
    void receive(const AvatarHpMessage& message);
    void receive(const ScoreMessage& message);
    void receive(const PowerupTakenMessage& message);
    void receive(const PowerupSpawnMessage& message);
    void receive(const AvatarStatusMessage& message);
    void receive(const AvatarAddMessage& message);
    void receive(const AvatarNameMessage& message);
    void receive(const KillMessage& message);
    void receive(const RoundTripsMessage& message);
    void receive(const MatchMessage& message);
    void receive(const MapMessage& message);
    void receive(const ChatMessage& message);
    void receive(const LobbyMessage& message);

    MessagesOutcome setupWorld(const WorldSetupMessage& setup);
    bool            isAwaitingWorld() const;
    bool            buildWorld(const WorldSetupMessage& setup);
    bool            loadMapOf(const WorldSetupMessage& setup);

    // A new match that was announced: it begins here when its world comes,
    // which replaces this one.
    std::optional<MatchState> nextMatch;
    // The map the host sent last, checked; its world is played on it.
    std::optional<GameMap> receivedMap;
    bool                   awaitingDemoWorld = false;

    MessagesOutcome outcome = MessagesOutcome::applied;  // of the message being applied
};

// The avatar in play with the id, or null (also when the id names another kind).
Avatar*  findAvatar(std::int32_t id);
Powerup* findPowerup(std::int32_t id);

// Whether an avatar or powerup may stand on the cell: inside the map, on floor.
bool isStandable(Position pos);

// Whether a reported state could be true in this world: the avatar on floor.
bool isPlausibleState(const AvatarStateMessage& state);
