#pragma once

#include <deque>
#include <functional>
#include <string>

// The short lines "Ann shot Bob" that every machine shows for a few seconds
// when the host decides a kill. The rules add them; the game screen draws
// them and lets them age.
class KillFeed {
public:
    static constexpr float       SHOWN_SECONDS = 4.0f;
    static constexpr std::size_t MAX_LINES     = 4;

    void add(std::string line);
    // Also hears every line as it is added (a dedicated host logs them).
    void setListener(std::function<void(const std::string&)> newListener);
    void age(float seconds);
    void clear();

    struct Line {
        std::string text;
        float       secondsLeft;
    };
    const std::deque<Line>& lines() const { return shown; }

private:
    std::deque<Line>                        shown;
    std::function<void(const std::string&)> listener;
};

// The feed of this process's game.
KillFeed& killFeed();
