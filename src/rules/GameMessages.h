#pragma once

// The one place that knows how game messages are laid out: every field an
// int32, little-endian, the message id at offset 0. Everything else builds
// and reads messages through these functions.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/NetTypes.h"
#include "world/Position.h"

enum GameMessage : std::int32_t {
    MSG_YOUR_AVATAR    = 1100,
    MSG_WORLD_SETUP    = 1101,
    MSG_AVATAR_STATE   = 1103,
    MSG_AVATAR_REMOVE  = 1104,
    MSG_AVATAR_RESPAWN = 1105,
    MSG_AVATAR_HP      = 1106,
    MSG_SCORE          = 1107,
    MSG_POWERUP_TAKEN  = 1108,
    MSG_POWERUP_SPAWN  = 1109,
    MSG_AVATAR_STATUS  = 1110,
    MSG_AVATAR_ADD     = 1111,
    MSG_AVATAR_NAME    = 1112,
    MSG_KILL           = 1113,
    MSG_ROUND_TRIPS    = 1114,
};

// The highest message id, for code that walks them all.
constexpr std::int32_t LAST_GAME_MESSAGE = MSG_ROUND_TRIPS;

// Send flags of each message. Every message is guaranteed: each machine
// applies a message once, in the order its sender sent it, and a lost or
// late one would leave the machines disagreeing for good (a control change
// keeps an avatar walking, a hit or pick-up is never repaired).
constexpr std::uint32_t SEND_NEW_GAME         = DPNSEND_SYNC | DPNSEND_PRIORITY_HIGH | DPNSEND_GUARANTEED;
constexpr std::uint32_t SEND_STATE_TO_HOST    = DPNSEND_PRIORITY_HIGH | DPNSEND_GUARANTEED;
constexpr std::uint32_t SEND_STATE_TO_PLAYERS = DPNSEND_PRIORITY_LOW | DPNSEND_GUARANTEED;
constexpr std::uint32_t SEND_AVATAR_REMOVE    = DPNSEND_PRIORITY_HIGH | DPNSEND_GUARANTEED;
constexpr std::uint32_t SEND_RULE_OUTCOME     = DPNSEND_PRIORITY_HIGH | DPNSEND_GUARANTEED;

// Sizes of the fixed-size messages.
constexpr std::size_t YOUR_AVATAR_SIZE    = 8;
constexpr std::size_t AVATAR_STATE_SIZE   = 36;
constexpr std::size_t AVATAR_REMOVE_SIZE  = 8;
constexpr std::size_t AVATAR_RESPAWN_SIZE = 16;
constexpr std::size_t AVATAR_HP_SIZE      = 12;
constexpr std::size_t SCORE_SIZE          = 12;
constexpr std::size_t POWERUP_TAKEN_SIZE  = 12;
constexpr std::size_t POWERUP_SPAWN_SIZE  = 20;
constexpr std::size_t AVATAR_STATUS_SIZE  = 28;
constexpr std::size_t AVATAR_ADD_SIZE     = 16;
constexpr std::size_t KILL_SIZE           = 12;
// Round trips: the id, a count (at most MAX_ROUND_TRIPS), then per avatar its
// id and its player's round trip to the host in milliseconds.
constexpr std::size_t  ROUND_TRIPS_HEAD = 8;
constexpr std::int32_t MAX_ROUND_TRIPS  = 255;
// An avatar's name: the id, the avatar's id, the name's length in bytes
// (at most MAX_NAME_BYTES), then the name's bytes, no terminating zero.
constexpr std::size_t AVATAR_NAME_HEAD = 12;

// The longest map name a world set-up may carry, its terminating zero included.
constexpr std::int32_t MAX_MAP_NAME_LENGTH = 256;

struct AvatarStateMessage {
    std::int32_t avatarId = 0;
    std::int32_t left = 0, right = 0, up = 0, down = 0, fire = 0;
    Position     pos;
};

struct AvatarRespawnMessage {
    std::int32_t avatarId = 0;
    Position     pos;
};

struct AvatarHpMessage {
    std::int32_t avatarId;
    std::int32_t hp;
};

struct ScoreMessage {
    std::int32_t avatarId;
    std::int32_t score;
};

struct PowerupTakenMessage {
    std::int32_t avatarId;
    std::int32_t powerupId;
};

