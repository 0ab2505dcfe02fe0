// Start-up as a user meets it: the command line, the settings file, where
// the map is found, and the packets that find games on the local network.

#include "game/Launch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

#include "TestSupport.h"
#include "game/CommandLine.h"
#include "game/Controls.h"
#include "game/Game.h"
#include "game/Settings.h"
#include "net/LanDiscovery.h"
#include "net/WireProtocol.h"
#include "platform/FrameState.h"
#include "platform/VirtualKeys.h"
#include "world/DataFolder.h"

namespace {

// The mode the last settings file open() made had at once, seen from inside
// open(): a mode narrowed afterwards does not show here.
mode_t settingsCreatedWith = 0;

}  // namespace

extern "C" int open(const char* const path, const int flags, ...) {
    va_list rest;
    va_start(rest, flags);
    const mode_t mode = (flags & O_CREAT) != 0 ? va_arg(rest, mode_t) : 0;
    va_end(rest);
    const int   file = static_cast<int>(syscall(SYS_openat, AT_FDCWD, path, flags, mode));
    struct stat made {};
    if (file >= 0 && (flags & O_CREAT) != 0 && std::strstr(path, "settings.toml.") != nullptr &&
        fstat(file, &made) == 0) {
        settingsCreatedWith = made.st_mode;
    }
    return file;
}

