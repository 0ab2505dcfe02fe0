#pragma once

// The program's one reaction to a broken internal condition: a "Program
// error" box naming the condition, the source and the line, then the end of
// the process with a failure status.
//
// Each assertion has a fixed place in the report, independent of where the
// check happens to sit in today's source, so a report a player sends us
// always names the same check.

struct AssertSite {
    const char* source;
    int         line;
};

inline constexpr AssertSite SITE_PICKUP_AVATAR{"Executor", 38};
inline constexpr AssertSite SITE_PICKUP_POWERUP{"Executor", 40};
inline constexpr AssertSite SITE_HP_AVATAR{"Executor", 49};
inline constexpr AssertSite SITE_SCORE_KILLER{"Executor", 62};
inline constexpr AssertSite SITE_STATE_AVATAR{"Executor", 208};
inline constexpr AssertSite SITE_REMOVE_OBJECT{"Executor", 218};
inline constexpr AssertSite SITE_CONNECTING_CLIENT{"Game", 135};
inline constexpr AssertSite SITE_SINGLE_PLAYER_START{"Game", 243};
inline constexpr AssertSite SITE_TEXT_FORMAT{"Mainfile", 643};
inline constexpr AssertSite SITE_POWERUP_TYPE{"Powerup", 78};
inline constexpr AssertSite SITE_CELL_IN_GRID{"World", 36};
inline constexpr AssertSite SITE_WORLD_NOT_EMPTY{"World", 96};

// Shows "Assertion failed: <condition> (<source>:<line>)" and ends the process.
[[noreturn]] void reportAssertionFailure(const char* conditionText, AssertSite site);

// The condition is reported exactly as written, so write it the way the
// report should read.
#define GAME_ASSERT(condition, site) ((condition) ? static_cast<void>(0) : reportAssertionFailure(#condition, site))
