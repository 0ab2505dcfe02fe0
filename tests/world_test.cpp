#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/FrameState.h"

namespace {

std::string mapBytes(const MapCells& cells) {
    return std::string(cells.begin(), cells.end());
}

TEST(MapLoading, LongFileLoadsItsFirstCellsAndIgnoresTheRest) {
    CWorld            world;
    const std::string path = writeTempFile("long.raw", mapBytes(enclosedMap({{10, 10}})) + std::string(5000, '\0'));
    ASSERT_TRUE(world.loadMap(path.c_str()));
    EXPECT_TRUE(world.isBlocked({10, 10}));
    EXPECT_TRUE(world.isBlocked({63, 63}));
    EXPECT_FALSE(world.isBlocked({62, 62}));
}

TEST(MapLoading, ShortFileReplacesOnlyTheLeadingCells) {
    CWorld world;
    ASSERT_TRUE(world.loadMap(writeMapFile(enclosedMap({{20, 1}, {35, 1}, {36, 1}, {5, 30}})).c_str()));

    // 100 bytes: all of row 0, then cells (0,1) ... (35,1) with a wall at (3,1).
    std::string shortMap(MAPSIZE, '\1');
    shortMap += '\1';
    shortMap += std::string(35, '\0');
    shortMap[MAPSIZE + 3] = '\1';
    ASSERT_EQ(shortMap.size(), 100u);
    ASSERT_TRUE(world.loadMap(writeTempFile("short.raw", shortMap).c_str()));

    EXPECT_TRUE(world.isBlocked({3, 1}));
    EXPECT_FALSE(world.isBlocked({20, 1}));
    EXPECT_FALSE(world.isBlocked({35, 1}));
    EXPECT_TRUE(world.isBlocked({36, 1})) << "cells after the file's end keep the previous map";
    EXPECT_TRUE(world.isBlocked({5, 30}));
}

TEST(MapLoading, MissingFileEndsTheProcessWithTheReport) {
    CWorld world;
    EXPECT_EXIT(world.loadMap("no/such/map.raw"), ::testing::ExitedWithCode(1),
                "Program error: Assertion failed: f!=NULL \\(World:44\\)");
}

TEST(MapLoading, MapWithAnOpenEdgeIsRefusedAndTheOldMapKept) {
    RecordingPlatform platform;
    CWorld            world;
    ASSERT_TRUE(world.loadMap(writeMapFile(enclosedMap({{7, 7}})).c_str()));

    MapCells open          = enclosedMap();
    open[30 * MAPSIZE]     = 0;  // (0, 30) lets a mover step off the map
    open[8 * MAPSIZE + 8]  = 1;
    const std::string path = writeMapFile(open);
    EXPECT_FALSE(world.loadMap(path.c_str()));

    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].title, "Error");
    EXPECT_EQ(platform.shown[0].text, "The map \"" + path + "\" cannot be played: its outer edge must be all wall.");
    EXPECT_TRUE(world.isBlocked({0, 30}));
    EXPECT_TRUE(world.isBlocked({7, 7}));
    EXPECT_FALSE(world.isBlocked({8, 8}));
}

TEST(MapLoading, MapWithoutFloorIsRefused) {
    RecordingPlatform platform;
    CWorld            world;
    MapCells          solid;
    solid.fill(1);
    EXPECT_FALSE(world.loadMap(writeMapFile(solid).c_str()));
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_NE(platform.shown[0].text.find("it has no floor."), std::string::npos);
    EXPECT_FALSE(world.isBlocked({30, 30}));
}

TEST(CellTest, AskingOutsideTheMapEndsTheProcess) {
    const CWorld   world;
    const Position outside[] = {{-1, 5}, {5, -1}, {64, 5}, {5, 64}};
    for (const Position pos : outside) {
        EXPECT_EXIT(world.isBlocked(pos), ::testing::ExitedWithCode(1),
                    "Assertion failed: BETWEEN\\(pos.x,0,MAPSIZE-1\\) && "
                    "BETWEEN\\(pos.y,0,MAPSIZE-1\\) \\(World:36\\)")
            << pos.x << "," << pos.y;
    }
}

using ObjectList = WorldTest;

TEST_F(ObjectList, FindObjectSkipsRemovedObjectsAndPrefersTheEarlierOfTwo) {
    Avatar& gone = addAvatar(5, 5);
    gone.removed = true;
    EXPECT_EQ(world().findObject(gone.id), nullptr) << "removed objects are out of play at once";

    Avatar& first  = addAvatar(6, 6);
    Bullet& second = addBullet(7, 7, 0);
    second.id      = first.id;
    EXPECT_EQ(world().findObject(first.id), &first);
    first.removed = true;
    EXPECT_EQ(world().findObject(first.id), &second);
}

