#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "net/NetTypes.h"
#include "net/SynchronizedQueue.h"

// A player's end of the network: connects to a host, sends this player's
// messages and queues what the host sends. Every operation of the base
// class does nothing.
class IClient {
public:
    // Starts an attempt to join the host at a dotted IPv4 address; the
    // outcome shows in `connected`. 0 once the attempt is under way.
    virtual std::int32_t connect(const char* /*hostName*/) { return 0; }
    virtual std::int32_t send(std::uint32_t /*size*/, const void* /*data*/, std::uint32_t /*flags*/) { return 0; }
    virtual void         close() {}
    // Sends at once what is queued (see IServer::flush).
    virtual void flush() {}
    virtual ~IClient() = default;

    // The name the hello gives the host; before connect.
    virtual void setPlayerName(const std::string& /*name*/) {}
    // The word a private game asks for; before connect.
    virtual void setPassword(const std::string& /*word*/) {}
    // Joins to watch, with no avatar; before connect.
    virtual void setSpectator(bool /*watching*/) {}
    // The UDP port the host listens on (GAME_PORT unless told); before connect.
    virtual void setPort(std::uint16_t /*port*/) {}
    // True once the host turned this player away for a wrong password.
    virtual bool wrongPassword() const { return false; }
    // True once the host held this player off: too many wrong passwords
    // came from its address lately.
    virtual bool heldOff() const { return false; }
    // Why the host ended the connection (a DISCONNECT_ code of
    // net/WireProtocol.h), or 0 while it has not or when it was lost.
    virtual std::uint32_t endedWith() const { return 0; }

    // The id the host knows this player by, 0 until the connection completed.
    virtual std::uint32_t localPlayerId() const { return 0; }

    // True from a completed connection until the session ends or is closed.
    std::atomic<bool>                connected{false};
    SynchronizedQueue<MessageBuffer> incoming;
};