namespace {

CommandLine read(std::vector<const char*> words) {
    words.insert(words.begin(), "quillstep");
    return readCommandLine(static_cast<int>(words.size()), words.data());
}

TEST(CommandLine, HelpAndVersionEndAtOnceAndWrongOptionsGetOneLineAndStatusTwo) {
    struct Case {
        std::vector<const char*> words;
        bool                     proceed;
        int                      exitCode;
        const char*              saying;
    };
    const Case cases[] = {
        {{}, true, 0, ""},
        {{"--help"}, false, 0, "--connect ADDRESS"},
        {{"--version"}, false, 0, "quillstep 1.0.0"},
        {{"--frob"}, false, 2, "--frob"},
        {{"--bots", "33"}, false, 2, "--bots"},
        {{"--bots", "many"}, false, 2, "--bots"},
        {{"--host", "--connect", "10.0.0.1"}, false, 2, "--connect"},
        {{"--fullscreen", "--windowed"}, false, 2, "--windowed"},
        {{"--connect"}, false, 2, "--connect"},
        {{"--port", "0"}, false, 2, "--port"},
    };
    for (const Case& c : cases) {
        const CommandLine line = read(c.words);
        const std::string what = c.words.empty() ? "nothing" : c.words[0];
        EXPECT_EQ(line.proceed, c.proceed) << what;
        EXPECT_EQ(line.exitCode, c.exitCode) << what;
        EXPECT_NE(line.output.find(c.saying), std::string::npos) << what << ": " << line.output;
        if (c.exitCode == 2) {
            EXPECT_TRUE(line.outputIsError);
            EXPECT_EQ(line.output.find('\n'), line.output.size() - 1) << "one line: " << line.output;
        }
    }
}

TEST(CommandLine, EveryOptionReachesTheLaunchOptions) {
    const CommandLine line = read({"--connect", "arena.lan", "--name", "Ann", "--bots", "3", "--fullscreen",
                                   "--password", "sesame", "--port", "12345"});
    ASSERT_TRUE(line.proceed) << line.output;
    EXPECT_EQ(line.options.connect, "arena.lan");
    EXPECT_EQ(line.options.name, "Ann");
    EXPECT_EQ(line.options.bots, 3);
    EXPECT_EQ(line.options.fullscreen, true);
    EXPECT_EQ(line.options.password, "sesame");
    EXPECT_EQ(line.options.port, 12345);
    EXPECT_EQ(read({"--windowed"}).options.fullscreen, false);
    EXPECT_FALSE(read({}).options.fullscreen.has_value()) << "the settings decide";
}

// What the keyboard and a gamepad hold becomes the actions' specified keys;
// every other key is the keyboard's own.
TEST(Controls, HeldKeysAndButtonsBecomeTheActionsKeys) {
    KeyBindings bindings = defaultKeyBindings();
    bindKey(bindings, action_fire, 1, VK_LEFT);  // taken from "left"
    EXPECT_EQ(bindings[action_left], (std::array<int, 2>{0, 'A'}));

    struct Case {
        std::vector<int> held;
        HeldActions      pad;
        std::vector<int> expected;  // the action keys set; the others are clear
    };
    const Case cases[] = {
        {{'W'}, {}, {VK_UP}},
        {{VK_LEFT}, {}, {VK_SPACE}},
        {{'A', 'T', VK_TAB}, {}, {VK_LEFT, 'T', VK_TAB}},
        {{}, stickDirections(-20000, 30000), {VK_LEFT, VK_DOWN}},
        {{}, stickDirections(3000, -3000), {}},
    };
    for (const Case& c : cases) {
        std::uint8_t physical[KEY_COUNT] = {};
        std::uint8_t held[KEY_COUNT]     = {};
        for (const int code : c.held) {
            physical[code] = 1;
        }
        held['Q'] = 1;  // not an action's: left alone
        applyControls(bindings, physical, c.pad, held);
        for (int action = 0; action < ACTION_COUNT; ++action) {
            const int  code     = actionInfo(static_cast<ControlAction>(action)).specifiedKey;
            const bool expected = std::find(c.expected.begin(), c.expected.end(), code) != c.expected.end();
            EXPECT_EQ(held[code], expected ? 1 : 0) << "key " << keyName(code) << " holding " << c.held.size();
        }
        EXPECT_EQ(held['Q'], 1);
    }
    for (int code = 1; code < KEY_COUNT; ++code) {
        if (!keyName(code).empty()) {
            EXPECT_EQ(keyNamed(keyName(code)), code) << keyName(code);
        }
    }
}

// A fresh folder of its own, under the test's temporary folder.
std::string freshFolder() {
    std::string folder = ::testing::TempDir() + "quillstep-XXXXXX";
    return mkdtemp(folder.data()) != nullptr ? folder : std::string();
}

class SettingsFile : public ::testing::Test {
protected:
    std::string folder = freshFolder();
    std::string path   = folder + "/quillstep/settings.toml";
};

TEST_F(SettingsFile, WhatIsSavedIsReadBackAndAMissingFileIsNoProblem) {
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    setenv("HOME", "/home/ann", 1);
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(settingsPath(), "/home/ann/.config/quillstep/settings.toml") << "without XDG_CONFIG_HOME";
    setenv("HOME", home.c_str(), 1);

    const LoadedSettings missing = loadSettings(path);
    EXPECT_FALSE(missing.problem);
    EXPECT_EQ(missing.settings.volume, 100);

    Settings saved;
    saved.name        = "Ann \"the\" = [quick]\n";
    saved.lastAddress = "10.0.0.7";
    saved.fullscreen  = true;
    saved.volume      = 35;
    saved.password    = "sesame";
    ASSERT_TRUE(saveSettings(path, saved)) << "its folders are made";
    const LoadedSettings read = loadSettings(path);
    ASSERT_FALSE(read.problem) << *read.problem;
    EXPECT_EQ(read.settings.name, saved.name);
    EXPECT_EQ(read.settings.lastAddress, saved.lastAddress);
    EXPECT_TRUE(read.settings.fullscreen);
    EXPECT_EQ(read.settings.volume, 35);
    EXPECT_EQ(read.settings.password, "sesame");
    EXPECT_EQ(read.settings.keyBindings, defaultKeyBindings());

    bindKey(saved.keyBindings, action_fire, 1, 'J');
    bindKey(saved.keyBindings, action_chat, 0, 0);
    saved.gamepad.fire = "rightshoulder";
    saved.windowWidth  = 800;
    saved.windowHeight = 620;
    ASSERT_TRUE(saveSettings(path, saved));
    const LoadedSettings rebound = loadSettings(path);
    EXPECT_EQ(rebound.settings.keyBindings, saved.keyBindings);
    EXPECT_EQ(rebound.settings.gamepad.fire, "rightshoulder");
    EXPECT_EQ(rebound.settings.windowWidth, 800);
    EXPECT_EQ(rebound.settings.windowHeight, 620);
}

TEST_F(SettingsFile, ABrokenFileIsReportedWithItsLineAndOddValuesFallBack) {
    ASSERT_TRUE(saveSettings(path, Settings{}));
    std::ofstream(path) << "name = \"Ann\"\nvolume = = 3\n";
    const LoadedSettings broken = loadSettings(path);
    ASSERT_TRUE(broken.problem);
    EXPECT_NE(broken.problem->find(path + ":2"), std::string::npos) << *broken.problem;

    std::ofstream(path) << "name = 7\nvolume = 900\nscreen = \"sideways\"\nwindow_size = [-5]\n"
                           "[keys]\nfire = [\"NoSuchKey\", 4]\n[gamepad]\nfire = \"z\"\n";
    const LoadedSettings odd = loadSettings(path);
    EXPECT_FALSE(odd.problem);
    EXPECT_EQ(odd.settings.name, "") << "a name that is not a string is no name";
    EXPECT_EQ(odd.settings.volume, 100);
    EXPECT_FALSE(odd.settings.fullscreen);
    EXPECT_EQ(odd.settings.windowWidth, 0);
    EXPECT_EQ(odd.settings.keyBindings[action_fire], (std::array<int, 2>{0, 0})) << "unknown keys bind nothing";
    EXPECT_EQ(odd.settings.keyBindings[action_left], defaultKeyBindings()[action_left]);
    EXPECT_EQ(odd.settings.gamepad.fire, "a");
}

TEST_F(SettingsFile, ItIsOwnerOnlyFromTheCallThatMakesItAndAPlantedLinkIsNeverFollowed) {
    const std::string dotfiles = freshFolder();
    ASSERT_TRUE(saveSettings(path, Settings{}));
    EXPECT_EQ(std::filesystem::status(folder + "/quillstep").permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
    std::filesystem::rename(path, dotfiles + "/settings.toml");
    std::filesystem::create_symlink(dotfiles + "/settings.toml", path);
    std::ofstream(dotfiles + "/victim") << "untouched";
    std::filesystem::create_symlink(dotfiles + "/victim", path + ".new");
    Settings named;
    named.name           = "Ann";
    settingsCreatedWith  = 0;
    const mode_t oldMask = ::umask(0);
    const bool   saved   = saveSettings(path, named);
    ::umask(oldMask);
    ASSERT_TRUE(saved);
    EXPECT_EQ(settingsCreatedWith & 0777, 0600u) << "with no umask to narrow it";
    EXPECT_TRUE(std::filesystem::is_symlink(path)) << "a link to a dotfiles folder stays one";
    EXPECT_EQ(loadSettings(dotfiles + "/settings.toml").settings.name, "Ann");
    std::ifstream victim(dotfiles + "/victim");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(victim), {}), "untouched");
}

