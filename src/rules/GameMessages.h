#pragma once

// Every game message, described once: its id, who sends it with which
// flags, and its fields in order with the range each may take. Every field
// is a little-endian int32 at its place after the id; text and lists carry
// their length first. Encoding, decoding (which refuses a wrong id, a wrong
// length or a field out of range), the fuzz seeds and the message table of
// docs/network-protocol.md all come from these descriptions; see
// rules/MessageCodec.h for what reads them.
//
// A description is a member `describe(V& v)` that names each field to the
// visitor v, in order:
//   v.number(meaning, field, range)       one int32
//   v.cell(meaning, field)                a Position: x, then y, each 0 ... 63
//   v.text(meaning, field, layout)        a count, then that many bytes
//   v.list(meaning, field, maxCount)      a count, then each element's fields
//   v.when(condition, what, fields)       fields present only when condition holds

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "net/NetTypes.h"
#include "rules/PlayerName.h"
#include "world/Position.h"
#include "world/Powerup.h"

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
    MSG_MATCH          = 1115,
    MSG_MAP            = 1116,
    MSG_CHAT           = 1117,
    MSG_LOBBY          = 1118,
};

// Send flags of each message. Every message is guaranteed: each machine
// applies a message once, in the order its sender sent it, and a lost or
// late one would leave the machines disagreeing for good (a control change
// keeps an avatar walking, a hit or pick-up is never repaired).
constexpr std::uint32_t SEND_NEW_GAME         = DPNSEND_SYNC | DPNSEND_PRIORITY_HIGH | DPNSEND_GUARANTEED;
constexpr std::uint32_t SEND_STATE_TO_HOST    = DPNSEND_PRIORITY_HIGH | DPNSEND_GUARANTEED;
constexpr std::uint32_t SEND_STATE_TO_PLAYERS = DPNSEND_PRIORITY_LOW | DPNSEND_GUARANTEED;
constexpr std::uint32_t SEND_AVATAR_REMOVE    = DPNSEND_PRIORITY_HIGH | DPNSEND_GUARANTEED;
constexpr std::uint32_t SEND_RULE_OUTCOME     = DPNSEND_PRIORITY_HIGH | DPNSEND_GUARANTEED;
constexpr std::uint32_t SEND_CHAT             = DPNSEND_PRIORITY_LOW | DPNSEND_GUARANTEED;

// What is said of a message as a whole.
struct MessageKind {
    GameMessage   id;
    const char*   name;
    const char*   route;        // who sends it to whom
    std::uint32_t flags;        // the host's sends
    std::uint32_t flagsToHost;  // a player's sends; 0 for messages only the host sends
};

// The values a number field may take, both ends included.
struct FieldRange {
    std::int32_t min;
    std::int32_t max;
};

constexpr FieldRange ANY_NUMBER{INT32_MIN, INT32_MAX};
constexpr FieldRange OBJECT_ID{0, INT32_MAX};
constexpr FieldRange FLAG{0, 1};
constexpr FieldRange POWERUP_TYPE{powerup_ammo, powerup_health};
// The host's hit points stay within the cap; a hit may take them below 0.
constexpr FieldRange HIT_POINTS{-HEALTH_CAP, HEALTH_CAP};
constexpr FieldRange SCORE{0, INT32_MAX};
constexpr FieldRange AMMUNITION{0, AMMO_CAP};
// -1 while unmeasured; a round trip of 100 s is no longer a game.
constexpr FieldRange ROUND_TRIP_MS{-1, 99999};
// The killer of a shot whose shooter has left is -1.
constexpr FieldRange KILLER_ID{-1, INT32_MAX};

// A text field: its count, then its bytes. A zero-terminated text counts
// its terminating zero and holds no other.
struct TextLayout {
    std::int32_t maxBytes;  // the terminating zero included
    bool         zeroTerminated;
};

// The most of each list a message may carry: far more than any game has.
constexpr std::int32_t MAX_WORLD_ENTRIES = 4096;
constexpr std::int32_t MAX_ROUND_TRIPS   = 255;

