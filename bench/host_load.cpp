// The load on a host: one real host (CGame with its Server, Arbiter and
// world, the code the game runs) and N simulated players in one process,
// each a real Client speaking the real protocol over loopback. Every 0.25 s
// each simulated player turns to one of the eight headings (or stops) and
// fires; it moves its own avatar by the game's own stepping rule and keeps
// the cells of the others as the host reports them.
//
//   host_load [--seconds S] [--bots B] [N ...]   (default: 10 s; N = 8 64 255)
//
// N counts the host's own player, so N - 1 players are simulated. With
// --bots, each N runs twice, without bots and with B bots in the game, and
// the difference is reported per bot. Prints,
// per N: the host's game-thread CPU per frame, the host's CPU share (game
// thread and network thread), packets and bytes per second per player each
// way, the latency of a state report through the host to another player
// (median, p99), and the share of avatar cells every player agrees on with
// the host once everyone has stopped.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "NetSupport.h"
#include "game/Game.h"
#include "net/Client.h"
#include "net/Server.h"
#include "platform/FrameState.h"
#include "platform/Platform.h"
#include "rules/Arbiter.h"
#include "rules/MessageCodec.h"
#include "world/Avatar.h"
#include "world/World.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr float FRAME_SECONDS = 0.02f;
constexpr float TURN_SECONDS  = 0.25f;
constexpr float STEP_SECONDS  = 1.0f / 8.0f;

double threadCpuSeconds() {
    timespec used{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
}

// When each state report left its sender, by what it says, to time its
// arrival at the other players.
class ReportClock {
public:
    void sent(const AvatarStateMessage& state) {
        const std::lock_guard<std::mutex> guard(lock);
        times[keyOf(state)] = Clock::now();
    }
    void received(const AvatarStateMessage& state) {
        const std::lock_guard<std::mutex> guard(lock);
        const auto                        found = times.find(keyOf(state));
        if (found != times.end()) {
            latenciesMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - found->second).count());
        }
    }
    double percentile(const double share) {
        const std::lock_guard<std::mutex> guard(lock);
        if (latenciesMs.empty()) {
            return 0.0;
        }
        std::sort(latenciesMs.begin(), latenciesMs.end());
        return latenciesMs[static_cast<std::size_t>(share * static_cast<double>(latenciesMs.size() - 1))];
    }

private:
    static std::uint64_t keyOf(const AvatarStateMessage& s) {
        return static_cast<std::uint64_t>(s.avatarId) << 32 ^ static_cast<std::uint64_t>(s.pos.x) << 20 ^
               static_cast<std::uint64_t>(s.pos.y) << 8 ^
               static_cast<std::uint64_t>(s.left | s.right << 1 | s.up << 2 | s.down << 3 | s.fire << 4);
    }
    std::mutex                                           lock;
    std::unordered_map<std::uint64_t, Clock::time_point> times;
    std::vector<double>                                  latenciesMs;
};

class SimulatedPlayer {
public:
    SimulatedPlayer(const CWorld& map, const unsigned seed) : map(map), random(seed) {}

