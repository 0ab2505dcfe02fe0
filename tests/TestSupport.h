#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Platform.h"
#include "rules/IArbiter.h"
#include "world/Avatar.h"
#include "world/Bullet.h"
#include "world/Powerup.h"
#include "world/World.h"

// Writes down what the world and the controllers ask of the rules, as short
// lines such as "pick 7 3" (avatar 7 takes powerup 3).
class RecordingArbiter : public IArbiter {
public:
    void respawnAvatar(Avatar& avatar) override;
    void avatarInputChanged(Avatar& avatar) override;
    void pickPowerup(Avatar& avatar, Powerup& powerup) override;
    void hitAvatar(Avatar& avatar, Bullet& bullet) override;

    // Whether a pick-up takes the powerup out of play, and a hit counts for
    // the shooter, as the real rules do.
    bool                     takePowerups = false;
    bool                     countHits    = false;
    std::vector<std::string> calls;
};

// A map with walls all around and the given interior wall cells.
MapCells enclosedMap(const std::vector<Position>& walls = {});

// Writes the bytes to a fresh file under the test's temporary folder.
std::string writeTempFile(const std::string& name, const std::string& bytes);
std::string writeMapFile(const MapCells& cells);

// The process's world on an enclosed map with no objects, a recording
// arbiter in use, no keys down and frames of 0.2 s.
class WorldTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Replaces the map with an enclosed one with the given interior walls.
    void useMap(const std::vector<Position>& walls);

    Avatar&  addAvatar(int x, int y);
    Bullet&  addBullet(int x, int y, int direction, int owner = -1);
    Powerup& addPowerup(int x, int y, PowerupType type = powerup_ammo);

    CWorld& world() { return CWorld::instance(); }

    RecordingArbiter* arbiter = nullptr;
};
