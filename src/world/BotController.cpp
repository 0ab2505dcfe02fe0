#include "world/BotController.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <limits>

#include "platform/FrameState.h"
#include "rules/IArbiter.h"
#include "world/Avatar.h"
#include "world/Bullet.h"
#include "world/Powerup.h"
#include "world/World.h"

namespace {

constexpr std::array<Position, 8> STEPS{
    Position{0, 1},  Position{-1, 1}, Position{-1, 0}, Position{-1, -1},
    Position{0, -1}, Position{1, -1}, Position{1, 0},  Position{1, 1},
};

constexpr std::int32_t LOW_AMMO = 10;
constexpr std::int32_t HURT_HP  = 50;

// A tactical bot's memory of how a foe met its bullets: each answer keeps
// this share of the rate before it; from DODGER on, the foe is taken to
// dodge.
constexpr float DODGE_MEMORY = 0.7f;
constexpr float DODGER       = 0.5f;

bool onGrid(const Position cell) {
    return cell.x >= 0 && cell.x < MAPSIZE && cell.y >= 0 && cell.y < MAPSIZE;
}

std::size_t indexOf(const Position cell) {
    return static_cast<std::size_t>(cell.y) * MAPSIZE + static_cast<std::size_t>(cell.x);
}

// How many steps of (dx, dy) lead from one cell to another with floor all
// the way; nothing when they never do.
std::optional<int> stepsAlong(const CWorld& world, const Position from, const Position step, const Position to) {
    const int dx    = to.x - from.x;
    const int dy    = to.y - from.y;
    const int steps = std::max(std::abs(dx), std::abs(dy));
    if (dx != steps * step.x || dy != steps * step.y) {
        return std::nullopt;
    }
    for (int k = 0; k <= steps; ++k) {
        if (world.isBlocked({from.x + k * step.x, from.y + k * step.y})) {
            return std::nullopt;
        }
    }
    return steps;
}

Position flightStep(const Bullet& bullet) {
    return bulletStep((bullet.direction + 8) % 8);
}

// Frames, at this frame time, until a mover's timer lets it step (0: in this
// frame), and from one of its steps to the next. An avatar's timer runs and
// restarts whether it steps or stands.
int framesUntilStep(const float timer) {
    return timer <= frameTime ? 0 : static_cast<int>(std::ceil(timer / frameTime)) - 1;
}

int framesPerStep(const float speed) {
    return std::max(1, static_cast<int>(std::ceil(1.0f / speed / frameTime)));
}

}  // namespace

void BulletWatch::add(const Bullet& bullet) {
    flights.push_back({bullet.pos, flightStep(bullet), framesUntilStep(bullet.moveTimer), framesPerStep(bullet.speed)});
}

bool BulletWatch::hits(const CWorld& world, const Position cell, const int from, const int to) const {
    for (const Flight& flight : flights) {
        const auto steps = stepsAlong(world, flight.at, flight.step, cell);
        if (!steps) {
            continue;
        }
        // In the cell after its step of frame `enters`, gone at its step of
        // frame `leaves`; avatars move before bullets within a frame.
        const int enters = *steps == 0 ? from - 1 : flight.firstStep + (*steps - 1) * flight.period;
        const int leaves = flight.firstStep + *steps * flight.period;
        if (enters + 1 <= to && leaves >= from) {
            return true;
        }
    }
    return false;
}

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
            return {0.5f, 0.4f, 0, 0, false, 0.0f};
        case BotLevel::hard:
            // It looks at every frame: it turns where it stands between two of
            // its steps, and times its shots and dodges to the frame.
            return {0.0f, 0.0f, 40, 151, true, 0.12f};
        case BotLevel::normal:
            break;
    }
    return {0.25f, 0.0f, LOW_AMMO, HURT_HP, false, 0.0f};
}

BotController::BotController(const BotLevel level) : playing(level), skill(skillOf(level)) {}

