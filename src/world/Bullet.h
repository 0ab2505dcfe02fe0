#pragma once

#include <cstdint>

#include "world/Object.h"

constexpr float BULLET_SPEED = 40.0f;  // cell steps per second

// A shot in flight. Bullets exist on each machine on their own and never
// travel over the network; one flies until it enters a wall or a rule removes it.
class Bullet : public CObject {
public:
    static constexpr ObjectKind KIND = ObjectKind::bullet;

    Bullet();
    void update() override;

    std::int32_t direction = 0;  // heading code, brought into 0 ... 7 at each update
    float        speed     = BULLET_SPEED;
    float        moveTimer = 0.0f;
    std::int32_t owner     = 0;  // id of the avatar that fired it
};

// The cell step of heading code 0 ... 7.
Position bulletStep(std::int32_t direction);
