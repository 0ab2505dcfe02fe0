#include "GameDoubles.h"

#include <memory>

#include "rules/IArbiter.h"
#include "world/World.h"

std::int32_t RecordingServer::sendTo(const std::uint32_t playerId, const std::uint32_t size, const void* const data,
                                     const std::uint32_t flags) {
    const auto* const bytes = static_cast<const std::uint8_t*>(data);
    sent.push_back({playerId, MessageBuffer(bytes, bytes + size), flags});
    return 0;
}

std::int32_t RecordingClient::connect(const char* const hostName) {
    connectedTo.emplace_back(hostName);
    return 0;
}

std::int32_t RecordingClient::send(const std::uint32_t size, const void* const data, const std::uint32_t flags) {
    const auto* const bytes = static_cast<const std::uint8_t*>(data);
    sent.push_back({0, MessageBuffer(bytes, bytes + size), flags});
    if (log != nullptr) {
        log->push_back(sent.back());
    }
    return 0;
}

MessageAnswer ScriptedPlatform::showMessage(const PlatformMessage& message) {
    shown.push_back({message.text, message.title, message.ownedByGameWindow, message.icon, message.buttons});
    return message.buttons == MessageButtons::yesNo ? questionAnswer : MessageAnswer::ok;
}

DialogResult ScriptedPlatform::runConnectDialog(ConnectDialogValues& values) {
    values.serverAddress = typedAddress;
    return dialogAnswer;
}

void resetGame(RecordingServer** const madeServer, RecordingClient** const madeClient) {
    CGame& game = CGame::instance();
    game.closeSession();
    game.state      = state_start;
    game.bots       = 0;
    game.matchSetup = {};
    game.demos      = {};  // nothing a test hosts is recorded unless it asks
    destroyArbiter();
    game.makeServer = [madeServer] {
        auto server = std::make_unique<RecordingServer>();
        if (madeServer != nullptr) {
            *madeServer = server.get();
        }
        return server;
    };
    game.makeClient = [madeClient] {
        auto client = std::make_unique<RecordingClient>();
        if (madeClient != nullptr) {
            *madeClient = client.get();
        }
        return client;
    };
}

RecordingServer& giveServer() {
    auto             server  = std::make_unique<RecordingServer>();
    RecordingServer& made    = *server;
    CGame::instance().server = std::move(server);
    return made;
}

RecordingClient& giveClient(const std::uint32_t ownPlayerId) {
    auto client              = std::make_unique<RecordingClient>();
    client->playerId         = ownPlayerId;
    client->connected        = true;
    RecordingClient& made    = *client;
    CGame::instance().client = std::move(client);
    return made;
}

MessageBuffer fields(const std::initializer_list<std::int32_t> values) {
    MessageBuffer bytes;
    for (const std::int32_t value : values) {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<std::uint8_t>(bits >> shift));
        }
    }
    return bytes;
}
