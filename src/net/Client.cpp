#include "net/Client.h"

#include <arpa/inet.h>
#include <netdb.h>

#include "net/ComError.h"
#include "net/WireProtocol.h"

namespace {

// The name a player introduces itself by until the game gives it one.
constexpr const char* DEFAULT_PLAYER_NAME = "test player";

// How long a closing client waits for the host to acknowledge it leaving:
// everything it queued, its avatar's removal included, arrives first. On a
// live link that takes a round trip; the bound only matters when the host is
// gone or the link loses much.
constexpr enet_uint32 LEAVE_TIMEOUT_MS = 2000;

}  // namespace

Client::Client(const Guid& guid, const IWireForm& form) : applicationGuid(guid), playerName(DEFAULT_PLAYER_NAME) {
    if (!net.create(nullptr, 1)) {
        reportComError(E_FAIL, "DPlayClient");
    }
    net.setWireForm(form);
}

Client::~Client() {
    close();
}

std::int32_t Client::connect(const char* const hostName) {
    if (net.get() == nullptr || closed) {
        return -1;
    }
    if (attemptStarted) {
        reportConnectError(DPNERR_ALREADYCONNECTED);
        return -1;
    }
    in_addr parsed{};
    if (hostName == nullptr || inet_pton(AF_INET, hostName, &parsed) != 1) {
        reportConnectError(DPNERR_INVALIDHOSTADDRESS);
        return -1;
    }
    ENetAddress address{};
    address.host = parsed.s_addr;
    address.port = hostPort;
    {
        const std::lock_guard<std::mutex> guard(net.lock);
        server = enet_host_connect(net.get(), &address, 1, 0);
        if (server == nullptr) {
            reportConnectError(DPNERR_NOCONNECTION);
            return -1;
        }
        enet_host_flush(net.get());
    }
    attemptStarted = true;
    net.start([this](ENetHost* host) { serviceLocked(host); }, [this] { handOver(); });
    return 0;
}

void Client::serviceLocked(ENetHost* const host) {
    const enet_uint32 now = monotonicMs();
    ENetEvent         event;
    while (enet_host_service(host, &event, 0) > 0) {
        switch (event.type) {
            case ENET_EVENT_TYPE_CONNECT:
                net.connected(*event.peer, now);
                net.sendNow(event.peer, makeHello(applicationGuid, playerName.c_str(), spectator));
                break;
            case ENET_EVENT_TYPE_RECEIVE:
                net.heard(*event.peer, now);
                onReceive(*event.packet);
                enet_packet_destroy(event.packet);
                break;
            case ENET_EVENT_TYPE_DISCONNECT:
                if (event.data == DISCONNECT_FOREIGN_APPLICATION) {
                    refused = true;
                }
                if (event.data == DISCONNECT_WRONG_PASSWORD) {
                    passwordRefused = true;
                }
                if (event.data == DISCONNECT_HELD_OFF) {
                    held = true;
                }
                ended = event.data;
                if (welcomed) {
                    arrivals.push_back({Arrival::What::sessionEnded, 0, {}});
                    welcomed = false;
                }
                server = nullptr;
                break;
            case ENET_EVENT_TYPE_NONE:
                break;
        }
    }
    for (ENetPeer* const silent : net.keepAlive(now)) {
        // The host vanished: the session is over, as if it had closed it.
        enet_peer_reset(silent);
        if (welcomed) {
            arrivals.push_back({Arrival::What::sessionEnded, 0, {}});
            welcomed = false;
        }
        server = nullptr;
    }
}

