#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

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

// How often an avatar steps and fires and a bullet flies, as the frames in
// which each happens: the game keeps its pace at any frame rate.
TEST_F(AvatarMovement, StepsShotsAndBulletsKeepTheirPaceAtAnyFrameTime) {
    enum class Paced { avatarStep, shot, bulletStep };
    struct Cadence {
        Paced            what;
        float            frameTime;
        int              frames;
        std::vector<int> expected;
    };
    const Cadence cases[] = {
        {Paced::avatarStep, 0.2f, 3, {1, 2, 3}},      // one step per frame at 0.2 s
        {Paced::avatarStep, 0.01f, 27, {1, 14, 27}},  // one every 13th frame at 0.01 s
        {Paced::shot, 0.05f, 40, {1, 7, 13}},         // four a second, while three bullets last
        {Paced::bulletStep, 0.01f, 7, {1, 4, 7}},     // forty steps a second
    };
    for (const Cadence& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case " << static_cast<int>(c.what) << " at " << c.frameTime);
        world().clearObjects();
        frameTime = c.frameTime;
        std::function<int()> observed;
        if (c.what == Paced::bulletStep) {
            const Bullet& bullet = addBullet(30, 30, 6);
            observed             = [&bullet] { return bullet.pos.x; };
        } else {
            Avatar&    avatar   = addAvatar(10, 10);
            const bool shooting = c.what == Paced::shot;
            avatar.ammo         = 3;
            avatar.setControls(0, shooting ? 0 : 1, 0, 0, shooting ? 1 : 0);
            observed = [&avatar, shooting] { return shooting ? avatar.ammo : avatar.pos.x; };
        }
        std::vector<int> happened;
        for (int frame = 1; frame <= c.frames; ++frame) {
            const int before = observed();
            world().update();
            if (observed() != before) {
                happened.push_back(frame);
            }
        }
        EXPECT_EQ(happened, c.expected);
    }
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
    }
}

}  // namespace
