#include "net/Server.h"

#include <arpa/inet.h>
#include <malloc.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "net/WireProtocol.h"
#include "platform/Platform.h"

namespace {

// Enough for any LAN party; every world set-up for this many players stays
// far below the largest message a player accepts.
constexpr std::size_t MAX_PLAYERS = 255;

constexpr enet_uint32 ROUND_TRIP_PERIOD_MS = 250;
// How long a closing host waits for its players to acknowledge the end.
constexpr enet_uint32 CLOSE_TIMEOUT_MS = 1000;

// A peer must say hello this soon after connecting. Hellos are sent the
// moment the connection stands; on a lossy link ENet may need a few resends,
// each after a longer wait, while it still knows little of the round trip.
constexpr enet_uint32 HELLO_DEADLINE_MS = 5000;
// Peers from one address still waiting to say hello. Players who said hello
// are not counted: a LAN may put many players behind one address.
constexpr std::size_t MAX_WAITING_PER_ADDRESS = 4;
// Slots the host keeps free for someone new, taking them from peers that
// have not said hello when it must.
constexpr std::size_t SPARE_SLOTS = 16;

// Addresses whose wrong passwords the host remembers, and the lines it keeps
// for its log until the game reads them.
constexpr std::size_t MAX_GUESSING_ADDRESSES = 1024;
constexpr std::size_t MAX_NOTES              = 256;

// What a player sends at most: a state report when its keys change, which
// fingers do a few times a second and a frame of 60 a second could at most
// every frame, and four heartbeats. Twice that a second is a flood, not a
// player. It is counted over two seconds: a link that stalls delivers what
// it held back all at once, and a second of that is no flood.
constexpr enet_uint32   RATE_WINDOW_MS         = 2000;
constexpr std::uint32_t MAX_PACKETS_PER_WINDOW = 2 * 128;
constexpr std::uint32_t MAX_BYTES_PER_WINDOW   = 2 * 128 * 1024;
// A bundle carries any number of messages; a player's frame has a few.
constexpr std::uint32_t MAX_MESSAGES_PER_WINDOW = 2 * 256;

// glibc keeps what a departed peer's unfinished packets took (up to 128 KiB
// each, over 30 MiB for a full game) for its next mallocs; handed back at
// most this often once peers have gone, it costs a few milliseconds.
constexpr enet_uint32 TRIM_PERIOD_MS = 1000;

// A player's id lives in its peer's user data; 0 means not (yet) a player.
std::uint32_t playerIdOf(const ENetPeer& peer) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(peer.data));
}

void setPlayerId(ENetPeer& peer, const std::uint32_t playerId) {
    peer.data = reinterpret_cast<void*>(static_cast<std::uintptr_t>(playerId));
}

void reportHostFailure(const int error, const std::uint16_t port) {
    char text[256];
    if (error == EADDRINUSE) {
        std::snprintf(text, sizeof text,
                      "The game could not be hosted: port %u is already in use. Is another game "
                      "hosted on this machine?",
                      port);
    } else {
        std::snprintf(text, sizeof text, "The game could not be hosted on port %u: %s.", port, std::strerror(error));
    }
    showError(text);
}

}  // namespace

Server::Server(const Guid& guid, const IWireForm& form) : applicationGuid(guid) {
    net.setWireForm(form);
}

Server::~Server() {
    close();
}

std::int32_t Server::host(const char* const newSessionName) {
    if (net.get() != nullptr) {
        return -1;  // a server hosts once
    }
    ENetAddress address{};
    address.host = ENET_HOST_ANY;
    address.port = port;
    errno        = 0;
    // Room on top of a full game for the slots kept spare and as many again:
    // with every player in, the next one still gets far enough to be told
    // the game is full, and is not taken for a request that never finishes.
    if (!net.create(&address, MAX_PLAYERS + 2 * SPARE_SLOTS)) {
        reportHostFailure(errno != 0 ? errno : EADDRNOTAVAIL, port);
        return -1;
    }
    sessionName = newSessionName != nullptr ? newSessionName : "";
    watches.assign(net.get()->peerCount, PeerWatch{});
    // Peers from one address in any state, ENet's own handshake included.
    net.get()->duplicatePeers = maxPerAddress;
    noteSmallBuffers();
    net.start([this](ENetHost* host) { serviceLocked(host); }, [this] { handOver(); });
    return 0;
}

