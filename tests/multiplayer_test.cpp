// Three machines play one game: the host and two joined players, each a
// headless player in a process of its own on a test host of its own, over
// the real transport. Every check reads the worlds the machines print.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <thread>

#include "PlayerProcess.h"

namespace {

using nlohmann::json;

class NetworkOfMachines : public ::testing::Test {
protected:
    void SetUp() override {
        const bool namespaces = runScript(QUILLSTEP_SOURCE_DIR "/tests/netns.sh up") == "netns";
        if (!namespaces) {
            std::printf("Network namespaces cannot be made on this machine: the players share its loopback.\n");
            RecordProperty("network", "loopback");
        }
        hostAddress = namespaces ? "10.77.0.1" : "127.0.0.1";
        hostsOf     = namespaces ? std::array<std::string, 3>{"qs-host", "qs-p1", "qs-p2"}
                                 : std::array<std::string, 3>{"", "", ""};
    }

    void TearDown() override {
        for (auto& machine : machines) {
            machine.reset();
        }
        runScript(QUILLSTEP_SOURCE_DIR "/tests/netns.sh down");
    }

    PlayerProcess& start(const std::size_t index, const std::string& name) {
        machines[index] = std::make_unique<PlayerProcess>(name, hostsOf[index]);
        EXPECT_EQ(machines[index]->command("pace off"), "ok");
        return *machines[index];
    }

    // Every running machine takes one frame and prints its world.
    void round() {
        for (std::size_t i = 0; i < machines.size(); ++i) {
            if (machines[i]) {
                worlds[i] = machines[i]->step();
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));  // time for the network to carry messages
    }

    void rounds(const int count) {
        for (int i = 0; i < count; ++i) {
            round();
        }
    }

    // Frames on every machine until the worlds satisfy the condition.
    bool roundsUntil(const std::function<bool()>& condition,
                     const std::chrono::seconds   bound = std::chrono::seconds(30)) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        round();
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            round();
        }
        return true;
    }

    bool allRunning() const {
        return std::all_of(worlds.begin(), worlds.end(), [](const json& world) {
            return world["state"] == "running" && !world["localAvatar"].is_null();
        });
    }

    // Host, then two players join and the host starts with ENTER.
    void startGame() {
        PlayerProcess& host = start(0, "host");
        ASSERT_EQ(host.command("host"), "ok");
        ASSERT_TRUE(roundsUntil([&] { return worlds[0]["state"] == "hosting" && worlds[0]["clients"] == 1; }));
        ASSERT_EQ(start(1, "player1").command("join " + hostAddress), "ok");
        ASSERT_EQ(start(2, "player2").command("join " + hostAddress), "ok");
        ASSERT_TRUE(roundsUntil([&] {
            return worlds[1]["state"] == "connected" && worlds[2]["state"] == "connected" && worlds[0]["clients"] == 3;
        }));
        ASSERT_EQ(host.command("press enter"), "ok");
        ASSERT_EQ(host.command("release enter"), "ok");
        ASSERT_TRUE(roundsUntil([&] { return allRunning(); }));
    }

    int avatarOf(const std::size_t machine) const { return worlds[machine]["localAvatar"]; }

    // The same object as every machine sees it.
    std::array<json, 3> seenEverywhere(const int id) const {
        return {objectWithId(worlds[0], id), objectWithId(worlds[1], id), objectWithId(worlds[2], id)};
    }

    bool everywhere(const int id, const std::function<bool(const json&)>& holds) const {
        const auto seen = seenEverywhere(id);
        return std::all_of(seen.begin(), seen.end(),
                           [&](const json& object) { return !object.is_null() && holds(object); });
    }

    bool sameCellEverywhere(const int id) const {
        const auto seen = seenEverywhere(id);
        return !seen[0].is_null() && everywhere(id, [&](const json& object) {
            return object["x"] == seen[0]["x"] && object["y"] == seen[0]["y"];
        });
    }

    void place(const std::size_t machine, const int x, const int y) {
        ASSERT_EQ(machines[machine]->command("place " + std::to_string(x) + " " + std::to_string(y)), "ok");
        const int id = avatarOf(machine);
        ASSERT_TRUE(
            roundsUntil([&] { return everywhere(id, [&](const json& a) { return a["x"] == x && a["y"] == y; }); }));
    }

    std::string                                   hostAddress;
    std::array<std::string, 3>                    hostsOf;
    std::array<std::unique_ptr<PlayerProcess>, 3> machines;
    std::array<json, 3>                           worlds;
};

