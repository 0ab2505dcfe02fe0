#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>
#include <vector>

#include "platform/Platform.h"

// The game's effects, synthesized at start-up (no sound files to ship) and
// queued on SDL's default audio device. Without a device the game is silent,
// and says so in one line.
class Sound {
public:
    static constexpr int SAMPLE_RATE = 22050;

    Sound();
    ~Sound();
    Sound(const Sound&)            = delete;
    Sound& operator=(const Sound&) = delete;

    void play(SoundEffect effect);
    bool hasDevice() const { return device != 0; }

    // Volume in percent (0 ... 100) for every effect played from now on.
    static void setVolume(int percent);

    // The samples of an effect: mono, signed 16-bit, SAMPLE_RATE a second.
    static std::vector<std::int16_t> synthesize(SoundEffect effect);

private:
    SDL_AudioDeviceID                        device = 0;
    std::array<std::vector<std::int16_t>, 5> effects;
};
