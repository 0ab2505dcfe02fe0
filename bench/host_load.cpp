// The load on a host, measured alone: one real dedicated host (CGame with
// its Server, Arbiter and world, the code the game runs) in this process,
// and N simulated players in a second process, all of them peers of one
// ENet host on one thread, each speaking the real protocol over loopback.
// Where there are two CPUs the host runs on the first and the players on the
// second, so that what the players cost never shows as the host's.
//
// Every 0.25 s, each at a phase of its own (or all in the same frame with
// --sync), each player turns to one of the eight headings (or stops) and
// fires; it moves its own avatar by the game's own stepping rule and keeps
// the cells of the others as the host reports them. The players' frames
// start at ten phases of the host's frame, as machines of their own would.
//
// Each N also runs against a bare ENet relay in this process: no game, a
// host that forwards every packet a peer sends, reliable, to every other
// peer, with the game host's socket buffers, compression and throttle. The
// players send it the same reports, a packed state message in a bundle of
// one, and time them the same way: it is the floor the game is compared with.
//
//   host_load [--seconds S] [--sync] [--relay-only] [N ...]
//
// Default: N = 16 64 128 255 for 10 s each, then 128 all turning in the same
// frame. Each row, per mode and N:
//   host%, game%, net%  CPU of the host's game thread and network thread, in
//                       per cent of one core (the relay has only the latter)
//   ms/frm              game-thread CPU per 20 ms frame
//   down, up            per player and second, host to player and player to
//                       host: datagrams, and kbit on the wire with the IPv4
//                       and UDP headers (28 bytes a datagram)
//   fwd med, p99        a state report from its player's flush to its
//                       datagram reaching each other player's socket (the
//                       kernel's stamp), in ms
//   timed               the share of (report, other player) pairs timed:
//                       the rest arrived after the run, or not as sent (the
//                       host corrects a report it finds out of reach)
//   drops               datagrams the host's socket and the players' socket
//                       dropped (/proc/net/udp) while the run lasted
//   agree@1s, all at    the share of (player, avatar) cells that match the
//                       host's world one second after everyone stopped, and
//                       when every one of them first did (checked every 0.1 s)
//   pl%                 CPU of the players' process, per cent of one core
//   late                host frames that started late / players' phases
//                       that started more than a phase (2 ms) late
// The host takes at most 255 peers; when fewer players than asked get in,
// the row says how many did and its figures are per player that did.

#include <arpa/inet.h>
#include <enet/enet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "NetSupport.h"
#include "game/Game.h"
#include "net/Bundle.h"
#include "net/NetHost.h"
#include "net/Server.h"
#include "net/WireProtocol.h"
#include "platform/FrameState.h"
#include "rules/MessageCodec.h"
#include "rules/PackedForm.h"
#include "world/Avatar.h"
#include "world/DataFolder.h"
#include "world/World.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr float FRAME_SECONDS = 0.02f;
constexpr float TURN_SECONDS  = 0.25f;
constexpr float STEP_SECONDS  = 1.0f / 8.0f;
constexpr auto  FRAME         = std::chrono::microseconds(20000);
// Players' machines do not keep the host's frames: each player's frames
// start at one of these phases of the host's 20 ms (all at the first with
// --sync). One clock for all would put every report the same time before
// the host's next frame, different from run to run.
constexpr int    PHASES            = 10;
constexpr auto   TICK              = FRAME / PHASES;
constexpr int    MAX_PEERS         = 255;   // what the game's host takes
constexpr double WIRE_HEADER_BYTES = 28.0;  // IPv4 and UDP, on every datagram

// Joining: the host cuts off a fourth peer of one address still owing its
// hello, so at most three are under way at once; an attempt the host never
// answers is given up after a while and tried again, and a player that
// cannot get in at all is left out.
constexpr int    JOINING_AT_ONCE      = 3;
constexpr double JOIN_ATTEMPT_SECONDS = 3.0;
constexpr int    JOIN_ATTEMPTS        = 2;
constexpr double JOIN_LIMIT_SECONDS   = 90.0;

constexpr int    WARM_UP_FRAMES        = 50;  // everyone takes in the world before the timing starts
constexpr int    CHECK_EVERY_FRAMES    = 5;
constexpr double AGREE_AFTER_SECONDS   = 1.0;
constexpr double AGREE_LIMIT_SECONDS   = 5.0;
constexpr double REPLY_LIMIT_SECONDS   = 30.0;
constexpr int    LEAVE_TIMEOUT_MS      = 2000;
constexpr int    RELAY_WAIT_MS         = 5;
constexpr char   PLAYERS_PROCESS_ARG[] = "--players-process";

double cpuSeconds(const clockid_t clock) {
    timespec used{};
    clock_gettime(clock, &used);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
}

double secondsSince(const Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "host_load: %s\n", why.c_str());
    std::exit(1);
}

std::vector<int> allowedCpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    std::vector<int> cpus;
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &set)) {
                cpus.push_back(cpu);
            }
        }
    }
    return cpus;
}

// The calling thread, and every thread it starts afterwards.
void pinTo(const int cpu) {
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    if (sched_setaffinity(0, sizeof one, &one) != 0) {
        std::fprintf(stderr, "host_load: could not pin to CPU %d: %s\n", cpu, std::strerror(errno));
    }
}

std::uint16_t boundPort(const int socket) {
    sockaddr_in address{};
    socklen_t   length = sizeof address;
    getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// Datagrams dropped so far by the IPv4 UDP sockets bound to the port: the
// last column of /proc/net/udp.
std::uint64_t socketDrops(const std::uint16_t port) {
    std::ifstream table("/proc/net/udp");
    std::string   line;
    std::getline(table, line);  // the heading
    std::uint64_t drops = 0;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string        slot;
        std::string        local;
        fields >> slot >> local;
        const std::size_t colon = local.find(':');
        if (colon == std::string::npos || std::stoul(local.substr(colon + 1), nullptr, 16) != port) {
            continue;
        }
        std::string last;
        for (std::string field; fields >> field;) {
            last = field;
        }
        drops += std::stoull(last);
    }
    return drops;
}

// Lines between the two processes, over a pipe each way; reading never blocks.
class LineChannel {
public:
    LineChannel(const int readFd, const int writeFd) : in(readFd), out(writeFd) {
        fcntl(in, F_SETFL, fcntl(in, F_GETFL) | O_NONBLOCK);
    }

    int readFd() const { return in; }

