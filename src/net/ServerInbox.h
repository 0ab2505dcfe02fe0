#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "net/NetTypes.h"

// A message a player sent to the host, or a notice about that player.
struct ServerMessage {
    std::uint32_t playerId = 0;
    MessageBuffer data;
};

// What the host has received and the game has not handled yet. Each
// player's unhandled bytes are capped, so a peer that sends while the game
// thread is busy (or not reading) cannot grow the host without bound.
// Notices about players are always kept. Like SynchronizedQueue: any thread
// pushes, one consumer pops, the lock covers the container alone.
class ServerInbox {
public:
    // Far above what a player sends between two frames, even a slow one.
    static constexpr std::size_t MAX_PENDING_BYTES_PER_PLAYER = 2 * MAX_MESSAGE_SIZE;

    // False (the message dropped) when it would take its player past the cap.
    bool push(ServerMessage entry);
    // A notice from the network itself: never dropped, never counted.
    void pushNotice(ServerMessage entry);

    std::optional<ServerMessage> pop();
    std::int32_t                 size() const;

private:
    struct Entry {
        ServerMessage message;
        bool          counted = false;
    };
    std::deque<Entry>                              entries;
    std::unordered_map<std::uint32_t, std::size_t> pendingBytes;
    mutable std::mutex                             lock;
};
