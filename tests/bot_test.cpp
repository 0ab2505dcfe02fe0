#include <gtest/gtest.h>

#include <set>
#include <string>

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

// What once held bots for good: a target right next to it (a bot too,
// turning at the same moment) in any of the eight directions, or off its
// eight lines. Each is over within a second, by a shot that hits.
TEST_F(Bots, ABotNextToItsTargetOrOffItsLinesHitsItWithinASecond) {
    const Position offsets[] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}, {1, 2}, {-2, 1}};
    frameTime                = 0.02f;
    for (const Position offset : offsets) {
        SCOPED_TRACE(::testing::Message() << "target at " << offset.x << "," << offset.y);
        world().clearObjects();
        arbiter->calls.clear();
        Avatar&    bot      = withBot(addAvatar(30, 30));
        Avatar&    target   = addAvatar(30 + offset.x, 30 + offset.y);
        const bool adjacent = std::abs(offset.x) <= 1 && std::abs(offset.y) <= 1;
        if (adjacent) {
            withBot(target);
        } else {
            target.ammo = 0;
        }
        std::set<std::string> botsBullets;
        bool                  hit = false;
        for (int frame = 0; frame < 50 && !hit; ++frame) {
            world().update();
            for (const auto& object : world().getObjects()) {
                if (const auto* const bullet = objectAs<Bullet>(object.get()); bullet && bullet->owner == bot.id) {
                    botsBullets.insert(std::to_string(bullet->id));
                }
            }
            for (const std::string& call : arbiter->calls) {
                const std::string prefix = "hit " + std::to_string(target.id) + " ";
                hit = hit || (call.rfind(prefix, 0) == 0 && botsBullets.count(call.substr(prefix.size())) != 0);
            }
        }
        EXPECT_TRUE(hit);
    }
}

}  // namespace