    bool send(const std::string& line) const {
        const std::string whole = line + "\n";
        std::size_t       done  = 0;
        while (done < whole.size()) {
            const ssize_t written = ::write(out, whole.data() + done, whole.size() - done);
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(written);
        }
        return true;
    }

    // Takes in what has arrived; false once the other end has closed.
    bool pump() {
        char chunk[4096];
        while (true) {
            const ssize_t got = ::read(in, chunk, sizeof chunk);
            if (got > 0) {
                pending.append(chunk, static_cast<std::size_t>(got));
                continue;
            }
            return got < 0 && (errno == EAGAIN || errno == EINTR);
        }
    }

    std::optional<std::string> next() {
        const std::size_t end = pending.find('\n');
        if (end == std::string::npos) {
            return std::nullopt;
        }
        std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        return line;
    }

private:
    int         in;
    int         out;
    std::string pending;
};

// Latencies in bins of 20 µs up to two seconds: constant memory however many
// arrivals 255 players make.
class LatencyHistogram {
public:
    void add(const double ms) {
        const auto bin = static_cast<std::size_t>(std::max(0.0, ms) / BIN_MS);
        ++bins[std::min(bin, bins.size() - 1)];
        ++count;
    }
    double percentile(const double share) const {
        if (count == 0) {
            return 0.0;
        }
        const auto    rank = static_cast<std::uint64_t>(share * static_cast<double>(count - 1));
        std::uint64_t seen = 0;
        for (std::size_t bin = 0; bin < bins.size(); ++bin) {
            seen += bins[bin];
            if (seen > rank) {
                return (static_cast<double>(bin) + 0.5) * BIN_MS;
            }
        }
        return static_cast<double>(bins.size()) * BIN_MS;
    }
    std::uint64_t samples() const { return count; }
    void          clear() {
                 std::fill(bins.begin(), bins.end(), 0);
                 count = 0;
    }

private:
    static constexpr double    BIN_MS = 0.02;
    std::vector<std::uint64_t> bins   = std::vector<std::uint64_t>(100000, 0);
    std::uint64_t              count  = 0;
};

// --- the players' process ---------------------------------------------------

std::uint64_t keyOf(const AvatarStateMessage& s) {
    return static_cast<std::uint64_t>(s.avatarId) << 32 ^ static_cast<std::uint64_t>(s.pos.x) << 20 ^
           static_cast<std::uint64_t>(s.pos.y) << 8 ^
           static_cast<std::uint64_t>(s.left | s.right << 1 | s.up << 2 | s.down << 3 | s.fire << 4);
}

// When each state report left, by what it says, to time its arrival at the
// other players. Each receiver counts a report once: the host may repeat a
// state later (a second after the last change), and that is no forward.
class ReportClock {
public:
    using Heard = std::unordered_map<std::int32_t, std::uint32_t>;  // by avatar: the last report timed

    void sent(const AvatarStateMessage& state, const Clock::time_point at) {
        Ring& ring                             = rings[state.avatarId];
        ring.entries[ring.next % RING_REPORTS] = {keyOf(state), ring.next, at};
        ++ring.next;
    }

    void received(Heard& heard, const AvatarStateMessage& state, const Clock::time_point at) {
        const auto ring = rings.find(state.avatarId);
        if (ring == rings.end()) {
            return;
        }
        std::uint32_t&      last  = heard[state.avatarId];
        const std::uint64_t key   = keyOf(state);
        const Sent*         found = nullptr;
        for (const Sent& entry : ring->second.entries) {
            if (entry.sequence > last && entry.key == key && (found == nullptr || entry.sequence < found->sequence)) {
                found = &entry;
            }
        }
        if (found != nullptr) {
            latencies.add(std::chrono::duration<double, std::milli>(at - found->at).count());
            last = found->sequence;
        }
    }

    void clear() {
        rings.clear();
        latencies.clear();
    }

    LatencyHistogram latencies;

private:
    static constexpr std::uint32_t RING_REPORTS = 8;  // two seconds of one player's reports
    struct Sent {
        std::uint64_t     key      = 0;
        std::uint32_t     sequence = 0;
        Clock::time_point at;
    };
    struct Ring {
        std::array<Sent, RING_REPORTS> entries{};
        std::uint32_t                  next = 1;
    };
    std::unordered_map<std::int32_t, Ring> rings;
};

// When the datagrams ENet reads reached the players' socket, by the peer
// they are for: the kernel's own stamp (SIOCGSTAMPNS), taken as the host
// puts them on loopback. The players' one thread works through a burst for
// 255 machines in turn; that queue is no time on the way.
class ArrivalStamps {
public:
    void install(ENetHost* const host) {
        guard = host->intercept;
        arrivals.assign(host->peerCount, Clock::now());
        timespec ignored{};
        ::ioctl(host->socket, SIOCGSTAMPNS, &ignored);  // the first asks the kernel to stamp
        host->intercept = &ArrivalStamps::stamp;
    }

    Clock::time_point of(const ENetHost& host, const ENetPeer& peer) const {
        return arrivals[static_cast<std::size_t>(&peer - host.peers)];
    }

private:
    static int ENET_CALLBACK stamp(ENetHost* host, ENetEvent* event);

    ENetInterceptCallback          guard = nullptr;
    std::vector<Clock::time_point> arrivals;
};

ArrivalStamps arrivalStamps;  // ENet's callback has no place for a pointer of its own

int ENET_CALLBACK ArrivalStamps::stamp(ENetHost* const host, ENetEvent* const event) {
    Clock::time_point arrival = Clock::now();
    timespec          stamped{};
    timespec          now{};
    if (::ioctl(host->socket, SIOCGSTAMPNS, &stamped) == 0 && clock_gettime(CLOCK_REALTIME, &now) == 0) {
        const auto age =
            std::chrono::seconds(now.tv_sec - stamped.tv_sec) + std::chrono::nanoseconds(now.tv_nsec - stamped.tv_nsec);
        arrival -= std::chrono::duration_cast<Clock::duration>(std::max(age, std::chrono::nanoseconds::zero()));
    }
    if (host->receivedDataLength >= sizeof(enet_uint16)) {
        enet_uint16 header = 0;
        std::memcpy(&header, host->receivedData, sizeof header);
        const std::size_t peer =
            ENET_NET_TO_HOST_16(header) & ~(ENET_PROTOCOL_HEADER_FLAG_MASK | ENET_PROTOCOL_HEADER_SESSION_MASK);
        if (peer < arrivalStamps.arrivals.size()) {
            arrivalStamps.arrivals[peer] = arrival;
        }
    }
    return arrivalStamps.guard != nullptr ? arrivalStamps.guard(host, event) : 0;
}

