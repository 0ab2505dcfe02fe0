#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "world/Controller.h"
#include "world/Object.h"

class CWorld;

// Where one step along (dx, dy) takes a mover from a cell: diagonally when
// that cell is free, else along y, else along x, else nowhere.
Position stepFrom(const CWorld& world, Position from, int dx, int dy);

// The fewest steps by that rule, one of the eight headings each, that take a
// mover from one cell to another; nothing when it takes more than `most`.
std::optional<std::int32_t> stepsWithin(const CWorld& world, Position from, Position to, std::int32_t most);

// A player's figure. Every machine moves every avatar by its control flags;
// only the one steered here has a controller.
class Avatar : public CObject {
public:
    static constexpr ObjectKind KIND = ObjectKind::avatar;

    Avatar() : CObject(KIND) {}
    void update() override;

    void setPosition(Position newPos);
    void setControls(std::int32_t newLeft, std::int32_t newRight, std::int32_t newUp, std::int32_t newDown,
                     std::int32_t newFire);
    void setLeft(std::int32_t value);
    void setRight(std::int32_t value);
    void setUp(std::int32_t value);
    void setDown(std::int32_t value);
    void setFire(std::int32_t value);
    // The avatar owns its controller.
    void setController(std::unique_ptr<Controller> newController);

    bool isInDeathCountdown() const;
    // The avatar this machine's own player steers (a bot on the host is not).
    bool isOwn() const;

    std::int32_t hp        = 100;
    std::int32_t ammo      = 50;
    float        speed     = 8.0f;  // cell steps per second
    float        moveTimer = 0.0f;
    float        fireRate  = 4.0f;  // shots per second
    float        fireTimer = 0.0f;
    // Heading code: k means k x 45 degrees. 0 until the first movement input,
    // then one of 3 ... 10.
    std::int32_t direction = 0;
    std::int32_t score     = 0;
    std::int32_t kills     = 0;  // in this match
    std::int32_t deaths    = 0;
    // Its bullets that hit someone, as the host's rules count them; known on the host only.
    std::int32_t hitsLanded = 0;
    std::int32_t left       = 0;
    std::int32_t right      = 0;
    std::int32_t up         = 0;
    std::int32_t down       = 0;
    std::int32_t fire       = 0;
    // The network player who steers it; known on the host only.
    std::uint32_t               playerId = 0;
    std::string                 name;               // clean: see rules/PlayerName.h
    std::string                 killedBy;           // the name of whoever shot it last, for its death panel
    std::int32_t                roundTripMs  = -1;  // its player's, as the host measured; -1 unknown
    float                       releaseTimer = 0.0f;
    std::unique_ptr<Controller> controller;

private:
    void fireBullet();
    void turnToControls(int dx, int dy);
    void step(int dx, int dy);
};

// The heading code for a movement of (dx, dy), each -1, 0 or +1.
std::int32_t headingFor(int dx, int dy);
