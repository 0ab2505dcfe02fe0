#include "RoguePeer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "net/Bundle.h"
#include "net/ByteCodec.h"
#include "net/WireProtocol.h"
#include "rules/PackedForm.h"

RoguePeer::RoguePeer() {
    if (!net.create(nullptr, 4)) {
        ADD_FAILURE() << "the rogue peer has no socket: " << std::strerror(errno);
        return;
    }
    net.start([this](ENetHost* host) { serviceLocked(host); }, [] {});
}

void RoguePeer::serviceLocked(ENetHost* const host) {
    const enet_uint32 now = monotonicMs();
    ENetEvent         event;
    while (enet_host_service(host, &event, 0) > 0) {
        switch (event.type) {
            case ENET_EVENT_TYPE_CONNECT:
                peer = event.peer;
                net.connected(*peer, now);
                isConnected = true;
                break;
            case ENET_EVENT_TYPE_RECEIVE: {
                net.heard(*event.peer, now);
                const auto    packet = readPacket(*event.packet);
                std::uint32_t id     = 0;
                if (packet && packet->kind == PacketKind::welcome && readWelcomeId(packet->payload, packet->size, id)) {
                    playerId = id;
                } else if (packet && packet->kind == PacketKind::bundle) {
                    const std::lock_guard<std::mutex> guard(receivedLock);
                    readBundle(gameWireForm(), packet->payload, packet->size, messages);
                }
                enet_packet_destroy(event.packet);
                break;
            }
            case ENET_EVENT_TYPE_DISCONNECT:
                reason      = event.data;
                isConnected = false;
                break;
            case ENET_EVENT_TYPE_NONE:
                break;
        }
    }
    net.keepAlive(now);
}

bool RoguePeer::connectTo(const char* const address, const std::uint16_t port, const std::chrono::milliseconds bound) {
    ENetAddress target{};
    target.port = port;
    inet_pton(AF_INET, address, &target.host);
    {
        const std::lock_guard<std::mutex> guard(net.lock);
        enet_host_connect(net.get(), &target, 1, 0);
        enet_host_flush(net.get());
    }
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!isConnected && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return isConnected;
}

void RoguePeer::sendPacket(const std::vector<std::uint8_t>& bytes, const bool reliable) {
    const std::lock_guard<std::mutex> guard(net.lock);
    if (peer == nullptr || !isConnected) {
        return;
    }
    net.sendNow(peer, enet_packet_create(bytes.data(), bytes.size(), reliable ? ENET_PACKET_FLAG_RELIABLE : 0));
}

void RoguePeer::sendGame(const MessageBuffer& message, const bool reliable) {
    // A bundle of the one message, packed as the game packs it; bytes the
    // game's form cannot carry go as they are, as an attacker would send them.
    std::vector<std::uint8_t> packet{static_cast<std::uint8_t>(PacketKind::bundle)};
    if (!gameWireForm().pack(message.data(), message.size(), packet)) {
        packet.insert(packet.end(), message.begin(), message.end());
    }
    sendPacket(packet, reliable);
}

void RoguePeer::sendHello(const Guid& guid, const std::string& name) {
    ByteWriter hello;
    hello.putBytes("\x01", 1).putU32(guid.data1).putU16(guid.data2).putU16(guid.data3);
    hello.putBytes(guid.data4.data(), guid.data4.size()).putBytes(name.data(), name.size()).putBytes("", 1);
    sendPacket(hello.bytes());
}

std::vector<MessageBuffer> RoguePeer::received() {
    const std::lock_guard<std::mutex> guard(receivedLock);
    return messages;
}
