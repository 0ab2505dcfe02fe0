#include "world/Avatar.h"

#include <cmath>
#include <deque>
#include <utility>
#include <vector>

#include "platform/FrameState.h"
#include "platform/Platform.h"
#include "world/Bullet.h"
#include "world/World.h"

std::int32_t headingFor(const int dx, const int dy) {
    // Kept to these exact constants so every machine turns an avatar the same way.
    const double turns =
        (std::atan2(static_cast<double>(dy), static_cast<double>(dx)) + 6.2831854820251465) * 0.15915493866300567 -
        0.19634954631328583;
    return static_cast<std::int32_t>(turns * 8);
}

bool Avatar::isOwn() const {
    return controller != nullptr && controller->isPlayer();
}

bool Avatar::isInDeathCountdown() const {
    return releaseTimer > 0.0f && hp <= 0;
}

void Avatar::update() {
    if (isInDeathCountdown()) {
        releaseTimer -= frameTime;
        return;
    }
    if (hp <= 0) {
        return;  // dead, countdown over: only the host's respawn brings it back
    }
    if (controller) {
        controller->update();
    }
    moveTimer -= frameTime;
    fireTimer -= frameTime;

    if (fire != 0 && ammo > 0 && fireTimer <= 0.0f) {
        fireBullet();
    }

    const int dx = right - left;
    const int dy = down - up;
    turnToControls(dx, dy);

    if (moveTimer > 0.0f) {
        return;
    }
    step(dx, dy);
    moveTimer = 1.0f / speed;
}

void Avatar::fireBullet() {
    // The bullet leaves along the heading this avatar had before this frame's turn.
    auto bullet       = std::make_unique<Bullet>();
    bullet->pos       = pos;
    bullet->direction = direction;
    bullet->owner     = id;
    CWorld::instance().addObject(std::move(bullet));
    --ammo;
    fireTimer = 1.0f / fireRate;
    if (isOwn()) {
        platform().playSound(SoundEffect::fire);  // only this machine's own shots
    }
}

void Avatar::turnToControls(const int dx, const int dy) {
    if (left != 0 || right != 0 || up != 0 || down != 0) {
        direction = headingFor(dx, dy);
    }
}

Position stepFrom(const CWorld& world, const Position from, const int dx, const int dy) {
    const Position diagonal{from.x + dx, from.y + dy};
    const Position vertical{from.x, from.y + dy};
    const Position horizontal{from.x + dx, from.y};
    if (!world.isBlocked(diagonal)) {
        return diagonal;
    }
    if (!world.isBlocked(vertical)) {
        return vertical;
    }
    if (!world.isBlocked(horizontal)) {
        return horizontal;
    }
    return from;
}

std::optional<std::int32_t> stepsWithin(const CWorld& world, const Position from, const Position to,
                                        const std::int32_t most) {
    if (most < 0 || cellDistance(from, to) > most) {
        return std::nullopt;
    }
    // Breadth-first over a square of `most` cells about the start: no cell
    // outside it is that few steps away, so the search costs the same on any map.
    const std::int32_t        side = 2 * most + 1;
    std::vector<std::int32_t> steps(static_cast<std::size_t>(side) * static_cast<std::size_t>(side), -1);
    const auto                slot = [&](const Position cell) -> std::int32_t& {
        const std::int32_t index = (cell.y - from.y + most) * side + (cell.x - from.x + most);
        return steps[static_cast<std::size_t>(index)];
    };
    std::deque<Position> frontier{from};
    slot(from) = 0;
    while (!frontier.empty()) {
        const Position cell = frontier.front();
        frontier.pop_front();
        if (cell == to) {
            return slot(cell);
        }
        if (slot(cell) == most) {
            continue;
        }
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const Position next = stepFrom(world, cell, dx, dy);
                if (cellDistance(next, from) <= most && slot(next) < 0) {
                    slot(next) = slot(cell) + 1;
                    frontier.push_back(next);
                }
            }
        }
    }
    return std::nullopt;
}

void Avatar::step(const int dx, const int dy) {
    pos = stepFrom(CWorld::instance(), pos, dx, dy);
}

void Avatar::setPosition(const Position newPos) {
    pos = newPos;
}

void Avatar::setControls(const std::int32_t newLeft, const std::int32_t newRight, const std::int32_t newUp,
                         const std::int32_t newDown, const std::int32_t newFire) {
    left  = newLeft;
    right = newRight;
    up    = newUp;
    down  = newDown;
    fire  = newFire;
}

void Avatar::setLeft(const std::int32_t value) {
    left = value;
}

void Avatar::setRight(const std::int32_t value) {
    right = value;
}

void Avatar::setUp(const std::int32_t value) {
    up = value;
}

void Avatar::setDown(const std::int32_t value) {
    down = value;
}

void Avatar::setFire(const std::int32_t value) {
    fire = value;
}

void Avatar::setController(std::unique_ptr<Controller> newController) {
    controller = std::move(newController);
}
