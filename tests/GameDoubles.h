#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/Game.h"
#include "net/IClient.h"
#include "net/IServer.h"
#include "platform/Platform.h"

struct SentMessage {
    std::uint32_t playerId;  // 0 for a client's send to the host
    MessageBuffer bytes;
    std::uint32_t flags;

    bool operator==(const SentMessage& other) const {
        return playerId == other.playerId && bytes == other.bytes && flags == other.flags;
    }
};

// A hosted session that remembers every send instead of making it.
class RecordingServer : public IServer {
public:
    std::int32_t host(const char*) override { return hostResult; }
    std::int32_t sendTo(std::uint32_t playerId, std::uint32_t size, const void* data, std::uint32_t flags) override;
    void         join(std::uint32_t playerId) { joinAs(playerId, "Player " + std::to_string(playerId)); }
    void         joinAs(std::uint32_t playerId, const std::string& name, const bool spectator = false) {
                addClient({playerId, -1.0f, name, {}, spectator});
    }
    void leave(std::uint32_t playerId) { removeClient(playerId); }

    std::int32_t             hostResult = 0;
    std::vector<SentMessage> sent;
};

// A connection that remembers every send; the test decides when it is connected.
class RecordingClient : public IClient {
public:
    std::int32_t  connect(const char* hostName) override;
    std::int32_t  send(std::uint32_t size, const void* data, std::uint32_t flags) override;
    std::uint32_t localPlayerId() const override { return playerId; }

    std::uint32_t             playerId = 0;
    std::vector<std::string>  connectedTo;
    std::vector<SentMessage>  sent;
    std::vector<SentMessage>* log = nullptr;  // also gets every send, and outlives the client
};

// A desktop whose dialog answers as told and whose boxes are remembered.
class ScriptedPlatform : public IPlatform {
public:
    ScriptedPlatform() { setPlatform(this); }
    ~ScriptedPlatform() override { setPlatform(nullptr); }

    MessageAnswer showMessage(const PlatformMessage& message) override;
    DialogResult  runConnectDialog(ConnectDialogValues& values) override;

    struct Shown {
        std::string    text;
        std::string    title;
        bool           owned;
        MessageIcon    icon;
        MessageButtons buttons;
    };
    std::vector<Shown> shown;
    MessageAnswer      questionAnswer = MessageAnswer::yes;
    DialogResult       dialogAnswer   = DialogResult::ok;
    std::string        typedAddress   = "127.0.0.1";
};

// Puts the game back to no game, with recording network objects for the
// next host or join; returns them through the pointers once made.
void resetGame(RecordingServer** madeServer = nullptr, RecordingClient** madeClient = nullptr);

// Gives the game a recording server and client directly, as a running host has.
RecordingServer& giveServer();
RecordingClient& giveClient(std::uint32_t ownPlayerId);

// Little-endian int32 fields, the way game messages are laid out.
MessageBuffer fields(std::initializer_list<std::int32_t> values);
