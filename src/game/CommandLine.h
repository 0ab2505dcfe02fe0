#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the player asked for on the command line. Anything not given falls
// back to the configuration, and from there to the game as it always was.
struct LaunchOptions {
    bool                        host      = false;  // host a game at once
    bool                        dedicated = false;  // host without a window or an avatar
    std::optional<std::string>  connect;            // join the game at this IPv4 address or host name
    std::optional<std::string>  name;
    std::optional<std::int32_t> bots;
    std::optional<std::int32_t> fill;
    std::optional<std::string>  botLevel;
    std::optional<bool>         fullscreen;
    std::optional<std::string>  password;
    std::optional<int>          port;  // to host on, or where the host listens
    std::optional<int>          maxPerAddress;
    std::optional<std::int32_t> scoreLimit;
    std::optional<std::int32_t> timeLimit;   // minutes
    std::optional<std::string>  map;         // the first map
    std::vector<std::string>    maps;        // the rotation
    std::optional<std::string>  serverName;  // for the LAN list and waiting screens; the machine's name unless given
    std::optional<std::string>  motd;        // said to each player who joins
    std::optional<int>          maxPlayers;
    std::optional<std::string>  adminPassword;     // lets a player use the console's commands from chat
    std::optional<int>          idleKick;          // seconds
    bool                        spectate = false;  // join to watch
    std::optional<int>          maxSpectators;
    bool                        noSpectatorChat = false;
    std::optional<std::string>  demoFolder;  // where the host's demos go
    std::optional<int>          keepDemos;   // how many; 0: none recorded
    std::optional<std::string>  play;        // a demo to play back
};

// The outcome of reading the command line: go on with the options, or end
// at once with `exitCode` after writing `output` (help and version on
// standard output, a one-line error on standard error).
struct CommandLine {
    LaunchOptions options;
    bool          proceed  = true;
    int           exitCode = 0;
    std::string   output;
    bool          outputIsError = false;
};

// The program's version, as --version prints it.
constexpr const char* QUILLSTEP_VERSION = "1.0.0";

// The window program, or the dedicated host that has no window.
enum class Program { window, server };

CommandLine readCommandLine(int argc, const char* const* argv, Program program = Program::window);
