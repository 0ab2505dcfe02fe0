#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "game/CommandLine.h"

// What start-up settled, for the program to open its window (or not) with.
struct Launch {
    bool                       fullscreen = false;
    std::int32_t               volume     = 100;
    std::optional<std::string> connectAddress;  // dotted IPv4, resolved from --connect
    std::optional<std::string> playFile;        // a demo that can be played
    // Set when the program must end now, with this status; the reason has
    // been written to the error stream in one line.
    std::optional<int> exitCode;
};

// Everything before the window: finds the game's data in the first of the
// folders that has it, reads the settings and puts options and settings
// into the game (options win). Problems are written to `errors` one line each.
Launch prepareLaunch(const LaunchOptions& options, std::FILE* errors, const std::vector<std::string>& dataFolders);

// The same, looking in the folders the game's data may be in.
Launch prepareLaunch(const LaunchOptions& options, std::FILE* errors);

// What a program's main does first: reads its command line (printing help,
// the version or a usage error) and prepares the launch. The launch's exit
// code, when set, is the program's.
struct Start {
    LaunchOptions options;
    Launch        launch;
};
Start startProgram(int argc, const char* const* argv, Program program);