bool BotController::isConfined() {
    // Its cells of the last few seconds; held to a few of them with no hit
    // scored, it is stuck, whatever holds it. Shots fired are no sign: two
    // bots that step out of each other's bullets fire for ever.
    constexpr float WINDOW = 4.0f;
    if (avatar->hitsLanded != hitsSeen) {
        hitsSeen = avatar->hitsLanded;
        lastHit  = clock;
    }
    if (visited.empty() || !(visited.back().second == avatar->pos)) {
        visited.emplace_back(clock, avatar->pos);
    }
    while (visited.size() > 1 && clock - visited[1].first >= WINDOW) {
        visited.erase(visited.begin());
    }
    if (clock - visited.front().first < WINDOW || clock - lastHit < WINDOW) {
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

std::optional<BotController::Intent> BotController::escape() {
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
            return Intent{*step, false};
        }
    }
    return std::nullopt;
}

BotController::Sight BotController::look() const {
    Sight sight;
    int   enemyDistance = std::numeric_limits<int>::max();
    int   needDistance  = std::numeric_limits<int>::max();
    for (const auto& object : CWorld::instance().getObjects()) {
        if (object->removed || object.get() == avatar) {
            continue;
        }
        const int distance = cellDistance(object->pos, avatar->pos);
        if (const auto* const other = objectAs<Avatar>(object.get())) {
            if (other->hp > 0 && distance < enemyDistance) {
                sight.enemy   = other;
                enemyDistance = distance;
            }
        } else if (const auto* const powerup = objectAs<Powerup>(object.get())) {
            const bool wanted = (powerup->type == powerup_ammo && avatar->ammo < skill.lowAmmo) ||
                                (powerup->type == powerup_health && avatar->hp < skill.hurtHp);
            if (wanted && distance < needDistance) {
                sight.need   = powerup;
                needDistance = distance;
            }
        }
    }
    return sight;
}

