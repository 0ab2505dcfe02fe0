#include "TestSupport.h"

#include <cstring>
#include <fstream>

#include "platform/FrameState.h"

void RecordingArbiter::respawnAvatar(Avatar& avatar) {
    calls.push_back("respawn " + std::to_string(avatar.id));
}

void RecordingArbiter::avatarInputChanged(Avatar& avatar) {
    calls.push_back("input " + std::to_string(avatar.id));
}

void RecordingArbiter::pickPowerup(Avatar& avatar, Powerup& powerup) {
    calls.push_back("pick " + std::to_string(avatar.id) + " " + std::to_string(powerup.id));
    if (takePowerups) {
        powerup.removed = true;
    }
}

void RecordingArbiter::hitAvatar(Avatar& avatar, Bullet& bullet) {
    calls.push_back("hit " + std::to_string(avatar.id) + " " + std::to_string(bullet.id));
    if (auto* const shooter = objectAs<Avatar>(CWorld::instance().findObject(bullet.owner)); countHits && shooter) {
        ++shooter->hitsLanded;
    }
}

MapCells enclosedMap(const std::vector<Position>& walls) {
    MapCells cells{};
    for (int i = 0; i < MAPSIZE; ++i) {
        cells[static_cast<std::size_t>(i)]                           = 1;
        cells[static_cast<std::size_t>((MAPSIZE - 1) * MAPSIZE + i)] = 1;
        cells[static_cast<std::size_t>(i * MAPSIZE)]                 = 1;
        cells[static_cast<std::size_t>(i * MAPSIZE + MAPSIZE - 1)]   = 1;
    }
    for (const Position wall : walls) {
        cells[static_cast<std::size_t>(wall.y * MAPSIZE + wall.x)] = 1;
    }
    return cells;
}

std::string writeTempFile(const std::string& name, const std::string& bytes) {
    const ::testing::TestInfo* const test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string                path =
        ::testing::TempDir() + "quillstep_" + test->test_suite_name() + "_" + test->name() + "_" + name;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string writeMapFile(const MapCells& cells) {
    return writeTempFile("map.raw", std::string(cells.begin(), cells.end()));
}

void WorldTest::SetUp() {
    world().clearObjects();
    useMap({});
    auto recording = std::make_unique<RecordingArbiter>();
    arbiter        = recording.get();
    installArbiter(std::move(recording));
    std::memset(keys, 0, sizeof keys);
    std::memset(prevKeys, 0, sizeof prevKeys);
    frameTime = 0.2f;
}

void WorldTest::TearDown() {
    world().clearObjects();
    destroyArbiter();
}

void WorldTest::useMap(const std::vector<Position>& walls) {
    ASSERT_TRUE(world().loadMap(writeMapFile(enclosedMap(walls)).c_str()));
}

Avatar& WorldTest::addAvatar(const int x, const int y) {
    auto avatar = std::make_unique<Avatar>();
    avatar->pos = {x, y};
    return static_cast<Avatar&>(*world().addObject(std::move(avatar)));
}

Bullet& WorldTest::addBullet(const int x, const int y, const int direction, const int owner) {
    auto bullet       = std::make_unique<Bullet>();
    bullet->pos       = {x, y};
    bullet->direction = direction;
    bullet->owner     = owner;
    return static_cast<Bullet&>(*world().addObject(std::move(bullet)));
}

Powerup& WorldTest::addPowerup(const int x, const int y, const PowerupType type) {
    auto powerup  = std::make_unique<Powerup>();
    powerup->pos  = {x, y};
    powerup->type = type;
    return static_cast<Powerup&>(*world().addObject(std::move(powerup)));
}
