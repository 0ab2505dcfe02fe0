#include <gtest/gtest.h>

#include <cstdlib>

#include "TestSupport.h"
#include "platform/FrameState.h"

namespace {

using AvatarMovement = WorldTest;

struct HeadingCase {
    int left, right, up, down;
    int direction;  // -1: unchanged
};

TEST_F(AvatarMovement, HeadingFollowsEveryCombinationOfFlags) {
    // dx = right - left, dy = down - up; any flag turns the avatar.
    const HeadingCase cases[] = {
        {0, 0, 0, 0, -1}, {0, 1, 0, 0, 6}, {0, 1, 0, 1, 7},  {0, 0, 0, 1, 8}, {1, 0, 0, 1, 9}, {1, 0, 0, 0, 10},
        {1, 0, 1, 0, 3},  {0, 0, 1, 0, 4}, {0, 1, 1, 0, 5},  {1, 1, 0, 0, 6}, {0, 0, 1, 1, 6}, {1, 1, 1, 1, 6},
        {1, 1, 0, 1, 8},  {1, 1, 1, 0, 4}, {1, 0, 1, 1, 10}, {0, 1, 1, 1, 6},
    };
    for (const HeadingCase& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "left " << c.left << " right " << c.right << " up " << c.up << " down " << c.down);
        world().clearObjects();
        Avatar& avatar   = addAvatar(30, 30);
        avatar.direction = 42;
        avatar.setControls(c.left, c.right, c.up, c.down, 0);
        world().update();
        EXPECT_EQ(avatar.direction, c.direction == -1 ? 42 : c.direction);
        EXPECT_FLOAT_EQ(avatar.moveTimer, 0.125f);
        if (c.left == c.right && c.up == c.down) {
            EXPECT_EQ(avatar.pos, (Position{30, 30})) << "opposite flags turn it without a step";
        }
    }
}

TEST_F(AvatarMovement, BlockedDiagonalFallsBackToVerticalThenHorizontal) {
    const std::pair<std::vector<Position>, Position> cases[] = {
        {{{11, 11}}, {10, 11}},                      // diagonal blocked: down only
        {{{11, 11}, {10, 11}}, {11, 10}},            // and down: right only
        {{{11, 11}, {10, 11}, {11, 10}}, {10, 10}},  // all three: it stays
    };
    for (const auto& [walls, expected] : cases) {
        world().clearObjects();
        useMap(walls);
        Avatar& avatar = addAvatar(10, 10);
        avatar.setControls(0, 1, 0, 1, 0);
        world().update();
        EXPECT_EQ(avatar.pos, expected);
        EXPECT_FLOAT_EQ(avatar.moveTimer, 0.125f) << "the timer is set even when the avatar stays";
    }
}

TEST_F(AvatarMovement, StepsFollowTheFrameTime) {
    Avatar& avatar = addAvatar(10, 10);
    avatar.setControls(0, 1, 0, 0, 0);
    for (int frame = 1; frame <= 3; ++frame) {
        world().update();
        EXPECT_EQ(avatar.pos.x, 10 + frame) << "at 0.2 s per frame, one step per frame";
    }

    frameTime = 0.01f;
    world().clearObjects();
    Avatar& slow = addAvatar(10, 10);
    slow.setControls(0, 1, 0, 0, 0);
    std::vector<int> stepFrames;
    for (int frame = 1; frame <= 27; ++frame) {
        const int before = slow.pos.x;
        world().update();
        if (slow.pos.x != before) {
            stepFrames.push_back(frame);
        }
    }
    EXPECT_EQ(stepFrames, (std::vector<int>{1, 14, 27})) << "one step every 13th frame at 0.01 s";
}

TEST_F(AvatarMovement, DeadAvatarOnlyCountsDown) {
    Avatar& avatar      = addAvatar(10, 10);
    avatar.hp           = 0;
    avatar.releaseTimer = 2.0f;
    avatar.moveTimer    = 0.5f;
    avatar.fireTimer    = 0.5f;
    avatar.setControls(0, 1, 0, 0, 1);
    for (int frame = 0; frame < 5; ++frame) {
        world().update();
    }
    EXPECT_EQ(avatar.pos, (Position{10, 10}));
    EXPECT_EQ(avatar.direction, 0);
    EXPECT_FLOAT_EQ(avatar.moveTimer, 0.5f);
    EXPECT_NEAR(avatar.releaseTimer, 1.0f, 1e-5f);

    // Countdown over but no respawn yet (it is the host's to send): still waiting.
    for (int frame = 0; frame < 10; ++frame) {
        world().update();
    }
    EXPECT_LE(avatar.releaseTimer, 0.0f);
    EXPECT_EQ(avatar.pos, (Position{10, 10}));
    EXPECT_EQ(world().getObjects().size(), 1u) << "no shots from the dead";
}

