#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

// Short lines every machine shows for a few seconds: who shot whom, who
// joined or left ("Ann shot Bob", "Bob joined"), and what players said. The
// rules add them; the game screen draws them and lets them age.
class LineFeed {
public:
    LineFeed(float shownSeconds, std::size_t maxShown, std::size_t kept);

    // A line the listener does not need to hear (the dedicated host logs
    // joins and leaves its own way) is added unheard.
    void add(std::string line, bool heard = true);
    // Also hears every line as it is added (a dedicated host logs them).
    void setListener(std::function<void(const std::string&)> newListener);
    void age(float seconds);
    void clear();

    struct Line {
        std::string text;
        float       secondsLeft;
    };
    // The lines still shown, oldest first: a burst shows its latest.
    std::vector<Line> lines() const;
    // The last lines added, shown or not, oldest first.
    const std::deque<Line>& history() const { return kept; }

private:
    const float                             shownSeconds;
    const std::size_t                       maxShown;
    const std::size_t                       maxKept;
    std::deque<Line>                        kept;
    std::function<void(const std::string&)> listener;
};

constexpr float KILL_LINE_SECONDS = 4.0f;
constexpr float CHAT_LINE_SECONDS = 8.0f;

// The kills, joins and leaves of this process's game: four at a time, the last 20 kept.
LineFeed& killFeed();
// What the players said: five lines at a time, the last 50 kept.
LineFeed& chatFeed();