void Server::noteSmallBuffers() {
    // A full game's datagrams overflow smaller buffers: players' reports are
    // lost, and the host looks slow.
    const NetHost::SocketBuffers buffers = net.socketBuffers();
    if (buffers.receive >= buffers.asked && buffers.send >= buffers.asked) {
        return;
    }
    const auto kib = [](const int bytes) { return std::to_string(bytes / 1024) + " KiB"; };
    note("Socket buffers of " + kib(buffers.receive) + " to receive and " + kib(buffers.send) + " to send, not the " +
         kib(buffers.asked) + " asked for: raise net.core.rmem_max and net.core.wmem_max (the server package's " +
         "/usr/lib/sysctl.d/50-quillstep-server.conf does).");
}

void Server::serviceLocked(ENetHost* const host) {
    const enet_uint32 now = monotonicMs();
    ENetEvent         event;
    while (enet_host_service(host, &event, 0) > 0) {
        switch (event.type) {
            case ENET_EVENT_TYPE_CONNECT:
                onConnect(*event.peer, now);
                break;
            case ENET_EVENT_TYPE_RECEIVE:
                net.heard(*event.peer, now);
                if (withinRate(*event.peer, event.packet->dataLength, now)) {
                    onReceive(*event.peer, *event.packet, now);
                }
                enet_packet_destroy(event.packet);
                break;
            case ENET_EVENT_TYPE_DISCONNECT:
                trimDue = true;
                if (const std::uint32_t id = playerIdOf(*event.peer); id != 0) {
                    arrivals.push_back({Arrival::What::left, id, {}, 0.0f, {}, {}, false});
                    playerPeers.erase(id);
                    spectatorIds.erase(id);
                }
                setPlayerId(*event.peer, 0);
                break;
            case ENET_EVENT_TYPE_NONE:
                break;
        }
    }
    dropLatePeers(host, now);
    measureRoundTrips(host);
}

void Server::onConnect(ENetPeer& peer, const enet_uint32 now) {
    setPlayerId(peer, 0);  // a player only once it has said hello
    net.connected(peer, now);
    ENetHost* const host = net.get();
    watches.resize(host->peerCount);
    PeerWatch& watch = watches[static_cast<std::size_t>(&peer - host->peers)];
    PeerWatch  fresh;
    fresh.connectedAt = now;
    fresh.windowStart = now;
    fresh.busySince   = watch.busySince != 0 ? watch.busySince : now;
    watch             = fresh;

    std::size_t waiting = 0;
    for (const ENetPeer* other = host->peers; other < host->peers + host->peerCount; ++other) {
        if (other != &peer && other->state == ENET_PEER_STATE_CONNECTED && playerIdOf(*other) == 0 &&
            other->address.host == peer.address.host) {
            ++waiting;
        }
    }
    if (waiting >= MAX_WAITING_PER_ADDRESS) {
        cutOff(peer, DISCONNECT_NO_HELLO);
    }
}

bool Server::withinRate(ENetPeer& peer, const std::size_t bytes, const enet_uint32 now) {
    PeerWatch& watch = watches[static_cast<std::size_t>(&peer - net.get()->peers)];
    if (now - watch.windowStart >= RATE_WINDOW_MS) {
        watch.windowStart    = now;
        watch.windowBytes    = 0;
        watch.windowPackets  = 0;
        watch.windowMessages = 0;
    }
    watch.windowBytes += static_cast<std::uint32_t>(std::min<std::size_t>(bytes, MAX_BYTES_PER_WINDOW));
    ++watch.windowPackets;
    if (watch.windowBytes > MAX_BYTES_PER_WINDOW || watch.windowPackets > MAX_PACKETS_PER_WINDOW) {
        cutOff(peer, DISCONNECT_FLOODING);
        return false;
    }
    return true;
}