json withoutBullets(const json& world) {
    json objects = json::array();
    for (const auto& object : world["objects"]) {
        if (object["class"] != "Bullet") {
            objects.push_back({object["class"], object["id"], object["x"], object["y"], object.value("type", -1)});
        }
    }
    return objects;
}

TEST_F(NetworkOfMachines, EnterStartsOneWorldOnEveryMachine) {
    startGame();
    EXPECT_EQ(objectsOf(worlds[0], "Powerup").size(), 10u);
    EXPECT_EQ(objectsOf(worlds[0], "Avatar").size(), 3u);
    EXPECT_EQ(withoutBullets(worlds[1]), withoutBullets(worlds[0]));
    EXPECT_EQ(withoutBullets(worlds[2]), withoutBullets(worlds[0]));
    for (std::size_t machine = 0; machine < 3; ++machine) {
        int assigned = -1;
        for (const json& avatar : objectsOf(worlds[0], "Avatar")) {
            if (avatar["playerId"] == worlds[machine]["playerId"]) {
                assigned = avatar["id"];
            }
        }
        EXPECT_EQ(avatarOf(machine), assigned) << "machine " << machine << " steers the avatar the host gave it";
    }
}

TEST_F(NetworkOfMachines, AHeldArrowMovesTheAvatarTheSameCellsEverywhere) {
    startGame();
    const int mover = avatarOf(1);
    place(0, 30, 30);
    place(2, 30, 40);
    place(1, 3, 1);  // a row with nothing in the way
    ASSERT_EQ(machines[1]->command("press right"), "ok");
    rounds(20);
    ASSERT_EQ(machines[1]->command("release right"), "ok");
    ASSERT_TRUE(roundsUntil([&] { return sameCellEverywhere(mover) && objectWithId(worlds[1], mover)["x"] > 3; }));
    const json stopped = objectWithId(worlds[1], mover);
    rounds(20);
    EXPECT_TRUE(sameCellEverywhere(mover));
    EXPECT_EQ(objectWithId(worlds[0], mover)["x"], stopped["x"]) << "it stopped where its player let go";
    EXPECT_EQ(stopped["y"], 1);
}

TEST_F(NetworkOfMachines, AShotPlayerLosesTwentyAPerHitDiesScoresTheKillerAndComesBack) {
    startGame();
    const int shooter = avatarOf(1);
    const int target  = avatarOf(2);
    place(0, 30, 30);
    place(1, 2, 1);
    place(2, 12, 1);
    // Left and right together turn the shooter right without moving it.
    machines[1]->command("press left");
    machines[1]->command("press right");
    rounds(3);
    machines[1]->command("release left");
    machines[1]->command("release right");
    ASSERT_TRUE(roundsUntil([&] { return everywhere(shooter, [](const json& a) { return a["direction"] == 6; }); }));

    double diedAt = 0.0;
    for (const int hp : {80, 60, 40, 20, 0}) {
        machines[1]->command("press space");
        rounds(5);
        machines[1]->command("release space");
        ASSERT_TRUE(roundsUntil([&] { return everywhere(target, [&](const json& a) { return a["hp"] == hp; }); }))
            << "every machine sees " << hp << " hit points";
        diedAt = worlds[0]["time"];
    }
    EXPECT_TRUE(everywhere(shooter, [](const json& a) { return a["score"] == 100; }));

    ASSERT_TRUE(roundsUntil([&] { return everywhere(target, [](const json& a) { return a["hp"] == 100; }); }));
    EXPECT_GE(static_cast<double>(worlds[0]["time"]) - diedAt, 5.0 - 0.1);
    EXPECT_TRUE(sameCellEverywhere(target));
    EXPECT_TRUE(everywhere(target, [](const json& a) { return a["ammo"] == 50; }));
}

TEST_F(NetworkOfMachines, APowerupTakenOnOneMachineIsGoneEverywhereWithTheSameEffect) {
    startGame();
    // A powerup alone in its cell, not under an avatar.
    json chosen;
    for (const json& powerup : objectsOf(worlds[0], "Powerup")) {
        int sharing = 0;
        for (const auto& object : worlds[0]["objects"]) {
            sharing += object["x"] == powerup["x"] && object["y"] == powerup["y"] ? 1 : 0;
        }
        if (sharing == 1) {
            chosen = powerup;
            break;
        }
    }
    ASSERT_FALSE(chosen.is_null());
    const int taker = avatarOf(1);
    ASSERT_EQ(
        machines[1]->command("place " + std::to_string(int(chosen["x"])) + " " + std::to_string(int(chosen["y"]))),
        "ok");
    ASSERT_TRUE(roundsUntil([&] {
        return seenEverywhere(chosen["id"]) == std::array<json, 3>{nullptr, nullptr, nullptr};
    }));
    rounds(3);
    const bool health = chosen["type"] == 1;
    EXPECT_TRUE(everywhere(
        taker, [&](const json& a) { return a["hp"] == (health ? 125 : 100) && a["ammo"] == (health ? 50 : 70); }));
}

