#include "game/DedicatedHost.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "game/Game.h"
#include "game/ServerConsole.h"
#include "net/NetTypes.h"
#include "platform/FrameState.h"
#include "platform/Platform.h"
#include "rules/Chat.h"
#include "rules/LineFeed.h"
#include "rules/Match.h"
#include "rules/PlayerName.h"
#include "world/DataFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto FRAME = std::chrono::milliseconds(20);

void logLine(std::FILE* const log, const std::string& text) {
    const std::time_t now = std::time(nullptr);
    std::tm           local{};
    localtime_r(&now, &local);
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
    std::fprintf(log, "%s %s\n", stamp, text.c_str());
    std::fflush(log);
}

// Compares the player list with the one of the frame before and logs the difference.
class RosterLog {
public:
    explicit RosterLog(std::FILE* const log) : log(log) {}

    void update(const IServer& server) {
        std::map<std::uint32_t, std::string> now;
        std::map<std::uint32_t, std::string> from;
        for (const ClientRecord& player : server.clientList()) {
            now[player.id]  = cleanPlayerName(player.name);
            from[player.id] = player.address;
        }
        for (const auto& [id, name] : now) {
            if (known.count(id) == 0) {
                logLine(log, name + " joined from " + from[id] + " (" + std::to_string(now.size()) + " playing)");
            }
        }
        for (const auto& [id, name] : known) {
            if (now.count(id) == 0) {
                logLine(log, name + " left (" + std::to_string(now.size()) + " playing)");
            }
        }
        known = std::move(now);
    }

private:
    std::FILE*                           log;
    std::map<std::uint32_t, std::string> known;
};

// Logs each match's end (the winner and the scores) and the next one's start.
class MatchLog {
public:
    explicit MatchLog(std::FILE* const log) : log(log) {}

    void update(const MatchState& match) {
        if (match.isOver() && !wasOver) {
            std::string scores;
            for (const BoardLine& line : match.board) {
                scores += (scores.empty() ? "" : ", ") + line.name + " " + std::to_string(line.score);
            }
            logLine(log, "The match is over: " + match.winner + " wins (" + scores + "); next map " + match.nextMap);
        } else if (match.number > 1 && match.number != number) {
            logLine(log, "Match " + std::to_string(match.number) + " begins on " + match.map);
        }
        wasOver = match.isOver();
        number  = match.number;
    }

private:
    std::FILE*   log;
    bool         wasOver = false;
    std::int32_t number  = 0;
};

// Lines typed on standard input, read on a thread of their own so the game
// never waits for them. Closed or not a terminal, the input simply ends.
class ConsoleInput {
public:
    ConsoleInput() : reader([this] { read(); }) {}
    ~ConsoleInput() {
        stopping = true;
        reader.join();
    }
    ConsoleInput(const ConsoleInput&)            = delete;
    ConsoleInput& operator=(const ConsoleInput&) = delete;

    std::optional<std::string> take() {
        const std::lock_guard<std::mutex> guard(lock);
        if (lines.empty()) {
            return std::nullopt;
        }
        std::string line = std::move(lines.front());
        lines.pop_front();
        return line;
    }

private:
    static constexpr std::size_t MAX_LINE = 4096;

    void read() {
        std::string pending;
        while (!stopping) {
            pollfd input{STDIN_FILENO, POLLIN, 0};
            if (::poll(&input, 1, 100) <= 0) {
                continue;
            }
            char       bytes[512];
            const auto got = ::read(STDIN_FILENO, bytes, sizeof bytes);
            if (got <= 0) {
                return;  // closed: the host runs on without a console
            }
            pending.append(bytes, static_cast<std::size_t>(got));
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                const std::lock_guard<std::mutex> guard(lock);
                lines.push_back(pending.substr(0, std::min(end, MAX_LINE)));
                pending.erase(0, end + 1);
            }
            if (pending.size() > MAX_LINE) {
                pending.clear();  // a line longer than any command: dropped
            }
        }
    }

    std::atomic<bool>       stopping{false};
    std::mutex              lock;
    std::deque<std::string> lines;
    std::thread             reader;
};

int hostUntilStopped(std::FILE* const log, const std::atomic<bool>& stop) {
    CGame& game = CGame::instance();
    game.handleCommand(cmd_host_dedicated);
    game.finishHosting();
    if (game.state != state_hosting || !game.server) {
        return 1;  // why has been said
    }
    logLine(log, std::string("Hosting on UDP port ") + std::to_string(game.gamePort) +
                     (game.password.empty() ? "" : ", private") +
                     (game.bots > 0 ? ", with " + std::to_string(game.bots) + " bots" : std::string()) + ", map " +
                     game.mapName());
    killFeed().setListener([log](const std::string& line) { logLine(log, line); });
    chatRelay().setListener([log](const std::string& line) { logLine(log, line); });
    game.adminDesk.log = [log](const std::string& line) { logLine(log, line); };
    RosterLog    roster(log);
    MatchLog     matches(log);
    ConsoleInput console;
    bool         quit      = false;
    bool         started   = false;
    const auto   loopStart = Clock::now();
    auto         lastFrame = loopStart;
    auto         nextFrame = lastFrame;
    while (!stop && !quit && game.server) {
        const auto now = Clock::now();
        // Like the window's loop: the frame time is held, the time since the start is not.
        setFrameTime(std::chrono::duration<float>(now - lastFrame).count());
        elapsedTime = std::chrono::duration<float>(now - loopStart).count();
        lastFrame   = now;
        game.update();
        if (!game.server) {
            break;
        }
        while (const std::optional<std::string> line = console.take()) {
            const std::string answer = runConsoleLine(game, *line, quit);
            if (!answer.empty()) {
                logLine(log, answer);
            }
        }
        if (!game.server) {
            break;
        }
        roster.update(*game.server);
        matches.update(currentMatch());
        for (const std::string& note : game.server->takeNotes()) {
            logLine(log, note);
        }
        if (!started && game.state == state_running) {
            started = true;
            logLine(log, "The game has started");
        }
        nextFrame += FRAME;
        if (nextFrame < Clock::now()) {
            nextFrame = Clock::now();  // running late: do not try to catch up
        }
        std::this_thread::sleep_until(nextFrame);
    }
    killFeed().setListener(nullptr);
    chatRelay().setListener(nullptr);
    game.handleCommand(cmd_exit_game);
    logLine(log, "The host has closed");
    return 0;
}

}  // namespace

namespace {

std::atomic<bool> stopRequested{false};

void requestStop(int /*signal*/) {
    stopRequested = true;
}

}  // namespace

int runDedicatedHostUntilSignalled(std::FILE* const log) {
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    return runDedicatedHost(log, stopRequested);
}

int runDedicatedHost(std::FILE* const log, const std::atomic<bool>& stop) {
    // With no one to click a box, a box's text is one line on standard error.
    ConsolePlatform console("quillstep");
    setPlatform(&console);
    const int code = hostUntilStopped(log, stop);
    setPlatform(nullptr);
    return code;
}
