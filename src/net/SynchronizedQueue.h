#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

#include "net/NetTypes.h"

// Hands messages from the network threads to the game thread. Any number of
// threads may push; one consumer drains it once per frame. The lock is held
// for the container operation alone, never while a message is copied or handled.
template <class T>
class SynchronizedQueue {
public:
    virtual ~SynchronizedQueue() = default;

    void push(T entry) {
        const std::lock_guard<std::mutex> guard(lock);
        entries.push_back(std::move(entry));
    }

    std::int32_t size() const {
        const std::lock_guard<std::mutex> guard(lock);
        return static_cast<std::int32_t>(entries.size());
    }

    // The oldest entry, or nothing when the queue is empty.
    std::optional<T> pop() {
        const std::lock_guard<std::mutex> guard(lock);
        if (entries.empty()) {
            return std::nullopt;
        }
        T front = std::move(entries.front());
        entries.pop_front();
        return front;
    }

private:
    std::deque<T>      entries;
    mutable std::mutex lock;
};
