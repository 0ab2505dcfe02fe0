#pragma once

#include <cstdint>

// Values the frame loop keeps for the whole process. Only the main thread
// touches them.

// Seconds since the previous pass of the frame loop, at most MAX_FRAME_TIME.
extern float    frameTime;
constexpr float MAX_FRAME_TIME = 0.2f;
// Sets frameTime from the time since the previous pass: a long pause (a
// stalled machine, a dragged window) slows the game down instead of jumping it.
void setFrameTime(float secondsSinceLastPass);
// Seconds since the frame loop began; not clamped.
extern float elapsedTime;
// Frames per second, as last counted.
extern float fps;

// The drawing area below the menu bar, in pixels, and its height / width.
extern std::int32_t screenWidth;
extern std::int32_t screenHeight;
extern float        aspect;

// Key states indexed by Windows virtual-key code, each 0 or 1. prevKeys is
// the copy taken at the end of the last drawn frame, so a key went down in
// this frame when keys is 1 and prevKeys is 0.
constexpr int       KEY_COUNT = 256;
extern std::uint8_t keys[KEY_COUNT];
extern std::uint8_t prevKeys[KEY_COUNT];