struct SimulatedPlayer {
    enum class Stage { waiting, joining, joined, failed };

    ENetPeer*                                  peer  = nullptr;
    Stage                                      stage = Stage::waiting;
    int                                        phase = 0;
    Clock::time_point                          attemptStart;
    int                                        attempts = 0;
    bool                                       welcomed = false;
    std::mt19937                               random;
    BundleBuilder                              bundle;
    std::int32_t                               avatarId = -1;
    bool                                       placed   = false;  // has had the world
    Position                                   pos;
    bool                                       alive     = true;
    int                                        dx        = 0;
    int                                        dy        = 0;
    int                                        fire      = 0;
    float                                      turnTimer = 0.0f;
    float                                      moveTimer = 0.0f;
    std::unordered_map<std::int32_t, Position> seen;
    ReportClock::Heard                         heard;

    bool inGame() const { return stage == Stage::joined && avatarId >= 0 && placed; }
};

struct SwarmSetup {
    bool          bare  = false;  // against the relay: no handshake, no game
    int           count = 0;
    std::uint16_t port  = 0;
    bool          sync  = false;
    unsigned      seed  = 0;
};

// The simulated players: one ENet host holding a peer for each.
class Swarm {
public:
    explicit Swarm(const SwarmSetup& setup) : setup(setup), players(static_cast<std::size_t>(setup.count)) {
        if (!net.create(nullptr, static_cast<std::size_t>(setup.count))) {
            fail("the players' ENet host could not be made");
        }
        arrivalStamps.install(net.get());
        for (std::size_t i = 0; i < players.size(); ++i) {
            players[i].random.seed(setup.seed + static_cast<unsigned>(i));
            players[i].phase = setup.sync ? 0 : static_cast<int>(i % PHASES);
        }
        if (setup.bare) {
            // No host hands out a world: each stands on a floor cell of the game's map.
            if (!map.loadMap(GAME_MAP)) {
                fail("the map could not be loaded");
            }
            for (std::size_t i = 0; i < players.size(); ++i) {
                SimulatedPlayer& player = players[i];
                player.avatarId         = static_cast<std::int32_t>(i) + 1;
                player.placed           = true;
                do {
                    player.pos = {static_cast<std::int32_t>(player.random() % MAPSIZE),
                                  static_cast<std::int32_t>(player.random() % MAPSIZE)};
                } while (map.isBlocked(player.pos));
            }
        }
        joinStart = Clock::now();
    }

    ~Swarm() { leave(); }
    Swarm(const Swarm&)            = delete;
    Swarm& operator=(const Swarm&) = delete;

    int           socket() const { return net.get()->socket; }
    std::uint16_t port() const { return boundPort(net.get()->socket); }

    // Starts the joins the pace allows; true once every player is in or out.
    bool joinStep() {
        const auto now      = Clock::now();
        int        underWay = 0;
        bool       done     = true;
        for (std::size_t i = 0; i < players.size(); ++i) {
            SimulatedPlayer& player = players[i];
            if (player.stage == SimulatedPlayer::Stage::joining && !player.welcomed &&
                std::chrono::duration<double>(now - player.attemptStart).count() > JOIN_ATTEMPT_SECONDS) {
                enet_peer_reset(player.peer);
                player.peer = nullptr;
                giveUpAttempt(player);
            }
            if (player.stage == SimulatedPlayer::Stage::joining && player.welcomed && player.avatarId >= 0 &&
                player.placed) {
                player.stage = SimulatedPlayer::Stage::joined;
            }
            if (player.stage == SimulatedPlayer::Stage::waiting && underWay < JOINING_AT_ONCE) {
                connect(i);
            }
            underWay += player.stage == SimulatedPlayer::Stage::joining && !player.welcomed ? 1 : 0;
            done = done &&
                   (player.stage == SimulatedPlayer::Stage::joined || player.stage == SimulatedPlayer::Stage::failed);
        }
        return done || secondsSince(joinStart) > JOIN_LIMIT_SECONDS;
    }

    int joinedCount() const {
        return static_cast<int>(
            std::count_if(players.begin(), players.end(), [](const SimulatedPlayer& p) { return p.inGame(); }));
    }

    // Takes every event there is, timing the state reports as they arrive.
    void service() {
        ENetEvent event;
        while (enet_host_service(net.get(), &event, 0) > 0) {
            SimulatedPlayer* const player = event.peer->data != nullptr
                                                ? &players[reinterpret_cast<std::uintptr_t>(event.peer->data) - 1]
                                                : nullptr;
            switch (event.type) {
                case ENET_EVENT_TYPE_CONNECT:
                    net.connected(*event.peer, monotonicMs());
                    if (setup.bare) {
                        player->welcomed = true;
                        player->stage    = SimulatedPlayer::Stage::joined;
                    } else {
                        enet_peer_send(event.peer, 0,
                                       makeHello(APPLICATION_GUID,
                                                 nameOf(static_cast<std::size_t>(player - players.data())).c_str()));
                    }
                    break;
                case ENET_EVENT_TYPE_RECEIVE:
                    net.heard(*event.peer, monotonicMs());
                    if (player != nullptr) {
                        onPacket(*player, *event.packet, arrivalStamps.of(*net.get(), *event.peer));
                    }
                    enet_packet_destroy(event.packet);
                    break;
                case ENET_EVENT_TYPE_DISCONNECT:
                    if (player != nullptr && player->peer == event.peer) {
                        player->peer = nullptr;
                        giveUpAttempt(*player);
                    }
                    break;
                case ENET_EVENT_TYPE_NONE:
                    break;
            }
        }
        if (!setup.bare) {
            for (ENetPeer* const silent : net.keepAlive(monotonicMs())) {
                SimulatedPlayer& player = players[reinterpret_cast<std::uintptr_t>(silent->data) - 1];
                enet_peer_reset(silent);
                player.peer = nullptr;
                giveUpAttempt(player);
            }
        }
    }

    void play() {
        playing = true;
        reports = 0;
        clock.clear();
        std::uniform_real_distribution<float> phase(0.0f, TURN_SECONDS);
        for (SimulatedPlayer& player : players) {
            player.turnTimer = setup.sync ? 0.0f : phase(player.random);
            player.heard.clear();
        }
    }

    void stop() { playing = false; }