void Server::dropLatePeers(ENetHost* const host, const enet_uint32 now) {
    for (ENetPeer* peer = host->peers; peer < host->peers + host->peerCount; ++peer) {
        const PeerWatch& watch = watches[static_cast<std::size_t>(peer - host->peers)];
        if (peer->state == ENET_PEER_STATE_CONNECTED && playerIdOf(*peer) == 0 &&
            now - watch.connectedAt > HELLO_DEADLINE_MS) {
            cutOff(*peer, DISCONNECT_NO_HELLO);
        }
    }
    for (ENetPeer* const silent : net.keepAlive(now)) {
        cutOff(*silent, 0);
    }
    keepSlotsSpare(host, now);
}

void Server::keepSlotsSpare(ENetHost* const host, const enet_uint32 now) {
    // When few slots are left, the peers that have not said hello give theirs
    // up, the longest waiting first: connection requests that never finish,
    // from however many addresses, cannot keep a player out for long.
    std::size_t            spare = 0;
    std::vector<ENetPeer*> unproven;
    for (ENetPeer* peer = host->peers; peer < host->peers + host->peerCount; ++peer) {
        PeerWatch& watch = watches[static_cast<std::size_t>(peer - host->peers)];
        if (peer->state == ENET_PEER_STATE_DISCONNECTED) {
            watch.busySince = 0;
            ++spare;
            continue;
        }
        if (watch.busySince == 0) {
            watch.busySince = now;  // seen busy for the first time
        }
        if (playerIdOf(*peer) == 0 && peer->state != ENET_PEER_STATE_DISCONNECT_LATER &&
            peer->state != ENET_PEER_STATE_DISCONNECTING) {
            unproven.push_back(peer);
        }
    }
    if (spare >= SPARE_SLOTS) {
        return;
    }
    const std::size_t freeing = std::min(SPARE_SLOTS - spare, unproven.size());
    std::partial_sort(unproven.begin(), unproven.begin() + static_cast<std::ptrdiff_t>(freeing), unproven.end(),
                      [&](const ENetPeer* a, const ENetPeer* b) {
                          return watches[static_cast<std::size_t>(a - host->peers)].busySince <
                                 watches[static_cast<std::size_t>(b - host->peers)].busySince;
                      });
    for (std::size_t i = 0; i < freeing; ++i) {
        watches[static_cast<std::size_t>(unproven[i] - host->peers)].busySince = 0;
        enet_peer_reset(unproven[i]);
        trimDue = true;
    }
}

void Server::cutOff(ENetPeer& peer, const enet_uint32 reason) {
    if (const std::uint32_t id = playerIdOf(peer); id != 0) {
        arrivals.push_back({Arrival::What::left, id, {}, 0.0f, {}, {}, false});
        playerPeers.erase(id);
        spectatorIds.erase(id);
    }
    setPlayerId(peer, 0);
    enet_peer_disconnect_now(&peer, reason);
    trimDue = true;
}

void Server::onReceive(ENetPeer& peer, const ENetPacket& packet, const enet_uint32 now) {
    const std::optional<ReceivedPacket> received = readPacket(packet);
    if (!received) {
        return;
    }
    const std::uint8_t* const payload = received->payload;
    const std::size_t         size    = received->size;
    const std::uint32_t       id      = playerIdOf(peer);
    switch (received->kind) {
        case PacketKind::hello:
            if (id == 0) {  // said twice: nothing
                onHello(peer, payload, size, now);
            }
            break;
        case PacketKind::proof:
            if (id == 0) {
                onProof(peer, payload, size, now);
            }
            break;
        case PacketKind::bundle:
            if (id != 0) {
                onBundle(peer, payload, size);
            }
            break;
        default:
            break;  // nothing else is meant for the host
    }
}

