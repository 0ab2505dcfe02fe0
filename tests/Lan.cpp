#include "Lan.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

using nlohmann::json;

namespace {

const char* const KEYS[] = {"left", "right", "up", "down", "space"};

}  // namespace

void Lan::SetUp() {
    // Maps the players are sent are kept here, never in the home folder.
    ::setenv("XDG_DATA_HOME", (::testing::TempDir() + "quillstep_data_" + std::to_string(::getpid())).c_str(), 1);
    namespaces = wantsTestHosts() && testHostsUp();
    if (wantsTestHosts() && !namespaces) {
        std::printf("Network namespaces cannot be made on this machine: the players share its loopback.\n");
    }
}

void Lan::TearDown() {
    machines.clear();
    relay.reset();
    if (namespaces) {
        testHostsDown();
    }
}

std::string Lan::hostOf(const std::size_t machine) const {
    if (!namespaces) {
        return "";
    }
    return testHost(machine == 0 ? "host" : machine % 2 == 1 ? "p1" : "p2");
}

void Lan::relayWith(const double loss, const int delayMs, const int jitterMs) {
    const std::string port = std::to_string(testPort());
    relay                  = std::make_unique<PlayerProcess>(
        "relay", testHost("relay"),
        std::vector<std::string>{QUILLSTEP_RELAY, port, "10.77.0.1", port, std::to_string(loss),
                                                  std::to_string(delayMs), std::to_string(jitterMs), "20261207"});
    ASSERT_EQ(relay->answer(std::chrono::seconds(10)), "ready");
}

void Lan::all(const std::string& command) {
    for (auto& machine : machines) {
        machine->send(command);
    }
    for (auto& machine : machines) {
        EXPECT_EQ(machine->answer(), "ok") << machine->name << ": " << command;
    }
}

std::vector<json> Lan::worlds() {
    for (auto& machine : machines) {
        machine->send("world");
    }
    std::vector<json> seen;
    for (auto& machine : machines) {
        seen.push_back(json::parse(machine->answer(), nullptr, false));
    }
    return seen;
}

bool Lan::framesUntil(const std::function<bool()>& condition, const std::chrono::milliseconds bound) {
    return waitUntil(
        [&] {
            all("frames 1");
            seen = worlds();
            return condition();
        },
        bound);
}

PlayerProcess& Lan::addMachine(const std::string& name) {
    machines.push_back(std::make_unique<PlayerProcess>(name, hostOf(machines.size())));
    EXPECT_EQ(machines.back()->command("port " + std::to_string(testPort())), "ok");
    return *machines.back();
}

void Lan::hostGame(const std::vector<std::string>& first) {
    PlayerProcess& host = addMachine("host");
    for (const std::string& command : first) {
        ASSERT_EQ(host.command(command), "ok");
    }
    ASSERT_EQ(host.command("host"), "ok");
    ASSERT_TRUE(framesUntil([&] { return seen[0]["clients"] == 1; }));
}

void Lan::joinPlayers(const std::size_t players, const std::string& joinAddress, const std::size_t clients) {
    for (std::size_t i = 1; i <= players; ++i) {
        ASSERT_EQ(addMachine("player" + std::to_string(i)).command("join " + joinAddress), "ok");
    }
    ASSERT_TRUE(framesUntil([&] {
        return seen[0]["clients"] == clients &&
               std::all_of(seen.begin() + 1, seen.end(), [](const json& one) { return one["state"] == "connected"; });
    }));
}

void Lan::pressEnter() {
    ASSERT_EQ(machines[0]->command("press enter"), "ok");
    ASSERT_EQ(machines[0]->command("release enter"), "ok");
    ASSERT_TRUE(framesUntil([&] {
        return std::all_of(seen.begin(), seen.end(), [](const json& one) { return !one["localAvatar"].is_null(); });
    }));
}

void Lan::startGame(const std::size_t players, const std::string& joinAddress) {
    hostGame();
    joinPlayers(players, joinAddress, players + 1);
    pressEnter();
}

void Lan::playAtRandom(const int slices, const double sliceSeconds, const unsigned seed,
                       const std::chrono::milliseconds realTime) {
    std::mt19937 random(seed);
    for (int slice = 0; slice < slices; ++slice) {
        const auto sliceEnd = std::chrono::steady_clock::now() + realTime;
        for (auto& machine : machines) {
            for (const char* const key : KEYS) {
                const bool down = random() % (key == std::string("space") ? 2 : 4) == 0;
                machine->command(std::string(down ? "press " : "release ") + key);
            }
        }
        all("seconds " + std::to_string(sliceSeconds));
        std::this_thread::sleep_until(sliceEnd);
    }
}

void Lan::releaseEverything() {
    for (auto& machine : machines) {
        for (const char* const key : KEYS) {
            machine->command(std::string("release ") + key);
        }
    }
}

bool Lan::digestsAgreeWithin(const double seconds, std::vector<json>& agreed) {
    for (double waited = 0.0; waited <= seconds; waited += 0.1) {
        agreed = worlds();
        if (std::all_of(agreed.begin(), agreed.end(),
                        [&](const json& one) { return one["digest"] == agreed[0]["digest"]; })) {
            return true;
        }
        all("seconds 0.1");
    }
    for (std::size_t i = 1; i < agreed.size(); ++i) {
        if (agreed[i]["digest"] == agreed[0]["digest"]) {
            continue;
        }
        ADD_FAILURE() << machines[i]->name << " differs from the host (its messages: " << machines[i]->messages()
                      << "):\n"
                      << agreed[i].dump() << "\n"
                      << agreed[0].dump();
    }
    return false;
}