    // One frame of every player of the phase, as the game's own avatar would
    // take it; the frame's bundles leave together at its end.
    void frame(const int phase) {
        for (SimulatedPlayer& player : players) {
            if (player.phase == phase && player.inGame() && player.peer != nullptr) {
                step(player);
            }
        }
        for (SimulatedPlayer& player : players) {
            if (ENetPacket* const packet = player.bundle.take()) {
                send(player, packet);
            }
        }
        // Stamped as the frame's datagrams go out: the relay and the game
        // alike are timed from here, the players' own flush included.
        const auto now = Clock::now();
        for (const AvatarStateMessage& state : reported) {
            clock.sent(state, now);
        }
        reported.clear();
        enet_host_flush(net.get());
    }

    // Cells this world agrees on with the host's: (agreeing, compared, players agreeing on all).
    std::array<int, 3> agreement(const std::vector<std::pair<std::int32_t, Position>>& host) const {
        std::array<int, 3> counts{};
        for (const SimulatedPlayer& player : players) {
            if (!player.inGame()) {
                continue;
            }
            int agreeing = 0;
            for (const auto& [id, cell] : host) {
                const auto found = player.seen.find(id);
                agreeing += found != player.seen.end() && found->second == cell ? 1 : 0;
            }
            counts[0] += agreeing;
            counts[1] += static_cast<int>(host.size());
            counts[2] += agreeing == static_cast<int>(host.size()) ? 1 : 0;
        }
        return counts;
    }

    void leave() {
        if (!net.get()) {
            return;
        }
        net.disconnectAll(0, LEAVE_TIMEOUT_MS);
        for (SimulatedPlayer& player : players) {
            player.peer = nullptr;
            enet_packet_destroy(player.bundle.take());
        }
    }

    ReportClock clock;
    int         lost    = 0;  // players the host let go of while in the game
    long        reports = 0;  // sent while playing, each to be timed at every other player

private:
    static std::string nameOf(const std::size_t index) { return "bench" + std::to_string(index + 1); }

    // A player in the game is lost for good; one still joining tries again while it may.
    void giveUpAttempt(SimulatedPlayer& player) {
        if (player.stage == SimulatedPlayer::Stage::joined) {
            ++lost;
            player.stage = SimulatedPlayer::Stage::failed;
        } else if (player.stage == SimulatedPlayer::Stage::joining) {
            player.stage =
                player.attempts < JOIN_ATTEMPTS ? SimulatedPlayer::Stage::waiting : SimulatedPlayer::Stage::failed;
        }
    }

    void connect(const std::size_t index) {
        SimulatedPlayer& player = players[index];
        ENetAddress      address{};
        enet_address_set_host_ip(&address, "127.0.0.1");
        address.port = setup.port;
        player.peer  = enet_host_connect(net.get(), &address, 1, 0);
        if (player.peer == nullptr) {
            player.stage = SimulatedPlayer::Stage::failed;
            return;
        }
        player.peer->data   = reinterpret_cast<void*>(static_cast<std::uintptr_t>(index + 1));
        player.stage        = SimulatedPlayer::Stage::joining;
        player.welcomed     = false;
        player.attemptStart = Clock::now();
        ++player.attempts;
    }

    void send(SimulatedPlayer& player, ENetPacket* const packet) {
        if (enet_peer_send(player.peer, 0, packet) != 0) {
            enet_packet_destroy(packet);
        }
    }

    void step(SimulatedPlayer& player) {
        player.turnTimer -= FRAME_SECONDS;
        const bool turning = playing && player.turnTimer <= 0.0f;
        if (turning) {
            player.turnTimer += TURN_SECONDS;
        }
        const bool stopping = !playing && (player.dx != 0 || player.dy != 0 || player.fire != 0);
        if (player.alive && (turning || stopping)) {
            const int heading = playing ? static_cast<int>(player.random() % 9) : 8;
            player.dx         = heading == 8 ? 0 : (heading % 3) - 1;
            player.dy         = heading == 8 ? 0 : (heading / 3 % 3) - 1;
            player.fire       = playing ? 1 : 0;
            report(player);
        }
        player.moveTimer -= FRAME_SECONDS;
        if (player.alive && player.moveTimer <= 0.0f && (player.dx != 0 || player.dy != 0)) {
            player.pos       = stepFrom(map, player.pos, player.dx, player.dy);
            player.moveTimer = STEP_SECONDS;
        }
        player.seen[player.avatarId] = player.pos;
    }

    void report(SimulatedPlayer& player) {
        const AvatarStateMessage state{player.avatarId,
                                       player.dx < 0 ? 1 : 0,
                                       player.dx > 0 ? 1 : 0,
                                       player.dy < 0 ? 1 : 0,
                                       player.dy > 0 ? 1 : 0,
                                       player.fire,
                                       player.pos};
        const MessageBuffer      bytes = encode(state);
        packed.clear();
        if (!gameWireForm().pack(bytes.data(), bytes.size(), packed)) {
            fail("a state report does not pack");
        }
        if (ENetPacket* const full =
                player.bundle.add(packed.data(), packed.size(), true, true, bundleLimit(*player.peer))) {
            send(player, full);
        }
        if (playing) {
            reported.push_back(state);
            ++reports;
        }
    }

    void onPacket(SimulatedPlayer& player, const ENetPacket& packet, const Clock::time_point arrival) {
        const std::optional<ReceivedPacket> received = readPacket(packet);
        if (!received) {
            return;
        }
        if (received->kind == PacketKind::welcome) {
            std::uint32_t id = 0;
            player.welcomed  = player.welcomed || readWelcomeId(received->payload, received->size, id);
            return;
        }
        if (received->kind != PacketKind::bundle) {
            return;
        }
        messages.clear();
        readBundle(gameWireForm(), received->payload, received->size, messages);
        for (const MessageBuffer& message : messages) {
            read(player, message, arrival);
        }
    }

