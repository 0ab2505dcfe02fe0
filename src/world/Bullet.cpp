#include "world/Bullet.h"

#include "platform/FrameState.h"
#include "world/World.h"

Position bulletStep(const std::int32_t direction) {
    static constexpr Position STEPS[8] = {
        {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}, {1, 0}, {1, 1},
    };
    return STEPS[direction];
}

Bullet::Bullet() : CObject(KIND, nextBulletId--) {}

void Bullet::update() {
    moveTimer -= frameTime;
    direction = (direction + 8) % 8;
    if (moveTimer > 0.0f) {
        return;
    }
    const Position delta = bulletStep(direction);
    pos.x += delta.x;
    pos.y += delta.y;
    if (CWorld::instance().isBlocked(pos)) {
        removed = true;
    } else {
        moveTimer = 1.0f / speed;
    }
}
