#include "world/BotController.h"

#include <algorithm>
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

const char* botLevelName(const BotLevel level) {
    switch (level) {
        case BotLevel::easy:
            return "easy";
        case BotLevel::hard:
            return "hard";
        case BotLevel::normal:
            break;
    }
    return "normal";
}

std::optional<BotLevel> botLevelNamed(const std::string& name) {
    for (const BotLevel level : {BotLevel::easy, BotLevel::normal, BotLevel::hard}) {
        if (name == botLevelName(level)) {
            return level;
        }
    }
    return std::nullopt;
}

BotController::Skill BotController::skillOf(const BotLevel level) {
    switch (level) {
        case BotLevel::easy:
            return {0.5f, 0.4f, false, 0, 0};
        case BotLevel::hard:
            return {0.12f, 0.0f, true, 40, 151};
        case BotLevel::normal:
            break;
    }
    return {0.25f, 0.0f, false, LOW_AMMO, HURT_HP};
}

BotController::BotController(const BotLevel level) : playing(level), skill(skillOf(level)) {}

bool BotController::isConfined() {
    // Its cells of the last few seconds; held to a few of them with no shot
    // fired, it is stuck, whatever holds it.
    constexpr float WINDOW = 4.0f;
    if (visited.empty() || !(visited.back().second == avatar->pos)) {
        visited.emplace_back(clock, avatar->pos);
    }
    while (visited.size() > 1 && clock - visited[1].first >= WINDOW) {
        visited.erase(visited.begin());
    }
    if (clock - visited.front().first < WINDOW || clock - lastShot < WINDOW) {
        return false;
    }
    std::vector<Position> cells;
    for (const auto& [when, cell] : visited) {
        if (std::find(cells.begin(), cells.end(), cell) == cells.end()) {
            cells.push_back(cell);
        }
    }
    return cells.size() <= 3;
}

BotController::Intent BotController::decide() {
    const CWorld& world = CWorld::instance();
    if (clock >= escapeUntil && isConfined()) {
        do {
            escapeTo = {std::rand() % MAPSIZE, std::rand() % MAPSIZE};
        } while (world.isBlocked(escapeTo));
        escapeUntil = clock + 2.0f;
        visited.clear();
    }
    if (clock < escapeUntil) {
        if (const auto step = firstStepTowards(world, avatar->pos, escapeTo)) {
            return {*step, false};
        }
    }
    const Avatar*  enemy         = nullptr;
    const Powerup* need          = nullptr;
    int            enemyDistance = std::numeric_limits<int>::max();
    int            needDistance  = std::numeric_limits<int>::max();
    for (const auto& object : world.getObjects()) {
        if (object->removed || object.get() == avatar) {
            continue;
        }
        const int distance = cellDistance(object->pos, avatar->pos);
        if (const auto* const other = objectAs<Avatar>(object.get())) {
            if (other->hp > 0 && distance < enemyDistance) {
                enemy         = other;
                enemyDistance = distance;
            }
        } else if (const auto* const powerup = objectAs<Powerup>(object.get())) {
            const bool wanted = (powerup->type == powerup_ammo && avatar->ammo < skill.lowAmmo) ||
                                (powerup->type == powerup_health && avatar->hp < skill.hurtHp);
            if (wanted && distance < needDistance) {
                need         = powerup;
                needDistance = distance;
            }
        }
    }
    // A hard bot weaker than its enemy stocks up first, if it can.
    const bool stockUp = skill.leads && need != nullptr && enemy != nullptr && avatar->hp < enemy->hp;
    if (enemy != nullptr && avatar->ammo > 0 && !stockUp) {
        Position target = enemy->pos;
        if (skill.leads) {
            // Where the target steps next, when a shot can reach it there.
            const Position ahead = stepFrom(world, enemy->pos, enemy->right - enemy->left, enemy->down - enemy->up);
            if (clearShotAt(world, avatar->pos, ahead)) {
                target = ahead;
            }
        }
        if (const auto shot = clearShotAt(world, avatar->pos, target)) {
            // A shot leaves along the heading held before this frame's turn:
            // turn first (a step along the line keeps it), then stand and
            // fire, so shots and target do not pass each other.
            const bool aimed = (headingFor(shot->x, shot->y) + 8) % 8 == (avatar->direction + 8) % 8;
            if (aimed) {
                aimedSince       = aimedSince < 0.0f ? clock : aimedSince;
                const bool shoot = clock - aimedSince >= skill.aimSeconds;
                lastShot         = shoot ? clock : lastShot;
                return {{0, 0}, shoot};
            }
            aimedSince = -1.0f;
            // Right next to it a turn is a step into its cell, and two bots
            // that turn to each other at once swap cells for ever: it steps
            // back first, and turns from two cells away.
            const Position away{-shot->x, -shot->y};
            if (cellDistance(avatar->pos, target) == 1 && stepFrom(world, avatar->pos, away.x, away.y) != avatar->pos) {
                return {away, false};
            }
            return {*shot, false};
        }
    }
    aimedSince                = -1.0f;
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
    clock += frameTime;
    thinkTimer -= frameTime;
    if (thinkTimer > 0.0f && avatar->pos == thoughtAt) {
        return;
    }
    thinkTimer                = skill.reactionSeconds;
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