    void read(SimulatedPlayer& player, const MessageBuffer& message, const Clock::time_point arrival) {
        switch (messageId(message)) {
            case MSG_YOUR_AVATAR:
                player.avatarId = decode<YourAvatarMessage>(message).value_or(YourAvatarMessage{-1}).avatarId;
                break;
            case MSG_WORLD_SETUP:
                readWorld(player, decode<WorldSetupMessage>(message).value_or(WorldSetupMessage{}));
                break;
            case MSG_AVATAR_STATE:
                if (const auto state = decode<AvatarStateMessage>(message)) {
                    if (playing) {
                        clock.received(player.heard, *state, arrival);
                    }
                    readState(player, *state);
                }
                break;
            case MSG_AVATAR_ADD:
                if (const auto added = decode<AvatarAddMessage>(message)) {
                    player.seen[added->avatarId] = added->pos;
                }
                break;
            case MSG_AVATAR_REMOVE:
                if (const auto removed = decode<AvatarRemoveMessage>(message)) {
                    player.seen.erase(removed->avatarId);
                }
                break;
            case MSG_AVATAR_RESPAWN:
                if (const auto respawn = decode<AvatarRespawnMessage>(message)) {
                    player.seen[respawn->avatarId] = respawn->pos;
                    if (respawn->avatarId == player.avatarId) {
                        player.pos   = respawn->pos;
                        player.alive = true;
                        player.dx = player.dy = player.fire = 0;
                    }
                }
                break;
            case MSG_AVATAR_HP:
                if (const auto hp = decode<AvatarHpMessage>(message);
                    hp && hp->avatarId == player.avatarId && hp->hp <= 0) {
                    player.alive = false;
                }
                break;
            case MSG_AVATAR_STATUS:
                if (const auto status = decode<AvatarStatusMessage>(message)) {
                    if (status->avatarId != player.avatarId || status->hp <= 0) {
                        player.seen[status->avatarId] = status->pos;
                    }
                    if (status->avatarId == player.avatarId && status->hp <= 0) {
                        player.pos = status->pos;
                    }
                }
                break;
            default:
                break;
        }
    }

    void readWorld(SimulatedPlayer& player, const WorldSetupMessage& world) {
        if (!mapLoaded) {
            mapLoaded = map.loadMap(world.mapName.c_str());
            if (!mapLoaded) {
                fail("the host's map could not be loaded: " + world.mapName);
            }
        }
        for (const WorldEntry& entry : world.entries) {
            if (entry.kind == entry_avatar) {
                player.seen[entry.id] = entry.pos;
                if (entry.id == player.avatarId) {
                    player.pos = entry.pos;
                }
            }
        }
        player.placed = player.avatarId >= 0;
    }

    // As the game's Executor reads a state: another's avatar is where the
    // host says; the own one only when both stand still.
    static void readState(SimulatedPlayer& player, const AvatarStateMessage& state) {
        if (state.avatarId != player.avatarId) {
            player.seen[state.avatarId] = state.pos;
            return;
        }
        const bool stillHere  = player.dx == 0 && player.dy == 0 && player.fire == 0;
        const bool stillThere = (state.left | state.right | state.up | state.down | state.fire) == 0;
        if (stillHere && stillThere) {
            player.pos = state.pos;
        }
    }

    const SwarmSetup                setup;
    NetHost                         net;
    CWorld                          map;
    bool                            mapLoaded = false;
    std::vector<SimulatedPlayer>    players;
    Clock::time_point               joinStart;
    bool                            playing = false;
    std::vector<AvatarStateMessage> reported;  // this frame's, while playing
    std::vector<std::uint8_t>       packed;
    std::vector<MessageBuffer>      messages;
};

std::vector<std::pair<std::int32_t, Position>> parseCells(std::istringstream& words) {
    std::vector<std::pair<std::int32_t, Position>> cells;
    std::int32_t                                   id = 0;
    Position                                       pos;
    while (words >> id >> pos.x >> pos.y) {
        cells.push_back({id, pos});
    }
    return cells;
}

// The players' process: one thread, commands from the host's process on
// standard input, replies on standard output.
int playersMain(const int cpu) {
    if (cpu >= 0) {
        pinTo(cpu);
    }
    LineChannel            parent(STDIN_FILENO, STDOUT_FILENO);
    std::unique_ptr<Swarm> swarm;
    bool                   joining  = false;
    auto                   nextTick = Clock::now();
    int                    phase    = 0;
    Clock::time_point      playStart;
    double                 playCpuStart = 0.0;
    int                    frames       = 0;
    int                    late         = 0;
    while (true) {
        const auto     wait = std::max(Clock::duration::zero(), nextTick - Clock::now());
        const timespec timeout{0,
                               static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count())};
        pollfd         ready[2] = {{STDIN_FILENO, POLLIN, 0}, {swarm ? swarm->socket() : -1, POLLIN, 0}};
        ppoll(ready, 2, &timeout, nullptr);
        if ((ready[0].revents & (POLLIN | POLLHUP)) != 0 && !parent.pump()) {
            return 0;  // the host's process is gone
        }
        while (const std::optional<std::string> line = parent.next()) {
            std::istringstream words(*line);
            std::string        command;
            words >> command;
            if (command == "join") {
                SwarmSetup  setup;
                std::string mode;
                int         sync = 0;
                words >> mode >> setup.count >> setup.port >> sync >> setup.seed;
                setup.bare = mode == "bare";
                setup.sync = sync != 0;
                swarm.reset();
                swarm   = std::make_unique<Swarm>(setup);
                joining = true;
            } else if (command == "play" && swarm) {
                swarm->play();
                playStart    = Clock::now();
                playCpuStart = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
                frames       = 0;
                late         = 0;
            } else if (command == "stop" && swarm) {
                swarm->stop();
                const LatencyHistogram& latencies = swarm->clock.latencies;
                char                    text[256];
                std::snprintf(text, sizeof text, "stopped %.6f %.6f %d %d %llu %.3f %.3f %d %ld",
                              cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - playCpuStart, secondsSince(playStart), frames,
                              late, static_cast<unsigned long long>(latencies.samples()), latencies.percentile(0.5),
                              latencies.percentile(0.99), swarm->lost, swarm->reports);
                parent.send(text);
            } else if (command == "check" && swarm) {
                const std::array<int, 3> counts = swarm->agreement(parseCells(words));
                parent.send("agree " + std::to_string(counts[0]) + " " + std::to_string(counts[1]) + " " +
                            std::to_string(counts[2]));
            } else if (command == "leave") {
                swarm.reset();
                joining = false;
                parent.send("left");
            } else if (command == "quit") {
                return 0;
            }
        }
        if (!swarm) {
            nextTick = Clock::now() + TICK;
            continue;
        }
        swarm->service();
        if (joining && swarm->joinStep()) {
            joining = false;
            parent.send("joined " + std::to_string(swarm->joinedCount()) + " " + std::to_string(swarm->port()));
        }
        if (Clock::now() >= nextTick) {
            // Late when the phase before has not had its turn by now.
            late += Clock::now() - nextTick > TICK ? 1 : 0;
            swarm->frame(phase);
            phase = (phase + 1) % PHASES;
            frames += phase == 0 ? 1 : 0;
            nextTick += TICK;
            nextTick = std::max(nextTick, Clock::now() - TICK);  // catch up, never in a burst
        }
    }
}

