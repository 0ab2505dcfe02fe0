#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "rules/GameMessages.h"

class IServer;

// A line as it may be shown: well-formed UTF-8, one line, no controls, at
// most MAX_CHAT_CHARACTERS characters.
std::string cleanChatText(const std::string& raw);

// Says a line: this machine's player sends it to the host, which passes it on.
void say(const std::string& text);

// The host's side of chat: every line said goes to every player, with the
// speaker's name, unless its speaker says too much.
class ChatRelay {
public:
    // More than this many lines in CHAT_WINDOW from one player are dropped.
    static constexpr std::size_t MAX_LINES_IN_WINDOW = 3;
    static constexpr auto        CHAT_WINDOW         = std::chrono::seconds(2);

    void relay(IServer& server, std::uint32_t sender, const std::string& speaker, const ChatMessage& said);
    // Passes on a line the host itself says (the console's say, as "Server").
    void pass(IServer& server, const std::string& speaker, const std::string& text);

    // A line that begins with '/' is a command to the host ("/admin WORD",
    // "/kick Bob"): kept for the game to carry out, never passed on.
    struct Command {
        std::uint32_t sender;
        std::string   speaker;
        std::string   line;  // without its '/'
    };
    std::optional<Command> takeCommand();
    // Hears every line passed on (a host logs them).
    void setListener(std::function<void(const std::string&)> newListener);
    void forget(std::uint32_t player) { recent.erase(player); }

private:
    using Clock = std::chrono::steady_clock;
    std::map<std::uint32_t, std::deque<Clock::time_point>> recent;
    std::deque<Command>                                    commands;
    std::function<void(const std::string&)>                listener;
};

// Whether the host passes on what the player says: those who watch may be
// kept quiet, and are told so.
bool mayChat(IServer& server, std::uint32_t sender);

// The host's message of the day, to a player who has just joined.
void welcomePlayer(IServer& server, std::uint32_t player);

// The host's relay of this process.
ChatRelay& chatRelay();

// Why the host is about to end this player's game ("You were kicked: ..."),
// for the box that says the game is over; empty when it gave no reason.
std::string& farewell();

// What a joined player's waiting screen shows, as the host last said.
LobbyMessage& lobby();