using Firing = WorldTest;

TEST_F(Firing, ShotsAreSpacedByTheFireRateAndStopWhenAmmunitionRunsOut) {
    frameTime      = 0.05f;
    Avatar& avatar = addAvatar(1, 1);
    avatar.ammo    = 3;
    avatar.setFire(1);
    std::vector<int> shotFrames;
    for (int frame = 0; frame < 40; ++frame) {
        const int before = avatar.ammo;
        world().update();
        if (avatar.ammo != before) {
            shotFrames.push_back(frame);
        }
    }
    ASSERT_EQ(shotFrames.size(), 3u);
    for (std::size_t i = 1; i < shotFrames.size(); ++i) {
        EXPECT_GE((shotFrames[i] - shotFrames[i - 1]) * 0.05f, 0.25f - 1e-5f);
    }
    EXPECT_EQ(avatar.ammo, 0);
}

TEST_F(Firing, BulletLeavesAlongTheHeadingBeforeThisFramesTurn) {
    Avatar& avatar   = addAvatar(10, 10);
    avatar.direction = 10;
    avatar.setControls(0, 1, 0, 1, 1);  // turns to 7 in the same update
    world().update();
    ASSERT_EQ(world().getObjects().size(), 2u);
    const auto& bullet = static_cast<const Bullet&>(*world().getObjects().back());
    EXPECT_EQ(bullet.owner, avatar.id);
    EXPECT_EQ(bullet.direction, 2) << "fired along 10, brought into 0 ... 7";
    EXPECT_EQ(bullet.pos, (Position{9, 10}));
    EXPECT_EQ(avatar.direction, 7);
}

using BulletFlight = WorldTest;

TEST_F(BulletFlight, StepsEveryThirdFrameAtAHundredthOfASecond) {
    frameTime               = 0.01f;
    Bullet&          bullet = addBullet(30, 30, 6);
    std::vector<int> stepFrames;
    for (int frame = 1; frame <= 7; ++frame) {
        const int before = bullet.pos.x;
        world().update();
        if (bullet.pos.x != before) {
            stepFrames.push_back(frame);
        }
    }
    EXPECT_EQ(stepFrames, (std::vector<int>{1, 4, 7}));
}

TEST_F(BulletFlight, BulletFiredAtAnAdjacentWallDiesInTheWall) {
    useMap({{11, 10}});
    Avatar& avatar   = addAvatar(10, 10);
    avatar.direction = 6;
    avatar.setFire(1);
    world().update();
    ASSERT_EQ(world().getObjects().size(), 1u) << "the bullet was deleted in the frame it was fired";
    EXPECT_EQ(avatar.ammo, 49);
}

TEST_F(BulletFlight, BulletInAWallStaysThereUntilDeleted) {
    useMap({{11, 10}});
    Bullet& bullet = addBullet(10, 10, 6);
    bullet.update();
    EXPECT_TRUE(bullet.removed);
    EXPECT_EQ(bullet.pos, (Position{11, 10}));
}

struct PowerupCase {
    PowerupType type;
    int         hp, ammo;
    int         expectedHp, expectedAmmo;
};

TEST(PowerupEffect, GainsAreCappedAndHighValuesBroughtDown) {
    const PowerupCase cases[] = {
        {powerup_ammo, 100, 190, 100, 200}, {powerup_ammo, 100, 195, 100, 200}, {powerup_ammo, 100, 250, 100, 200},
        {powerup_ammo, 100, 10, 100, 30},   {powerup_health, 140, 50, 150, 50}, {powerup_health, 0, 50, 25, 50},
        {powerup_health, 170, 50, 150, 50},
    };
    for (const PowerupCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "type " << c.type << " hp " << c.hp << " ammo " << c.ammo);
        Powerup powerup;
        powerup.type = c.type;
        Avatar avatar;
        avatar.hp   = c.hp;
        avatar.ammo = c.ammo;
        powerup.applyTo(avatar);
        EXPECT_EQ(avatar.hp, c.expectedHp);
        EXPECT_EQ(avatar.ammo, c.expectedAmmo);
        EXPECT_FALSE(powerup.removed);
    }
}

}  // namespace
