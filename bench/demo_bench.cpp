// What recording a demo costs the host's game thread: a dedicated host's
// frame with 64 players, each of whom turns or fires four times a second,
// with the match recorded and without. Nothing goes over a network: the
// host's server is one that only counts what it is asked to send.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>

#include "game/Game.h"
#include "net/IServer.h"
#include "platform/FrameState.h"
#include "rules/MessageCodec.h"
#include "world/Avatar.h"
#include "world/DataFolder.h"
#include "world/World.h"

namespace {

constexpr int   PLAYERS      = 64;
constexpr float FRAME_LENGTH = 0.02f;

class CountingServer : public IServer {
public:
    std::int32_t sendTo(std::uint32_t /*playerId*/, std::uint32_t size, const void* /*data*/,
                        std::uint32_t /*flags*/) override {
        bytes += size;
        return 0;
    }
    void join(const std::uint32_t id) { addClient({id, 1.0f, "Player " + std::to_string(id), "10.0.0.1", false}); }

    std::size_t bytes = 0;
};

void hostFrame(benchmark::State& state) {
    setDataFolder(findDataFolder(dataFolderCandidates(executableFolder())).value_or("."));
    const bool        recording = state.range(0) != 0;
    const std::string folder    = std::filesystem::temp_directory_path() / "quillstep_demo_bench";
    CGame&            game      = CGame::instance();
    CountingServer*   server    = nullptr;
    game.makeServer             = [&server] {
        auto made = std::make_unique<CountingServer>();
        server    = made.get();
        return made;
    };
    game.demos = recording ? DemoSettings{folder, 1, {}} : DemoSettings{};
    std::srand(64);
    game.handleCommand(cmd_host_dedicated);
    game.finishHosting();
    for (std::uint32_t id = 1; id <= PLAYERS; ++id) {
        server->join(id);
        server->incoming.pushNotice({id, noticeBuffer(NET_PLAYER_CREATED)});
    }
    frameTime = FRAME_LENGTH;
    game.update();  // the game starts for its players
    game.update();

    std::vector<Avatar*> avatars;
    for (const auto& object : CWorld::instance().getObjects()) {
        if (auto* const avatar = objectAs<Avatar>(object.get()); avatar != nullptr && avatar->playerId != 0) {
            avatars.push_back(avatar);
        }
    }
    std::mt19937 random(7);
    long         frame = 0;
    for (auto _ : state) {
        // Each player reports every 12th frame, at a phase of its own.
        for (Avatar* const avatar : avatars) {
            if ((frame + avatar->playerId) % 12 == 0 && !avatar->removed) {
                AvatarStateMessage report = stateOf(*avatar);
                report.left               = static_cast<std::int32_t>(random() % 2);
                report.up                 = static_cast<std::int32_t>(random() % 2);
                report.fire               = static_cast<std::int32_t>(random() % 2);
                server->incoming.push({avatar->playerId, encode(report)});
            }
        }
        frameTime = FRAME_LENGTH;
        game.update();
        ++frame;
    }
    state.counters["bytes/frame"] = static_cast<double>(server->bytes) / static_cast<double>(frame);
    game.handleCommand(cmd_exit_game);
    std::filesystem::remove_all(folder);
}

}  // namespace

BENCHMARK(hostFrame)->ArgName("recording")->Arg(0)->Arg(1)->Iterations(15000)->Unit(benchmark::kMicrosecond);