void Server::onBundle(ENetPeer& peer, const std::uint8_t* const payload, const std::size_t size) {
    std::vector<MessageBuffer> messages;
    // What cannot be restored is dropped with the rest of its bundle; what
    // came before it counts, as it would have had it come alone.
    readBundle(net.form(), payload, size, messages);
    PeerWatch& watch = watches[static_cast<std::size_t>(&peer - net.get()->peers)];
    watch.windowMessages += static_cast<std::uint32_t>(messages.size());  // fewer than a packet's bytes
    if (watch.windowMessages > MAX_MESSAGES_PER_WINDOW) {
        cutOff(peer, DISCONNECT_FLOODING);
        return;
    }
    const std::uint32_t id = playerIdOf(peer);
    for (MessageBuffer& message : messages) {
        // A game message that reads as one of the network's own notices
        // would let a peer speak for the network: it is dropped.
        if (!readsAsNotice(message.data(), message.size())) {
            arrivals.push_back({Arrival::What::message, id, std::move(message), 0.0f, {}, {}, false});
        }
    }
}

void Server::onHello(ENetPeer& peer, const std::uint8_t* const payload, const std::size_t size, const enet_uint32 now) {
    Guid guid{};
    if (!readHelloGuid(payload, size, guid) || !(guid == applicationGuid)) {
        enet_peer_disconnect(&peer, DISCONNECT_FOREIGN_APPLICATION);  // gently: it is told why
        return;
    }
    if (isBanned(peer.address.host, now)) {
        note("Refused " + addressOf(peer) + ": banned");
        enet_peer_disconnect(&peer, DISCONNECT_BANNED);
        return;
    }
    const bool spectator = readHelloSpectator(payload, size);
    if (!hasRoomFor(spectator)) {
        enet_peer_disconnect(&peer, DISCONNECT_FULL);
        return;
    }
    if (!isPrivate) {
        welcome(peer, readHelloName(payload, size), spectator);
        return;
    }
    if (isHeldOff(peer, now)) {
        enet_peer_disconnect(&peer, DISCONNECT_HELD_OFF);
        return;
    }
    PeerWatch& watch = watches[static_cast<std::size_t>(&peer - net.get()->peers)];
    if (watch.challenged) {
        return;  // one challenge a connection
    }
    watch.challenged = true;
    watch.challenge  = randomNonce();
    watch.name       = readHelloName(payload, size);
    watch.spectator  = spectator;
    net.sendNow(&peer, makeChallenge(passwordSalt, watch.challenge));
}

void Server::onProof(ENetPeer& peer, const std::uint8_t* const payload, const std::size_t size, const enet_uint32 now) {
    PeerWatch&                        watch  = watches[static_cast<std::size_t>(&peer - net.get()->peers)];
    const std::optional<PasswordHash> answer = readProof(payload, size);
    if (!watch.challenged) {
        return;
    }
    watch.challenged = false;
    Guesses& tried   = guesses[peer.address.host];
    if (answer && passwordKey && isRightAnswer(*answer, watch.challenge, *passwordKey)) {
        tried = Guesses{};
        welcome(peer, std::move(watch.name), watch.spectator);
        return;
    }
    // After three wrong in a row, each try waits 5 s, then twice that, up
    // to five minutes: a person who mistyped hardly notices, a guesser does.
    ++tried.wrong;
    tried.lastHeard = now;
    if (tried.wrong >= 3) {
        const enet_uint32 wait = std::min<enet_uint32>(5000u << std::min<std::uint32_t>(tried.wrong - 3, 6), 300000);
        tried.heldUntil        = now + wait;
        note("Wrong password from " + addressOf(peer) + " (" + std::to_string(tried.wrong) +
             " in a row): its next try waits " + std::to_string(wait / 1000) + " s");
    } else {
        note("Wrong password from " + addressOf(peer));
    }
    if (guesses.size() > MAX_GUESSING_ADDRESSES) {
        // Forget the address heard from longest ago.
        guesses.erase(std::min_element(guesses.begin(), guesses.end(), [](const auto& a, const auto& b) {
            return a.second.lastHeard < b.second.lastHeard;
        }));
    }
    enet_peer_disconnect(&peer, DISCONNECT_WRONG_PASSWORD);
}

bool Server::isHeldOff(const ENetPeer& peer, const enet_uint32 now) const {
    const auto found = guesses.find(peer.address.host);
    return found != guesses.end() && static_cast<std::int32_t>(found->second.heldUntil - now) > 0;
}