TEST_F(ObjectList, CountPowerupsCountsOnlyPowerupsInPlay) {
    addPowerup(3, 3);
    addPowerup(4, 4).removed = true;
    addAvatar(5, 5);
    addBullet(6, 6, 0);
    addPowerup(7, 7, powerup_health);
    EXPECT_EQ(world().countPowerups(), 2);
}

using WorldUpdate = WorldTest;

TEST_F(WorldUpdate, EmptyWorldEndsTheProcess) {
    EXPECT_EXIT(world().update(), ::testing::ExitedWithCode(1),
                "Assertion failed: objects.size\\(\\)>0 \\(World:96\\)");
}

TEST_F(WorldUpdate, ATakenPowerupIsOfferedToTheFirstAvatarOnly) {
    const Powerup& powerup = addPowerup(10, 10);
    const Avatar&  first   = addAvatar(10, 10);
    const Avatar&  second  = addAvatar(10, 10);

    world().update();
    EXPECT_EQ(arbiter->calls,
              (std::vector<std::string>{"pick " + std::to_string(first.id) + " " + std::to_string(powerup.id),
                                        "pick " + std::to_string(second.id) + " " + std::to_string(powerup.id)}))
        << "a powerup left in play is offered to both";

    arbiter->calls.clear();
    arbiter->takePowerups = true;
    const int powerupId   = powerup.id;
    world().update();
    EXPECT_EQ(arbiter->calls,
              (std::vector<std::string>{"pick " + std::to_string(first.id) + " " + std::to_string(powerupId)}));
    EXPECT_EQ(world().getObjects().size(), 2u) << "the taken powerup is deleted in the same update";
}

TEST_F(WorldUpdate, PairsAreOfferedOnlyAfterTheEarlierObjectsUpdate) {
    // The powerup is listed first; the avatar only reaches its cell during
    // its own update, after the powerup's turn, so the pair waits a frame.
    const Powerup& powerup = addPowerup(10, 10);
    Avatar&        avatar  = addAvatar(9, 10);
    avatar.right           = 1;

    world().update();
    EXPECT_EQ(avatar.pos, (Position{10, 10}));
    EXPECT_TRUE(arbiter->calls.empty());

    avatar.right = 0;
    world().update();
    EXPECT_EQ(arbiter->calls,
              (std::vector<std::string>{"pick " + std::to_string(avatar.id) + " " + std::to_string(powerup.id)}));
}

TEST_F(WorldUpdate, ABulletFiredInThePassMeetsItsShooterThenTakesItsFirstStep) {
    Avatar& shooter = addAvatar(10, 10);
    shooter.fire    = 1;

    world().update();

    ASSERT_EQ(world().getObjects().size(), 2u);
    const auto& bullet = static_cast<const Bullet&>(*world().getObjects().back());
    EXPECT_EQ(arbiter->calls,
              (std::vector<std::string>{"hit " + std::to_string(shooter.id) + " " + std::to_string(bullet.id)}));
    EXPECT_EQ(bullet.pos, (Position{10, 11})) << "a new bullet heads along direction 0, towards +y";
}

TEST_F(WorldUpdate, ObjectsWithTheSameIdAreNeverPaired) {
    const Avatar& avatar  = addAvatar(10, 10);
    Powerup&      powerup = addPowerup(10, 10);
    powerup.id            = avatar.id;
    world().update();
    EXPECT_TRUE(arbiter->calls.empty());
}

TEST_F(WorldUpdate, ConsecutiveRemovedObjectsAreAllDeleted) {
    addAvatar(30, 30);
    addBullet(1, 5, 2);  // flies into the left wall
    addBullet(1, 6, 2);
    addBullet(62, 7, 6);  // and into the right one
    addAvatar(31, 31);
    world().update();
    EXPECT_EQ(world().getObjects().size(), 2u);
}

TEST_F(WorldUpdate, RespawnIsAskedAfterTheCountdownRunsOutAndInEveryFrameAfter) {
    Avatar& avatar            = addAvatar(10, 10);
    avatar.hp                 = 0;
    avatar.releaseTimer       = 0.3f;
    const std::string respawn = "respawn " + std::to_string(avatar.id);

    world().update();
    EXPECT_TRUE(arbiter->calls.empty()) << "0.1 s of the countdown is left";
    world().update();
    EXPECT_EQ(arbiter->calls, std::vector<std::string>{respawn});
    world().update();
    EXPECT_EQ(arbiter->calls, (std::vector<std::string>{respawn, respawn}));
}

}  // namespace
