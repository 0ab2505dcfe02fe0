// The real window program, driven as a person would with xdotool: one copy
// hosts from the Game menu, a second joins through "Connect to Server", the
// host presses ENTER, and screenshots of both windows must show a game.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "PlayerProcess.h"

namespace {

using Clock = std::chrono::steady_clock;
using Rgb   = std::array<int, 3>;

std::string shell(const std::string& command) {
    return run(command).output;
}

bool waitFor(const std::function<bool()>& condition, const std::chrono::seconds bound = std::chrono::seconds(30)) {
    const auto deadline = Clock::now() + bound;
    while (!condition()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// A screenshot of one window, row 0 at the top.
struct Screenshot {
    int                        width  = 0;
    int                        height = 0;
    std::vector<unsigned char> rgb;

    Rgb at(const int x, const int y) const {
        const std::size_t i = static_cast<std::size_t>((y * width + x) * 3);
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }

    int count(const Rgb colour, const int top, const int bottom) const {
        int found = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = 0; x < width; ++x) {
                found += at(x, y) == colour ? 1 : 0;
            }
        }
        return found;
    }
};

Screenshot capture(const std::string& window) {
    Screenshot        shot;
    const std::string ppm      = shell("import -window " + window + " -depth 8 ppm:- 2>/dev/null");
    int               maxValue = 0;
    int               consumed = 0;
    if (std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &shot.width, &shot.height, &maxValue, &consumed) == 3) {
        const std::size_t start = static_cast<std::size_t>(consumed) + 1;
        shot.rgb.assign(ppm.begin() + static_cast<std::ptrdiff_t>(start), ppm.end());
    }
    if (shot.rgb.size() < static_cast<std::size_t>(shot.width * shot.height * 3)) {
        shot.width = shot.height = 0;
    }
    return shot;
}