// --- the host's process -----------------------------------------------------

// The players' process, started from this very program.
class PlayersProcess {
public:
    explicit PlayersProcess(const int cpu) {
        int toChild[2];
        int fromChild[2];
        if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
            fail("no pipes for the players' process");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
        std::string        cpuArg  = std::to_string(cpu);
        std::vector<char*> argv    = {const_cast<char*>("host_load"), const_cast<char*>(PLAYERS_PROCESS_ARG),
                                      cpuArg.data(), nullptr};
        const int          spawned = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(toChild[0]);
        ::close(fromChild[1]);
        if (spawned != 0) {
            fail(std::string("the players' process could not be started: ") + std::strerror(spawned));
        }
        channel = std::make_unique<LineChannel>(fromChild[0], toChild[1]);
        writeFd = toChild[1];
    }

    ~PlayersProcess() {
        channel->send("quit");
        ::close(writeFd);
        ::close(channel->readFd());
        int status = 0;
        waitpid(pid, &status, 0);
    }
    PlayersProcess(const PlayersProcess&)            = delete;
    PlayersProcess& operator=(const PlayersProcess&) = delete;

    void send(const std::string& line) const {
        if (!channel->send(line)) {
            fail("the players' process is gone");
        }
    }
    LineChannel& lines() { return *channel; }

private:
    pid_t                        pid     = 0;
    int                          writeFd = -1;
    std::unique_ptr<LineChannel> channel;
};

// What the host has done so far.
struct HostSample {
    std::uint64_t bytesOut = 0, packetsOut = 0, bytesIn = 0, packetsIn = 0;
    double        gameCpu = 0.0, netCpu = 0.0;
    int           frames = 0;
};

// The game's host or the bare relay: its frames run on this thread, its
// network on a thread of its own.
class MeasuredHost {
public:
    virtual ~MeasuredHost() = default;

    virtual const char* mode() const = 0;
    virtual void        frame()      = 0;
    virtual HostSample  sample()     = 0;
    // "id x y ..." of every avatar in the host's world; nothing without a world.
    virtual std::optional<std::string> cells() const = 0;
};

class GameHost : public MeasuredHost {
public:
    explicit GameHost(const bool sync) : sync(sync) {
        CGame& game        = CGame::instance();
        game.bots          = 0;
        game.gamePort      = testPort();
        game.maxPerAddress = MAX_PEERS;  // every player comes from 127.0.0.1
        game.maxPlayers    = MAX_PEERS;
        game.handleCommand(cmd_host_dedicated);
        for (int i = 0; i < 500 && game.state != state_hosting; ++i) {
            frameTime = FRAME_SECONDS;
            game.update();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        server = dynamic_cast<Server*>(game.server.get());
        if (game.state != state_hosting || server == nullptr) {
            fail("the host did not start");
        }
        // Answering LAN searches is no part of the load, and no business of a benchmark.
        game.announcer.reset();
    }
    ~GameHost() override { CGame::instance().handleCommand(cmd_exit_game); }
    GameHost(const GameHost&)            = delete;
    GameHost& operator=(const GameHost&) = delete;

    const char* mode() const override { return sync ? "game sync" : "game"; }

    void frame() override {
        frameTime          = FRAME_SECONDS;
        const double start = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        CGame::instance().update();
        gameCpu += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
        ++frames;
    }

    HostSample sample() override {
        const Server::Traffic traffic = server->traffic();
        return {traffic.bytesOut, traffic.packetsOut,        traffic.bytesIn, traffic.packetsIn,
                gameCpu,          traffic.serviceCpuSeconds, frames};
    }

    std::optional<std::string> cells() const override {
        std::string text;
        for (const auto& object : CWorld::instance().getObjects()) {
            if (const auto* const avatar = objectAs<Avatar>(object.get()); avatar != nullptr && !avatar->removed) {
                text += " " + std::to_string(avatar->id) + " " + std::to_string(avatar->pos.x) + " " +
                        std::to_string(avatar->pos.y);
            }
        }
        return text;
    }

private:
    const bool sync;
    Server*    server  = nullptr;
    double     gameCpu = 0.0;
    int        frames  = 0;
};

// No game: every packet a peer sends goes on, reliable, to every other peer.
// Made as the game's hosts are made (NetHost::create, for as many peers as
// the game takes), so it has their socket buffers and compression; only the
// game's look at each datagram is left out.
class RelayHost : public MeasuredHost {
public:
    explicit RelayHost(const bool sync) : sync(sync) {
        ENetAddress address{};
        address.host = ENET_HOST_ANY;
        address.port = testPort();
        if (!net.create(&address, MAX_PEERS)) {
            fail("the relay could not be made");
        }
        net.get()->intercept = nullptr;
        thread               = std::thread([this] { relay(); });
    }
    ~RelayHost() override {
        stopping = true;
        thread.join();
    }
    RelayHost(const RelayHost&)            = delete;
    RelayHost& operator=(const RelayHost&) = delete;

    const char* mode() const override { return sync ? "relay sync" : "relay"; }
    void        frame() override {}

    HostSample sample() override {
        clockid_t clock = 0;
        pthread_getcpuclockid(thread.native_handle(), &clock);
        return {bytesOut, packetsOut, bytesIn, packetsIn, 0.0, cpuSeconds(clock), 0};
    }

    std::optional<std::string> cells() const override { return std::nullopt; }

private:
    void relay() {
        ENetHost* const host = net.get();
        ENetEvent       event;
        while (!stopping) {
            const bool happened = enet_host_service(host, &event, RELAY_WAIT_MS) > 0;
            if (happened && event.type == ENET_EVENT_TYPE_CONNECT) {
                // As the game's hosts take a peer: ENet's throttle, meant for
                // unreliable packets, would otherwise let a burst of reliable
                // ones through one datagram a round trip.
                net.connected(*event.peer, monotonicMs());
            }
            if (happened && event.type == ENET_EVENT_TYPE_RECEIVE) {
                forward(host, event);
            }
            bytesOut   = host->totalSentData;
            packetsOut = host->totalSentPackets;
            bytesIn    = host->totalReceivedData;
            packetsIn  = host->totalReceivedPackets;
        }
    }

