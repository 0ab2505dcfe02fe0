#include "shell/Sound.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace {

constexpr double TAU = 6.283185307179586;

// A tone gliding from one pitch to another, with a quick attack and a
// decay, so effects click neither in nor out.
void addGlide(std::vector<double>& out, const double seconds, const double fromHz, const double toHz,
              const double volume, const bool square) {
    const auto count = static_cast<std::size_t>(seconds * Sound::SAMPLE_RATE);
    double     phase = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double t  = static_cast<double>(i) / static_cast<double>(count);
        const double hz = fromHz + (toHz - fromHz) * t;
        phase += TAU * hz / Sound::SAMPLE_RATE;
        const double wave     = square ? (std::sin(phase) >= 0.0 ? 1.0 : -1.0) : std::sin(phase);
        const double envelope = std::min(1.0, t * 40.0) * (1.0 - t) * (1.0 - t);
        out.push_back(wave * envelope * volume);
    }
}

void addNoise(std::vector<double>& out, const double seconds, const double volume) {
    std::mt19937                           random(7);  // the same burst every time
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    const auto                             count = static_cast<std::size_t>(seconds * Sound::SAMPLE_RATE);
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / static_cast<double>(count);
        out.push_back(noise(random) * std::min(1.0, t * 40.0) * (1.0 - t) * volume);
    }
}

double volumeScale = 1.0;

std::size_t indexOf(const SoundEffect effect) {
    return static_cast<std::size_t>(effect);
}

}  // namespace

void Sound::setVolume(const int percent) {
    volumeScale = std::clamp(percent, 0, 100) / 100.0;
}

std::vector<std::int16_t> Sound::synthesize(const SoundEffect effect) {
    std::vector<double> wave;
    switch (effect) {
        case SoundEffect::fire:
            addGlide(wave, 0.06, 1400.0, 700.0, 0.25, true);
            break;
        case SoundEffect::hit:
            addNoise(wave, 0.09, 0.45);
            break;
        case SoundEffect::death:
            addGlide(wave, 0.45, 420.0, 90.0, 0.5, true);
            break;
        case SoundEffect::pickup:
            addGlide(wave, 0.07, 660.0, 660.0, 0.35, false);
            addGlide(wave, 0.09, 990.0, 990.0, 0.35, false);
            break;
        case SoundEffect::respawn:
            addGlide(wave, 0.25, 220.0, 880.0, 0.35, false);
            break;
    }
    std::vector<std::int16_t> samples(wave.size());
    std::transform(wave.begin(), wave.end(), samples.begin(),
                   [](const double v) { return static_cast<std::int16_t>(std::clamp(v, -1.0, 1.0) * 32000.0); });
    return samples;
}

namespace {

// The sound libraries under SDL (ALSA above all) write their complaints
// straight to standard error, several lines for a machine without a sound
// card; they are held back while the device is opened, and the game says
// once, in its own words, that it plays silent.
class QuietStandardError {
public:
    QuietStandardError() : saved(::dup(STDERR_FILENO)) {
        const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved >= 0 && nowhere >= 0) {
            std::fflush(stderr);
            ::dup2(nowhere, STDERR_FILENO);
        }
        if (nowhere >= 0) {
            ::close(nowhere);
        }
    }
    ~QuietStandardError() {
        if (saved >= 0) {
            std::fflush(stderr);
            ::dup2(saved, STDERR_FILENO);
            ::close(saved);
        }
    }
    QuietStandardError(const QuietStandardError&)            = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int saved;
};

SDL_AudioDeviceID openDevice() {
    const QuietStandardError quiet;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return 0;
    }
    SDL_AudioSpec wanted{};
    wanted.freq     = Sound::SAMPLE_RATE;
    wanted.format   = AUDIO_S16SYS;
    wanted.channels = 1;
    wanted.samples  = 512;
    return SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
}

}  // namespace

Sound::Sound() : device(openDevice()) {
    if (device == 0) {
        std::fprintf(stderr, "quillstep: no sound device (%s); playing without sound\n", SDL_GetError());
        return;
    }
    for (const SoundEffect effect :
         {SoundEffect::fire, SoundEffect::hit, SoundEffect::death, SoundEffect::pickup, SoundEffect::respawn}) {
        effects[indexOf(effect)] = synthesize(effect);
    }
    SDL_PauseAudioDevice(device, 0);
}

Sound::~Sound() {
    if (device != 0) {
        SDL_CloseAudioDevice(device);
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void Sound::play(const SoundEffect effect) {
    if (device == 0) {
        return;
    }
    // Effects queue one after another; a backlog is dropped rather than
    // heard late.
    constexpr Uint32 MOST_QUEUED = SAMPLE_RATE / 4 * sizeof(std::int16_t);
    if (SDL_GetQueuedAudioSize(device) > MOST_QUEUED) {
        SDL_ClearQueuedAudio(device);
    }
    // The volume applies as the effect is played, so a change is heard at once.
    std::vector<std::int16_t> samples = effects[indexOf(effect)];
    for (std::int16_t& sample : samples) {
        sample = static_cast<std::int16_t>(sample * volumeScale);
    }
    SDL_QueueAudio(device, samples.data(), static_cast<Uint32>(samples.size() * sizeof(std::int16_t)));
}
