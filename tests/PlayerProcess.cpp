#include "PlayerProcess.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

PlayerProcess::PlayerProcess(std::string playerName, const std::string& host)
    : PlayerProcess(std::move(playerName), host, {QUILLSTEP_HEADLESS}) {}

PlayerProcess::PlayerProcess(std::string playerName, const std::string& host, const std::vector<std::string>& program)
    : name(std::move(playerName)) {
    errorFile = ::testing::TempDir() + "quillstep_" + name + "_" + std::to_string(getpid()) + ".err";
    int toPlayer[2];
    int fromPlayer[2];
    if (pipe(toPlayer) != 0 || pipe(fromPlayer) != 0) {
        ADD_FAILURE() << "no pipes for " << name;
        return;
    }
    pid = fork();
    if (pid == 0) {
        dup2(toPlayer[0], STDIN_FILENO);
        dup2(fromPlayer[1], STDOUT_FILENO);
        const int errors = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(errors, STDERR_FILENO);
        close(toPlayer[1]);
        close(fromPlayer[0]);
        std::vector<std::string> words;
        if (!host.empty()) {
            words = {"ip", "netns", "exec", host};
        }
        words.insert(words.end(), program.begin(), program.end());
        std::vector<char*> arguments;
        for (std::string& word : words) {
            arguments.push_back(word.data());
        }
        arguments.push_back(nullptr);
        execvp(arguments[0], arguments.data());
        _exit(127);
    }
    close(toPlayer[0]);
    close(fromPlayer[1]);
    input  = toPlayer[1];
    output = fromPlayer[0];
}

PlayerProcess::~PlayerProcess() {
    if (pid > 0) {
        quit();
    }
    std::remove(errorFile.c_str());
}

std::string PlayerProcess::readLine(const std::chrono::seconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        const std::size_t end = pending.find('\n');
        if (end != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            return line;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return "";
        }
        pollfd ready{output, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char          buffer[65536];
        const ssize_t got = read(output, buffer, sizeof buffer);
        if (got <= 0) {
            return "";
        }
        pending.append(buffer, static_cast<std::size_t>(got));
    }
}

bool PlayerProcess::send(const std::string& line) {
    const std::string text = line + "\n";
    return input >= 0 && write(input, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

std::string PlayerProcess::command(const std::string& line, const std::chrono::seconds bound) {
    return send(line) ? readLine(bound) : "";
}

nlohmann::json PlayerProcess::world() {
    return nlohmann::json::parse(command("world"), nullptr, false);
}

std::string PlayerProcess::messages() const {
    std::ifstream file(errorFile);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

bool PlayerProcess::quit() {
    if (pid <= 0) {
        return false;
    }
    command("quit", std::chrono::seconds(10));
    close(input);
    input               = -1;
    int        status   = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    pid_t      ended    = 0;
    while ((ended = waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (ended == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    close(output);
    output = -1;
    pid    = -1;
    return ended > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

Ran run(const std::string& command) {
    Ran        ran;
    const auto start = std::chrono::steady_clock::now();
    if (FILE* const pipe = popen((command + " 2>&1").c_str(), "r")) {
        char        buffer[4096];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            ran.output.append(buffer, got);
        }
        const int status = pclose(pipe);
        ran.status       = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ran.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return ran;
}

namespace {

std::string testRun() {
    char name[16];
    std::snprintf(name, sizeof name, "qs%x", static_cast<unsigned>(getpid()));
    return name;
}

}  // namespace

bool testHostsUp() {
    return run(QUILLSTEP_SOURCE_DIR "/tests/netns.sh up " + testRun()).output == "netns\n";
}

void testHostsDown() {
    run(QUILLSTEP_SOURCE_DIR "/tests/netns.sh down " + testRun());
}

std::string testHost(const std::string& role) {
    return testRun() + "-" + role;
}

std::vector<nlohmann::json> objectsOf(const nlohmann::json& world, const std::string& className) {
    std::vector<nlohmann::json> found;
    if (world.is_object() && world.contains("objects")) {
        for (const auto& object : world["objects"]) {
            if (object["class"] == className) {
                found.push_back(object);
            }
        }
    }
    return found;
}

nlohmann::json objectWithId(const nlohmann::json& world, const int id) {
    if (world.is_object() && world.contains("objects")) {
        for (const auto& object : world["objects"]) {
            if (object["id"] == id) {
                return object;
            }
        }
    }
    return nullptr;
}