// The host's count of what each machine otherwise tracks on its own clock:
// where a dead avatar lies, and how many bullets an avatar has left.
struct AvatarStatusMessage {
    std::int32_t avatarId = 0;
    Position     pos;
    std::int32_t hp    = 0;
    std::int32_t score = 0;
    std::int32_t ammo  = 0;
};

// A player joined the running game: its avatar, on a cell the host chose.
struct AvatarAddMessage {
    std::int32_t avatarId = 0;
    Position     pos;
};

// Who shot whom, as the host decided; the killer is -1 when the shooter had
// left the game.
struct KillMessage {
    std::int32_t victimId = 0;
    std::int32_t killerId = -1;
};

struct RoundTrip {
    std::int32_t avatarId = 0;
    std::int32_t ms       = -1;
};

struct AvatarNameMessage {
    std::int32_t avatarId = 0;
    std::string  name;  // as it came: untrusted
};

struct PowerupSpawnMessage {
    Position     pos;
    std::int32_t type      = 0;
    std::int32_t powerupId = 0;
};

enum WorldEntryKind : std::int32_t { entry_powerup = 0, entry_avatar = 1 };

struct WorldEntry {
    std::int32_t kind = entry_powerup;  // anything else is read as an avatar
    Position     pos;
    std::int32_t type = 0;  // powerups only
    std::int32_t id   = 0;
};

struct WorldSetupMessage {
    std::string             mapName;
    std::vector<WorldEntry> entries;
};

class Avatar;

// The avatar's control flags and cell, as a state message reports them.
AvatarStateMessage  stateOf(const Avatar& avatar);
AvatarStatusMessage statusOf(const Avatar& avatar);

// The id at offset 0, or -1 for a buffer too short to hold one.
std::int32_t messageId(const MessageBuffer& message);

MessageBuffer encodeYourAvatar(std::int32_t avatarId);
MessageBuffer encodeWorldSetup(const WorldSetupMessage& setup);
MessageBuffer encodeAvatarState(const AvatarStateMessage& state);
MessageBuffer encodeAvatarRemove(std::int32_t avatarId);
MessageBuffer encodeAvatarRespawn(const AvatarRespawnMessage& respawn);
MessageBuffer encodeAvatarHp(const AvatarHpMessage& hp);
MessageBuffer encodeScore(const ScoreMessage& score);
MessageBuffer encodePowerupTaken(const PowerupTakenMessage& taken);
MessageBuffer encodePowerupSpawn(const PowerupSpawnMessage& spawn);
MessageBuffer encodeAvatarStatus(const AvatarStatusMessage& status);
MessageBuffer encodeAvatarAdd(const AvatarAddMessage& add);
MessageBuffer encodeAvatarName(const AvatarNameMessage& name);
MessageBuffer encodeKill(const KillMessage& kill);
MessageBuffer encodeRoundTrips(const std::vector<RoundTrip>& trips);

// Each reads a message of its id; nothing when the buffer holds another id
// or is too short for the layout, so nobody reads past what arrived.
std::optional<std::int32_t>           decodeYourAvatar(const MessageBuffer& message);
std::optional<WorldSetupMessage>      decodeWorldSetup(const MessageBuffer& message);
std::optional<AvatarStateMessage>     decodeAvatarState(const MessageBuffer& message);
std::optional<std::int32_t>           decodeAvatarRemove(const MessageBuffer& message);
std::optional<AvatarRespawnMessage>   decodeAvatarRespawn(const MessageBuffer& message);
std::optional<AvatarHpMessage>        decodeAvatarHp(const MessageBuffer& message);
std::optional<ScoreMessage>           decodeScore(const MessageBuffer& message);
std::optional<PowerupTakenMessage>    decodePowerupTaken(const MessageBuffer& message);
std::optional<PowerupSpawnMessage>    decodePowerupSpawn(const MessageBuffer& message);
std::optional<AvatarStatusMessage>    decodeAvatarStatus(const MessageBuffer& message);
std::optional<AvatarAddMessage>       decodeAvatarAdd(const MessageBuffer& message);
std::optional<AvatarNameMessage>      decodeAvatarName(const MessageBuffer& message);
std::optional<KillMessage>            decodeKill(const MessageBuffer& message);
std::optional<std::vector<RoundTrip>> decodeRoundTrips(const MessageBuffer& message);