    static void forward(ENetHost* const host, const ENetEvent& event) {
        for (ENetPeer* peer = host->peers; peer < host->peers + host->peerCount; ++peer) {
            if (peer != event.peer && peer->state == ENET_PEER_STATE_CONNECTED) {
                enet_peer_send(peer, 0, event.packet);
            }
        }
        if (event.packet->referenceCount == 0) {
            enet_packet_destroy(event.packet);
        }
    }

    const bool                 sync;
    NetHost                    net;
    std::thread                thread;
    std::atomic<bool>          stopping{false};
    std::atomic<std::uint64_t> bytesOut{0}, packetsOut{0}, bytesIn{0}, packetsIn{0};
};

// The host's frames every 20 ms on this thread, with the players' replies
// read in between.
class HostClock {
public:
    explicit HostClock(MeasuredHost& host) : host(host) {}

    // The next reply that starts with `word`, running frames while it waits;
    // other lines are passed on to standard error.
    std::string await(LineChannel& players, const std::string& word, const double limitSeconds) {
        const auto start = Clock::now();
        while (true) {
            while (const std::optional<std::string> line = players.next()) {
                if (line->compare(0, word.size(), word) == 0) {
                    return *line;
                }
                std::fprintf(stderr, "players: %s\n", line->c_str());
            }
            if (secondsSince(start) > limitSeconds) {
                fail("no \"" + word + "\" from the players' process");
            }
            frameIfDue();
            const auto     wait = std::max(Clock::duration::zero(), nextFrame - Clock::now());
            pollfd         ready{players.readFd(), POLLIN, 0};
            const timespec timeout{
                0, static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count())};
            if (ppoll(&ready, 1, &timeout, nullptr) > 0 && !players.pump()) {
                fail("the players' process ended");
            }
        }
    }

    void run(const int frames) {
        for (int i = 0; i < frames; ++i) {
            std::this_thread::sleep_until(nextFrame);
            frameIfDue();
        }
    }

    int late = 0;

private:
    void frameIfDue() {
        if (Clock::now() < nextFrame) {
            return;
        }
        host.frame();
        nextFrame += FRAME;
        if (Clock::now() > nextFrame) {
            ++late;
            nextFrame = std::max(nextFrame, Clock::now() - FRAME);  // catch up, never in a burst
        }
    }

    MeasuredHost&     host;
    Clock::time_point nextFrame = Clock::now();
};

struct Figures {
    std::string   mode;
    bool          hasGame = false;  // a world to agree with, and a game thread
    int           asked = 0, joined = 0;
    double        gameShare = 0.0, netShare = 0.0, gameMsPerFrame = 0.0;
    double        downPackets = 0.0, downKbit = 0.0, upPackets = 0.0, upKbit = 0.0;  // per player and second
    double        latencyMedianMs = 0.0, latencyP99Ms = 0.0;
    std::uint64_t latencySamples = 0;
    double        timedShare     = 0.0;  // of the reports sent, each at every other player
    std::uint64_t hostDrops = 0, playersDrops = 0;
    double        agreeAtSecond = -1.0, allAgreeAfter = -1.0;  // -1: not measured, or never
    double        playersShare = 0.0;
    int           hostLate = 0, playersLate = 0, lost = 0;
};

struct RunSetup {
    int    players = 0;
    double seconds = 10.0;
    bool   sync    = false;
    bool   bare    = false;
};

// After everyone stopped: the share of cells that agree a second later, and
// when they all first did.
void measureAgreement(PlayersProcess& players, HostClock& clock, const MeasuredHost& host, Figures& figures) {
    const auto stoppedAt = Clock::now();
    while (secondsSince(stoppedAt) < AGREE_LIMIT_SECONDS) {
        clock.run(CHECK_EVERY_FRAMES);
        const double elapsed = secondsSince(stoppedAt);
        players.send("check" + host.cells().value_or(""));
        std::istringstream reply(clock.await(players.lines(), "agree", REPLY_LIMIT_SECONDS));
        std::string        word;
        long               agreeing = 0;
        long               total    = 0;
        reply >> word >> agreeing >> total;
        const double share = total > 0 ? static_cast<double>(agreeing) / static_cast<double>(total) : 0.0;
        if (elapsed >= AGREE_AFTER_SECONDS && figures.agreeAtSecond < 0.0) {
            figures.agreeAtSecond = share;
        }
        if (agreeing == total && total > 0 && figures.allAgreeAfter < 0.0) {
            figures.allAgreeAfter = elapsed;
        }
        if (figures.agreeAtSecond >= 0.0 && figures.allAgreeAfter >= 0.0) {
            break;
        }
    }
}

Figures measure(PlayersProcess& players, MeasuredHost& host, const RunSetup& run) {
    Figures figures;
    figures.mode    = host.mode();
    figures.hasGame = host.cells().has_value();
    figures.asked   = run.players;
    HostClock clock(host);
    players.send(std::string("join ") + (run.bare ? "bare " : "game ") + std::to_string(run.players) + " " +
                 std::to_string(testPort()) + " " + (run.sync ? "1 " : "0 ") + std::to_string(1000 + run.players));
    std::istringstream joined(clock.await(players.lines(), "joined", JOIN_LIMIT_SECONDS + REPLY_LIMIT_SECONDS));
    std::string        word;
    int                playersPort = 0;
    joined >> word >> figures.joined >> playersPort;
    if (figures.joined < 2) {
        fail("only " + std::to_string(figures.joined) + " players got in");
    }
    clock.run(WARM_UP_FRAMES);

    const HostSample    before             = host.sample();
    const std::uint64_t hostDropsBefore    = socketDrops(testPort());
    const std::uint64_t playersDropsBefore = socketDrops(static_cast<std::uint16_t>(playersPort));
    players.send("play");
    const auto wallStart = Clock::now();
    clock.late           = 0;
    clock.run(static_cast<int>(run.seconds / FRAME_SECONDS));
    const HostSample after = host.sample();
    const double     wall  = secondsSince(wallStart);
    figures.hostLate       = clock.late;
    players.send("stop");
    std::istringstream stopped(clock.await(players.lines(), "stopped", REPLY_LIMIT_SECONDS));
    double             playersCpu   = 0.0;
    double             playersWall  = 1.0;
    int                playerFrames = 0;
    long               reports      = 0;
    stopped >> word >> playersCpu >> playersWall >> playerFrames >> figures.playersLate >> figures.latencySamples >>
        figures.latencyMedianMs >> figures.latencyP99Ms >> figures.lost >> reports;
    figures.playersShare = playersCpu / playersWall;
    figures.timedShare   = reports > 0 ? static_cast<double>(figures.latencySamples) /
                                           (static_cast<double>(reports) * (figures.joined - 1))
                                       : 0.0;

    if (figures.hasGame) {
        measureAgreement(players, clock, host, figures);
    } else {
        clock.run(CHECK_EVERY_FRAMES);  // the last reports' way through
    }
    figures.hostDrops    = socketDrops(testPort()) - hostDropsBefore;
    figures.playersDrops = socketDrops(static_cast<std::uint16_t>(playersPort)) - playersDropsBefore;
    players.send("leave");
    clock.await(players.lines(), "left", REPLY_LIMIT_SECONDS);

    const double perPlayer = 1.0 / wall / static_cast<double>(figures.joined);
    const auto   wireKbit  = [&](const std::uint64_t bytes, const std::uint64_t datagrams) {
        return (static_cast<double>(bytes) + WIRE_HEADER_BYTES * static_cast<double>(datagrams)) * 8.0 / 1000.0 *
               perPlayer;
    };
    const int frames       = std::max(1, after.frames - before.frames);
    figures.gameShare      = (after.gameCpu - before.gameCpu) / wall;
    figures.netShare       = (after.netCpu - before.netCpu) / wall;
    figures.gameMsPerFrame = (after.gameCpu - before.gameCpu) * 1000.0 / frames;
    figures.downPackets    = static_cast<double>(after.packetsOut - before.packetsOut) * perPlayer;
    figures.upPackets      = static_cast<double>(after.packetsIn - before.packetsIn) * perPlayer;
    figures.downKbit       = wireKbit(after.bytesOut - before.bytesOut, after.packetsOut - before.packetsOut);
    figures.upKbit         = wireKbit(after.bytesIn - before.bytesIn, after.packetsIn - before.packetsIn);
    return figures;
}

