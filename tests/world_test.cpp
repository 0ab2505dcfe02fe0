#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "GameDoubles.h"
#include "TestSupport.h"
#include "platform/FrameState.h"
#include "world/MapFile.h"
#include "world/WorldDigest.h"

namespace {

std::string mapBytes(const MapCells& cells) {
    return std::string(cells.begin(), cells.end());
}

TEST(MapLoading, AMapThatCannotBePlayedIsRefusedWithTheRealReasonAndTheOldMapKept) {
    ScriptedPlatform platform;
    CWorld           world;
    ASSERT_TRUE(world.loadMap(writeMapFile(enclosedMap({{7, 7}})).c_str()));

    const std::string full = mapBytes(enclosedMap());
    const std::string fifo = writeTempFile("map.fifo", "");
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string directory = ::testing::TempDir();
    MapCells          open      = enclosedMap();
    open[30 * MAPSIZE]          = 0;  // (0, 30) lets a mover step off the map
    MapCells solid;
    solid.fill(1);

    const std::pair<std::string, std::string> cases[] = {
        {"no/such/map.raw", "it is missing."},
        {writeTempFile("empty.raw", ""), "it is 0 bytes long, not 4096."},
        {writeTempFile("short.raw", full.substr(0, 100)), "it is 100 bytes long, not 4096."},
        {writeTempFile("long.raw", full + std::string(5000, '\0')), "it is 9096 bytes long, not 4096."},
        {directory, "it is not a regular file."},
        {fifo, "it is not a regular file."},  // a blocking open would hang here
        {writeTempFile("open.raw", mapBytes(open)), "its outer edge must be all wall."},
        {writeTempFile("solid.raw", mapBytes(solid)), "it has no floor."},
    };
    for (const auto& [path, reason] : cases) {
        platform.shown.clear();
        EXPECT_FALSE(world.loadMap(path.c_str())) << path;
        ASSERT_EQ(platform.shown.size(), 1u) << path;
        EXPECT_EQ(platform.shown[0].title, "Error");
        EXPECT_EQ(platform.shown[0].text, "The map \"" + path + "\" cannot be played: " + reason);
    }
    EXPECT_TRUE(world.isBlocked({7, 7})) << "the previous map stays";
    EXPECT_FALSE(world.isBlocked({8, 8}));
    EXPECT_TRUE(world.isBlocked({0, 30}));
    ::unlink(fifo.c_str());
}

TEST(MapLoading, OnlyBareNamesInTheLevelsFolderAreTakenFromTheNetwork) {
    EXPECT_EQ(levelsPathFor("Levels/map2.raw"), "Levels/map2.raw");
    EXPECT_EQ(levelsPathFor("arena.raw"), "Levels/arena.raw");
    for (const char* const hostile : {"/dev/stdin", "../map2.raw", "Levels/../../etc/passwd", "Levels/sub/map.raw", "",
                                      "Levels/", ".hidden", "map\x01.raw", "Levels/.."}) {
        EXPECT_EQ(levelsPathFor(hostile), std::nullopt) << hostile;
    }
    EXPECT_EQ(levelsPathFor(std::string(MAX_MAP_FILE_NAME, 'm')), "Levels/" + std::string(MAX_MAP_FILE_NAME, 'm'));
    EXPECT_EQ(levelsPathFor(std::string(MAX_MAP_FILE_NAME + 1, 'm')), std::nullopt);
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

using WorldUpdate = WorldTest;

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

TEST_F(WorldUpdate, ManyObjectsOnFewCellsArePairedInListOrderOnce) {
    // Objects that stand still, crowded on a 3 x 3 patch: the pairs must
    // reach the rules as a walk over every later object would offer them.
    std::mt19937          random(5);
    std::vector<CObject*> listed;
    std::vector<Position> cells;
    for (int i = 0; i < 300; ++i) {
        const int x = 10 + static_cast<int>(random() % 3);
        const int y = 10 + static_cast<int>(random() % 3);
        switch (random() % 3) {
            case 0:
                listed.push_back(&addAvatar(x, y));
                break;
            case 1:
                listed.push_back(&addPowerup(x, y));
                break;
            default: {
                Bullet& bullet   = addBullet(x, y, 0);
                bullet.moveTimer = 1e9f;
                listed.push_back(&bullet);
            }
        }
    }
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        for (std::size_t j = i + 1; j < listed.size(); ++j) {
            CObject& a = *listed[i];
            CObject& b = *listed[j];
            if (!(a.pos == b.pos)) {
                continue;
            }
            const auto avatar = [](CObject& o) { return std::to_string(o.id); };
            if (isExactly<Avatar>(a) != isExactly<Avatar>(b) && !isExactly<Bullet>(a) && !isExactly<Bullet>(b)) {
                expected.push_back("pick " + avatar(isExactly<Avatar>(a) ? a : b) + " " +
                                   avatar(isExactly<Avatar>(a) ? b : a));
            } else if (isExactly<Avatar>(a) != isExactly<Avatar>(b) && !isExactly<Powerup>(a) &&
                       !isExactly<Powerup>(b)) {
                expected.push_back("hit " + avatar(isExactly<Avatar>(a) ? a : b) + " " +
                                   avatar(isExactly<Avatar>(a) ? b : a));
            }
        }
    }
    world().update();
    EXPECT_EQ(arbiter->calls, expected);
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

void addTo(CWorld& world, std::unique_ptr<CObject> object, const std::int32_t id, const Position pos) {
    object->id  = id;
    object->pos = pos;
    world.addObject(std::move(object));
}

TEST(WorldDigest, AgreesOnWhatMachinesShareWhateverTheOrderAndNothingElse) {
    CWorld first;
    CWorld second;
    addTo(first, std::make_unique<Avatar>(), 1, {3, 3});
    addTo(first, std::make_unique<Powerup>(), 2, {4, 4});
    addTo(second, std::make_unique<Powerup>(), 2, {4, 4});
    addTo(second, std::make_unique<Avatar>(), 1, {3, 3});
    objectAs<Powerup>(first.getObjects().back().get())->type   = powerup_health;
    objectAs<Powerup>(second.getObjects().front().get())->type = powerup_health;
    addTo(second, std::make_unique<Bullet>(), -5, {6, 6});  // each machine flies its own bullets
    EXPECT_EQ(worldDigest(first), worldDigest(second));
    EXPECT_EQ(digestText(worldDigest(first)).size(), 16u);

    objectAs<Avatar>(std::next(second.getObjects().begin())->get())->ammo = 49;
    EXPECT_NE(worldDigest(first), worldDigest(second)) << "ammunition counts";
}

// The window's loop and the dedicated host's both count time this way.
TEST(FrameClock, ALongPauseCountsAsOneFifthOfASecond) {
    setFrameTime(0.016f);
    EXPECT_FLOAT_EQ(frameTime, 0.016f);
    setFrameTime(30.0f);
    EXPECT_FLOAT_EQ(frameTime, MAX_FRAME_TIME);
    setFrameTime(0.2f);
}

}  // namespace