TEST_F(NetworkOfMachines, PlayersWhoLeaveVanishAndAHostWhoLeavesEndsTheGame) {
    startGame();
    const int leaver = avatarOf(2);
    ASSERT_EQ(machines[2]->command("exit"), "ok");
    ASSERT_TRUE(roundsUntil(
        [&] { return objectWithId(worlds[0], leaver).is_null() && objectWithId(worlds[1], leaver).is_null(); }));
    EXPECT_EQ(worlds[2]["state"], "start");

    ASSERT_EQ(machines[0]->command("exit"), "ok");
    ASSERT_TRUE(roundsUntil([&] { return worlds[1]["state"] == "start"; }));
    EXPECT_NE(machines[1]->messages().find("Error: Disconnected from server."), std::string::npos);
    EXPECT_EQ(machines[2]->messages(), "") << "leaving is not an error";
}

TEST_F(NetworkOfMachines, JoiningWhereNobodyHostsTimesOutAfterTwentySeconds) {
    PlayerProcess& player = start(1, "player1");
    ASSERT_EQ(player.command("join " + hostAddress), "ok");
    ASSERT_EQ(player.command("seconds 19.9"), "ok");
    EXPECT_EQ(player.world()["state"], "connecting");
    EXPECT_EQ(player.messages(), "");
    ASSERT_EQ(player.command("seconds 0.2"), "ok");
    EXPECT_EQ(player.world()["state"], "start");
    EXPECT_EQ(player.messages(), "Error: Connection timed out.\n");
}

}  // namespace

TEST_F(NetworkOfMachines, EightBotsFightAMinuteWithoutStandingStillAndEveryWorldAgrees) {
    PlayerProcess& host = start(0, "host");
    ASSERT_EQ(host.command("bots 8"), "ok");
    ASSERT_EQ(host.command("host"), "ok");
    ASSERT_TRUE(roundsUntil([&] { return worlds[0]["state"] == "hosting" && worlds[0]["clients"] == 1; }));
    ASSERT_EQ(start(1, "player1").command("join " + hostAddress), "ok");
    ASSERT_TRUE(roundsUntil([&] { return worlds[1]["state"] == "connected" && worlds[0]["clients"] == 2; }));
    ASSERT_EQ(host.command("press enter"), "ok");
    ASSERT_EQ(host.command("release enter"), "ok");
    ASSERT_TRUE(roundsUntil([&] { return worlds[0]["state"] == "running" && worlds[1]["state"] == "running"; }));

    struct Stay {
        json   cell;
        double since;
    };
    std::map<int, Stay> stays;
    double              longestStay = 0.0;
    const double        start       = worlds[0]["time"];
    while (worlds[0]["time"].get<double>() - start < 60.0) {
        round();
        const double now  = worlds[0]["time"];
        int          bots = 0;
        for (const json& avatar : objectsOf(worlds[0], "Avatar")) {
            if (avatar["name"].get<std::string>().rfind("Bot ", 0) != 0) {
                continue;
            }
            ++bots;
            const json cell  = {avatar["x"], avatar["y"]};
            const auto found = stays.find(avatar["id"]);
            if (found == stays.end() || avatar["hp"] <= 0 || found->second.cell != cell) {
                stays[avatar["id"]] = {cell, avatar["hp"] <= 0 ? -1.0 : now};
            } else if (found->second.since >= 0.0) {
                longestStay = std::max(longestStay, now - found->second.since);
            }
        }
        ASSERT_EQ(bots, 8) << "at " << now << " s";
    }
    int kills = 0;
    for (const json& avatar : objectsOf(worlds[0], "Avatar")) {
        kills += avatar["score"].get<int>() / 100;
    }
    EXPECT_GT(kills, 0);
    EXPECT_LE(longestStay, 5.0) << "seconds a live bot stood on one cell";

    ASSERT_EQ(host.command("bots still"), "ok");
    rounds(300);  // the dead come back
    ASSERT_TRUE(roundsUntil([&] { return worlds[0]["digest"] == worlds[1]["digest"]; })) << worlds[0].dump() << "\n"
                                                                                         << worlds[1].dump();
    rounds(50);
    EXPECT_EQ(worlds[0]["digest"], worlds[1]["digest"]);
}