void printHeading() {
    std::printf("%-10s %7s %6s %6s %6s %6s %8s %8s %8s %8s %7s %7s %6s %11s %8s %7s %5s %9s\n", "mode", "players",
                "host%", "game%", "net%", "ms/frm", "down pkt", "kbit/s", "up pkt", "kbit/s", "fwd med", "p99", "timed",
                "drops h/p", "agree@1s", "all at", "pl%", "late h/p");
}

void print(const Figures& f) {
    const std::string players =
        f.joined == f.asked ? std::to_string(f.asked) : std::to_string(f.joined) + "/" + std::to_string(f.asked);
    char agreeAt[16]   = "-";
    char allAt[16]     = "-";
    char gameShare[16] = "-";
    char gameMs[16]    = "-";
    if (f.hasGame) {
        std::snprintf(agreeAt, sizeof agreeAt, "%.1f%%", f.agreeAtSecond * 100.0);
        std::snprintf(gameShare, sizeof gameShare, "%.1f", f.gameShare * 100.0);
        std::snprintf(gameMs, sizeof gameMs, "%.3f", f.gameMsPerFrame);
        if (f.allAgreeAfter >= 0.0) {
            std::snprintf(allAt, sizeof allAt, "%.1fs", f.allAgreeAfter);
        } else {
            std::snprintf(allAt, sizeof allAt, ">%.0fs", AGREE_LIMIT_SECONDS);
        }
    }
    const std::string drops = std::to_string(f.hostDrops) + "/" + std::to_string(f.playersDrops);
    const std::string late  = std::to_string(f.hostLate) + "/" + std::to_string(f.playersLate);
    std::printf("%-10s %7s %6.1f %6s %6.1f %6s %8.1f %8.1f %8.1f %8.1f %7.2f %7.2f %5.1f%% %11s %8s %7s %5.1f %9s\n",
                f.mode.c_str(), players.c_str(), (f.gameShare + f.netShare) * 100.0, gameShare, f.netShare * 100.0,
                gameMs, f.downPackets, f.downKbit, f.upPackets, f.upKbit, f.latencyMedianMs, f.latencyP99Ms,
                f.timedShare * 100.0, drops.c_str(), agreeAt, allAt, f.playersShare * 100.0, late.c_str());
    if (f.joined < f.asked) {
        std::printf("%-10s %d of %d players never got in: the host did not answer their hello\n", "",
                    f.asked - f.joined, f.asked);
    }
    if (f.lost > 0) {
        std::printf("%-10s %d players lost their connection while playing\n", "", f.lost);
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);  // a process gone shows as a failed write
    if (const std::optional<std::string> data = findDataFolder(dataFolderCandidates(executableFolder()))) {
        setDataFolder(*data);
    }
    if (argc >= 3 && std::strcmp(argv[1], PLAYERS_PROCESS_ARG) == 0) {
        return playersMain(std::atoi(argv[2]));
    }

    double           seconds   = 10.0;
    bool             sync      = false;
    bool             relayOnly = false;
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::max(1.0, std::atof(argv[++i]));
        } else if (std::strcmp(argv[i], "--sync") == 0) {
            sync = true;
        } else if (std::strcmp(argv[i], "--relay-only") == 0) {
            relayOnly = true;
        } else if (std::atoi(argv[i]) >= 2) {
            counts.push_back(std::min(std::atoi(argv[i]), MAX_PEERS));
        } else {
            std::fprintf(stderr, "usage: host_load [--seconds S] [--sync] [--relay-only] [N ...]\n");
            return 2;
        }
    }
    std::vector<RunSetup> runs;
    for (const int count : counts.empty() ? std::vector<int>{16, 64, 128, 255} : counts) {
        runs.push_back({count, seconds, sync, false});
    }
    if (counts.empty() && !sync) {
        runs.push_back({128, seconds, true, false});  // everyone turning in the same frame
    }

    // Pinned before any thread starts, so every thread of the host stays on
    // its CPU; the players' process moves itself to the next.
    const std::vector<int> cpus = allowedCpus();
    if (cpus.size() >= 2) {
        pinTo(cpus[0]);
    }
    PlayersProcess players(cpus.size() >= 2 ? cpus[1] : -1);
    std::printf("host on CPU %d, players on CPU %d; %g s a run\n", cpus.empty() ? -1 : cpus[0],
                cpus.size() >= 2 ? cpus[1] : (cpus.empty() ? -1 : cpus[0]), seconds);
    printHeading();
    for (RunSetup run : runs) {
        if (!relayOnly) {
            GameHost game(run.sync);
            print(measure(players, game, run));
        }
        run.bare = true;
        RelayHost relay(run.sync);
        print(measure(players, relay, run));
    }
    return 0;
}