constexpr TextLayout MAP_NAME_TEXT{256, true};
// A map's own name, the file's without ".raw": letters, digits, '-' and '_'.
constexpr std::int32_t MAX_MAP_NAME_BYTES = 32;
constexpr TextLayout   MAP_TITLE_TEXT{MAX_MAP_NAME_BYTES, false};
constexpr std::int32_t MAP_BYTES = 4096;
constexpr TextLayout   MAP_CELLS_TEXT{MAP_BYTES, false};
// BLAKE2b of the cells, 32 bytes.
constexpr std::int32_t MAP_HASH_BYTES = 32;
constexpr TextLayout   MAP_HASH_TEXT{MAP_HASH_BYTES, false};
constexpr TextLayout   PLAYER_NAME_TEXT{static_cast<std::int32_t>(MAX_NAME_BYTES), false};
// The host's name as the LAN list shows it: 32 characters of up to four bytes.
constexpr std::size_t MAX_SERVER_NAME_CHARACTERS = 32;
constexpr TextLayout  SERVER_NAME_TEXT{static_cast<std::int32_t>(MAX_SERVER_NAME_CHARACTERS * 4), false};

struct YourAvatarMessage {
    static constexpr MessageKind KIND{MSG_YOUR_AVATAR, "MSG_YOUR_AVATAR",
                                      "host to each player at a new game, then to each who joins", SEND_NEW_GAME, 0};
    std::int32_t                 avatarId = 0;

    template <class V>
    void describe(V& v) {
        v.number("id of the avatar the receiving player steers", avatarId, OBJECT_ID);
    }
};

enum WorldEntryKind : std::int32_t { entry_powerup = 0, entry_avatar = 1 };

struct WorldEntry {
    std::int32_t kind = entry_powerup;  // anything else is read as an avatar
    Position     pos;
    std::int32_t type = 0;  // powerups only
    std::int32_t id   = 0;

    template <class V>
    void describe(V& v) {
        v.number("entry kind: 0 a powerup, anything else an avatar", kind, ANY_NUMBER);
        v.cell("cell", pos);
        v.when(kind == entry_powerup, "powerup entries", [&] { v.number("powerup type", type, POWERUP_TYPE); });
        v.number("object id", id, OBJECT_ID);
    }
};

// Every powerup and avatar in play, in the order of the host's world.
struct WorldSetupMessage {
    static constexpr MessageKind KIND{MSG_WORLD_SETUP, "MSG_WORLD_SETUP",
                                      "host to each player at a new game, then to each who joins", SEND_NEW_GAME, 0};
    std::string                  mapName;
    std::vector<WorldEntry>      entries;

    template <class V>
    void describe(V& v) {
        v.text("map file name, as the host loaded it", mapName, MAP_NAME_TEXT);
        v.list("entries", entries, MAX_WORLD_ENTRIES);
    }
};

struct AvatarStateMessage {
    static constexpr MessageKind KIND{MSG_AVATAR_STATE, "MSG_AVATAR_STATE",
                                      "player to host when its controls change; host to the other players",
                                      SEND_STATE_TO_PLAYERS, SEND_STATE_TO_HOST};
    std::int32_t                 avatarId = 0;
    std::int32_t                 left = 0, right = 0, up = 0, down = 0, fire = 0;
    Position                     pos;

    template <class V>
    void describe(V& v) {
        v.number("avatar id", avatarId, OBJECT_ID);
        v.number("left", left, FLAG);
        v.number("right", right, FLAG);
        v.number("up", up, FLAG);
        v.number("down", down, FLAG);
        v.number("fire", fire, FLAG);
        v.cell("the avatar's cell when the message is built", pos);
    }
};

struct AvatarRemoveMessage {
    static constexpr MessageKind KIND{MSG_AVATAR_REMOVE, "MSG_AVATAR_REMOVE",
                                      "player to host when it leaves; host to the other players", SEND_AVATAR_REMOVE,
                                      SEND_AVATAR_REMOVE};
    std::int32_t                 avatarId = 0;

    template <class V>
    void describe(V& v) {
        v.number("id of the avatar that leaves the game", avatarId, OBJECT_ID);
    }
};

