#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/FrameState.h"
#include "world/BotController.h"

namespace {

using Bots = WorldTest;

Avatar& withBot(Avatar& avatar) {
    auto bot = std::make_unique<BotController>();
    bot->setAvatar(&avatar);
    avatar.setController(std::move(bot));
    return avatar;
}

int bulletsIn(const CWorld& world) {
    int count = 0;
    for (const auto& object : world.getObjects()) {
        count += isExactly<Bullet>(*object) && !object->removed ? 1 : 0;
    }
    return count;
}

TEST_F(Bots, ABotFindsItsWayAroundAWallToItsTarget) {
    // A wall across the map from y = 1 to 50 at x = 20: the way round is at the bottom.
    std::vector<Position> wall;
    for (int y = 1; y <= 50; ++y) {
        wall.push_back({20, y});
    }
    useMap(wall);
    Avatar& bot    = withBot(addAvatar(10, 10));
    Avatar& target = addAvatar(30, 10);
    target.ammo    = 0;
    bot.ammo       = 0;  // nothing to shoot with: it has to walk
    frameTime      = 0.05f;
    int frames     = 0;
    while (std::max(std::abs(bot.pos.x - target.pos.x), std::abs(bot.pos.y - target.pos.y)) > 1 && frames < 2000) {
        world().update();
        ++frames;
        ASSERT_FALSE(world().isBlocked(bot.pos));
    }
    EXPECT_LT(frames, 2000) << "it reached its target";
    EXPECT_GE(frames, 60) << "by the long way round, not through the wall";
}

TEST_F(Bots, ABotFiresOnlyWithAClearLine) {
    useMap({{15, 10}});
    EXPECT_FALSE(clearShotAt(world(), {10, 10}, {20, 10})) << "the wall is in the line";
    EXPECT_EQ(clearShotAt(world(), {10, 10}, {10, 20}), (Position{0, 1}));
    EXPECT_EQ(clearShotAt(world(), {10, 10}, {13, 13}), (Position{1, 1}));
    EXPECT_FALSE(clearShotAt(world(), {10, 10}, {12, 15})) << "not on one of the eight headings";

    withBot(addAvatar(10, 10));
    Avatar& target = addAvatar(10, 16);
    target.ammo    = 0;
    frameTime      = 0.05f;
    for (int frame = 0; frame < 20; ++frame) {
        world().update();
    }
    EXPECT_GT(bulletsIn(world()), 0) << "a clear line straight down";
    for (const auto& object : world().getObjects()) {
        if (isExactly<Bullet>(*object)) {
            EXPECT_EQ(object->pos.x, 10) << "every shot along the line, none along the old heading";
        }
    }
}

TEST_F(Bots, ABotBehindAWallHoldsItsFire) {
    std::vector<Position> wall;
    for (int x = 1; x < MAPSIZE - 1; ++x) {
        wall.push_back({x, 20});  // the map cut in two: no line, no path
    }
    useMap(wall);
    withBot(addAvatar(10, 10));
    addAvatar(10, 30).ammo = 0;
    frameTime              = 0.05f;
    for (int frame = 0; frame < 100; ++frame) {
        world().update();
        ASSERT_EQ(bulletsIn(world()), 0);
    }
}

}  // namespace