class WindowProgram {
public:
    WindowProgram() {
        pid = fork();
        if (pid == 0) {
            execl(QUILLSTEP_PROGRAM, QUILLSTEP_PROGRAM, static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~WindowProgram() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    // Waits for the program to end by itself; its exit status, or -1.
    int waitForExit() {
        int        status = 0;
        const bool ended  = waitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; });
        if (!ended) {
            return -1;
        }
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    pid_t pid = -1;
};

std::vector<std::string> gameWindows() {
    std::vector<std::string> windows;
    std::string              line;
    for (const char c : shell("xdotool search --name '^Quillstep$' 2>/dev/null")) {
        if (c == '\n') {
            windows.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    return windows;
}

// Waits for a window that is not among the known ones.
std::string newWindow(const std::vector<std::string>& known) {
    std::string found;
    waitFor([&] {
        for (const std::string& window : gameWindows()) {
            if (std::find(known.begin(), known.end(), window) == known.end()) {
                found = window;
                return true;
            }
        }
        return false;
    });
    return found;
}

void click(const std::string& window, const int x, const int y) {
    // As a click would give it on a desktop, the window gets the input focus first.
    shell("xdotool windowfocus --sync " + window);
    shell("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    shell("xdotool click 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

// Whether a screenshot of the window shows dark text in a box of it.
bool showsTextIn(const std::string& window, const int left, const int top, const int right, const int bottom) {
    const Screenshot shot = capture(window);
    if (shot.width < right || shot.height < bottom) {
        return false;
    }
    int dark = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const Rgb c = shot.at(x, y);
            dark += c[0] < 80 && c[1] < 80 && c[2] < 80 ? 1 : 0;
        }
    }
    return dark > 30;
}

// Where the Game menu and its items are, in window pixels.
constexpr int MENU_X = 20, MENU_Y = 10;
constexpr int HOST_ITEM_Y = 55, JOIN_ITEM_Y = 74;

// Rows of the drawing area (below the menu bar) in a screenshot of the window.
bool looksLikeARunningGame(const Screenshot& shot, const int menuBar) {
    const int area   = shot.height - menuBar;
    const int bottom = shot.height - area / 10;
    return shot.count({255, 255, 255}, bottom, shot.height) > 40              // the head-up display
           && shot.count({9, 225, 9}, menuBar, shot.height) > 20              // this player's avatar
           && shot.count({51, 51, 51}, menuBar + area / 10, bottom) > 1000    // floor
           && shot.count({255, 255, 255}, menuBar + area / 10, bottom) > 50;  // walls
}

TEST(WindowProgram, OneHostsFromTheMenuAnotherJoinsByAddressAndBothPlay) {
    const std::string artefacts = QUILLSTEP_ARTEFACTS;
    shell("mkdir -p " + artefacts);
    // The programs remember the address they joined: not in the tester's own settings.
    char settings[] = "/tmp/quillstep-settings-XXXXXX";
    ASSERT_NE(mkdtemp(settings), nullptr);
    setenv("XDG_CONFIG_HOME", settings, 1);

    WindowProgram     hostProgram;
    const std::string host = newWindow({});
    ASSERT_FALSE(host.empty());
    click(host, MENU_X, MENU_Y);
    ASSERT_TRUE(waitFor([&] { return showsTextIn(host, 10, HOST_ITEM_Y - 10, 150, HOST_ITEM_Y + 10); }))
        << "the menu is open";
    click(host, MENU_X + 40, HOST_ITEM_Y);
    ASSERT_TRUE(waitFor([] { return shell("ss -Hlun 'sport = :9998'").find("9998") != std::string::npos; }))
        << "the host's server is up";
    // Out of the way of the second window, which opens where this one did.
    // From here on the host is only sent keys.
    shell("xdotool windowmove " + host + " 0 0");

    WindowProgram     joinProgram;
    const std::string joined = newWindow({host});
    ASSERT_FALSE(joined.empty());
    click(joined, MENU_X, MENU_Y);
    ASSERT_TRUE(waitFor([&] { return showsTextIn(joined, 10, JOIN_ITEM_Y - 10, 150, JOIN_ITEM_Y + 10); }))
        << "the menu is open";
    click(joined, MENU_X + 40, JOIN_ITEM_Y);
    // The dialog's caption and labels are up before anything is typed.
    ASSERT_TRUE(waitFor([&] { return showsTextIn(joined, 70, 110, 170, 130); })) << "the dialog is open";
    shell("xdotool type --window " + joined + " --delay 60 127.0.0.1");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    shell("xdotool key --window " + joined + " Return");

    // The host's waiting screen lists a second player (a line of text below the first).
    const int menuBar = 21;
    ASSERT_TRUE(waitFor([&] {
        const Screenshot shot = capture(host);
        if (shot.width == 0) {
            return false;
        }
        const int area = shot.height - menuBar;
        const int line = menuBar + static_cast<int>(area * (1.0 - (-0.4 + 1.0) / 2.0));  // y = -0.4
        int       dark = 0;
        for (int y = line - 12; y < line; ++y) {
            for (int x = 0; x < shot.width / 2; ++x) {
                const Rgb c = shot.at(x, y);
                dark += c[0] < 60 && c[1] < 60 && c[2] < 60 ? 1 : 0;
            }
        }
        return dark > 20;
    })) << "the joined player appears on the host's waiting screen";

    shell("xdotool key --window " + host + " Return");
    Screenshot hostView;
    Screenshot joinedView;
    const bool bothPlaying = waitFor([&] {
        hostView   = capture(host);
        joinedView = capture(joined);
        return hostView.width > 0 && joinedView.width > 0 && looksLikeARunningGame(hostView, menuBar) &&
               looksLikeARunningGame(joinedView, menuBar);
    });
    shell("import -window " + host + " " + artefacts + "/host.png");
    shell("import -window " + joined + " " + artefacts + "/joined.png");
    ASSERT_TRUE(bothPlaying) << "screenshots in " << artefacts;

    // Game > Quit from the keyboard ends each game and then the program, cleanly.
    shell("xdotool key --window " + joined + " alt+g");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    shell("xdotool key --window " + joined + " q");
    EXPECT_EQ(joinProgram.waitForExit(), 0);
    shell("xdotool key --window " + host + " alt+g");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    shell("xdotool key --window " + host + " q");
    EXPECT_EQ(hostProgram.waitForExit(), 0);
    EXPECT_NE(shell(std::string("cat ") + settings + "/quillstep/settings.toml").find("last_address = '127.0.0.1'"),
              std::string::npos)
        << "the joined address is remembered";
    shell(std::string("rm -rf ") + settings);
}

}  // namespace
