// Whole games over networks that misbehave: a lossy, slow, reordering link
// (the project's own relay between test hosts), a dozen machines at once,
// machines that vanish. Every machine is a headless player in a process of
// its own; they are compared by the digests of their worlds.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <random>

#include "PlayerProcess.h"

namespace {

using nlohmann::json;

std::string runScript(const std::string& command) {
    std::string output;
    if (FILE* const pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            output += buffer;
        }
        pclose(pipe);
    }
    output.erase(std::remove(output.begin(), output.end(), '\n'), output.end());
    return output;
}

const char* const KEYS[] = {"left", "right", "up", "down", "space"};

class Lan : public ::testing::Test {
protected:
    void SetUp() override {
        namespaces = runScript(QUILLSTEP_SOURCE_DIR "/tests/netns.sh up") == "netns";
        if (!namespaces) {
            std::printf("Network namespaces cannot be made on this machine: the players share its loopback.\n");
        }
    }

    void TearDown() override {
        machines.clear();
        relay.reset();
        runScript(QUILLSTEP_SOURCE_DIR "/tests/netns.sh down");
    }

    std::string hostAddress() const { return namespaces ? "10.77.0.1" : "127.0.0.1"; }
    std::string hostOf(const std::size_t machine) const {
        if (!namespaces) {
            return "";
        }
        return machine == 0 ? "qs-host" : machine % 2 == 1 ? "qs-p1" : "qs-p2";
    }

    // Puts a relay between the players and the host: players join 10.77.0.4.
    void relayWith(const double loss, const int delayMs, const int jitterMs) {
        relay = std::make_unique<PlayerProcess>(
            "relay", "qs-relay",
            std::vector<std::string>{QUILLSTEP_RELAY, "9998", "10.77.0.1", "9998", std::to_string(loss),
                                     std::to_string(delayMs), std::to_string(jitterMs), "20261207"});
        ASSERT_EQ(relay->answer(std::chrono::seconds(10)), "ready");
    }

    // Every machine carries out the command at once, in real time.
    void all(const std::string& command) {
        for (auto& machine : machines) {
            machine->send(command);
        }
        for (auto& machine : machines) {
            EXPECT_EQ(machine->answer(), "ok") << machine->name << ": " << command;
        }
    }

    std::vector<json> worlds() {
        for (auto& machine : machines) {
            machine->send("world");
        }
        std::vector<json> seen;
        for (auto& machine : machines) {
            seen.push_back(json::parse(machine->answer(), nullptr, false));
        }
        return seen;
    }

    // Every machine takes frames until the worlds satisfy the condition.
    bool framesUntil(const std::function<bool(const std::vector<json>&)>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            all("frames 1");
            if (condition(worlds())) {
                return true;
            }
        }
        return false;
    }

    // The host and `players` joined players start a game with ENTER.
    void startGame(const std::size_t players, const std::string& joinAddress) {
        machines.push_back(std::make_unique<PlayerProcess>("host", hostOf(0)));
        ASSERT_EQ(machines[0]->command("host"), "ok");
        ASSERT_TRUE(framesUntil([](const std::vector<json>& w) { return w[0]["clients"] == 1; }));
        for (std::size_t i = 1; i <= players; ++i) {
            machines.push_back(std::make_unique<PlayerProcess>("player" + std::to_string(i), hostOf(i)));
            ASSERT_EQ(machines.back()->command("join " + joinAddress), "ok");
        }
        ASSERT_TRUE(framesUntil([&](const std::vector<json>& w) { return w[0]["clients"] == players + 1; }));
        ASSERT_TRUE(framesUntil([](const std::vector<json>& w) {
            return std::all_of(w.begin() + 1, w.end(), [](const json& one) { return one["state"] == "connected"; });
        }));
        ASSERT_EQ(machines[0]->command("press enter"), "ok");
        ASSERT_EQ(machines[0]->command("release enter"), "ok");
        ASSERT_TRUE(framesUntil([](const std::vector<json>& w) {
            return std::all_of(w.begin(), w.end(), [](const json& one) { return !one["localAvatar"].is_null(); });
        }));
    }

    // Everyone presses and releases keys at random, firing often, for the time given.
    void playAtRandom(const int slices, const double sliceSeconds, const unsigned seed) {
        std::mt19937 random(seed);
        for (int slice = 0; slice < slices; ++slice) {
            for (auto& machine : machines) {
                for (const char* const key : KEYS) {
                    const bool down = random() % (key == std::string("space") ? 2 : 4) == 0;
                    machine->command(std::string(down ? "press " : "release ") + key);
                }
            }
            all("seconds " + std::to_string(sliceSeconds));
        }
    }

    void releaseEverything() {
        for (auto& machine : machines) {
            for (const char* const key : KEYS) {
                machine->command(std::string("release ") + key);
            }
        }
    }

    // Within the bound, a moment at which every machine's digest is the host's.
    bool digestsAgreeWithin(const double seconds, std::vector<json>& agreed) {
        for (double waited = 0.0; waited <= seconds; waited += 0.1) {
            agreed = worlds();
            if (std::all_of(agreed.begin(), agreed.end(),
                            [&](const json& one) { return one["digest"] == agreed[0]["digest"]; })) {
                return true;
            }
            all("seconds 0.1");
        }
        for (std::size_t i = 1; i < agreed.size(); ++i) {
            ADD_FAILURE() << machines[i]->name << " differs from the host:\n"
                          << agreed[i].dump() << "\n"
                          << agreed[0].dump();
        }
        return false;
    }

    bool                                        namespaces = false;
    std::unique_ptr<PlayerProcess>              relay;
    std::vector<std::unique_ptr<PlayerProcess>> machines;
};

