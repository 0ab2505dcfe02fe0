#pragma once

// How Quillstep talks over ENet (see docs/network-protocol.md). Only the
// network objects include this.

#include <enet/enet.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "net/NetTypes.h"
#include "net/PasswordProof.h"

// The first byte of every packet.
enum class PacketKind : std::uint8_t {
    hello   = 1,  // player to host: application GUID and player name
    welcome = 2,  // host to player: the player's id and the session name
    // 3 carried one game message as it was; bundles took its place.
    heartbeat = 4,  // either way, unsequenced, no payload: "still here"
    challenge = 5,  // host to player of a private game: a salt and a challenge
    proof     = 6,  // player to host: the answer to the challenge
    bundle    = 7,  // either way: game messages in their wire form, one after another (net/Bundle.h)
};

// The reasons a host gives when it drops a peer.
constexpr enet_uint32 DISCONNECT_FOREIGN_APPLICATION = 1;  // another GUID, or a malformed hello
constexpr enet_uint32 DISCONNECT_NO_HELLO            = 2;  // no hello in time, or too many waiting from its address
constexpr enet_uint32 DISCONNECT_FLOODING            = 3;  // sent far more than a player can
constexpr enet_uint32 DISCONNECT_WRONG_PASSWORD      = 4;  // a private game, and the answer is not its password's
constexpr enet_uint32 DISCONNECT_HELD_OFF            = 5;  // too many wrong passwords from its address lately
constexpr enet_uint32 DISCONNECT_HOST_ENDED          = 6;  // the host ended the game, or quit
constexpr enet_uint32 DISCONNECT_KICKED              = 7;  // the host's admin moved it out (its last message says why)
constexpr enet_uint32 DISCONNECT_BANNED              = 8;  // its address may not play here
constexpr enet_uint32 DISCONNECT_FULL                = 9;  // the game has as many players as it takes

// Liveness: each end takes a peer it has had no datagram from for
// SILENCE_LIMIT_MS as gone, and sends a heartbeat each HEARTBEAT_PERIOD_MS
// to a peer it sent nothing else to meanwhile. Every datagram counts, also
// one whose packet waits behind a lost one, so a live peer on a lossy link
// is heard several times a second whatever it sends.
constexpr enet_uint32 HEARTBEAT_PERIOD_MS = 250;
constexpr enet_uint32 SILENCE_LIMIT_MS    = 4000;

constexpr std::size_t HELLO_SIZE = 1 + 16;  // the player name may follow

// Packets are built here so that every send maps its flags the same way:
// guaranteed sends are reliable, all others unreliable but sequenced, and
// everything travels on one channel so a sender's messages keep their order
// (bundles, net/Bundle.h, map them the same way).
ENetPacket* makePacket(PacketKind kind, const void* payload, std::size_t size, std::uint32_t sendFlags);

// A spectator's hello carries one byte more after the name's zero: it
// watches, with no avatar, and counts against the spectators' limit.
ENetPacket* makeHello(const Guid& applicationGuid, const char* playerName, bool spectator = false);
ENetPacket* makeChallenge(const ProofSalt& salt, const ProofNonce& challenge);
ENetPacket* makeProof(const PasswordHash& answer);
ENetPacket* makeWelcome(std::uint32_t playerId, const char* sessionName);
ENetPacket* makeHeartbeat();

// A received packet: its kind and the bytes after it.
struct ReceivedPacket {
    PacketKind          kind;
    const std::uint8_t* payload;
    std::size_t         size;
};

// Nothing for an empty packet.
std::optional<ReceivedPacket> readPacket(const ENetPacket& packet);

// Each reads a packet's payload, the bytes after the kind.
bool readHelloGuid(const std::uint8_t* payload, std::size_t size, Guid& guid);
// The name after the GUID, up to its terminating zero or MAX_HELLO_NAME bytes;
// raw bytes, for the rules to clean.
constexpr std::size_t MAX_HELLO_NAME = 64;
std::string           readHelloName(const std::uint8_t* payload, std::size_t size);
// Whether the hello asks to watch: a 1 right after the name's zero.
bool readHelloSpectator(const std::uint8_t* payload, std::size_t size);
// The longest password a game takes.
constexpr std::size_t MAX_PASSWORD = 64;
struct Challenge {
    ProofSalt  salt;
    ProofNonce challenge;
};
std::optional<Challenge>    readChallenge(const std::uint8_t* payload, std::size_t size);
std::optional<PasswordHash> readProof(const std::uint8_t* payload, std::size_t size);
bool                        readWelcomeId(const std::uint8_t* payload, std::size_t size, std::uint32_t& playerId);
