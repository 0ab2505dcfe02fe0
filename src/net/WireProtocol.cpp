#include "net/WireProtocol.h"

#include <algorithm>
#include <cstring>

#include "net/ByteCodec.h"

ENetPacket* makePacket(const PacketKind kind, const void* const payload, const std::size_t size,
                       const std::uint32_t sendFlags) {
    const enet_uint32 flags  = (sendFlags & DPNSEND_GUARANTEED) != 0 ? ENET_PACKET_FLAG_RELIABLE : 0;
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

ENetPacket* makeHello(const Guid& applicationGuid, const char* const playerName, const char* const password) {
    ByteWriter payload;
    payload.putU32(applicationGuid.data1).putU16(applicationGuid.data2).putU16(applicationGuid.data3);
    payload.putBytes(applicationGuid.data4.data(), applicationGuid.data4.size());
    payload.putBytes(playerName, strnlen(playerName, MAX_HELLO_NAME)).putBytes("", 1);
    payload.putBytes(password, strnlen(password, MAX_PASSWORD)).putBytes("", 1);
    return makePacket(PacketKind::hello, payload.bytes().data(), payload.bytes().size(), DPNSEND_GUARANTEED);
}

ENetPacket* makeWelcome(const std::uint32_t playerId, const char* const sessionName) {
    ByteWriter payload;
    payload.putU32(playerId).putBytes(sessionName, std::strlen(sessionName) + 1);
    return makePacket(PacketKind::welcome, payload.bytes().data(), payload.bytes().size(), DPNSEND_GUARANTEED);
}

ENetPacket* makeHeartbeat() {
    const auto kind = static_cast<enet_uint8>(PacketKind::heartbeat);
    return enet_packet_create(&kind, 1, ENET_PACKET_FLAG_UNSEQUENCED);
}

std::optional<ReceivedPacket> readPacket(const ENetPacket& packet) {
    if (packet.dataLength < 1) {
        return std::nullopt;
    }
    return ReceivedPacket{static_cast<PacketKind>(packet.data[0]), packet.data + 1, packet.dataLength - 1};
}

bool readHelloGuid(const std::uint8_t* const payload, const std::size_t size, Guid& guid) {
    ByteReader reader(payload, size);
    Guid       read{};
    read.data1 = reader.getU32();
    read.data2 = reader.getU16();
    read.data3 = reader.getU16();
    if (!reader.getBytes(read.data4.data(), read.data4.size())) {
        return false;
    }
    guid = read;
    return true;
}

std::string readHelloName(const std::uint8_t* const payload, const std::size_t size) {
    if (size <= HELLO_SIZE - 1) {
        return {};
    }
    const auto* const name   = reinterpret_cast<const char*>(payload + HELLO_SIZE - 1);
    const std::size_t length = strnlen(name, std::min(size - (HELLO_SIZE - 1), MAX_HELLO_NAME));
    return std::string(name, length);
}

std::string readHelloPassword(const std::uint8_t* const payload, const std::size_t size) {
    if (size <= HELLO_SIZE - 1) {
        return {};
    }
    const auto* const name    = reinterpret_cast<const char*>(payload + HELLO_SIZE - 1);
    const std::size_t rest    = size - (HELLO_SIZE - 1);
    const std::size_t nameEnd = strnlen(name, rest);
    if (nameEnd >= rest || nameEnd > MAX_HELLO_NAME) {
        return {};  // no terminating zero within the name's room: no password either
    }
    const char* const password = name + nameEnd + 1;
    return std::string(password, strnlen(password, std::min(rest - nameEnd - 1, MAX_PASSWORD)));
}

bool readWelcomeId(const std::uint8_t* const payload, const std::size_t size, std::uint32_t& playerId) {
    ByteReader          reader(payload, size);
    const std::uint32_t id = reader.getU32();
    if (!reader.ok() || id == 0) {
        return false;
    }
    playerId = id;
    return true;
}
