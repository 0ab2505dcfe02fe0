#include "net/WireProtocol.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

void putU32(std::vector<std::uint8_t>& out, const std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void putU16(std::vector<std::uint8_t>& out, const std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

std::uint32_t getU32(const std::uint8_t* const bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::uint16_t getU16(const std::uint8_t* const bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

}  // namespace

ENetPacket* makePacket(const PacketKind kind, const void* const payload, const std::size_t size,
                       const std::uint32_t sendFlags) {
    const enet_uint32 flags = (sendFlags & DPNSEND_GUARANTEED) != 0 ? ENET_PACKET_FLAG_RELIABLE : 0;
    ENetPacket* const packet = enet_packet_create(nullptr, size + 1, flags);
    if (packet == nullptr) {
        return nullptr;
    }
    packet->data[0] = static_cast<enet_uint8>(kind);
    if (size > 0) {
        std::memcpy(packet->data + 1, payload, size);
    }
    return packet;
}

ENetPacket* makeHello(const Guid& applicationGuid, const char* const playerName) {
    std::vector<std::uint8_t> payload;
    putU32(payload, applicationGuid.data1);
    putU16(payload, applicationGuid.data2);
    putU16(payload, applicationGuid.data3);
    payload.insert(payload.end(), applicationGuid.data4.begin(), applicationGuid.data4.end());
    payload.insert(payload.end(), playerName, playerName + std::strlen(playerName) + 1);
    return makePacket(PacketKind::hello, payload.data(), payload.size(), DPNSEND_GUARANTEED);
}

ENetPacket* makeWelcome(const std::uint32_t playerId, const char* const sessionName) {
    std::vector<std::uint8_t> payload;
    putU32(payload, playerId);
    payload.insert(payload.end(), sessionName, sessionName + std::strlen(sessionName) + 1);
    return makePacket(PacketKind::welcome, payload.data(), payload.size(), DPNSEND_GUARANTEED);
}

std::optional<ReceivedPacket> readPacket(const ENetPacket& packet) {
    if (packet.dataLength < 1) {
        return std::nullopt;
    }
    return ReceivedPacket{static_cast<PacketKind>(packet.data[0]), packet.data + 1, packet.dataLength - 1};
}

bool readHelloGuid(const std::uint8_t* const payload, const std::size_t size, Guid& guid) {
    if (size < HELLO_SIZE - 1) {
        return false;
    }
    guid.data1 = getU32(payload);
    guid.data2 = getU16(payload + 4);
    guid.data3 = getU16(payload + 6);
    std::memcpy(guid.data4.data(), payload + 8, guid.data4.size());
    return true;
}

bool readWelcomeId(const std::uint8_t* const payload, const std::size_t size, std::uint32_t& playerId) {
    if (size < 4) {
        return false;
    }
    playerId = getU32(payload);
    return playerId != 0;
}
