// The real window program, driven as a person would with xdotool: one copy
// hosts from the Game menu, a second joins through "Connect to Server", the
// host presses ENTER, and screenshots of both windows must show a game.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Pixels.h"
#include "PlayerProcess.h"

namespace {

// What the programs keep (demos, maps they were sent) goes to a folder of the
// test's, never the home folder's.
const bool DATA_KEPT_ASIDE = [] {
    return ::setenv("XDG_DATA_HOME", (::testing::TempDir() + "quillstep_program_data").c_str(), 1) == 0;
}();

std::string shell(const std::string& command) {
    return run(command).output;
}

// A screenshot of one window, row 0 at the top; empty when it could not be taken.
struct Screenshot : Pixels {
    explicit Screenshot(const std::string& window) {
        const std::string ppm      = shell("import -window " + window + " -depth 8 ppm:- 2>/dev/null");
        int               maxValue = 0;
        int               consumed = 0;
        if (std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &width, &height, &maxValue, &consumed) == 3 &&
            ppm.size() >= static_cast<std::size_t>(consumed + 1 + width * height * 3)) {
            rgb.assign(ppm.begin() + consumed + 1, ppm.end());
        } else {
            width = height = 0;
        }
    }

    int count(const Rgb colour, const int top, const int bottom) const {
        return Pixels::count(colour, 0, top, width, bottom);
    }
    int dark(const int left, const int top, const int right, const int bottom) const {
        return Pixels::count([](const Rgb& c) { return c[0] < 70 && c[1] < 70 && c[2] < 70; }, left, top, right,
                             bottom);
    }
};

// The program's window, once it is up.
std::string windowOf(const PlayerProcess& program) {
    std::string window = shell("xdotool search --all --sync --onlyvisible --pid " +
                               std::to_string(program.processId()) + " --name '^Quillstep$' 2>/dev/null | head -n 1");
    window.erase(window.find_last_not_of('\n') + 1);
    return window;
}

void click(const std::string& window, const int x, const int y) {
    // As a click would give it on a desktop, the window gets the input focus first.
    shell("xdotool windowfocus --sync " + window + " mousemove --window " + window + " " + std::to_string(x) + " " +
          std::to_string(y) + " sleep 0.2 click 1 sleep 0.3");
}

// Opens the Game menu and clicks the item at the height given, once the menu shows it.
bool chooseFromGameMenu(const std::string& window, const int itemY) {
    const bool open = waitUntil([&] {
        click(window, 20, 10);  // again if a click came before the window took any
        return Screenshot(window).dark(10, itemY - 10, 150, itemY + 10) > 30;
    });
    click(window, 60, itemY);
    return open;
}

// The drawing area (below the menu bar) of a screenshot shows a game.
constexpr int MENU_BAR = 21;
bool          looksLikeARunningGame(const Screenshot& shot) {
             const int area   = shot.height - MENU_BAR;
             const int bottom = shot.height - area / 10;
             return shot.width > 0 && shot.count({255, 255, 255}, bottom, shot.height) > 40  // the head-up display
                    && shot.count({9, 225, 9}, MENU_BAR, shot.height) > 20                   // this player's avatar
                    && shot.count({51, 51, 51}, MENU_BAR + area / 10, bottom) > 1000         // floor
                    && shot.count({255, 255, 255}, MENU_BAR + area / 10, bottom) > 50;       // walls
}

// Game > Quit from the keyboard ends the game and then the program, cleanly.
bool quitFromTheKeyboard(PlayerProcess& program, const std::string& window) {
    shell("xdotool key --window " + window + " alt+g sleep 0.3 key --window " + window + " q");
    return program.quit();
}

