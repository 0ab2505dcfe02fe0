#include "net/ServerInbox.h"

#include <algorithm>

bool ServerInbox::push(ServerMessage entry) {
    const std::lock_guard<std::mutex> guard(lock);
    std::size_t&                      pending = pendingBytes[entry.playerId];
    if (pending + entry.data.size() > MAX_PENDING_BYTES_PER_PLAYER) {
        return false;
    }
    pending += entry.data.size();
    entries.push_back({std::move(entry), true});
    return true;
}

void ServerInbox::pushNotice(ServerMessage entry) {
    const std::lock_guard<std::mutex> guard(lock);
    entries.push_back({std::move(entry), false});
}

std::optional<ServerMessage> ServerInbox::pop() {
    const std::lock_guard<std::mutex> guard(lock);
    if (entries.empty()) {
        return std::nullopt;
    }
    Entry front = std::move(entries.front());
    entries.pop_front();
    if (front.counted) {
        const auto pending = pendingBytes.find(front.message.playerId);
        if (pending != pendingBytes.end()) {
            pending->second -= std::min(pending->second, front.message.data.size());
            if (pending->second == 0) {
                pendingBytes.erase(pending);
            }
        }
    }
    return std::move(front.message);
}

std::int32_t ServerInbox::size() const {
    const std::lock_guard<std::mutex> guard(lock);
    return static_cast<std::int32_t>(entries.size());
}