std::string Server::addressOf(const ENetPeer& peer) {
    char dotted[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &peer.address.host, dotted, sizeof dotted);
    return dotted;
}

void Server::note(std::string line) {
    const std::lock_guard<std::mutex> guard(notesLock);
    if (notes.size() < MAX_NOTES) {
        notes.push_back(std::move(line));
    }
}

std::vector<std::string> Server::takeNotes() {
    const std::lock_guard<std::mutex> guard(notesLock);
    return std::exchange(notes, {});
}

void Server::setPassword(const std::string& word) {
    isPrivate = !word.empty();
    if (isPrivate) {
        passwordSalt = randomSalt();
        passwordKey  = proofKey(word.substr(0, MAX_PASSWORD), passwordSalt);  // none: nobody gets in
    }
}

bool Server::hasRoomFor(const bool spectator) const {
    const std::size_t watching = spectatorIds.size();
    return spectator ? watching < maxSpectators : playerPeers.size() - watching < maxPlayers;
}

void Server::welcome(ENetPeer& peer, std::string name, const bool spectator) {
    const std::uint32_t id = nextPlayerId++;
    setPlayerId(peer, id);
    playerPeers[id] = &peer;
    if (spectator) {
        spectatorIds.insert(id);
    }
    net.sendNow(&peer, makeWelcome(id, sessionName.c_str()));
    arrivals.push_back({Arrival::What::joined, id, {}, 0.0f, std::move(name), addressOf(peer), spectator});
}

bool Server::isBanned(const enet_uint32 address, const enet_uint32 now) {
    const std::lock_guard<std::mutex> guard(bansLock);
    const auto                        found = banned.find(address);
    if (found == banned.end()) {
        return false;
    }
    if (found->second != 0 && static_cast<std::int32_t>(now - found->second) >= 0) {
        banned.erase(found);  // served
        return false;
    }
    return true;
}

void Server::disconnect(const std::uint32_t playerId, const std::uint32_t reason) {
    if (net.get() == nullptr) {
        return;
    }
    const std::lock_guard<std::mutex> guard(net.lock);
    if (ENetPeer* const peer = peerOf(playerId)) {
        net.sendBundle(*peer);
        enet_peer_disconnect_later(peer, reason);  // after its last messages
    }
}

void Server::ban(const std::string& address, const std::uint32_t minutes) {
    ENetAddress parsed{};
    if (enet_address_set_host_ip(&parsed, address.c_str()) != 0) {
        return;
    }
    const std::lock_guard<std::mutex> guard(bansLock);
    // A ban that ends at 0 would never end: one millisecond on.
    banned[parsed.host] = minutes == 0 ? 0 : (monotonicMs() + minutes * 60000u) | 1u;
}

bool Server::unban(const std::string& address) {
    ENetAddress parsed{};
    if (enet_address_set_host_ip(&parsed, address.c_str()) != 0) {
        return false;
    }
    const std::lock_guard<std::mutex> guard(bansLock);
    return banned.erase(parsed.host) > 0;
}

std::vector<std::string> Server::bans() const {
    const enet_uint32                 now = monotonicMs();
    const std::lock_guard<std::mutex> guard(bansLock);
    std::vector<std::string>          lines;
    for (const auto& [host, until] : banned) {
        char              text[32] = "";
        const ENetAddress where{host, 0};
        enet_address_get_host_ip(&where, text, sizeof text);
        lines.push_back(std::string(text) +
                        (until == 0 ? " until the server stops"
                                    : " for " + std::to_string((until - now) / 60000u + 1) + " more minutes"));
    }
    return lines;
}

void Server::measureRoundTrips(ENetHost* const host) {
    const enet_uint32 now = monotonicMs();
    if (now - lastMeasure < ROUND_TRIP_PERIOD_MS) {
        return;
    }
    lastMeasure = now;
    for (ENetPeer* peer = host->peers; peer < host->peers + host->peerCount; ++peer) {
        if (const std::uint32_t id = playerIdOf(*peer); id != 0 && peer->state == ENET_PEER_STATE_CONNECTED) {
            arrivals.push_back(
                {Arrival::What::roundTrip, id, {}, static_cast<float>(peer->roundTripTime), {}, {}, false});
        }
    }
}

