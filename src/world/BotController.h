#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "world/Controller.h"
#include "world/Position.h"

class Avatar;
class Bullet;
class CWorld;
class Powerup;

// One step of a shortest path over the floor from one cell to another, as
// (dx, dy) in -1 ... 1, moving the way avatars move (diagonally where that
// cell is floor); nothing when the target cannot be reached or is here.
std::optional<Position> firstStepTowards(const CWorld& world, Position from, Position to);

// The step (dx, dy) of one of the eight headings along which a bullet from
// `from` reaches `to` before any wall; nothing when there is none.
std::optional<Position> clearShotAt(const CWorld& world, Position from, Position to);

// Bullets in flight as a bot sees them: the cells they will pass, and when,
// counted in frames of the current frame time from this one (0).
class BulletWatch {
public:
    void add(const Bullet& bullet);
    // Whether one of them meets an avatar that is in the cell at its moves
    // of frames `from` to `to`: a bullet that enters an avatar's cell meets
    // it at the avatar's next move, unless that move is a step out.
    bool hits(const CWorld& world, Position cell, int from, int to) const;

private:
    struct Flight {
        Position at;
        Position step;
        int      firstStep = 0;  // the frame of its next step
        int      period    = 1;  // frames from one of its steps to the next
    };
    std::vector<Flight> flights;
};

// How well a bot plays.
enum class BotLevel : std::int32_t { easy = 0, normal = 1, hard = 2 };

// The level's name ("easy", "normal", "hard") and the level a name means.
const char*             botLevelName(BotLevel level);
std::optional<BotLevel> botLevelNamed(const std::string& name);

// Steers an avatar on the host: towards the nearest opponent, or to a
// powerup it needs, firing only along a heading with a clear line to an
// opponent. It thinks again after its reaction time and at every cell it
// reaches, and its flag changes reach the other machines like a player's.
// Its level sets how fast it reacts, how long it aims, how much it cares
// for powerups, and whether it plays tactically: then it thinks at every
// frame, keeps out of the way of the bullets it has seen, and fires when
// its shot will meet the enemy where the enemy's steps take it.
class BotController : public Controller {
public:
    explicit BotController(BotLevel level = BotLevel::normal);

    void update() override;

    // What a level changes.
    struct Skill {
        float        reactionSeconds;  // between two looks
        float        aimSeconds;       // aimed, it waits this long before the first shot
        std::int32_t lowAmmo;          // it goes for ammunition below this (0: never)
        std::int32_t hurtHp;           // and for health below this
        bool         tactical;         // plays to the frame, as above
        float        noticeSeconds;    // how long a tactical bot sees a bullet before it minds it
    };
    static Skill skillOf(BotLevel level);
    BotLevel     level() const { return playing; }

private:
    // The flags to hold: a step and whether to fire.
    struct Intent {
        Position step;
        bool     fire = false;
    };
    // What it sees that matters: the nearest live opponent, the nearest
    // powerup it needs.
    struct Sight {
        const Avatar*  enemy = nullptr;
        const Powerup* need  = nullptr;
    };
    // What a tactical bot has seen of an opponent.
    struct Foe {
        std::int32_t id = 0;
        Position     seenAt{-1, -1};
        bool         seenAlive  = false;
        bool         movesFirst = false;  // the world moves it before this bot in a frame
        int          steppedAt  = -1;     // the frame of its last step seen; -1 when unknown
        // How often of late it stepped out of the flight of this bot's
        // bullets rather than meet them, 0 ... 1.
        float                     dodgeRate = 0.0f;
        std::vector<std::int32_t> onCourse;  // this bot's bullets flying at it
    };

    Intent decide();
    Intent decideTactically();
    // Making for a far cell after it was held too long, while it lasts.
    std::optional<Intent> escape();
    Sight                 look() const;
    // A step towards the powerup it needs, else its enemy, else anywhere.
    Intent approach(const Sight& sight) const;
    // Whether it has kept to a few cells for a while without a hit: it
    // then makes for a far cell, whatever held it.
    bool isConfined();

    // Its opponents' steps and their answers to its bullets, seen this frame.
    void watchFoes();
    // Whether a shot fired now along its heading meets the enemy, as far as
    // it knows how the enemy moves.
    bool shotHits(const Avatar& enemy) const;
    // The bullets of others that have flown for its notice time.
    BulletWatch noticedBullets();
    // The intent, or the nearest step to it that keeps out of the bullets' way.
    Intent keepClear(Intent planned, const BulletWatch& watch) const;

    BotLevel                                playing;
    Skill                                   skill;
    float                                   clock      = 0.0f;
    float                                   thinkTimer = 0.0f;
    Position                                thoughtAt{-1, -1};
    float                                   aimedSince  = -1.0f;  // when its heading came to point at the target
    float                                   lastHit     = 0.0f;
    std::int32_t                            hitsSeen    = 0;
    float                                   escapeUntil = 0.0f;
    Position                                escapeTo{-1, -1};
    std::vector<std::pair<float, Position>> visited;  // its cells of the last few seconds
    // A tactical bot's count of frames, what it has seen of its opponents,
    // its bullets in flight, and the others' bullets with the time it first
    // saw each (all in the world's order).
    int                                         frames = 0;
    std::vector<Foe>                            foes;
    std::vector<std::int32_t>                   ownBullets;
    std::vector<std::pair<std::int32_t, float>> bulletsSeen;
};
