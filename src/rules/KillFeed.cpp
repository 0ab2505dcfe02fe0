#include "rules/KillFeed.h"

#include <algorithm>

void KillFeed::setListener(std::function<void(const std::string&)> newListener) {
    listener = std::move(newListener);
}

void KillFeed::add(std::string line) {
    if (listener) {
        listener(line);
    }
    shown.push_back({std::move(line), SHOWN_SECONDS});
    while (shown.size() > MAX_LINES) {
        shown.pop_front();  // a burst of kills shows its latest
    }
}

void KillFeed::age(const float seconds) {
    for (Line& line : shown) {
        line.secondsLeft -= seconds;
    }
    shown.erase(std::remove_if(shown.begin(), shown.end(), [](const Line& line) { return line.secondsLeft <= 0.0f; }),
                shown.end());
}

void KillFeed::clear() {
    shown.clear();
}

KillFeed& killFeed() {
    static KillFeed feed;
    return feed;
}
