#include "game/Launch.h"

#include "game/Game.h"
#include "net/Client.h"
#include "rules/Demo.h"
#include "rules/Maps.h"
#include "world/DataFolder.h"

namespace {

// The maps the options and settings ask for: the rotation, beginning with
// the chosen first map (added in front when it is not in the rotation).
std::vector<std::string> chosenMaps(const LaunchOptions& options, const Settings& settings) {
    std::vector<std::string> maps = options.maps.empty() ? settings.maps : options.maps;
    if (options.map) {
        beginRotationWith(maps, *options.map);
    }
    return maps;
}

std::string joined(const std::vector<std::string>& folders) {
    std::string text;
    for (const std::string& folder : folders) {
        text += (text.empty() ? "" : ", ") + folder;
    }
    return text;
}

}  // namespace

Start startProgram(const int argc, const char* const* const argv, const Program program) {
    const CommandLine line = readCommandLine(argc, argv, program);
    Start             start{line.options, {}};
    if (!line.proceed) {
        std::fputs(line.output.c_str(), line.outputIsError ? stderr : stdout);
        start.launch.exitCode = line.exitCode;
        return start;
    }
    start.launch = prepareLaunch(line.options, stderr);
    return start;
}

Launch prepareLaunch(const LaunchOptions& options, std::FILE* const errors) {
    return prepareLaunch(options, errors, dataFolderCandidates(executableFolder()));
}

Launch prepareLaunch(const LaunchOptions& options, std::FILE* const errors,
                     const std::vector<std::string>& candidates) {
    Launch                           launch;
    const std::optional<std::string> data = findDataFolder(candidates);
    if (!data) {
        std::fprintf(errors, "quillstep: cannot find the map %s; looked in %s\n", GAME_MAP, joined(candidates).c_str());
        launch.exitCode = 1;
        return launch;
    }
    setDataFolder(*data);

    CGame&               game   = CGame::instance();
    const std::string    path   = settingsPath();
    const LoadedSettings loaded = loadSettings(path);
    if (loaded.problem) {
        // Said once; the file stays as it is and nothing is written over it.
        std::fprintf(errors, "quillstep: settings not read, defaults used: %s\n", loaded.problem->c_str());
    } else {
        game.settingsFile = path;
    }
    game.settings      = loaded.settings;
    game.playerName    = options.name.value_or(loaded.settings.name);
    game.password      = options.password.value_or(loaded.settings.password);
    game.bots          = options.bots.value_or(0);
    game.fillTo        = options.fill.value_or(0);
    game.level         = botLevelNamed(options.botLevel.value_or(loaded.settings.botLevel)).value_or(BotLevel::normal);
    game.gamePort      = static_cast<std::uint16_t>(options.port.value_or(GAME_PORT));
    game.maxPerAddress = static_cast<std::size_t>(options.maxPerAddress.value_or(DEFAULT_MAX_PER_ADDRESS));
    game.serverName    = options.serverName.value_or("");
    game.motd          = options.motd.value_or("");
    game.maxPlayers    = static_cast<std::size_t>(options.maxPlayers.value_or(255));
    game.adminPassword = options.adminPassword.value_or(loaded.settings.adminPassword);
    game.idleKick      = static_cast<float>(options.idleKick.value_or(0));
    game.spectate      = options.spectate;
    game.maxSpectators = static_cast<std::size_t>(options.maxSpectators.value_or(DEFAULT_MAX_SPECTATORS));
    game.spectatorChat = !options.noSpectatorChat;
    game.demos.folder  = options.demoFolder.value_or(defaultDemoFolder());
    game.demos.keep    = static_cast<std::size_t>(options.keepDemos.value_or(DEFAULT_KEPT_DEMOS));
    game.matchSetup.scoreLimit = options.scoreLimit.value_or(loaded.settings.scoreLimit);
    game.matchSetup.timeLimit  = options.timeLimit.value_or(loaded.settings.timeLimit);
    game.matchSetup.maps       = chosenMaps(options, loaded.settings);
    for (const std::string& map : game.matchSetup.maps) {
        const std::variant<GameMap, std::string> found = findMap(map);
        if (const auto* const reason = std::get_if<std::string>(&found)) {
            std::fprintf(errors, "quillstep: the map %s cannot be played: %s\n", map.c_str(), reason->c_str());
            launch.exitCode = 1;
            return launch;
        }
    }
    launch.fullscreen = options.fullscreen.value_or(loaded.settings.fullscreen);
    launch.volume     = loaded.settings.volume;

    if (options.play) {
        const std::variant<Demo, std::string> demo = readDemoFile(*options.play);
        if (const auto* const reason = std::get_if<std::string>(&demo)) {
            std::fprintf(errors, "quillstep: the demo %s cannot be played: %s\n", options.play->c_str(),
                         reason->c_str());
            launch.exitCode = 1;
            return launch;
        }
        launch.playFile = options.play;
    }
    if (options.connect) {
        const std::optional<HostAndPort> where = splitHostPort(*options.connect, game.gamePort);
        if (where) {
            const std::optional<std::string> resolved = resolveIPv4(where->host);
            if (resolved) {
                launch.connectAddress = *resolved + ":" + std::to_string(where->port);
            }
        }
        if (!launch.connectAddress) {
            std::fprintf(errors, "quillstep: cannot find the host %s\n", options.connect->c_str());
            launch.exitCode = 1;
        }
    }
    return launch;
}