struct AvatarRespawnMessage {
    static constexpr MessageKind KIND{MSG_AVATAR_RESPAWN, "MSG_AVATAR_RESPAWN", "host to every player but its own",
                                      SEND_RULE_OUTCOME, 0};
    std::int32_t                 avatarId = 0;
    Position                     pos;

    template <class V>
    void describe(V& v) {
        v.number("avatar id", avatarId, OBJECT_ID);
        v.cell("the cell where it comes back", pos);
    }
};

struct AvatarHpMessage {
    static constexpr MessageKind KIND{MSG_AVATAR_HP, "MSG_AVATAR_HP", "host to every player but its own",
                                      SEND_RULE_OUTCOME, 0};
    std::int32_t                 avatarId = 0;
    std::int32_t                 hp       = 0;

    template <class V>
    void describe(V& v) {
        v.number("id of the avatar that was hit", avatarId, OBJECT_ID);
        v.number("its hit points after the hit, not clamped: 0 or less on a kill", hp, HIT_POINTS);
    }
};

struct ScoreMessage {
    static constexpr MessageKind KIND{MSG_SCORE, "MSG_SCORE", "host to every player but its own", SEND_RULE_OUTCOME, 0};
    std::int32_t                 avatarId = 0;
    std::int32_t                 score    = 0;

    template <class V>
    void describe(V& v) {
        v.number("id of the avatar whose score changes", avatarId, OBJECT_ID);
        v.number("its new score", score, SCORE);
    }
};

struct PowerupTakenMessage {
    static constexpr MessageKind KIND{MSG_POWERUP_TAKEN, "MSG_POWERUP_TAKEN", "host to every player but its own",
                                      SEND_RULE_OUTCOME, 0};
    std::int32_t                 avatarId  = 0;
    std::int32_t                 powerupId = 0;

    template <class V>
    void describe(V& v) {
        v.number("id of the avatar that takes the powerup", avatarId, OBJECT_ID);
        v.number("id of the powerup", powerupId, OBJECT_ID);
    }
};

struct PowerupSpawnMessage {
    static constexpr MessageKind KIND{MSG_POWERUP_SPAWN, "MSG_POWERUP_SPAWN", "host to every player but its own",
                                      SEND_RULE_OUTCOME, 0};
    Position                     pos;
    std::int32_t                 type      = 0;
    std::int32_t                 powerupId = 0;

    template <class V>
    void describe(V& v) {
        v.cell("cell", pos);
        v.number("powerup type", type, POWERUP_TYPE);
        v.number("id the host gave the powerup", powerupId, OBJECT_ID);
    }
};

// The host's count of what each machine otherwise tracks on its own clock:
// where a dead avatar lies, and how many bullets an avatar has left.
struct AvatarStatusMessage {
    static constexpr MessageKind KIND{MSG_AVATAR_STATUS, "MSG_AVATAR_STATUS",
                                      "host to every player in the game, the avatar's owner included",
                                      SEND_RULE_OUTCOME, 0};
    std::int32_t                 avatarId = 0;
    Position                     pos;
    std::int32_t                 hp    = 0;
    std::int32_t                 score = 0;
    std::int32_t                 ammo  = 0;

    template <class V>
    void describe(V& v) {
        v.number("avatar id", avatarId, OBJECT_ID);
        v.cell("cell", pos);
        v.number("hit points", hp, HIT_POINTS);
        v.number("score", score, SCORE);
        v.number("ammunition", ammo, AMMUNITION);
    }
};

// A player joined the running game: its avatar, on a cell the host chose.
struct AvatarAddMessage {
    static constexpr MessageKind KIND{MSG_AVATAR_ADD, "MSG_AVATAR_ADD", "host to every other player in the game",
                                      SEND_RULE_OUTCOME, 0};
    std::int32_t                 avatarId = 0;
    Position                     pos;

    template <class V>
    void describe(V& v) {
        v.number("avatar id", avatarId, OBJECT_ID);
        v.cell("cell", pos);
    }
};

struct AvatarNameMessage {
    static constexpr MessageKind KIND{MSG_AVATAR_NAME, "MSG_AVATAR_NAME", "host to every player in the game",
                                      SEND_RULE_OUTCOME, 0};
    std::int32_t                 avatarId = 0;
    std::string                  name;  // as it came: untrusted