    bool join() {
        client.setPort(testPort());
        client.connect("127.0.0.1");
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (!client.connected && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return client.connected;
    }

    // On the polling thread: takes what arrived, timing state reports the
    // moment they are there rather than at this player's next frame.
    void poll(ReportClock& clock) {
        while (std::optional<MessageBuffer> message = client.incoming.pop()) {
            if (const auto state = decode<AvatarStateMessage>(*message)) {
                clock.received(*state);
            }
            const std::lock_guard<std::mutex> guard(arrivedLock);
            arrived.push_back(std::move(*message));
        }
    }

    void readMessages() {
        std::vector<MessageBuffer> taken;
        {
            const std::lock_guard<std::mutex> guard(arrivedLock);
            taken.swap(arrived);
        }
        for (const MessageBuffer& message : taken) {
            read(message);
        }
    }

    // One frame of input and movement, as the game's own avatar would take it.
    void frame(ReportClock& clock, const bool playing) {
        if (avatarId < 0 || !alive) {
            return;
        }
        turnTimer -= FRAME_SECONDS;
        if (turnTimer <= 0.0f || (!playing && (dx != 0 || dy != 0 || fire != 0))) {
            turnTimer         = TURN_SECONDS;
            const int heading = playing ? static_cast<int>(random() % 9) : 8;
            dx                = heading == 8 ? 0 : (heading % 3) - 1;
            dy                = heading == 8 ? 0 : (heading / 3 % 3) - 1;
            fire              = playing ? 1 : 0;
            const AvatarStateMessage state{
                avatarId, dx < 0 ? 1 : 0, dx > 0 ? 1 : 0, dy < 0 ? 1 : 0, dy > 0 ? 1 : 0, fire, pos};
            clock.sent(state);
            const MessageBuffer bytes = encode(AvatarStateMessage{state});
            client.send(static_cast<std::uint32_t>(bytes.size()), bytes.data(), SEND_STATE_TO_HOST);
        }
        moveTimer -= FRAME_SECONDS;
        if (moveTimer <= 0.0f && (dx != 0 || dy != 0)) {
            pos       = stepFrom(map, pos, dx, dy);
            moveTimer = STEP_SECONDS;
        }
        seen[avatarId] = pos;
        client.flush();
    }

    // How many of the host's avatars this player has on the host's cell.
    std::pair<int, int> agreement(const CWorld& host) const {
        int agreeing = 0;
        int total    = 0;
        for (const auto& object : host.getObjects()) {
            if (const auto* const avatar = objectAs<Avatar>(object.get()); avatar != nullptr && !avatar->removed) {
                const auto found = seen.find(avatar->id);
                agreeing += found != seen.end() && found->second == avatar->pos ? 1 : 0;
                ++total;
            }
        }
        return {agreeing, total};
    }

    Client client;

private:
    void read(const MessageBuffer& message) {
        switch (messageId(message)) {
            case MSG_YOUR_AVATAR:
                avatarId = decode<YourAvatarMessage>(message).value_or(YourAvatarMessage{-1}).avatarId;
                break;
            case MSG_WORLD_SETUP:
                for (const WorldEntry& entry :
                     decode<WorldSetupMessage>(message).value_or(WorldSetupMessage{}).entries) {
                    if (entry.kind == entry_avatar) {
                        seen[entry.id] = entry.pos;
                        if (entry.id == avatarId) {
                            pos = entry.pos;
                        }
                    }
                }
                break;
            case MSG_AVATAR_STATE:
                if (const auto state = decode<AvatarStateMessage>(message)) {
                    seen[state->avatarId] = state->pos;
                }
                break;
            case MSG_AVATAR_RESPAWN:
                if (const auto respawn = decode<AvatarRespawnMessage>(message)) {
                    seen[respawn->avatarId] = respawn->pos;
                    if (respawn->avatarId == avatarId) {
                        pos   = respawn->pos;
                        alive = true;
                        dx = dy = fire = 0;
                    }
                }
                break;
            case MSG_AVATAR_HP:
                if (const auto hp = decode<AvatarHpMessage>(message); hp && hp->avatarId == avatarId && hp->hp <= 0) {
                    alive = false;
                }
                break;
            case MSG_AVATAR_STATUS:
                if (const auto status = decode<AvatarStatusMessage>(message)) {
                    if (status->avatarId != avatarId || status->hp <= 0) {
                        seen[status->avatarId] = status->pos;
                    }
                    if (status->avatarId == avatarId && status->hp <= 0) {
                        pos = status->pos;
                    }
                }
                break;
            default:
                break;
        }
    }

    std::mutex                                 arrivedLock;
    std::vector<MessageBuffer>                 arrived;
    const CWorld&                              map;
    std::mt19937                               random;
    std::int32_t                               avatarId = -1;
    Position                                   pos;
    bool                                       alive     = true;
    int                                        dx        = 0;
    int                                        dy        = 0;
    int                                        fire      = 0;
    float                                      turnTimer = 0.0f;
    float                                      moveTimer = 0.0f;
    std::unordered_map<std::int32_t, Position> seen;
};

struct Figures {
    int    players         = 0;
    int    bots            = 0;
    double gameMsPerFrame  = 0.0;
    double hostCpuShare    = 0.0;
    double packetsOut      = 0.0;  // per player per second, host to player
    double bytesOut        = 0.0;
    double packetsIn       = 0.0;  // per player per second, player to host
    double bytesIn         = 0.0;
    double latencyMedianMs = 0.0;
    double latencyP99Ms    = 0.0;
    double cellsAgreeing   = 0.0;
    int    framesLate      = 0;
    int    frames          = 0;
};

// The host's frame; half a frame later, the players' frames. Players are
// not in step with the host: on average their reports arrive half a frame
// before the host's next one.
void runFrame(std::vector<std::unique_ptr<SimulatedPlayer>>& players, ReportClock& clock, const bool playing,
              double& gameCpu, const Clock::time_point frameStart) {
    frameTime          = FRAME_SECONDS;
    const double start = threadCpuSeconds();
    CGame::instance().update();
    gameCpu += threadCpuSeconds() - start;
    std::this_thread::sleep_until(frameStart + std::chrono::microseconds(static_cast<int>(FRAME_SECONDS * 5e5f)));
    for (auto& player : players) {
        player->readMessages();
        player->frame(clock, playing);
    }
}

Figures measure(const int playerCount, const int bots, const double seconds) {
    Figures figures;
    figures.players = playerCount;
    figures.bots    = bots;
    CGame& game     = CGame::instance();
    game.bots       = bots;
    game.gamePort   = testPort();
    game.handleCommand(cmd_host_game);
    for (int i = 0; i < 500 && game.state != state_hosting; ++i) {
        frameTime = FRAME_SECONDS;
        game.update();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    auto* const server = dynamic_cast<Server*>(game.server.get());
    if (game.state != state_hosting || server == nullptr) {
        std::fprintf(stderr, "host_load: the host did not start\n");
        std::exit(1);
    }

    static CWorld map;  // read-only, for the simulated players' steps
    map.loadMap("Levels/map2.raw");
    std::vector<std::unique_ptr<SimulatedPlayer>> players;
    for (int i = 1; i < playerCount; ++i) {
        players.push_back(std::make_unique<SimulatedPlayer>(map, 1000u + static_cast<unsigned>(i)));
        if (!players.back()->join()) {
            std::fprintf(stderr, "host_load: player %d could not join\n", i);
            std::exit(1);
        }
        game.update();  // the host reads and drops what arrives while it waits
    }
    // ENTER counts once the host's own player is on the list.
    for (int i = 0; i < 500 && game.state != state_running; ++i) {
        game.update();
        game.handleCommand(cmd_enter_key);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }

    ReportClock       clock;
    std::atomic<bool> polling{true};
    std::thread       poller([&] {
        while (polling) {
            for (auto& player : players) {
                player->poll(clock);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    double            gameCpu = 0.0;
    for (int i = 0; i < 25; ++i) {  // everyone takes in the world
        runFrame(players, clock, false, gameCpu, Clock::now());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    gameCpu                          = 0.0;
    const Server::Traffic before     = server->traffic();
    const auto            wallStart  = Clock::now();
    const int             frameCount = static_cast<int>(seconds / FRAME_SECONDS);
    auto                  nextFrame  = wallStart;
    for (int frame = 0; frame < frameCount; ++frame) {
        runFrame(players, clock, true, gameCpu, nextFrame);
        nextFrame += std::chrono::microseconds(static_cast<int>(FRAME_SECONDS * 1e6f));
        if (Clock::now() > nextFrame) {
            ++figures.framesLate;
        } else {
            std::this_thread::sleep_until(nextFrame);
        }
    }
    const double          wall  = std::chrono::duration<double>(Clock::now() - wallStart).count();
    const Server::Traffic after = server->traffic();

    // Everyone stops; after a second every player should have the host's cells.
    if (auto* const rules = dynamic_cast<Arbiter*>(getArbiter())) {
        rules->holdBots();
    }
    for (int i = 0; i < 50; ++i) {
        double ignored = 0.0;
        runFrame(players, clock, false, ignored, Clock::now());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    int agreeing = 0;
    int total    = 0;
    for (const auto& player : players) {
        const auto [agree, all] = player->agreement(CWorld::instance());
        agreeing += agree;
        total += all;
    }

    const double perPlayerSecond = 1.0 / wall / static_cast<double>(playerCount);
    figures.frames               = frameCount;
    figures.gameMsPerFrame       = gameCpu * 1000.0 / frameCount;
    figures.hostCpuShare         = (gameCpu + after.serviceCpuSeconds - before.serviceCpuSeconds) / wall;
    figures.packetsOut           = static_cast<double>(after.packetsOut - before.packetsOut) * perPlayerSecond;
    figures.bytesOut             = static_cast<double>(after.bytesOut - before.bytesOut) * perPlayerSecond;
    figures.packetsIn            = static_cast<double>(after.packetsIn - before.packetsIn) * perPlayerSecond;
    figures.bytesIn              = static_cast<double>(after.bytesIn - before.bytesIn) * perPlayerSecond;
    figures.latencyMedianMs      = clock.percentile(0.5);
    figures.latencyP99Ms         = clock.percentile(0.99);
    figures.cellsAgreeing        = total > 0 ? static_cast<double>(agreeing) / total : 1.0;

    polling = false;
    poller.join();
    game.handleCommand(cmd_exit_game);
    players.clear();
    return figures;
}

void print(const Figures& f) {
    std::printf("%8d %5d %12.3f %8.1f%% %9.1f %12.0f %9.1f %12.0f %7.1f/%-8.1f %7.1f%% %5d/%d\n", f.players, f.bots,
                f.gameMsPerFrame, f.hostCpuShare * 100.0, f.packetsOut, f.bytesOut, f.packetsIn, f.bytesIn,
                f.latencyMedianMs, f.latencyP99Ms, f.cellsAgreeing * 100.0, f.framesLate, f.frames);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    double           seconds = 10.0;
    int              bots    = 0;
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--bots") == 0 && i + 1 < argc) {
            bots = std::clamp(std::atoi(argv[++i]), 0, MAX_BOTS);
        } else {
            counts.push_back(std::atoi(argv[i]));
        }
    }
    if (counts.empty()) {
        counts = {8, 64, 255};
    }
    std::printf("%8s %5s %12s %9s %22s %22s %16s %8s %11s\n", "players", "bots", "game ms/frm", "host CPU",
                "to player pkt/s B/s", "to host pkt/s B/s", "latency med/p99", "agree", "late frames");
    for (const int count : counts) {
        const Figures alone = measure(std::clamp(count, 2, 255), 0, seconds);
        print(alone);
        if (bots > 0) {
            const Figures with = measure(std::clamp(count, 2, 255), bots, seconds);
            print(with);
            std::printf("per bot: %.4f ms of game thread per frame, %.2f%% of a core on the host\n",
                        (with.gameMsPerFrame - alone.gameMsPerFrame) / bots,
                        (with.hostCpuShare - alone.hostCpuShare) * 100.0 / bots);
        }
    }
    return 0;
}
