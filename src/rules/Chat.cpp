#include "rules/Chat.h"

#include "net/IClient.h"
#include "net/IServer.h"
#include "platform/TextCleaning.h"
#include "rules/GameSession.h"
#include "rules/MessageCodec.h"

namespace {

// Commands wait at most a frame; a flood of them is held to this.
constexpr std::size_t MAX_PENDING_COMMANDS = 64;

}  // namespace

std::string cleanChatText(const std::string& raw) {
    return cleanText(raw, MAX_CHAT_CHARACTERS);
}

void say(const std::string& text) {
    const std::string line   = cleanChatText(text);
    IClient* const    client = gameSession().currentClient();
    if (client == nullptr || line.empty()) {
        return;
    }
    const MessageBuffer bytes = encode(ChatMessage{chat_said, "", line});
    client->send(static_cast<std::uint32_t>(bytes.size()), bytes.data(), ChatMessage::KIND.flagsToHost);
}

bool mayChat(IServer& server, const std::uint32_t sender) {
    const std::optional<ClientRecord> record = server.findClient(sender);
    if (!record || !record->spectator || gameSession().spectatorsMayChat()) {
        return true;
    }
    const MessageBuffer quiet = encode(ChatMessage{chat_notice, "", "Spectators may not chat in this game."});
    server.sendTo(sender, static_cast<std::uint32_t>(quiet.size()), quiet.data(), ChatMessage::KIND.flags);
    return false;
}

void ChatRelay::relay(IServer& server, const std::uint32_t sender, const std::string& speaker,
                      const ChatMessage& said) {
    const std::string text = cleanChatText(said.text);
    if (text.empty()) {
        return;
    }
    const Clock::time_point        now   = Clock::now();
    std::deque<Clock::time_point>& times = recent[sender];
    while (!times.empty() && now - times.front() >= CHAT_WINDOW) {
        times.pop_front();
    }
    if (times.size() >= MAX_LINES_IN_WINDOW) {
        const MessageBuffer slowDown = encode(ChatMessage{chat_notice, "", "Slow down."});
        server.sendTo(sender, static_cast<std::uint32_t>(slowDown.size()), slowDown.data(), ChatMessage::KIND.flags);
        return;
    }
    times.push_back(now);
    if (text[0] == '/') {
        if (commands.size() < MAX_PENDING_COMMANDS) {
            commands.push_back({sender, speaker, text.substr(1)});
        }
        return;
    }
    pass(server, speaker, text);
}

void ChatRelay::pass(IServer& server, const std::string& speaker, const std::string& text) {
    if (listener) {
        listener(speaker + ": " + text);
    }
    const MessageBuffer line = encode(ChatMessage{chat_said, speaker, text});
    server.sendToPlayers(static_cast<std::uint32_t>(line.size()), line.data(), ChatMessage::KIND.flags,
                         [](std::uint32_t /*player*/) { return true; });
}

std::optional<ChatRelay::Command> ChatRelay::takeCommand() {
    if (commands.empty()) {
        return std::nullopt;
    }
    Command command = std::move(commands.front());
    commands.pop_front();
    return command;
}

void ChatRelay::setListener(std::function<void(const std::string&)> newListener) {
    listener = std::move(newListener);
}

void welcomePlayer(IServer& server, const std::uint32_t player) {
    const std::string line = cleanChatText(gameSession().welcomeLine());
    if (!line.empty()) {
        const MessageBuffer words = encode(ChatMessage{chat_said, "Server", line});
        server.sendTo(player, static_cast<std::uint32_t>(words.size()), words.data(), ChatMessage::KIND.flags);
    }
}

ChatRelay& chatRelay() {
    static ChatRelay relay;
    return relay;
}

std::string& farewell() {
    static std::string words;
    return words;
}

LobbyMessage& lobby() {
    static LobbyMessage shown;
    return shown;
}
