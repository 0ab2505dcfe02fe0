#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/FrameState.h"
#include "world/BotController.h"

namespace {

using Bots = WorldTest;

Avatar& withBot(Avatar& avatar, const BotLevel level = BotLevel::normal) {
    auto bot = std::make_unique<BotController>(level);
    bot->setAvatar(&avatar);
    avatar.setController(std::move(bot));
    return avatar;
}

bool hitIn(const std::vector<std::string>& calls, const Avatar& avatar, const Bullet& bullet) {
    const std::string hit = "hit " + std::to_string(avatar.id) + " " + std::to_string(bullet.id);
    return std::find(calls.begin(), calls.end(), hit) != calls.end();
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

// A bot firing at a target it never hurts is as stuck as one that stands:
// within five seconds it makes for a far cell, while one whose shots count
// fires on where it stands. One whose way along a corridor to its target is
// blocked by another avatar deals with that one within a second.
TEST_F(Bots, ABotIsHeldOnlyByShotsThatHit) {
    frameTime = 0.02f;
    struct Case {
        const char* what;
        bool        hitsCount;
        bool        blocked;
        float       seconds;
    };
    for (const Case& c :
         {Case{"firing at nothing it hurts", false, false, 5.0f}, Case{"hitting its target", true, false, 6.0f},
          Case{"its way blocked by another avatar", true, true, 1.0f}}) {
        SCOPED_TRACE(c.what);
        world().clearObjects();
        arbiter->calls.clear();
        arbiter->countHits = c.hitsCount;
        std::vector<Position> corridor;
        for (int x = 20; x <= 40 && c.blocked; ++x) {
            corridor.push_back({x, 29});
            corridor.push_back({x, 31});
        }
        useMap(corridor);
        const Avatar& bot       = withBot(addAvatar(c.blocked ? 21 : 30, 30));
        Avatar&       target    = addAvatar(c.blocked ? 38 : 30, c.blocked ? 30 : 40);
        Avatar&       inTheWay  = addAvatar(25, 30);
        target.ammo             = 0;
        inTheWay.ammo           = 0;
        inTheWay.hp             = c.blocked ? 100 : 0;  // only in the corridor is it anyone
        const Position start    = bot.pos;
        int            farthest = 0;
        for (int frame = 0; frame < static_cast<int>(c.seconds / frameTime); ++frame) {
            world().update();
            farthest = std::max(farthest, cellDistance(bot.pos, start));
        }
        const bool blockerHit = std::any_of(arbiter->calls.begin(), arbiter->calls.end(), [&](const std::string& call) {
            return call.rfind("hit " + std::to_string(inTheWay.id) + " ", 0) == 0;
        });
        if (c.blocked) {
            EXPECT_TRUE(blockerHit);
        } else {
            EXPECT_EQ(farthest > 2, !c.hitsCount) << "farthest " << farthest << " cells off";
        }
    }
    arbiter->countHits = false;
}

// A bullet from behind, while it fires at its target: a hard bot that has
// seen it coming steps out of its flight; a normal one takes it.
TEST_F(Bots, AHardBotStepsOutOfTheFlightOfABulletItHasSeen) {
    frameTime = 0.02f;
    for (const BotLevel level : {BotLevel::normal, BotLevel::hard}) {
        SCOPED_TRACE(botLevelName(level));
        world().clearObjects();
        arbiter->calls.clear();
        const Avatar& bot    = withBot(addAvatar(30, 30), level);
        Avatar&       target = addAvatar(30, 50);
        target.ammo          = 0;
        for (int frame = 0; frame < 20; ++frame) {
            world().update();
        }
        ASSERT_GT(bulletsIn(world()), 0) << "busy firing";
        const Bullet& fromBehind = addBullet(30, 10, 0, target.id);
        for (int frame = 0; frame < 60; ++frame) {
            world().update();
        }
        EXPECT_EQ(hitIn(arbiter->calls, bot, fromBehind), level == BotLevel::normal);
    }
}

// What a hard bot expects of a bullet is what the world does: the bullet
// meets an avatar standing in its flight at the frames foreseen, and only
// then (these rules let it fly on).
TEST_F(Bots, ABulletMeetsAStandingAvatarWhenTheBotsWatchSaysSo) {
    frameTime = 0.02f;
    for (const float moveTimer : {0.0f, 0.01f, 0.03f}) {
        for (const int distance : {0, 1, 2, 5}) {
            SCOPED_TRACE(::testing::Message() << "timer " << moveTimer << ", " << distance << " cells away");
            world().clearObjects();
            arbiter->calls.clear();
            const Avatar& avatar = addAvatar(20 + distance, 20);
            Bullet&       bullet = addBullet(20, 20, 6);
            bullet.moveTimer     = moveTimer;
            BulletWatch watch;
            watch.add(bullet);
            for (int frame = 0; frame < 20; ++frame) {
                world().update();
                EXPECT_EQ(watch.hits(world(), avatar.pos, frame, frame), hitIn(arbiter->calls, avatar, bullet))
                    << "frame " << frame;
                arbiter->calls.clear();
            }
            EXPECT_FALSE(watch.hits(world(), {avatar.pos.x, avatar.pos.y + 1}, 0, 20)) << "off its flight";
        }
    }
}

}  // namespace