TEST_F(SettingsFile, TwoCopiesOfTheGameSavingAtOnceNeverLeaveATornFile) {
    Settings first;
    first.name = "Ann";
    ASSERT_TRUE(saveSettings(path, first));
    for (const std::string& name : {std::string("Ann"), std::string(2000, 'B')}) {
        Settings settings;
        settings.name = name;
        if (const pid_t pid = fork(); pid == 0) {
            for (int i = 0; i < 300; ++i) {
                saveSettings(path, settings);
            }
            _exit(0);
        }
    }
    int torn    = 0;
    int running = 2;
    while (running > 0) {
        const LoadedSettings loaded = loadSettings(path);
        torn += loaded.problem || (loaded.settings.name != "Ann" && loaded.settings.name.size() != 2000) ? 1 : 0;
        running -= waitpid(-1, nullptr, WNOHANG) > 0 ? 1 : 0;
    }
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder + "/quillstep"), {}), 1)
        << "no temporary file is left behind";
}

// What start-up wrote to the error stream.
std::string errorsOf(const std::function<void(std::FILE*)>& start) {
    std::FILE* const errors = std::tmpfile();
    start(errors);
    std::rewind(errors);
    std::string text;
    for (int c = std::fgetc(errors); c != EOF; c = std::fgetc(errors)) {
        text += static_cast<char>(c);
    }
    std::fclose(errors);
    return text;
}

TEST_F(SettingsFile, AtStartUpABrokenFileIsReportedOnceAndNeverWrittenOver) {
    ASSERT_TRUE(saveSettings(path, Settings{}));
    std::ofstream(path) << "name = [\n";
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    LaunchOptions options;
    options.name = "Ann";
    Launch            launch;
    const std::string said =
        errorsOf([&](std::FILE* errors) { launch = prepareLaunch(options, errors, {QUILLSTEP_SOURCE_DIR}); });
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_FALSE(launch.exitCode);
    EXPECT_EQ(said.find("quillstep: settings not read"), 0u) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
    CGame& game = CGame::instance();
    EXPECT_EQ(game.playerName, "Ann");
    game.rememberSettings();
    EXPECT_EQ(loadSettings(path).problem.has_value(), true) << "left as it was";
    setDataFolder("");
}

TEST(DataFolder, WithTheMapNowhereStartUpSaysWhereItLookedAndEnds) {
    Launch            launch;
    const std::string said = errorsOf([&](std::FILE* errors) {
        launch = prepareLaunch(LaunchOptions{}, errors, {"/nowhere/a", "/nowhere/b"});
    });
    EXPECT_EQ(launch.exitCode, 1);
    EXPECT_EQ(said, "quillstep: cannot find the map Levels/map2.raw; looked in /nowhere/a, /nowhere/b\n");
}

