#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "world/Controller.h"
#include "world/Position.h"

class CWorld;

// One step of a shortest path over the floor from one cell to another, as
// (dx, dy) in -1 ... 1, moving the way avatars move (diagonally where that
// cell is floor); nothing when the target cannot be reached or is here.
std::optional<Position> firstStepTowards(const CWorld& world, Position from, Position to);

// The step (dx, dy) of one of the eight headings along which a bullet from
// `from` reaches `to` before any wall; nothing when there is none.
std::optional<Position> clearShotAt(const CWorld& world, Position from, Position to);

// How well a bot plays.
enum class BotLevel : std::int32_t { easy = 0, normal = 1, hard = 2 };

// The level's name ("easy", "normal", "hard") and the level a name means.
const char*             botLevelName(BotLevel level);
std::optional<BotLevel> botLevelNamed(const std::string& name);

// Steers an avatar on the host: towards the nearest opponent, or to a
// powerup it needs, firing only along a heading with a clear line to an
// opponent. It thinks again after its reaction time and at every cell it
// reaches, and its flag changes reach the other machines like a player's.
// Its level sets how fast it reacts, how long it aims, whether it leads a
// moving target and how much it cares for powerups.
class BotController : public Controller {
public:
    explicit BotController(BotLevel level = BotLevel::normal);

    void update() override;

    // What a level changes.
    struct Skill {
        float        reactionSeconds;  // between two looks
        float        aimSeconds;       // aimed, it waits this long before the first shot
        bool         leads;            // aims where a moving target is going
        std::int32_t lowAmmo;          // it goes for ammunition below this (0: never)
        std::int32_t hurtHp;           // and for health below this
    };
    static Skill skillOf(BotLevel level);
    BotLevel     level() const { return playing; }

private:
    // The flags to hold: a step and whether to fire.
    struct Intent {
        Position step;
        bool     fire = false;
    };
    Intent decide();
    // Whether it has kept to a few cells for a while without a shot: it
    // then makes for a far cell, whatever held it.
    bool isConfined();

    BotLevel                                playing;
    Skill                                   skill;
    float                                   clock      = 0.0f;
    float                                   thinkTimer = 0.0f;
    Position                                thoughtAt{-1, -1};
    float                                   aimedSince  = -1.0f;  // when its heading came to point at the target
    float                                   lastShot    = 0.0f;
    float                                   escapeUntil = 0.0f;
    Position                                escapeTo{-1, -1};
    std::vector<std::pair<float, Position>> visited;  // its cells of the last few seconds
};
