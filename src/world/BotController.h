#pragma once

#include <cstdint>
#include <optional>

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

// Steers an avatar on the host: towards the nearest opponent, or to a
// powerup it needs (ammunition when low, health when hurt), firing only
// along a heading with a clear line to an opponent. It thinks again every
// REACTION_SECONDS, a human-like delay, and its flag changes reach the other
// machines like a player's.
class BotController : public Controller {
public:
    static constexpr float REACTION_SECONDS = 0.25f;

    void update() override;

private:
    // The flags to hold: a step and whether to fire.
    struct Intent {
        Position step;
        bool     fire = false;
    };
    Intent decide() const;

    float    thinkTimer = 0.0f;
    Position thoughtAt{-1, -1};
};
