#pragma once

#include <cstdint>

#include "world/Controller.h"

// Follows the keyboard. Flags change on key presses and releases, not on key
// levels, so a held key is one change and the rules hear of it once.
class HumanController : public Controller {
public:
    void update() override;
    bool isPlayer() const override;

    const std::int32_t keyLeft;
    const std::int32_t keyRight;
    const std::int32_t keyUp;
    const std::int32_t keyDown;
    const std::int32_t keyFire;

    HumanController();
};
