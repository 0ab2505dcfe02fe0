#pragma once

#include <nlohmann/json.hpp>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "NetSupport.h"

// One headless player in a process of its own, on a test host of its own
// when the machine has them: the test writes commands and reads the answers.
class PlayerProcess {
public:
    // `host` is a network namespace, or "" for this machine's own network.
    PlayerProcess(std::string name, const std::string& host);
    // Any program that answers commands a line each, with its arguments.
    PlayerProcess(std::string name, const std::string& host, const std::vector<std::string>& program);
    ~PlayerProcess();
    PlayerProcess(const PlayerProcess&)            = delete;
    PlayerProcess& operator=(const PlayerProcess&) = delete;

    // Sends one command and returns its one-line answer ("" if none came in time).
    std::string command(const std::string& line, std::chrono::seconds bound = std::chrono::seconds(60));
    // A command and its answer apart, so several machines can run at once.
    bool           send(const std::string& line);
    std::string    answer(std::chrono::seconds bound = std::chrono::seconds(60)) { return readLine(bound); }
    nlohmann::json world();

    // Everything the player wrote to standard error so far: its message boxes.
    std::string messages() const;
    // Ends the player and tells whether it exited with status 0.
    bool quit();

    pid_t processId() const { return pid; }

    const std::string name;

private:
    std::string readLine(std::chrono::seconds bound);

    pid_t       pid    = -1;
    int         input  = -1;
    int         output = -1;
    std::string pending;
    std::string errorFile;
};

// A shell command run to its end: what it printed (standard output and
// error, bytes as they came), its exit status, and how long it took.
struct Ran {
    std::string output;
    int         status  = -1;
    double      seconds = 0.0;
};
Ran run(const std::string& command);

// Tests never meet a real game. Test hosts are network namespaces named
// after this test process's run, so no two runs share one; where none can be
// made the tests use this machine's loopback, on a port of this run's own.
// Brings the test hosts up: true when there are namespaces, false when the
// machine's own loopback has to do.
bool testHostsUp();
void testHostsDown();
// The test host with the role ("host", "p1", "p2" or "relay").
std::string testHost(const std::string& role);

// The objects of one class in a printed world.
std::vector<nlohmann::json> objectsOf(const nlohmann::json& world, const std::string& className);

// The object with the id in a printed world, or null.
nlohmann::json objectWithId(const nlohmann::json& world, int id);