TEST_F(Lan, OverALossySlowReorderingLinkEveryMachineHoldsTheHostsWorldTwoSecondsAfterTheLastInput) {
    if (!namespaces) {
        GTEST_SKIP() << "the relay needs test hosts of its own";
    }
    relayWith(0.2, 100, 20);
    startGame(2, "10.77.0.4");
    all("pace on");
    playAtRandom(24, 0.25, 7);
    releaseEverything();
    all("seconds 2");
    std::vector<json> agreed;
    EXPECT_TRUE(digestsAgreeWithin(1.0, agreed));

    // A player who leaves is taken out everywhere, even over this link.
    const int leaving = agreed[2]["localAvatar"];
    ASSERT_EQ(machines[2]->command("exit"), "ok");
    machines.pop_back();
    all("seconds 2");
    EXPECT_TRUE(objectWithId(machines[0]->world(), leaving).is_null());
    EXPECT_TRUE(objectWithId(machines[1]->world(), leaving).is_null());
}

TEST_F(Lan, TwelveMachinesMovingAndFiringHoldOneWorldWhileTheDeadWait) {
    startGame(11, hostAddress());
    all("pace on");
    playAtRandom(6, 0.25, 12);
    releaseEverything();

    // A column of avatars: shooters firing down, each at a target that
    // walks up and down below it, so the targets die on the move.
    for (std::size_t i = 0; i < machines.size(); ++i) {
        EXPECT_EQ(machines[i]->command("place 1 " + std::to_string(2 + 3 * i)), "ok");
        if (i % 2 == 0) {
            EXPECT_EQ(machines[i]->command("press space"), "ok");
        }
    }
    for (int slice = 0; slice < 30; ++slice) {
        for (std::size_t i = 1; i < machines.size(); i += 2) {
            machines[i]->command(slice % 2 == 0 ? "press down" : "release down");
            machines[i]->command(slice % 2 == 0 ? "release up" : "press up");
        }
        all("seconds 0.1");
    }
    releaseEverything();
    all("seconds 0.5");

    std::vector<json> agreed;
    ASSERT_TRUE(digestsAgreeWithin(1.0, agreed));
    const auto avatars = objectsOf(agreed[0], "Avatar");
    EXPECT_GE(std::count_if(avatars.begin(), avatars.end(), [](const json& a) { return a["hp"] == 0; }), 3)
        << "the dead must still be dead when the worlds are compared";
}

TEST_F(Lan, AVanishedPlayerOrHostIsNoticedWithinFiveSeconds) {
    startGame(2, hostAddress());
    all("pace on");
    const int vanishing = worlds()[2]["localAvatar"];

    // A player frozen in place sends nothing more, not even its goodbye.
    ::kill(machines[2]->processId(), SIGSTOP);
    std::unique_ptr<PlayerProcess> frozen = std::move(machines[2]);
    machines.pop_back();
    all("seconds 5");
    auto seen = worlds();
    EXPECT_EQ(seen[0]["clients"], 2);
    EXPECT_TRUE(objectWithId(seen[0], vanishing).is_null());
    EXPECT_TRUE(objectWithId(seen[1], vanishing).is_null());
    ::kill(frozen->processId(), SIGCONT);

    ::kill(machines[0]->processId(), SIGSTOP);
    EXPECT_EQ(machines[1]->command("seconds 5"), "ok");
    EXPECT_EQ(machines[1]->world()["state"], "start");
    ::kill(machines[0]->processId(), SIGCONT);
}

}  // namespace
