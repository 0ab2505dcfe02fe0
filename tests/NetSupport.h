#pragma once

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "net/SynchronizedQueue.h"

// Waits for a condition the network brings about, polling; false when it
// did not come within the bound. The bound is generous: only a broken
// transport gets near it.
inline bool waitUntil(const std::function<bool()>&    condition,
                      const std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Everything a queue or inbox holds, oldest first.
template <class Queue>
auto drain(Queue& queue) {
    std::vector<typename decltype(queue.pop())::value_type> entries;
    while (auto entry = queue.pop()) {
        entries.push_back(std::move(*entry));
    }
    return entries;
}
