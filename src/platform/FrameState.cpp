#include "platform/FrameState.h"

float frameTime   = 0.0f;
float elapsedTime = 0.0f;
float fps         = 0.0f;

void setFrameTime(const float secondsSinceLastPass) {
    frameTime = secondsSinceLastPass > MAX_FRAME_TIME ? MAX_FRAME_TIME : secondsSinceLastPass;
}

std::int32_t screenWidth  = 400;
std::int32_t screenHeight = 300;
float        aspect       = 0.75f;

std::uint8_t keys[KEY_COUNT]     = {};
std::uint8_t prevKeys[KEY_COUNT] = {};