void Client::onReceive(const ENetPacket& packet) {
    const std::optional<ReceivedPacket> received = readPacket(packet);
    if (!received) {
        return;
    }
    const std::uint8_t* const payload = received->payload;
    const std::size_t         size    = received->size;
    switch (received->kind) {
        case PacketKind::welcome: {
            std::uint32_t id = 0;
            if (!welcomed && readWelcomeId(payload, size, id)) {
                welcomed = true;
                arrivals.push_back({Arrival::What::welcome, id, {}});
            }
            break;
        }
        case PacketKind::challenge:
            if (const std::optional<Challenge> challenge = readChallenge(payload, size); challenge && !welcomed) {
                answer(*challenge);
            }
            break;
        case PacketKind::bundle:
            if (welcomed) {
                std::vector<MessageBuffer> messages;
                readBundle(net.form(), payload, size, messages);
                for (MessageBuffer& message : messages) {
                    arrivals.push_back({Arrival::What::message, 0, std::move(message)});
                }
            }
            break;
        default:
            break;  // nothing else is meant for a player
    }
}

void Client::answer(const Challenge& challenge) {
    // Without a password there is nothing to prove: as a wrong one would.
    const std::optional<ProofKey> key =
        password.empty() ? std::nullopt : proofKey(password.substr(0, MAX_PASSWORD), challenge.salt);
    if (!key) {
        passwordRefused = true;
        enet_peer_disconnect(server, DISCONNECT_WRONG_PASSWORD);
        return;
    }
    net.sendNow(server, makeProof(answerTo(challenge.challenge, *key)));
}

void Client::handOver() {
    for (Arrival& arrival : arrivals) {
        switch (arrival.what) {
            case Arrival::What::welcome:
                playerId  = arrival.playerId;
                connected = true;
                break;
            case Arrival::What::message:
                incoming.push(std::move(arrival.bytes));
                break;
            case Arrival::What::sessionEnded:
                incoming.push(noticeBuffer(NET_SESSION_TERMINATED));
                connected = false;
                break;
        }
    }
    arrivals.clear();
}

std::int32_t Client::send(const std::uint32_t size, const void* const data, const std::uint32_t flags) {
    if (!connected) {
        return -1;
    }
    const std::lock_guard<std::mutex> guard(net.lock);
    if (server == nullptr) {
        return -1;
    }
    // A synchronous send is on the socket before it returns; the others
    // leave together with the frame's flush.
    std::vector<std::uint8_t> packed;
    if (!net.form().pack(static_cast<const std::uint8_t*>(data), size, packed)) {
        return -1;  // not a message its description accepts: the host would refuse it
    }
    return net.bundle(*server, packed, flags) ? 0 : -1;
}

void Client::flush() {
    net.endFrame();
}

void Client::close() {
    if (closed) {
        return;
    }
    closed = true;
    net.stop();
    net.disconnectAll(0, LEAVE_TIMEOUT_MS);
    connected = false;
    arrivals.clear();
}

void Client::setPlayerName(const std::string& name) {
    if (!attemptStarted) {
        playerName = name;
    }
}

void Client::setPassword(const std::string& word) {
    if (!attemptStarted) {
        password = word;
    }
}

std::uint32_t Client::localPlayerId() const {
    return playerId;
}

std::optional<std::string> resolveIPv4(const std::string& hostName) {
    addrinfo hints{};
    hints.ai_family   = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* results = nullptr;
    if (hostName.empty() || getaddrinfo(hostName.c_str(), nullptr, &hints, &results) != 0 || results == nullptr) {
        return std::nullopt;
    }
    char dotted[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(results->ai_addr)->sin_addr, dotted, sizeof dotted);
    freeaddrinfo(results);
    return std::string(dotted);
}

std::optional<HostAndPort> splitHostPort(const std::string& address, const std::uint16_t defaultPort) {
    const std::size_t colon = address.rfind(':');
    if (colon == std::string::npos) {
        return HostAndPort{address, defaultPort};
    }
    const std::string digits = address.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const unsigned long port = std::stoul(digits);
    if (port < 1 || port > 65535) {
        return std::nullopt;
    }
    return HostAndPort{address.substr(0, colon), static_cast<std::uint16_t>(port)};
}
