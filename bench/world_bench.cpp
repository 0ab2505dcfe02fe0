// Cost of one world frame with a crowded arena: the same-cell pair walk is
// quadratic in the number of objects.

#include <benchmark/benchmark.h>

#include <memory>

#include "platform/FrameState.h"
#include "rules/IArbiter.h"
#include "world/Avatar.h"
#include "world/Bullet.h"
#include "world/Powerup.h"
#include "world/World.h"

namespace {

void fillWorld(CWorld& world, const int avatars, const int bullets) {
    world.clearObjects();
    for (int i = 0; i < world.maxPowerups; ++i) {
        auto powerup = std::make_unique<Powerup>();
        powerup->pos = {1 + i * 5, 1};
        world.addObject(std::move(powerup));
    }
    for (int i = 0; i < avatars; ++i) {
        auto avatar = std::make_unique<Avatar>();
        avatar->pos = {1 + (i * 7) % 62, 1 + (i * 11) % 62};
        world.addObject(std::move(avatar));
    }
    for (int i = 0; i < bullets; ++i) {
        auto bullet       = std::make_unique<Bullet>();
        bullet->pos       = {1 + (i * 13) % 62, 1 + (i * 3) % 62};
        bullet->direction = i % 8;
        bullet->moveTimer = 1e9f;  // keep them in flight for the whole run
        world.addObject(std::move(bullet));
    }
}

void worldUpdate(benchmark::State& state) {
    CWorld& world = CWorld::instance();  // objects place their bullets in the process's world
    fillWorld(world, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    frameTime = 0.0f;
    for (auto _ : state) {
        world.update();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(world.getObjects().size()));
    world.clearObjects();
}

}  // namespace

BENCHMARK(worldUpdate)
    ->Args({2, 0})
    ->Args({8, 32})
    ->Args({16, 128})
    ->Args({32, 512})
    ->Args({256, 768})
    ->Args({256, 3840});