    template <class V>
    void describe(V& v) {
        v.number("avatar id", avatarId, OBJECT_ID);
        v.text("the name, no terminating zero", name, PLAYER_NAME_TEXT);
    }
};

// Who shot whom, as the host decided.
struct KillMessage {
    static constexpr MessageKind KIND{MSG_KILL, "MSG_KILL", "host to every player but its own", SEND_RULE_OUTCOME, 0};
    std::int32_t                 victimId = 0;
    std::int32_t                 killerId = -1;

    template <class V>
    void describe(V& v) {
        v.number("the victim's avatar id", victimId, OBJECT_ID);
        v.number("the killer's avatar id, -1 when the shooter had left", killerId, KILLER_ID);
    }
};

struct RoundTrip {
    std::int32_t avatarId = 0;
    std::int32_t ms       = -1;

    template <class V>
    void describe(V& v) {
        v.number("avatar id", avatarId, OBJECT_ID);
        v.number("its player's round trip to the host in milliseconds, -1 unmeasured", ms, ROUND_TRIP_MS);
    }
};

struct RoundTripsMessage {
    static constexpr MessageKind KIND{MSG_ROUND_TRIPS, "MSG_ROUND_TRIPS", "host to every player but its own, every 2 s",
                                      SEND_RULE_OUTCOME, 0};
    std::vector<RoundTrip>       trips;

    template <class V>
    void describe(V& v) {
        v.list("round trips", trips, MAX_ROUND_TRIPS);
    }
};

enum MatchPhase : std::int32_t { match_playing = 0, match_over = 1 };

// The limits a host may set: a score of a million, a day's minutes.
constexpr FieldRange SCORE_LIMIT{0, 1000000};
constexpr FieldRange TIME_LIMIT_MINUTES{0, 1440};
constexpr FieldRange TIME_LEFT_MS{0, 1440 * 60 * 1000};
constexpr FieldRange END_SCREEN_MS{0, 60 * 1000};
constexpr FieldRange KILL_COUNT{0, INT32_MAX};

// One avatar's line of a match's board.
struct BoardLine {
    std::int32_t avatarId = 0;
    std::string  name;
    std::int32_t score  = 0;
    std::int32_t kills  = 0;
    std::int32_t deaths = 0;

    template <class V>
    void describe(V& v) {
        v.number("avatar id", avatarId, OBJECT_ID);
        v.text("its name, no terminating zero", name, PLAYER_NAME_TEXT);
        v.number("score", score, SCORE);
        v.number("kills", kills, KILL_COUNT);
        v.number("deaths", deaths, KILL_COUNT);
    }
};

// Where the match stands: sent as each match begins (before the world), to
// each player who joins, and when it ends, with the final board.
struct MatchMessage {
    static constexpr MessageKind KIND{
        MSG_MATCH, "MSG_MATCH", "host to every player in the game: a match's start and end, and to each who joins",
        SEND_RULE_OUTCOME, 0};
    std::int32_t           number     = 1;
    std::int32_t           phase      = match_playing;
    std::int32_t           scoreLimit = 0;
    std::int32_t           timeLimit  = 0;
    std::int32_t           timeLeftMs = 0;
    std::int32_t           nextInMs   = 0;
    std::string            map;
    std::string            nextMap;
    std::string            winner;
    std::vector<BoardLine> board;

    template <class V>
    void describe(V& v) {
        v.number("the match's number, 1 for a game's first", number, {1, INT32_MAX});
        v.number("phase: 0 playing, 1 over", phase, {match_playing, match_over});
        v.number("score limit, 0 for none", scoreLimit, SCORE_LIMIT);
        v.number("time limit in minutes, 0 for none", timeLimit, TIME_LIMIT_MINUTES);
        v.number("milliseconds left of the time limit", timeLeftMs, TIME_LEFT_MS);
        v.number("milliseconds until the next match, once over", nextInMs, END_SCREEN_MS);
        v.text("the map's name", map, MAP_TITLE_TEXT);
        v.text("the next map's name", nextMap, MAP_TITLE_TEXT);
        v.text("the winner's name, once over", winner, PLAYER_NAME_TEXT);
        v.list("each avatar's score, kills and deaths", board, MAX_ROUND_TRIPS);
    }
};