void Server::handOver() {
    for (Arrival& arrival : arrivals) {
        switch (arrival.what) {
            case Arrival::What::joined:
                // Listed first: whoever hears of the player finds its name,
                // and a game started meanwhile gives it an avatar.
                addClient(
                    {arrival.playerId, -1.0f, std::move(arrival.name), std::move(arrival.address), arrival.spectator});
                if (afterListing) {
                    afterListing(arrival.playerId);
                }
                incoming.pushNotice({arrival.playerId, noticeBuffer(NET_PLAYER_CREATED)});
                break;
            case Arrival::What::left:
                removeClient(arrival.playerId);
                incoming.pushNotice({arrival.playerId, noticeBuffer(NET_PLAYER_DESTROYED)});
                break;
            case Arrival::What::message:
                incoming.push({arrival.playerId, std::move(arrival.bytes)});
                break;
            case Arrival::What::roundTrip:
                setRoundTripTime(arrival.playerId, arrival.roundTripMs);
                break;
        }
    }
    arrivals.clear();
    // Outside ENet's lock: the game's sends never wait for it.
    if (const enet_uint32 now = monotonicMs(); trimDue && now - lastTrim >= TRIM_PERIOD_MS) {
        trimDue  = false;
        lastTrim = now;
        malloc_trim(0);
    }
}

ENetPeer* Server::peerOf(const std::uint32_t playerId) const {
    const auto found = playerPeers.find(playerId);
    if (found == playerPeers.end() || found->second->state != ENET_PEER_STATE_CONNECTED) {
        return nullptr;
    }
    return found->second;
}

bool Server::packMessage(const std::uint32_t size, const void* const data) {
    packed.clear();
    if (net.form().pack(static_cast<const std::uint8_t*>(data), size, packed)) {
        return true;
    }
    // A message its own description refuses: the game's mistake, which no
    // receiver would take either.
    note("A message of " + std::to_string(size) + " bytes that does not match its description was not sent");
    return false;
}

std::int32_t Server::sendTo(const std::uint32_t playerId, const std::uint32_t size, const void* const data,
                            const std::uint32_t flags) {
    if (net.get() == nullptr || playerId == 0) {
        return -1;
    }
    const std::lock_guard<std::mutex> guard(net.lock);
    ENetPeer* const                   peer = peerOf(playerId);
    if (peer == nullptr || !packMessage(size, data)) {
        return -1;
    }
    return net.bundle(*peer, packed, flags) ? 0 : -1;
}

void Server::sendToPlayers(const std::uint32_t size, const void* const data, const std::uint32_t flags,
                           const std::function<bool(std::uint32_t)>& wanted) {
    if (net.get() == nullptr) {
        return;
    }
    tellListener(size, data, wanted);
    const std::lock_guard<std::mutex> guard(net.lock);
    if (!packMessage(size, data)) {  // packed once for everyone
        return;
    }
    for (const auto& [id, peer] : playerPeers) {
        if (peer->state == ENET_PEER_STATE_CONNECTED && wanted(id)) {
            net.bundle(*peer, packed, flags);
        }
    }
}

void Server::flush() {
    net.endFrame();
}

Server::Traffic Server::traffic() {
    Traffic totals;
    if (net.get() != nullptr) {
        const std::lock_guard<std::mutex> guard(net.lock);
        totals = {net.get()->totalSentData, net.get()->totalSentPackets, net.get()->totalReceivedData,
                  net.get()->totalReceivedPackets, 0.0};
    }
    totals.serviceCpuSeconds = net.serviceCpuSeconds();
    return totals;
}

void Server::close() {
    net.stop();
    playerPeers.clear();
    spectatorIds.clear();
    net.disconnectAll(DISCONNECT_HOST_ENDED, CLOSE_TIMEOUT_MS);
    arrivals.clear();
}