TEST(WindowProgram, OneHostsFromTheMenuAnotherJoinsByAddressAndBothPlay) {
    const std::string artefacts = QUILLSTEP_ARTEFACTS;
    shell("mkdir -p " + artefacts);
    // The programs remember the address they joined: not in the tester's own settings.
    char settings[] = "/tmp/quillstep-settings-XXXXXX";
    ASSERT_NE(mkdtemp(settings), nullptr);
    setenv("XDG_CONFIG_HOME", settings, 1);

    // On this run's own port, never a game someone plays on this machine.
    const std::string port = std::to_string(testPort());
    PlayerProcess     hostProgram("host", "", {QUILLSTEP_PROGRAM, "--port", port});
    const std::string host = windowOf(hostProgram);
    ASSERT_FALSE(host.empty());
    ASSERT_TRUE(chooseFromGameMenu(host, 55)) << "Host Game";
    ASSERT_TRUE(waitUntil([&] { return shell("ss -Hlun 'sport = :" + port + "'").find(port) != std::string::npos; }))
        << "the host's server is up";
    // Out of the way of the second window, which opens where this one did.
    shell("xdotool windowmove " + host + " 0 0");

    PlayerProcess     joinProgram("joined", "", {QUILLSTEP_PROGRAM, "--port", port});
    const std::string joined = windowOf(joinProgram);
    ASSERT_FALSE(joined.empty());
    ASSERT_TRUE(chooseFromGameMenu(joined, 74)) << "Connect to Server";
    // The dialog's caption and labels are up before anything is typed.
    ASSERT_TRUE(waitUntil([&] { return Screenshot(joined).dark(70, 110, 170, 130) > 30; })) << "the dialog is open";
    shell("xdotool type --window " + joined + " --delay 60 127.0.0.1");
    shell("xdotool sleep 0.3 key --window " + joined + " Return");

    // The host's waiting screen lists a second player, on the line at y = -0.4.
    ASSERT_TRUE(waitUntil([&] {
        const Screenshot shot(host);
        const int        line = MENU_BAR + static_cast<int>((shot.height - MENU_BAR) * 0.7);
        return shot.width > 0 && shot.dark(0, line - 12, shot.width / 2, line) > 20;
    })) << "the joined player appears on the host's waiting screen";

    shell("xdotool key --window " + host + " Return");
    const bool bothPlaying =
        waitUntil([&] { return looksLikeARunningGame(Screenshot(host)) && looksLikeARunningGame(Screenshot(joined)); });
    shell("import -window " + host + " " + artefacts + "/host.png");
    shell("import -window " + joined + " " + artefacts + "/joined.png");
    ASSERT_TRUE(bothPlaying) << "screenshots in " << artefacts;

    EXPECT_TRUE(quitFromTheKeyboard(joinProgram, joined));
    EXPECT_TRUE(quitFromTheKeyboard(hostProgram, host));
    EXPECT_NE(shell(std::string("cat ") + settings + "/quillstep/settings.toml").find("last_address = '127.0.0.1'"),
              std::string::npos)
        << "the joined address is remembered";
    shell(std::string("rm -rf ") + settings);
}

// Reads the program's lines until one holds the text.
bool says(PlayerProcess& program, const std::string& text, const std::chrono::seconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < deadline) {
        if (program.answer(std::chrono::seconds(1)).find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// A match of bots recorded by a dedicated host plays in the window, with the
// map drawn, and at its end the program says the demo was the same game.
TEST(WindowProgram, ARecordedMatchPlaysInTheWindowToItsVerdict) {
    const std::string folder = ::testing::TempDir() + "quillstep_window_demos_" + std::to_string(getpid());
    const std::string port   = std::to_string(testPort());
    {
        PlayerProcess host("recording", "",
                           {QUILLSTEP_PROGRAM, "--dedicated", "--bots", "3", "--port", port, "--demo-folder", folder});
        ASSERT_TRUE(says(host, "The game has started", std::chrono::seconds(20)));
        std::this_thread::sleep_for(std::chrono::seconds(3));
        kill(host.processId(), SIGTERM);
        ASSERT_TRUE(host.quit());
    }
    const std::string demo = shell("ls " + folder + "/*.qsdemo 2>/dev/null | head -n 1");
    ASSERT_FALSE(demo.empty()) << "the host saved its match";
    PlayerProcess     player("playback", "", {QUILLSTEP_PROGRAM, "--play", demo.substr(0, demo.size() - 1)});
    const std::string window = windowOf(player);
    ASSERT_FALSE(window.empty());
    EXPECT_TRUE(says(player, "verified: the same game", std::chrono::seconds(30)));
    const Screenshot shot(window);
    shell("import -window " + window + " " + QUILLSTEP_ARTEFACTS + "/playback.png");
    EXPECT_GT(shot.count({51, 51, 51}, MENU_BAR, shot.height), 1000) << "the floor";
    EXPECT_GT(shot.count({255, 255, 255}, MENU_BAR, shot.height), 1000) << "the walls";
    EXPECT_TRUE(quitFromTheKeyboard(player, window));
    shell("rm -rf " + folder);
}

}  // namespace