// The map a world is played on, so a player who lacks it plays it all the same.
struct MapMessage {
    static constexpr MessageKind KIND{MSG_MAP, "MSG_MAP", "host to each player before each world it sends",
                                      SEND_NEW_GAME, 0};
    std::string                  name;
    std::string                  hash;
    std::string                  cells;

    template <class V>
    void describe(V& v) {
        v.text("the map's name", name, MAP_TITLE_TEXT);
        v.text("BLAKE2b-256 of the cells", hash, MAP_HASH_TEXT);
        v.text("the cells, row by row: 0 floor, else wall", cells, MAP_CELLS_TEXT);
    }
};

// A chat line holds at most 120 characters of up to four bytes each.
constexpr std::size_t MAX_CHAT_CHARACTERS = 120;
constexpr TextLayout  CHAT_TEXT{static_cast<std::int32_t>(MAX_CHAT_CHARACTERS * 4), false};

enum ChatKind : std::int32_t { chat_said = 0, chat_notice = 1, chat_farewell = 2 };

// A line someone said, or the host's notice of who joined or left. From a
// player only the text counts: the host names the speaker.
struct ChatMessage {
    static constexpr MessageKind KIND{MSG_CHAT, "MSG_CHAT",
                                      "player to host: a line it says; host to every player: a line said, or a notice",
                                      SEND_CHAT, SEND_CHAT};
    std::int32_t                 kind = chat_said;
    std::string                  from;
    std::string                  text;

    template <class V>
    void describe(V& v) {
        v.number("0 a line said, 1 a notice (joins, leaves, \"Slow down.\"), 2 why the host ends this player's game",
                 kind, {chat_said, chat_farewell});
        v.text("who said it (the host's word; empty from players and in notices)", from, PLAYER_NAME_TEXT);
        v.text("the line, UTF-8, no terminating zero", text, CHAT_TEXT);
    }
};

struct LobbyName {
    std::string name;

    template <class V>
    void describe(V& v) {
        v.text("a player's name", name, PLAYER_NAME_TEXT);
    }
};

// What a joined player waits for, each second while the host waits.
struct LobbyMessage {
    static constexpr MessageKind KIND{MSG_LOBBY, "MSG_LOBBY",
                                      "host to every player, each second before the game starts", SEND_CHAT, 0};
    std::vector<LobbyName>       players;
    std::int32_t                 bots       = 0;
    std::int32_t                 scoreLimit = 0;
    std::int32_t                 timeLimit  = 0;
    std::string                  map;
    std::string                  serverName;  // as it came: untrusted

    template <class V>
    void describe(V& v) {
        v.list("the players' names, the host's first", players, MAX_ROUND_TRIPS);
        v.number("bots in the game to come", bots, {0, 255});
        v.number("score limit, 0 for none", scoreLimit, SCORE_LIMIT);
        v.number("time limit in minutes, 0 for none", timeLimit, TIME_LIMIT_MINUTES);
        v.text("the first map's name", map, MAP_TITLE_TEXT);
        v.text("the server's name, as the LAN list shows it", serverName, SERVER_NAME_TEXT);
    }
};

template <class... Messages>
struct MessageList {};

// Every game message, in the order of their ids.
using GameMessages = MessageList<YourAvatarMessage, WorldSetupMessage, AvatarStateMessage, AvatarRemoveMessage,
                                 AvatarRespawnMessage, AvatarHpMessage, ScoreMessage, PowerupTakenMessage,
                                 PowerupSpawnMessage, AvatarStatusMessage, AvatarAddMessage, AvatarNameMessage,
                                 KillMessage, RoundTripsMessage, MatchMessage, MapMessage, ChatMessage, LobbyMessage>;

class Avatar;

// The avatar's control flags and cell, as a state message reports them.
AvatarStateMessage  stateOf(const Avatar& avatar);
AvatarStatusMessage statusOf(const Avatar& avatar);

// The id at offset 0, or -1 for a buffer too short to hold one.
std::int32_t messageId(const MessageBuffer& message);
