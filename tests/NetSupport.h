#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

// Waits for a condition that another thread, process or machine brings
// about, polling; false when it did not come within the bound. The bound is
// generous: only something broken gets near it.
inline bool waitUntil(const std::function<bool()>&    condition,
                      const std::chrono::milliseconds bound = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The UDP port this test process hosts its games on: a free one, never the
// game's own, so no test meets a game someone plays on this machine.
inline std::uint16_t testPort() {
    static const std::uint16_t port = [] {
        const int   probe = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        socklen_t length   = sizeof address;
        bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
        close(probe);
        return ntohs(address.sin_port);
    }();
    return port;
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
