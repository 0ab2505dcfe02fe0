#include "game/CommandLine.h"

#include <CLI/CLI.hpp>
#include <toml++/toml.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

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

// ":LINE", or nothing where the file has no line to name.
std::string lineOf(const toml::source_region& where) {
    return where.begin.line > 0 ? ":" + std::to_string(where.begin.line) : std::string();
}

std::string lineOf(const toml::node& node) {
    return lineOf(node.source());
}

// One key of a configuration file, as the command line would have it
// ("--bots 3"); throws with what is wrong with it.
std::vector<std::string> keyAsArguments(const CLI::Option& option, const std::string& key, const toml::node& value) {
    const std::string name = "--" + key;
    if (option.get_items_expected_max() == 0) {
        if (!value.is_boolean()) {
            throw std::invalid_argument("wants true or false");
        }
        return value.as_boolean()->get() ? std::vector<std::string>{name} : std::vector<std::string>{};
    }
    const bool number = option.get_type_name().find("INT") != std::string::npos;
    const auto text   = [&](const toml::node& item) -> std::string {
        if (number) {
            if (!item.is_integer()) {
                throw std::invalid_argument("wants a whole number");
            }
            return std::to_string(item.as_integer()->get());
        }
        if (!item.is_string()) {
            throw std::invalid_argument("wants text in quotes");
        }
        return item.as_string()->get();
    };
    if (const toml::array* const items = value.as_array()) {
        if (option.get_items_expected_max() <= 1) {
            throw std::invalid_argument("takes one value, not a list");
        }
        std::vector<std::string> arguments{name};
        for (const toml::node& item : *items) {
            try {
                arguments.push_back(text(item));
            } catch (const std::invalid_argument& error) {
                throw CLI::ConfigError(lineOf(item) + ": " + key + ": " + error.what());
            }
        }
        return arguments;
    }
    return {name, text(value)};
}

std::string outsideTables(const toml::node& at, const std::string& first, const std::string& table) {
    return lineOf(at) + ": " + first + ": options stand outside any [" + table + "] table";
}

// A configuration file is read as strictly as the command line: a key that
// is no option, a value of the wrong kind or out of its range, a table, or a
// file that is not TOML stops the program with the file, the line and the
// key, before anything reads it.
void checkConfigFile(const int argc, const char* const* const argv, const Program program) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) != "--config") {
            continue;
        }
        const std::string path = argv[i + 1];
        toml::table       table;
        try {
            table = toml::parse_file(path);
        } catch (const toml::parse_error& error) {
            throw CLI::ConfigError(path + lineOf(error.source()) + ": " + std::string(error.description()));
        }
        for (const auto& [name, node] : table) {
            const std::string key(name.str());
            try {
                if (const toml::table* const inner = node.as_table()) {
                    const std::string first = inner->empty() ? key : std::string(inner->cbegin()->first.str());
                    const toml::node& at    = inner->empty() ? node : inner->cbegin()->second;
                    throw CLI::ConfigError(outsideTables(at, first, key));
                }
                LaunchOptions probed;
                CLI::App      probe;
                if (program == Program::server) {
                    addHostOptions(probe, probed);
                } else {
                    addWindowOptions(probe, probed);
                }
                const CLI::Option* const option = probe.get_option_no_throw("--" + key);
                if (option == nullptr) {
                    throw CLI::ConfigError(lineOf(node) + ": " + key + ": no such option (see --help)");
                }
                std::vector<std::string> arguments;
                try {
                    arguments = keyAsArguments(*option, key, node);
                } catch (const std::invalid_argument& error) {
                    throw CLI::ConfigError(lineOf(node) + ": " + key + ": " + error.what());
                }
                // CLI11 reads the arguments from the back.
                std::reverse(arguments.begin(), arguments.end());
                try {
                    probe.parse(arguments);
                } catch (const CLI::ParseError& error) {
                    throw CLI::ConfigError(lineOf(node) + ": " + key + ": " + error.what());
                }
            } catch (const CLI::ConfigError& error) {
                throw CLI::ConfigError(path + error.what());
            }
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
        checkConfigFile(argc, argv, program);
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
