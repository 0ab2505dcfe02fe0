#pragma once

// How Quillstep talks over ENet (see docs/network-protocol.md). Only the
// network objects include this.

#include <enet/enet.h>

#include <cstddef>
#include <cstdint>
#include <optional>

#include "net/NetTypes.h"

// The first byte of every packet.
enum class PacketKind : std::uint8_t {
    hello   = 1,  // player to host: application GUID and player name
    welcome = 2,  // host to player: the player's id and the session name
    game    = 3,  // either way: one game message, the bytes after this one
};

// The reason a host gives when it drops a peer during the handshake.
constexpr enet_uint32 DISCONNECT_FOREIGN_APPLICATION = 1;

constexpr std::size_t HELLO_SIZE = 1 + 16;  // the player name may follow

// Packets are built here so that every send maps its flags the same way:
// guaranteed sends are reliable, all others unreliable but sequenced, and
// everything travels on one channel so a sender's messages keep their order.
ENetPacket* makePacket(PacketKind kind, const void* payload, std::size_t size, std::uint32_t sendFlags);

ENetPacket* makeHello(const Guid& applicationGuid, const char* playerName);
ENetPacket* makeWelcome(std::uint32_t playerId, const char* sessionName);

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
bool readWelcomeId(const std::uint8_t* payload, std::size_t size, std::uint32_t& playerId);
