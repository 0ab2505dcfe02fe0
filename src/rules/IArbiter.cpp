#include "rules/IArbiter.h"

#include "world/Avatar.h"
#include "world/Bullet.h"
#include "world/Powerup.h"

void IArbiter::trySpawnPowerup() {}
void IArbiter::respawnAvatar(Avatar&) {}
void IArbiter::leaveGame() {}
void IArbiter::avatarInputChanged(Avatar&) {}
void IArbiter::update() {}
bool IArbiter::newGame() {
    return true;
}
IArbiter::~IArbiter() = default;
void IArbiter::pickPowerup(Avatar&, Powerup&) {}
void IArbiter::hitAvatar(Avatar&, Bullet&) {}
void IArbiter::endFrame() {}

void IArbiter::collide(CObject& a, CObject& b) {
    // Four independent tests, in this order, each through the virtual slots.
    if (isExactly<Powerup>(a) && isExactly<Avatar>(b)) {
        pickPowerup(static_cast<Avatar&>(b), static_cast<Powerup&>(a));
    }
    if (isExactly<Avatar>(a) && isExactly<Powerup>(b)) {
        pickPowerup(static_cast<Avatar&>(a), static_cast<Powerup&>(b));
    }
    if (isExactly<Bullet>(a) && isExactly<Avatar>(b)) {
        hitAvatar(static_cast<Avatar&>(b), static_cast<Bullet&>(a));
    }
    if (isExactly<Avatar>(a) && isExactly<Bullet>(b)) {
        hitAvatar(static_cast<Avatar&>(a), static_cast<Bullet&>(b));
    }
}

namespace {

std::unique_ptr<IArbiter> arbiterInUse;

}  // namespace

IArbiter* getArbiter() {
    return arbiterInUse.get();
}

IArbiter& currentArbiter() {
    static IArbiter noRules;
    return arbiterInUse ? *arbiterInUse : noRules;
}

void installArbiter(std::unique_ptr<IArbiter> arbiter) {
    arbiterInUse = std::move(arbiter);
}

void destroyArbiter() {
    arbiterInUse.reset();
}
