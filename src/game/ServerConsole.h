#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "rules/Chat.h"

class CGame;

// The dedicated host's console: one command a line, read from standard
// input, each answered in one line (a short table for `status`).
//
//   status                      the map, the match, each player and the bots
//   kick PLAYER [REASON]        PLAYER is an id or a unique name
//   ban PLAYER [MINUTES]        by address; 0 or none: until the server stops
//   bans, unban ADDRESS
//   say TEXT                    chat from "Server"
//   map NAME, next, restart     the match: on that map now, the next map, anew
//   bots N, botlevel LEVEL, limits SCORE MINUTES, password WORD|off
//   help, quit
//
// Carries out one line and returns its answer; `quit` asks the host to stop.
std::string runConsoleLine(CGame& game, const std::string& line, bool& quit);

// Who may use the console's commands from chat: the players who gave the
// admin password, and the addresses that guessed it wrong lately.
struct AdminDesk {
    using Clock = std::chrono::steady_clock;
    struct Tries {
        int               wrong = 0;
        Clock::time_point lockedUntil;
    };
    std::set<std::uint32_t>      admins;
    std::map<std::string, Tries> tries;      // by address
    std::map<std::uint32_t, int> idleNotes;  // per player: 1 warned, 2 moved out
    // Hears each command said in chat and each idle player moved out (the
    // dedicated host logs them); never a password.
    std::function<void(const std::string&)> log;
};

// A command a player said in chat ("/admin WORD", then "/kick Bob" ...):
// answered to that player alone; what an admin changes is told to everyone.
void runChatCommand(CGame& game, const ChatRelay::Command& command);

// Warns a player who has given no input for the idle limit less 10 s, and
// moves it out at the limit (--idle-kick).
void moveOutIdlers(CGame& game);