BotController::Intent BotController::approach(const Sight& sight) const {
    const CWorld&        world = CWorld::instance();
    const CObject* const goal  = sight.need != nullptr ? static_cast<const CObject*>(sight.need) : sight.enemy;
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

BotController::Intent BotController::decide() {
    const CWorld& world = CWorld::instance();
    if (const auto escaping = escape()) {
        return *escaping;
    }
    const Sight sight = look();
    if (sight.enemy != nullptr && avatar->ammo > 0) {
        if (const auto shot = clearShotAt(world, avatar->pos, sight.enemy->pos)) {
            // A shot leaves along the heading held before this frame's turn:
            // turn first (a step along the line keeps it), then stand and
            // fire, so shots and target do not pass each other.
            const bool aimed = (headingFor(shot->x, shot->y) + 8) % 8 == (avatar->direction + 8) % 8;
            if (aimed) {
                aimedSince = aimedSince < 0.0f ? clock : aimedSince;
                return {{0, 0}, clock - aimedSince >= skill.aimSeconds};
            }
            aimedSince = -1.0f;
            // Right next to it a turn is a step into its cell, and two bots
            // that turn to each other at once swap cells for ever: it steps
            // back first, and turns from two cells away.
            const Position away{-shot->x, -shot->y};
            if (cellDistance(avatar->pos, sight.enemy->pos) == 1 &&
                stepFrom(world, avatar->pos, away.x, away.y) != avatar->pos) {
                return {away, false};
            }
            return {*shot, false};
        }
    }
    aimedSince = -1.0f;
    return approach(sight);
}

void BotController::watchFoes() {
    const CWorld& world = CWorld::instance();
    ++frames;
    std::vector<Foe> seen;
    bool             movesFirst = true;
    for (const auto& object : world.getObjects()) {
        movesFirst              = movesFirst && object.get() != avatar;
        const auto* const other = objectAs<Avatar>(object.get());
        if (other == nullptr || other->removed || other == avatar) {
            continue;
        }
        const auto known = std::find_if(foes.begin(), foes.end(), [&](const Foe& foe) { return foe.id == other->id; });
        Foe        foe   = known != foes.end() ? *known : Foe{};
        foe.id           = other->id;
        // A step shows when its timer runs out; seen a frame late when it
        // moves after this bot. Death stops the timer, a respawn moves it far.
        if (other->hp <= 0 ||
            (foe.seenAt != other->pos && (!foe.seenAlive || cellDistance(foe.seenAt, other->pos) > 1))) {
            foe.steppedAt = -1;
        } else if (foe.seenAt != other->pos) {
            foe.steppedAt = movesFirst ? frames : frames - 1;
        }
        foe.seenAt     = other->pos;
        foe.seenAlive  = other->hp > 0;
        foe.movesFirst = movesFirst;
        // This bot's bullets that flew at it: gone, they met it (or what
        // stood in front of it); flying on past where it now is, it
        // stepped aside.
        std::vector<std::int32_t> stillComing;
        for (const std::int32_t id : foe.onCourse) {
            const auto* const bullet = objectAs<Bullet>(world.findObject(id));
            if (bullet == nullptr) {
                foe.dodgeRate *= DODGE_MEMORY;
            } else if (!stepsAlong(world, bullet->pos, flightStep(*bullet), other->pos)) {
                foe.dodgeRate = foe.dodgeRate * DODGE_MEMORY + (1.0f - DODGE_MEMORY);
            } else {
                stillComing.push_back(id);
            }
        }
        foe.onCourse = std::move(stillComing);
        seen.push_back(std::move(foe));
    }
    foes = std::move(seen);
    // Each new bullet of its own counts for the live foes in its flight.
    std::vector<std::int32_t> flying;
    for (const auto& object : world.getObjects()) {
        const auto* const bullet = objectAs<Bullet>(object.get());
        if (bullet == nullptr || bullet->removed || bullet->owner != avatar->id) {
            continue;
        }
        flying.push_back(bullet->id);
        if (std::find(ownBullets.begin(), ownBullets.end(), bullet->id) != ownBullets.end()) {
            continue;
        }
        for (Foe& foe : foes) {
            if (foe.seenAlive && stepsAlong(world, bullet->pos, flightStep(*bullet), foe.seenAt)) {
                foe.onCourse.push_back(bullet->id);
            }
        }
    }
    ownBullets = std::move(flying);
}

bool BotController::shotHits(const Avatar& enemy) const {
    const CWorld& world = CWorld::instance();
    const auto    foe   = std::find_if(foes.begin(), foes.end(), [&](const Foe& seen) { return seen.id == enemy.id; });
    if (foe == foes.end()) {
        return false;
    }
    // One that steps out of the way of bullets may do so at any step once
    // it can see this one; one that does not is expected to hold its course.
    const bool     dodges       = foe->dodgeRate >= DODGER;
    const int      period       = framesPerStep(enemy.speed);
    const int      bulletPeriod = framesPerStep(BULLET_SPEED);
    const int      seesFrom     = foe->movesFirst ? 1 : 0;
    const Position heading      = bulletStep((avatar->direction + 8) % 8);
    const Position course{enemy.right - enemy.left, enemy.down - enemy.up};
    Position       bullet = avatar->pos;
    Position       target = enemy.pos;
    // The bullet is out of the map in MAPSIZE steps at most.
    for (int frame = 0; frame <= bulletPeriod * MAPSIZE; ++frame) {
        // In each frame the enemy moves (and may step) before the bullet
        // does, and meets it where the bullet's last step left it.
        if (frame >= seesFrom) {
            const bool steps = foe->steppedAt >= 0 && (frames + frame - foe->steppedAt) % period == 0;
            if (steps && dodges) {
                return false;
            }
            if (steps) {
                target = stepFrom(world, target, course.x, course.y);
            }
            if (target == bullet) {
                return true;
            }
        }
        if (frame % bulletPeriod == 0) {
            bullet = {bullet.x + heading.x, bullet.y + heading.y};
            if (!onGrid(bullet) || world.isBlocked(bullet)) {
                return false;
            }
        }
    }
    return false;
}

BotController::Intent BotController::decideTactically() {
    const CWorld& world = CWorld::instance();
    if (const auto escaping = escape()) {
        return *escaping;
    }
    const Sight sight = look();
    if (sight.enemy == nullptr || avatar->ammo <= 0) {
        return approach(sight);
    }
    const Avatar& enemy = *sight.enemy;
    if (shotHits(enemy)) {
        return {{0, 0}, true};
    }
    const auto shot = clearShotAt(world, avatar->pos, enemy.pos);
    if (!shot) {
        return approach(sight);
    }
    const Position along = stepFrom(world, avatar->pos, shot->x, shot->y);
    if ((headingFor(shot->x, shot->y) + 8) % 8 == (avatar->direction + 8) % 8) {
        // Aimed, but the enemy would be gone before the bullet came: closer,
        // it has less time to step aside. It walks in along the line, still
        // aimed, but never into the enemy's cell.
        if (along != avatar->pos && along != enemy.pos) {
            return {*shot, false};
        }
        return {};
    }
    // Between two of its steps a heading pressed turns it where it stands;
    // at a step it turns and steps in along the line, unless that step is
    // into the enemy's cell: then it stands, to turn in the next frame.
    if (framesUntilStep(avatar->moveTimer) == 0 && along == enemy.pos) {
        return {};
    }
    return {*shot, false};
}

BulletWatch BotController::noticedBullets() {
    // The world keeps bullets in the order they were fired, and so does the
    // list of those seen: one walk through both finds each one's first sight.
    std::vector<std::pair<std::int32_t, float>> stillSeen;
    BulletWatch                                 watch;
    auto                                        seen = bulletsSeen.begin();
    for (const auto& object : CWorld::instance().getObjects()) {
        const auto* const bullet = objectAs<Bullet>(object.get());
        if (bullet == nullptr || bullet->removed || bullet->owner == avatar->id) {
            continue;
        }
        // Ids of bullets count down as they are made.
        while (seen != bulletsSeen.end() && seen->first > bullet->id) {
            ++seen;
        }
        const float since = seen != bulletsSeen.end() && seen->first == bullet->id ? seen->second : clock;
        stillSeen.emplace_back(bullet->id, since);
        if (clock - since >= skill.noticeSeconds - frameTime / 2) {
            watch.add(*bullet);
        }
    }
    bulletsSeen = std::move(stillSeen);
    return watch;
}

BotController::Intent BotController::keepClear(const Intent planned, const BulletWatch& watch) const {
    // Between two of its steps the flags only turn it: whether it stays or
    // steps, and where to, is settled at the frame of its step, for as long
    // as the next step takes.
    if (framesUntilStep(avatar->moveTimer) > 0) {
        return planned;
    }
    const CWorld& world   = CWorld::instance();
    const int     perStep = framesPerStep(avatar->speed);
    const auto    safe    = [&](const Position step) {
        return !watch.hits(world, stepFrom(world, avatar->pos, step.x, step.y), 0, perStep - 1);
    };
    if (safe(planned.step)) {
        return planned;
    }
    std::optional<Position> best;
    int                     bestScore = std::numeric_limits<int>::min();
    for (const Position step : STEPS) {
        const int score = step.x * planned.step.x + step.y * planned.step.y;
        if (score > bestScore && safe(step)) {
            best      = step;
            bestScore = score;
        }
    }
    // A shot still leaves along the heading held before the dodge's turn.
    return best ? Intent{*best, planned.fire} : planned;
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
    thinkTimer = skill.reactionSeconds;
    thoughtAt  = avatar->pos;
    Intent intent;
    if (skill.tactical) {
        watchFoes();
        const BulletWatch watch = noticedBullets();
        intent                  = keepClear(decideTactically(), watch);
    } else {
        intent = decide();
    }
    const std::int32_t left  = intent.step.x < 0 ? 1 : 0;
    const std::int32_t right = intent.step.x > 0 ? 1 : 0;
    const std::int32_t up    = intent.step.y < 0 ? 1 : 0;
    const std::int32_t down  = intent.step.y > 0 ? 1 : 0;
    const std::int32_t fire  = intent.fire ? 1 : 0;
    if (left != avatar->left || right != avatar->right || up != avatar->up || down != avatar->down ||
        fire != avatar->fire) {
        avatar->setControls(left, right, up, down, fire);
        currentArbiter().avatarInputChanged(*avatar);
    }
}
