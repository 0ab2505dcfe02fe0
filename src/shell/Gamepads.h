#pragma once

#include <SDL.h>

#include <string>

#include "game/Controls.h"

// Gamepads through SDL's GameController: plugged in and out at any time;
// what the first one holds steers.

// Starts SDL's gamepad support; pads already plugged in arrive as events.
void startGamepads();
void stopGamepads();

// Takes a gamepad event (a pad added or removed, a stick moved, a button);
// true when it was one.
bool onGamepadEvent(const SDL_Event& event);

// What the pad holds, by action: the left stick or the d-pad for the eight
// directions, and the mapped buttons.
HeldActions gamepadHeld(const GamepadMapping& mapping);

// The name of the pad that steers; empty when none is plugged in.
std::string gamepadName();
