#pragma once

#include <string>

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
