#pragma once

#include <cstdint>

#include "world/Object.h"

class Avatar;

// No pick-up raises an avatar's stock past these.
constexpr std::int32_t AMMO_CAP   = 200;
constexpr std::int32_t HEALTH_CAP = 150;

enum PowerupType : std::int32_t {
    powerup_ammo   = 0,
    powerup_health = 1,
};

// A pick-up lying on the map.
class Powerup : public CObject {
public:
    // Draws its type from the C library's generator, the one the host's rules
    // use: every powerup made, on any machine, consumes one number of it.
    static constexpr ObjectKind KIND = ObjectKind::powerup;

    Powerup();
    void update() override;

    // Gives the effect to the avatar; taking the powerup out of play is the
    // caller's business.
    void applyTo(Avatar& avatar) const;

    std::int32_t type;
};
