#pragma once

// What the fuzz targets share: a quiet platform, a session the rules can
// play in, and a way to cut one input into several messages.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "net/IClient.h"
#include "net/IServer.h"
#include "net/NetTypes.h"
#include "platform/Platform.h"
#include "rules/GameSession.h"

// Message boxes answered at once and never shown: a fuzzer makes thousands.
class SilentPlatform : public IPlatform {};

// A host's server with three players that sends nowhere.
class NowhereServer : public IServer {
public:
    NowhereServer() {
        for (std::uint32_t id = 1; id <= 3; ++id) {
            addClient({id, 1.0f, "fuzz", "127.0.0.1"});
        }
    }
    std::int32_t sendTo(std::uint32_t, std::uint32_t, const void*, std::uint32_t) override { return 0; }
};

class NowhereClient : public IClient {
public:
    std::uint32_t localPlayerId() const override { return 1; }
    std::int32_t  send(std::uint32_t, const void*, std::uint32_t) override { return 0; }
};

// The game as the rules see it, without a game: a joined player waiting for
// the host's world, or the host.
class FuzzSession : public IGameSession {
public:
    IServer* currentServer() override { return server.get(); }
    IClient* currentClient() override { return &client; }
    Avatar*  keyboardAvatar() override { return avatar; }
    void     setKeyboardAvatar(Avatar* newAvatar) override { avatar = newAvatar; }
    bool     isWaitingForWorld() const override { return waiting; }

    std::unique_ptr<NowhereServer> server;
    NowhereClient                  client;
    Avatar*                        avatar  = nullptr;
    bool                           waiting = true;
};

// Cuts the input into pieces, each preceded by its length in one byte (and
// for `withSender`, a sender byte before that).
struct Piece {
    std::uint8_t  sender = 0;
    MessageBuffer bytes;
};
std::vector<Piece> splitInput(const std::uint8_t* data, std::size_t size, bool withSender);
