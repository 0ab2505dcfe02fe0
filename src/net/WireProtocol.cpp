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

ENetPacket* makeHello(const Guid& applicationGuid, const char* const playerName, const bool spectator) {
    ByteWriter payload;
    payload.putU32(applicationGuid.data1).putU16(applicationGuid.data2).putU16(applicationGuid.data3);
    payload.putBytes(applicationGuid.data4.data(), applicationGuid.data4.size());
    payload.putBytes(playerName, strnlen(playerName, MAX_HELLO_NAME)).putBytes("", 1);
    if (spectator) {
        payload.putU8(1);
    }
    return makePacket(PacketKind::hello, payload.bytes().data(), payload.bytes().size(), DPNSEND_GUARANTEED);
}

ENetPacket* makeChallenge(const ProofSalt& salt, const ProofNonce& challenge) {
    ByteWriter payload;
    payload.putBytes(salt.data(), salt.size()).putBytes(challenge.data(), challenge.size());
    return makePacket(PacketKind::challenge, payload.bytes().data(), payload.bytes().size(), DPNSEND_GUARANTEED);
}

ENetPacket* makeProof(const PasswordHash& answer) {
    return makePacket(PacketKind::proof, answer.data(), answer.size(), DPNSEND_GUARANTEED);
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

bool readHelloSpectator(const std::uint8_t* const payload, const std::size_t size) {
    const std::size_t name = readHelloName(payload, size).size();
    const std::size_t role = HELLO_SIZE - 1 + name + 1;  // after the name's zero
    return size > role && payload[role - 1] == 0 && payload[role] == 1;
}

std::optional<Challenge> readChallenge(const std::uint8_t* const payload, const std::size_t size) {
    Challenge read{};
    if (size != read.salt.size() + read.challenge.size()) {
        return std::nullopt;
    }
    std::memcpy(read.salt.data(), payload, read.salt.size());
    std::memcpy(read.challenge.data(), payload + read.salt.size(), read.challenge.size());
    return read;
}

std::optional<PasswordHash> readProof(const std::uint8_t* const payload, const std::size_t size) {
    PasswordHash answer{};
    if (size != answer.size()) {
        return std::nullopt;
    }
    std::memcpy(answer.data(), payload, answer.size());
    return answer;
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
