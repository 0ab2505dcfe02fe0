#include "rules/LineFeed.h"

#include <algorithm>

LineFeed::LineFeed(const float shownSeconds, const std::size_t maxShown, const std::size_t kept)
    : shownSeconds(shownSeconds), maxShown(maxShown), maxKept(kept) {}

void LineFeed::setListener(std::function<void(const std::string&)> newListener) {
    listener = std::move(newListener);
}

void LineFeed::add(std::string line, const bool heard) {
    if (listener && heard) {
        listener(line);
    }
    kept.push_back({std::move(line), shownSeconds});
    while (kept.size() > maxKept) {
        kept.pop_front();
    }
}

void LineFeed::age(const float seconds) {
    for (Line& line : kept) {
        line.secondsLeft = std::max(0.0f, line.secondsLeft - seconds);
    }
}

std::vector<LineFeed::Line> LineFeed::lines() const {
    std::vector<Line> shown;
    for (auto line = kept.rbegin(); line != kept.rend() && shown.size() < maxShown && line->secondsLeft > 0.0f;
         ++line) {
        shown.insert(shown.begin(), *line);
    }
    return shown;
}

void LineFeed::clear() {
    kept.clear();
}

LineFeed& killFeed() {
    static LineFeed feed(KILL_LINE_SECONDS, 4, 20);
    return feed;
}

LineFeed& chatFeed() {
    static LineFeed feed(CHAT_LINE_SECONDS, 5, 50);
    return feed;
}
