// How the bot levels rank: one bot against another for ten minutes of game
// time, unpaced, on the shipped map, over five seeds, for each neighbouring
// pair of levels; prints each game's scores and each pair's totals.
//   bench/bot_ladder

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/FrameState.h"
#include "rules/Arbiter.h"
#include "rules/Executor.h"
#include "world/Avatar.h"
#include "world/BotController.h"
#include "world/DataFolder.h"
#include "world/World.h"

namespace {

constexpr float FRAME_SECONDS = 0.02f;
constexpr int   GAME_FRAMES   = static_cast<int>(600.0f / FRAME_SECONDS);

Avatar& addBot(const BotLevel level) {
    auto avatar = std::make_unique<Avatar>();
    avatar->setPosition(randomFreeCell());
    auto bot = std::make_unique<BotController>(level);
    bot->setAvatar(avatar.get());
    avatar->setController(std::move(bot));
    return static_cast<Avatar&>(*CWorld::instance().addObject(std::move(avatar)));
}

// The two bots' scores after one game.
std::pair<int, int> play(const BotLevel better, const BotLevel worse, const unsigned seed) {
    std::srand(seed);
    CWorld& world = CWorld::instance();
    world.clearObjects();
    installArbiter(std::make_unique<Arbiter>());
    for (int i = 0; i < world.maxPowerups; ++i) {
        Executor::instance().addPowerup(randomFreeCell(), std::rand() % 2);
    }
    const Avatar& first  = addBot(better);
    const Avatar& second = addBot(worse);
    frameTime            = FRAME_SECONDS;
    for (int frame = 0; frame < GAME_FRAMES; ++frame) {
        currentArbiter().update();
        world.update();
    }
    const std::pair<int, int> scores{first.score, second.score};
    destroyArbiter();
    world.clearObjects();
    return scores;
}

}  // namespace

int main() {
    setDataFolder(findDataFolder(dataFolderCandidates(executableFolder())).value_or(""));
    if (!CWorld::instance().loadMap(GAME_MAP)) {
        return 1;
    }
    const std::pair<BotLevel, BotLevel> pairs[] = {{BotLevel::hard, BotLevel::normal},
                                                   {BotLevel::normal, BotLevel::easy}};
    for (const auto& [better, worse] : pairs) {
        int totals[2] = {0, 0};
        std::printf("%s against %s\n", botLevelName(better), botLevelName(worse));
        for (unsigned seed = 1; seed <= 5; ++seed) {
            const auto [first, second] = play(better, worse, seed);
            std::printf("  seed %u: %d to %d\n", seed, first, second);
            totals[0] += first;
            totals[1] += second;
        }
        std::printf("  total: %d to %d (%.2f times)\n", totals[0], totals[1],
                    totals[1] > 0 ? static_cast<double>(totals[0]) / totals[1] : 0.0);
    }
    return 0;
}
