// The program as a user starts it: start-up errors, the dedicated host, a
// private game, an installed copy run from elsewhere, and games found on
// the local network.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "PlayerProcess.h"

namespace {

// What the programs keep (demos, maps they were sent) goes to a folder of the
// test's, never the home folder's.
const bool DATA_KEPT_ASIDE = [] {
    return ::setenv("XDG_DATA_HOME", (::testing::TempDir() + "quillstep_program_data").c_str(), 1) == 0;
}();

using Clock = std::chrono::steady_clock;

bool isOneLine(const std::string& text) {
    return !text.empty() && text.find('\n') == text.size() - 1;
}

// Reads log lines until one holds the text; every line read is kept.
bool logSays(PlayerProcess& host, const std::string& text, std::string& log, const int seconds = 20) {
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < deadline) {
        const std::string line = host.answer(std::chrono::seconds(1));
        log += line + "\n";
        if (line.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// This run's own port, so no test meets a game someone plays on this machine.
const std::string port = std::to_string(testPort());

bool stop(PlayerProcess& host) {
    kill(host.processId(), SIGTERM);
    return host.quit();
}

TEST(Program, StartUpErrorsAreOneLineWithStatusOneAtOnce) {
    const Ran noDisplay = run("env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER " QUILLSTEP_PROGRAM);
    EXPECT_EQ(noDisplay.status, 1);
    EXPECT_TRUE(isOneLine(noDisplay.output)) << noDisplay.output;
    EXPECT_NE(noDisplay.output.find("no display"), std::string::npos) << noDisplay.output;
    EXPECT_LT(noDisplay.seconds, 1.0);

    // A demo that is none is refused before any window opens.
    const std::string notADemo = ::testing::TempDir() + "quillstep_not_a_demo_" + std::to_string(getpid());
    std::ofstream(notADemo) << "garbage";
    const Ran broken = run(QUILLSTEP_PROGRAM " --play " + notADemo);
    std::remove(notADemo.c_str());
    EXPECT_EQ(broken.status, 1);
    EXPECT_TRUE(isOneLine(broken.output)) << broken.output;
    EXPECT_NE(broken.output.find("cannot be played: it is not a Quillstep demo"), std::string::npos) << broken.output;

    // Someone else has the game's port.
    const int   blocker = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port   = htons(testPort());
    ASSERT_EQ(bind(blocker, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const Ran noPort = run(QUILLSTEP_PROGRAM " --dedicated --port " + port);
    close(blocker);
    EXPECT_EQ(noPort.status, 1);
    EXPECT_TRUE(isOneLine(noPort.output)) << noPort.output;
    EXPECT_NE(noPort.output.find("port " + port + " is already in use"), std::string::npos) << noPort.output;
    EXPECT_LT(noPort.seconds, 1.0);
}

TEST(Program, TheServerAndTheHeadlessPlayerLinkNoGraphics) {
    for (const char* const program : {QUILLSTEP_SERVER, QUILLSTEP_HEADLESS}) {
        const Ran libraries = run(std::string("ldd ") + program);
        ASSERT_EQ(libraries.status, 0) << libraries.output;
        for (const char* const graphics : {"libGL", "libOpenGL", "libGLX", "libfreetype", "libfontconfig", "libSDL"}) {
            EXPECT_EQ(libraries.output.find(graphics), std::string::npos) << program << " links " << graphics;
        }
    }
}

TEST(Program, ADedicatedHostRunsAPrivateGameAndLogsJoinsKillsAndLeaves) {
    PlayerProcess host("dedicated", "",
                       {QUILLSTEP_SERVER, "--bots", "4", "--password", "sesame", "--port", port.c_str()});
    std::string   log;
    ASSERT_TRUE(logSays(host, "Hosting on UDP port " + port + ", private, with 4 bots", log)) << log;
    ASSERT_TRUE(logSays(host, "The game has started", log)) << log << "at once, with bots";

    PlayerProcess intruder("intruder", "");
    ASSERT_EQ(intruder.command("port " + port), "ok");
    ASSERT_EQ(intruder.command("password guess"), "ok");
    ASSERT_EQ(intruder.command("join 127.0.0.1"), "ok");
    ASSERT_EQ(intruder.command("seconds 1"), "ok");
    EXPECT_NE(intruder.messages().find("Wrong password"), std::string::npos) << intruder.messages();
    EXPECT_EQ(intruder.world()["state"], "start");

    PlayerProcess ann("ann", "");
    ASSERT_EQ(ann.command("port " + port), "ok");
    ASSERT_EQ(ann.command("name Ann"), "ok");
    ASSERT_EQ(ann.command("password sesame"), "ok");
    ASSERT_EQ(ann.command("join 127.0.0.1"), "ok");
    ASSERT_EQ(ann.command("seconds 1"), "ok");
    ASSERT_TRUE(logSays(host, "Ann joined from 127.0.0.1 (1 playing)", log)) << log;
    const nlohmann::json world = ann.world();
    EXPECT_EQ(world["state"], "running");
    EXPECT_EQ(objectsOf(world, "Avatar").size(), 5u) << "the bots and Ann; the host has none";

    ASSERT_TRUE(logSays(host, " shot ", log, 60)) << log;
    ASSERT_EQ(ann.command("exit"), "ok");
    ASSERT_TRUE(logSays(host, "Ann left (0 playing)", log)) << log;
    EXPECT_TRUE(stop(host)) << "ends cleanly on SIGTERM";
    EXPECT_EQ(log.find("sesame"), std::string::npos) << "the password is never logged";
    EXPECT_EQ(host.messages(), "");
}

// The console of a server that takes one player: it lists, talks to, kicks
// and bans that player, who is told each time; a banned address is refused
// at its hello, and a player over the limit hears the game is full.
TEST(Program, TheServerConsoleKicksAndBansAndTheFullGameRefuses) {
    PlayerProcess host("console", "",
                       {QUILLSTEP_SERVER, "--bots", "1", "--max-players", "1", "--server-name", "Party Room", "--motd",
                        "Welcome, be nice", "--port", port.c_str()});
    std::string   log;
    ASSERT_TRUE(logSays(host, "The game has started", log)) << log;
    const auto joined = [](PlayerProcess& player, const std::string& name) {
        EXPECT_EQ(player.command("port " + port), "ok");
        EXPECT_EQ(player.command("name " + name), "ok");
        EXPECT_EQ(player.command("join 127.0.0.1"), "ok");
        EXPECT_EQ(player.command("seconds 1"), "ok");
        return player.world();
    };
    PlayerProcess ann("ann", "");
    EXPECT_EQ(joined(ann, "Ann")["chat"], nlohmann::json::array({"Server: Welcome, be nice"}));
    PlayerProcess bob("bob", "");
    EXPECT_EQ(joined(bob, "Bob")["state"], "start");
    EXPECT_NE(bob.messages().find("The game is full."), std::string::npos) << bob.messages();

    ASSERT_TRUE(host.send("status"));
    ASSERT_TRUE(logSays(host, "Ann ", log)) << log;
    ASSERT_TRUE(host.send("bogus"));
    ASSERT_TRUE(logSays(host, "error unknown command bogus (try help)", log)) << log;
    ASSERT_TRUE(host.send("say hello all"));
    EXPECT_TRUE(logSays(host, "Server: hello all", log)) << log;
    ASSERT_EQ(ann.command("seconds 0.5"), "ok");
    EXPECT_EQ(ann.world()["chat"].back(), "Server: hello all");
    ASSERT_TRUE(host.send("kick Ann too loud"));
    ASSERT_TRUE(logSays(host, "kicked Ann", log)) << log;
    ASSERT_EQ(ann.command("seconds 1"), "ok");
    EXPECT_EQ(ann.world()["state"], "start");
    EXPECT_NE(ann.messages().find("You were kicked: too loud"), std::string::npos) << ann.messages();

    EXPECT_EQ(joined(ann, "Ann")["state"], "running") << "a kick is no ban";
    ASSERT_TRUE(host.send("ban Ann"));
    ASSERT_TRUE(logSays(host, "banned 127.0.0.1 until the server stops", log)) << log;
    ASSERT_EQ(ann.command("seconds 1"), "ok");
    EXPECT_EQ(joined(ann, "Ann")["state"], "start");
    EXPECT_NE(ann.messages().find("You are banned from this game."), std::string::npos) << ann.messages();
    ASSERT_TRUE(host.send("unban 127.0.0.1"));
    ASSERT_TRUE(logSays(host, "unbanned 127.0.0.1", log)) << log;
    EXPECT_EQ(joined(ann, "Ann")["state"], "running");
    EXPECT_TRUE(stop(host));
}

// An admin from inside the game: the password makes a player one, three
// wrong ones lock its address out, what an admin does everyone is told;
// and a player who gives no input is warned, then moved out.
TEST(Program, AnAdminInTheGameAndAPlayerWhoIdles) {
    PlayerProcess host("admin", "",
                       {QUILLSTEP_SERVER, "--admin-password", "s3cret", "--idle-kick", "11", "--port", port.c_str()});
    std::string   log;
    ASSERT_TRUE(logSays(host, "Hosting on UDP port", log)) << log;
    PlayerProcess ann("ann", "");
    PlayerProcess cy("cy", "");
    for (PlayerProcess* const player : {&ann, &cy}) {
        ASSERT_EQ(player->command("port " + port), "ok");
        ASSERT_EQ(player->command("name " + std::string(player == &ann ? "Ann" : "Cy")), "ok");
        ASSERT_EQ(player->command("join 127.0.0.1"), "ok");
    }
    // Whether the player's screen showed the line lately (kills come and go around it).
    const auto heard = [](PlayerProcess& player, const std::string& line) {
        const nlohmann::json notices = player.world()["notices"];
        return std::find(notices.begin(), notices.end(), line) != notices.end();
    };
    const auto says = [&](PlayerProcess& player, const std::string& line, const std::string& answer) {
        EXPECT_EQ(player.command("say " + line), "ok");
        EXPECT_EQ(player.command("seconds 0.7"), "ok");  // within what a player may say
        EXPECT_TRUE(heard(player, answer)) << line << ": " << player.world()["notices"];
    };
    ASSERT_EQ(ann.command("seconds 1"), "ok");
    says(ann, "/bots 0", "Only an admin can do that: /admin PASSWORD first.");
    says(ann, "/admin s3cret", "You are an admin: the console's commands work here, as /kick Bob.");
    says(ann, "/bots 0", "bots 0");
    EXPECT_EQ(ann.command("say /status"), "ok");
    ASSERT_EQ(cy.command("seconds 0.3"), "ok");
    EXPECT_TRUE(heard(cy, "Ann used /bots 0"));
    for (int wrong = 0; wrong < 3; ++wrong) {
        says(cy, "/admin guess" + std::to_string(wrong), "Wrong admin password.");
    }
    says(cy, "/admin s3cret", "Too many wrong admin passwords: wait a minute.");

    ASSERT_EQ(ann.command("seconds 2"), "ok");
    EXPECT_TRUE(heard(ann, "No input: you will be moved out in 10 s."));
    ASSERT_EQ(ann.command("seconds 7"), "ok");
    EXPECT_EQ(ann.world()["state"], "start");
    EXPECT_NE(ann.messages().find("You were kicked: no input for 11 s"), std::string::npos) << ann.messages();
    EXPECT_TRUE(logSays(host, "Ann kicked for idling: no input for 11 s", log)) << log;
    EXPECT_TRUE(stop(host));
    // Every command said in chat is in the log, refused ones too.
    for (const char* const line :
         {"Ann (127.0.0.1) refused (not an admin): /bots 0", "Ann (127.0.0.1): /admin\n", "Ann (127.0.0.1): /status",
          "Cy (127.0.0.1) refused (wrong password): /admin\n", "Cy (127.0.0.1) refused (locked out): /admin\n"}) {
        EXPECT_NE(log.find(std::string("Admin command from ") + line), std::string::npos) << line << log;
    }
    EXPECT_EQ(log.find("s3cret"), std::string::npos) << "never logged";
    EXPECT_EQ(log.find("guess"), std::string::npos) << "nor a wrong one";
}

// A file the server would read otherwise than meant stops it before it
// binds anything, with one line that names the file, the line and the key.
TEST(Program, ABrokenServerConfigurationStopsItWithTheLine) {
    struct Case {
        const char* text;
        const char* where;  // the line, with what the message names
        const char* names;
    };
    const Case cases[] = {
        {"bots = 3\nmotd = \"unfinished\n", ":2: ", ""},
        {"bots = 3\nbot-levle = \"easy\"\n", ":2: ", "bot-levle"},
        {"port = 24000\n\n[server]\nbots = 3\n", ":4: ", "bots"},
        {"bots = 99\n", ":1: ", "bots"},
        {"score-limit = -1\n", ":1: ", "score-limit"},
        {"bot-level = \"brilliant\"\n", ":1: ", "bot-level"},
        {"motd = \"hi\"\nbots = \"3\"\n", ":2: ", "bots"},
        {"server-name = 7\n", ":1: ", "server-name"},
        {"maps = [\"arena\",\n        3]\n", ":2: ", "maps"},
    };
    const std::string config = ::testing::TempDir() + "quillstep_server_" + std::to_string(getpid()) + ".toml";
    for (const Case& c : cases) {
        std::ofstream(config) << c.text;
        // A server that read past the fault would host until stopped.
        const Ran broken =
            run(std::string("timeout 10 ") + QUILLSTEP_SERVER + " --config " + config + " --port " + port);
        EXPECT_EQ(broken.status, 2) << c.text << broken.output;
        EXPECT_TRUE(isOneLine(broken.output)) << c.text << broken.output;
        EXPECT_NE(broken.output.find(config + c.where + c.names), std::string::npos) << c.text << broken.output;
    }
    std::remove(config.c_str());
}

TEST(Program, AnInstalledCopyFindsItsOwnMapFromAnyFolder) {
    const std::string prefix  = ::testing::TempDir() + "quillstep-install-" + std::to_string(getpid());
    const Ran         install = run("cmake --install " QUILLSTEP_BUILD_DIR " --prefix " + prefix);
    ASSERT_EQ(install.status, 0) << install.output;
    for (const char* const file :
         {"bin/quillstep", "bin/quillstep-server", "bin/quillstep-headless", "share/quillstep/Levels/map2.raw",
          "share/quillstep/Levels/islands.raw", "share/applications/quillstep.desktop",
          "share/icons/hicolor/scalable/apps/quillstep.svg", "share/man/man6/quillstep.6",
          "share/man/man6/quillstep-server.6"}) {
        struct stat info {};
        EXPECT_EQ(stat((prefix + "/" + file).c_str(), &info), 0) << file;
    }
    EXPECT_EQ(run("cd / && " + prefix + "/bin/quillstep --version").output, "quillstep 1.0.0\n");
    // systemd accepts the unit; it names the binary where a real install puts it.
    const Ran unit = run("command -v systemd-analyze >/dev/null || exit 0; systemd-analyze verify --man=no " + prefix +
                         "/lib/systemd/system/quillstep-server.service 2>&1 | grep -v 'is not executable'");
    EXPECT_EQ(unit.output, "") << unit.output;
    EXPECT_NE(run("man -l " + prefix + "/share/man/man6/quillstep.6 2>/dev/null || cat " + prefix +
                  "/share/man/man6/quillstep.6")
                  .output.find("dedicated"),
              std::string::npos);
    std::ifstream serverPage(prefix + "/share/man/man6/quillstep-server.6");
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(serverPage), {}).find("CONSOLE"), std::string::npos)
        << "the server's page tells its console";

    PlayerProcess host("installed", "",
                       {"sh", "-c", "cd / && exec " + prefix + "/bin/quillstep --dedicated --port " + port});
    std::string   log;
    EXPECT_TRUE(logSays(host, ", map map2", log)) << log;
    PlayerProcess player("installed player", "", {"sh", "-c", "cd / && exec " + prefix + "/bin/quillstep-headless"});
    ASSERT_EQ(player.command("port " + port), "ok");
    ASSERT_EQ(player.command("join 127.0.0.1"), "ok");
    ASSERT_EQ(player.command("seconds 1"), "ok");
    EXPECT_EQ(player.world()["state"], "running") << "it found the host's map too: " << player.messages();
    EXPECT_TRUE(player.quit());
    EXPECT_TRUE(stop(host));
    run("rm -rf " + prefix);
}

TEST(Program, TwoHostsOnTheNetworkAreBothFoundWithinASecond) {
    if (!testHostsUp()) {
        GTEST_SKIP() << "two hosts need two machines: network namespaces cannot be made here";
    }
    {
        PlayerProcess first("first", testHost("host"));
        PlayerProcess second("second", testHost("p1"));
        PlayerProcess looking("looking", testHost("p2"));
        ASSERT_EQ(first.command("host"), "ok");
        ASSERT_EQ(second.command("password sesame"), "ok");
        ASSERT_EQ(second.command("host"), "ok");
        for (PlayerProcess* const host : {&first, &second}) {  // the private one proves its own password
            ASSERT_TRUE(waitUntil([&] { return host->command("frames 5") == "ok" && host->world()["clients"] == 1; }));
        }
        const auto           start = Clock::now();
        const nlohmann::json games = nlohmann::json::parse(looking.command("lan"), nullptr, false);
        EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 1.5);
        ASSERT_TRUE(games.is_array()) << games;
        ASSERT_EQ(games.size(), 2u) << games;
        std::set<std::string> addresses;
        for (const auto& game : games) {
            addresses.insert(game["address"].get<std::string>());
            EXPECT_EQ(game["map"], "map2");
            EXPECT_EQ(game["players"], 1);
            EXPECT_EQ(game["private"], game["address"] == "10.77.0.2");
        }
        EXPECT_EQ(addresses, (std::set<std::string>{"10.77.0.1", "10.77.0.2"}));
    }
    testHostsDown();
}

TEST(Program, TwoServersOnTwoPortsOfOneMachineAreBothFoundAndJoinable) {
    if (!testHostsUp()) {
        GTEST_SKIP() << "the servers need a test host: network namespaces cannot be made here";
    }
    {
        PlayerProcess north("north", testHost("host"), {QUILLSTEP_SERVER, "--server-name", "North", "--bots", "1"});
        PlayerProcess south("south", testHost("host"),
                            {QUILLSTEP_SERVER, "--server-name", "South", "--bots", "1", "--port", "24000"});
        std::string   log;
        ASSERT_TRUE(logSays(north, "The game has started", log)) << log;
        ASSERT_TRUE(logSays(south, "The game has started", log)) << log;
        PlayerProcess        looking("looking", testHost("p1"));
        const nlohmann::json games = nlohmann::json::parse(looking.command("lan"), nullptr, false);
        ASSERT_TRUE(games.is_array() && games.size() == 2u) << games;
        std::set<std::pair<std::string, int>> found;
        for (const auto& game : games) {
            found.insert({game["host"].get<std::string>(), game["port"].get<int>()});
        }
        EXPECT_EQ(found, (std::set<std::pair<std::string, int>>{{"North", 9998}, {"South", 24000}}));
        for (const char* const address : {"10.77.0.1", "10.77.0.1:24000"}) {
            ASSERT_EQ(looking.command(std::string("join ") + address), "ok");
            ASSERT_EQ(looking.command("seconds 1"), "ok");
            EXPECT_EQ(looking.world()["state"], "running") << address << ": " << looking.messages();
            ASSERT_EQ(looking.command("exit"), "ok");
        }
    }
    testHostsDown();
}

}  // namespace
