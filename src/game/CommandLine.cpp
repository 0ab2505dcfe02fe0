#include "game/CommandLine.h"

#include <CLI/CLI.hpp>
#include <toml++/toml.h>

#include "rules/Arbiter.h"

namespace {

void addHostOptions(CLI::App& app, LaunchOptions& options) {
    app.add_option("--bot-level", options.botLevel, "How well the bots play: easy, normal or hard")
        ->option_text("LEVEL")
        ->check(CLI::IsMember({"easy", "normal", "hard"}));
    app.add_option("--fill", options.fill,
                   "Keep N players in the game: bots leave as people join and come back as they leave")
        ->option_text("N")
        ->check(CLI::Range(0, static_cast<int>(MAX_BOTS)));
    app.add_option("--port", options.port, "Host on, or join a host on, UDP port PORT (9998 unless given)")
        ->option_text("PORT")
        ->check(CLI::Range(1, 65535));
    app.add_option("--max-per-address", options.maxPerAddress,
                   "Let at most N players (or peers still joining) come from one address (32 unless given)")
        ->option_text("N")
        ->check(CLI::Range(1, 255));
    app.add_option("--bots", options.bots, "Put N bots into a hosted game")
        ->option_text("N")
        ->check(CLI::Range(0, static_cast<int>(MAX_BOTS)));
    app.add_option("--password", options.password, "Make the hosted game private, or join a private one")
        ->option_text("WORD");
    app.add_option("--score-limit", options.scoreLimit, "End each match when a player reaches N points (0: never)")
        ->option_text("N")
        ->check(CLI::Range(0, 1000000));
    app.add_option("--time-limit", options.timeLimit, "End each match after MINUTES (0: never)")
        ->option_text("MINUTES")
        ->check(CLI::Range(0, 1440));
    app.add_option("--server-name", options.serverName,
                   "Show the game as TEXT in the LAN list and on the waiting screens (the machine's name)")
        ->option_text("TEXT");
    app.add_option("--motd", options.motd, "Say TEXT to each player who joins")->option_text("TEXT");
    app.add_option("--max-players", options.maxPlayers, "Take at most N players (255 unless given)")
        ->option_text("N")
        ->check(CLI::Range(1, 255));
    app.add_option("--admin-password", options.adminPassword,
                   "Let a player who says /admin WORD in chat use the console's commands there")
        ->option_text("WORD");
    app.add_option("--idle-kick", options.idleKick, "Move out a player who gives no input for SECONDS (0: never)")
        ->option_text("SECONDS")
        ->check(CLI::Range(0, 86400));
    app.add_option("--max-spectators", options.maxSpectators, "Let at most N watch the game (8 unless given)")
        ->option_text("N")
        ->check(CLI::Range(0, 255));
    app.add_flag("--no-spectator-chat", options.noSpectatorChat, "Keep those who watch from chatting");
    app.add_option("--demo-folder", options.demoFolder,
                   "Record each match to a demo in DIR (~/.local/share/quillstep/demos unless given)")
        ->option_text("DIR");
    app.add_option("--keep-demos", options.keepDemos, "Keep the newest N demos (50 unless given; 0: record none)")
        ->option_text("N")
        ->check(CLI::Range(0, 100000));
    app.add_option("--map", options.map, "Begin on the map NAME (map2 unless given)")->option_text("NAME");
    app.add_option("--maps", options.maps, "Play the maps A, B, C ... in turn, a match each")
        ->option_text("A,B,C")
        ->delimiter(',');
}

void addWindowOptions(CLI::App& app, LaunchOptions& options) {
    app.add_flag("--host", options.host, "Host a game at once (ENTER starts it)");
    app.add_option("--connect", options.connect, "Join the game hosted at ADDRESS (IPv4 or host name)")
        ->option_text("ADDRESS");
    app.add_flag("--spectate", options.spectate, "Join (with --connect) to watch, with no avatar of your own");
    app.add_option("--play", options.play, "Play back the demo FILE")->option_text("FILE");
    app.add_option("--name", options.name, "Play under NAME (at most 15 characters are kept)")->option_text("NAME");
    addHostOptions(app, options);
    auto* const fullscreen = app.add_flag_callback(
        "--fullscreen", [&options] { options.fullscreen = true; }, "Start in a 1024 x 768 full screen");
    auto* const windowed = app.add_flag_callback(
        "--windowed", [&options] { options.fullscreen = false; }, "Start in a window");
    fullscreen->excludes(windowed);
    app.add_flag("--dedicated", options.dedicated,
                 "Host without a window or an avatar of its own; starts when the first player joins, "
                 "or at once with bots (as quillstep-server)");
    app.get_option("--connect")->excludes(app.get_option("--host"))->excludes(app.get_option("--dedicated"));
    app.get_option("--spectate")->needs(app.get_option("--connect"));
    app.get_option("--play")
        ->excludes(app.get_option("--connect"))
        ->excludes(app.get_option("--host"))
        ->excludes(app.get_option("--dedicated"));
}

// A configuration file that is not TOML is refused with its line, before
// anything reads it.
void checkConfigFile(const int argc, const char* const* const argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) != "--config") {
            continue;
        }
        try {
            (void)toml::parse_file(argv[i + 1]);
        } catch (const toml::parse_error& error) {
            throw CLI::ConfigError(std::string(argv[i + 1]) + ":" + std::to_string(error.source().begin.line) + ": " +
                                   std::string(error.description()));
        }
    }
}

}  // namespace

CommandLine readCommandLine(const int argc, const char* const* const argv, const Program program) {
    CommandLine    line;
    LaunchOptions& options = line.options;
    const bool     server  = program == Program::server;
    const char*    name    = server ? "quillstep-server" : "quillstep";

    CLI::App app{server ? "Quillstep's dedicated host: a game on the local network without a window or a\n"
                          "player of its own. It starts when the first player joins, or at once with bots,\n"
                          "and logs joins, kills and leaves on standard output."
                        : "Quillstep: a real-time arena shooter for the local network.\n"
                          "With no options it opens the game's window, as it always has.",
                 name};
    app.set_version_flag("--version", std::string(name) + " " + QUILLSTEP_VERSION);
    app.get_formatter()->column_width(26);
    app.get_formatter()->label("Excludes", "not with");
    if (server) {
        options.dedicated = true;
        addHostOptions(app, options);
        // Every option from a TOML file, under the long options' names;
        // options on the command line win.
        app.set_config("--config", "", "Read the options from FILE (TOML, the long options' names as keys)")
            ->option_text("FILE");
        app.config_formatter(std::make_shared<CLI::ConfigTOML>());
    } else {
        addWindowOptions(app, options);
    }

    try {
        checkConfigFile(argc, argv);
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        line.proceed = false;
        line.output  = app.help();
    } catch (const CLI::CallForVersion& version) {
        line.proceed = false;
        line.output  = std::string(version.what()) + "\n";
    } catch (const CLI::ParseError& error) {
        line.proceed       = false;
        line.exitCode      = 2;
        line.outputIsError = true;
        line.output        = std::string(name) + ": " + error.what() + " (try " + name + " --help)\n";
    }
    return line;
}
