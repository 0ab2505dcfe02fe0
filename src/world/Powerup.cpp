#include "world/Powerup.h"

#include <algorithm>
#include <cstdlib>

#include "platform/GameAssert.h"
#include "world/Avatar.h"

namespace {

constexpr std::int32_t AMMO_GAIN   = 20;
constexpr std::int32_t HEALTH_GAIN = 25;

}  // namespace

Powerup::Powerup() : CObject(KIND), type(std::rand() % 2) {}

void Powerup::update() {}

void Powerup::applyTo(Avatar& avatar) const {
    switch (type) {
        case powerup_ammo:
            avatar.ammo = std::min(avatar.ammo + AMMO_GAIN, AMMO_CAP);
            break;
        case powerup_health:
            avatar.hp = std::min(avatar.hp + HEALTH_GAIN, HEALTH_CAP);
            break;
        default:
            reportAssertionFailure("(\"invalid powerup type\",false)", SITE_POWERUP_TYPE);
    }
}
