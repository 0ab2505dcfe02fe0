#include "world/BotController.h"

#include <array>
#include <cstdlib>
#include <deque>
#include <limits>

#include "platform/FrameState.h"
#include "rules/IArbiter.h"
#include "world/Avatar.h"
#include "world/Powerup.h"
#include "world/World.h"

namespace {

constexpr std::array<Position, 8> STEPS{
    Position{0, 1},  Position{-1, 1}, Position{-1, 0}, Position{-1, -1},
    Position{0, -1}, Position{1, -1}, Position{1, 0},  Position{1, 1},
};

constexpr std::int32_t LOW_AMMO = 10;
constexpr std::int32_t HURT_HP  = 50;

bool onGrid(const Position cell) {
    return cell.x >= 0 && cell.x < MAPSIZE && cell.y >= 0 && cell.y < MAPSIZE;
}

std::size_t indexOf(const Position cell) {
    return static_cast<std::size_t>(cell.y) * MAPSIZE + static_cast<std::size_t>(cell.x);
}

int chebyshev(const Position a, const Position b) {
    return std::max(std::abs(a.x - b.x), std::abs(a.y - b.y));
}

}  // namespace

std::optional<Position> firstStepTowards(const CWorld& world, const Position from, const Position to) {
    if (from == to || !onGrid(from) || !onGrid(to) || world.isBlocked(to)) {
        return std::nullopt;
    }
    // Breadth-first from the target, so each cell learns its step towards it.
    std::vector<int>     distance(std::size_t{MAPSIZE} * MAPSIZE, -1);
    std::deque<Position> frontier{to};
    distance[indexOf(to)] = 0;
    while (!frontier.empty() && distance[indexOf(from)] < 0) {
        const Position cell = frontier.front();
        frontier.pop_front();
        for (const Position step : STEPS) {
            const Position next{cell.x + step.x, cell.y + step.y};
            if (onGrid(next) && distance[indexOf(next)] < 0 && !world.isBlocked(next)) {
                distance[indexOf(next)] = distance[indexOf(cell)] + 1;
                frontier.push_back(next);
            }
        }
    }
    if (distance[indexOf(from)] < 0) {
        return std::nullopt;
    }
    for (const Position step : STEPS) {
        // Only steps that the avatar's own move would take as given.
        const Position next{from.x + step.x, from.y + step.y};
        if (onGrid(next) && distance[indexOf(next)] == distance[indexOf(from)] - 1 &&
            stepFrom(world, from, step.x, step.y) == next) {
            return step;
        }
    }
    return std::nullopt;
}

std::optional<Position> clearShotAt(const CWorld& world, const Position from, const Position to) {
    for (const Position step : STEPS) {
        for (Position cell{from.x + step.x, from.y + step.y}; onGrid(cell) && !world.isBlocked(cell);
             cell = {cell.x + step.x, cell.y + step.y}) {
            if (cell == to) {
                return step;
            }
        }
    }
    return std::nullopt;
}

BotController::Intent BotController::decide() const {
    const CWorld&  world         = CWorld::instance();
    const Avatar*  enemy         = nullptr;
    const Powerup* need          = nullptr;
    int            enemyDistance = std::numeric_limits<int>::max();
    int            needDistance  = std::numeric_limits<int>::max();
    for (const auto& object : world.getObjects()) {
        if (object->removed || object.get() == avatar) {
            continue;
        }
        const int distance = chebyshev(object->pos, avatar->pos);
        if (const auto* const other = objectAs<Avatar>(object.get())) {
            if (other->hp > 0 && distance < enemyDistance) {
                enemy         = other;
                enemyDistance = distance;
            }
        } else if (const auto* const powerup = objectAs<Powerup>(object.get())) {
            const bool wanted = (powerup->type == powerup_ammo && avatar->ammo < LOW_AMMO) ||
                                (powerup->type == powerup_health && avatar->hp < HURT_HP);
            if (wanted && distance < needDistance) {
                need         = powerup;
                needDistance = distance;
            }
        }
    }
    if (enemy != nullptr && avatar->ammo > 0) {
        if (const auto shot = clearShotAt(world, avatar->pos, enemy->pos)) {
            // A shot leaves along the heading held before this frame's turn:
            // turn first (a step along the line keeps it), then stand and
            // fire, so shots and target do not pass each other.
            const bool aimed = (headingFor(shot->x, shot->y) + 8) % 8 == (avatar->direction + 8) % 8;
            return aimed ? Intent{{0, 0}, true} : Intent{*shot, false};
        }
    }
    const CObject* const goal = need != nullptr ? static_cast<const CObject*>(need) : enemy;
    if (goal != nullptr) {
        if (const auto step = firstStepTowards(world, avatar->pos, goal->pos)) {
            return {*step, false};
        }
    }
    // Nothing to go for: wander rather than stand still, never into a wall.
    std::array<Position, 8> open{};
    std::size_t             openCount = 0;
    for (const Position step : STEPS) {
        if (stepFrom(world, avatar->pos, step.x, step.y) != avatar->pos) {
            open[openCount++] = step;
        }
    }
    if (openCount == 0) {
        return {};
    }
    return {open[static_cast<std::size_t>(std::rand()) % openCount], false};
}

void BotController::update() {
    if (avatar == nullptr) {
        return;
    }
    // It looks again after its reaction time, and at every cell it reaches,
    // so it follows its path a cell at a time instead of overshooting.
    thinkTimer -= frameTime;
    if (thinkTimer > 0.0f && avatar->pos == thoughtAt) {
        return;
    }
    thinkTimer                = REACTION_SECONDS;
    thoughtAt                 = avatar->pos;
    const Intent       intent = decide();
    const std::int32_t left   = intent.step.x < 0 ? 1 : 0;
    const std::int32_t right  = intent.step.x > 0 ? 1 : 0;
    const std::int32_t up     = intent.step.y < 0 ? 1 : 0;
    const std::int32_t down   = intent.step.y > 0 ? 1 : 0;
    const std::int32_t fire   = intent.fire ? 1 : 0;
    if (left != avatar->left || right != avatar->right || up != avatar->up || down != avatar->down ||
        fire != avatar->fire) {
        avatar->setControls(left, right, up, down, fire);
        currentArbiter().avatarInputChanged(*avatar);
    }
}
