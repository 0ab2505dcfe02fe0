#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rules/GameMessages.h"

// How a match stands on this machine. The host decides it and tells every
// player with MSG_MATCH; between messages each machine counts the clock.

// The end screen's length.
constexpr float END_SCREEN_SECONDS = 10.0f;

struct MatchState {
    std::int32_t           number     = 0;  // 0 before the first match
    std::int32_t           phase      = match_playing;
    std::int32_t           scoreLimit = 0;     // 0: none
    std::int32_t           timeLimit  = 0;     // minutes; 0: none
    float                  timeLeft   = 0.0f;  // seconds of the time limit
    float                  nextIn     = 0.0f;  // seconds of the end screen
    std::string            map;
    std::string            nextMap;
    std::string            winner;
    std::vector<BoardLine> board;  // the final one, once over

    bool isOver() const { return phase == match_over; }
    bool hasLimits() const { return scoreLimit > 0 || timeLimit > 0; }
};

MatchState& currentMatch();

// The match as MSG_MATCH tells it, and back.
MatchMessage matchMessageOf(const MatchState& match);
MatchState   matchStateOf(const MatchMessage& message);

// Runs the match's clocks on by a frame.
void tickMatch(MatchState& match, float seconds);

// Between matches nobody moves or fires: every avatar lets go of its
// controls and the bullets in flight are gone.
void stopEveryone();

// "M:SS", as every clock the game shows reads (a match's time, a demo's).
std::string clockText(int seconds);

// Every avatar in play, best score first (then fewest deaths, then name).
std::vector<BoardLine> currentBoard();

// Mixes what every machine must agree on about the match into a world's
// digest: its phase, map, limits and winner (not its number, which a game
// without limits never sends, nor the clocks, which each machine counts).
std::uint64_t matchDigest(std::uint64_t worldDigest, const MatchState& match);