TEST(DataFolder, TheFirstFolderWithTheMapWinsAndRelativePathsResolveAgainstIt) {
    const std::string withMap = freshFolder();
    ASSERT_EQ(std::system(("mkdir -p " + withMap + "/Levels && cp " QUILLSTEP_SOURCE_DIR "/Levels/map2.raw " + withMap +
                           "/Levels/")
                              .c_str()),
              0);
    EXPECT_EQ(findDataFolder({"/nonexistent", withMap, QUILLSTEP_SOURCE_DIR}), withMap);
    EXPECT_FALSE(findDataFolder({"/nonexistent", "/tmp/../nonexistent"}));
    EXPECT_EQ(dataFolderCandidates("/opt/q/bin")[1], "/opt/q/bin");
    EXPECT_EQ(dataFolderCandidates("/opt/q/bin")[2], "/opt/q/bin/../share/quillstep");

    setDataFolder(withMap);
    EXPECT_EQ(dataPath(GAME_MAP), withMap + "/" + GAME_MAP);
    EXPECT_EQ(dataPath("/etc/x"), "/etc/x");
    CWorld world;
    EXPECT_TRUE(world.loadMap(GAME_MAP));
    setDataFolder("");
    EXPECT_EQ(dataPath(GAME_MAP), GAME_MAP);
}

TEST(LanDiscovery, RepliesNeverOutgrowTheRequestAndCarryTheGame) {
    const std::vector<std::uint8_t> request = encodeLanRequest();
    EXPECT_TRUE(isLanRequest(request.data(), request.size()));
    EXPECT_FALSE(isLanRequest(request.data(), request.size() - 1)) << "a short request gets nothing";

    LanGame game;
    game.hostName                         = std::string(300, 'h');
    game.map                              = std::string(300, 'm');
    game.players                          = 999;
    game.spectators                       = 3;
    game.isPrivate                        = true;
    const std::vector<std::uint8_t> reply = encodeLanReply(game);
    EXPECT_LE(reply.size(), request.size());
    const std::optional<LanGame> read = decodeLanReply(reply.data(), reply.size());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->hostName, std::string(LAN_NAME_BYTES, 'h'));
    EXPECT_EQ(read->map, std::string(LAN_MAP_BYTES, 'm'));
    EXPECT_EQ(read->players, 255);
    EXPECT_TRUE(read->isPrivate);
    EXPECT_EQ(read->spectators, 3);
    // The spectators come last: a host that does not count them apart is read as having none.
    EXPECT_EQ(decodeLanReply(reply.data(), reply.size() - 1)->spectators, 0);
    for (std::size_t cut = 0; cut + 1 < reply.size(); ++cut) {
        EXPECT_FALSE(decodeLanReply(reply.data(), cut)) << "cut at " << cut;
    }
    EXPECT_FALSE(decodeLanReply(request.data(), request.size())) << "a request is not a reply";

    game.hostName                           = "\xff\x1b[2J\u202Eevil\nhost";
    game.map                                = "map\u2028two";
    const std::vector<std::uint8_t> hostile = encodeLanReply(game);
    EXPECT_EQ(decodeLanReply(hostile.data(), hostile.size())->hostName, "[2Jevilhost") << "one clean line";
    EXPECT_EQ(decodeLanReply(hostile.data(), hostile.size())->map, "maptwo");
    std::vector<LanGame> games;
    for (int i = 0; i < 3000; ++i) {
        LanGame fake;
        fake.address = "10.0." + std::to_string(i / 250) + "." + std::to_string(i % 250);
        rememberLanGame(games, fake);
    }
    rememberLanGame(games, games.back());
    ASSERT_EQ(games.size(), MAX_LAN_GAMES) << "at most what a list shows";
    EXPECT_EQ(games[0].address, "10.0.11.186") << "the most recent first, once";
    EXPECT_EQ(games[1].address, "10.0.11.249");
}

TEST(LanDiscovery, EachAddressGetsAFewRepliesASecond) {
    ReplyRateLimit limit(5.0);
    const auto     start   = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    int            allowed = 0;
    for (int i = 0; i < 50; ++i) {
        allowed += limit.allow(1, start) ? 1 : 0;
    }
    EXPECT_EQ(allowed, 5);
    EXPECT_TRUE(limit.allow(2, start)) << "another address has its own share";
    EXPECT_TRUE(limit.allow(1, start + std::chrono::milliseconds(200)));
    EXPECT_FALSE(limit.allow(1, start + std::chrono::milliseconds(200)));
    for (std::uint32_t address = 100; address < 100 + 3 * ReplyRateLimit::MAX_ADDRESSES; ++address) {
        limit.allow(address, start);
    }
    EXPECT_EQ(limit.addressesKept(), ReplyRateLimit::MAX_ADDRESSES) << "a spoofed storm forgets, not grows";
}

}  // namespace
