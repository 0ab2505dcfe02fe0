// Whole games between machines: a host and its players playing by the rules,
// bots, and networks that misbehave: a lossy, slow, reordering link (the
// project's own relay between test hosts), a dozen machines at once,
// machines that vanish. Every machine is a headless player in a process of
// its own; they are compared by what their worlds print.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>

#include "Lan.h"

namespace {

using nlohmann::json;
using Worlds = std::vector<json>;

TEST_F(Lan, EnterStartsOneWorldWhereEachMachineSteersTheAvatarTheHostGaveIt) {
    startGame(2, hostAddress());
    seen = worlds();
    EXPECT_EQ(objectsOf(seen[0], "Avatar").size(), 3u);
    Worlds agreed;
    EXPECT_TRUE(digestsAgreeWithin(0.5, agreed));
    for (std::size_t machine = 0; machine < 3; ++machine) {
        for (const json& avatar : objectsOf(seen[0], "Avatar")) {
            EXPECT_EQ(avatar["playerId"] == seen[machine]["playerId"], avatar["id"] == seen[machine]["localAvatar"])
                << machine;
        }
    }
}

// Bots fighting for ten minutes of game time, as fast as the machines go:
// a kill in every half minute, no live bot held to two cells for fifteen
// seconds, two bots more for a while and then gone again, and in the end
// every world the host's.
TEST_F(Lan, BotsFightTenMinutesWithoutStallingAndEveryWorldAgrees) {
    for (const int bots : {4, 8}) {
        SCOPED_TRACE(::testing::Message() << bots << " bots");
        machines.clear();
        ASSERT_NO_FATAL_FAILURE(hostGame({"bots " + std::to_string(bots)}));
        ASSERT_NO_FATAL_FAILURE(joinPlayers(1, hostAddress(), 2));
        ASSERT_NO_FATAL_FAILURE(pressEnter());
        all("pace off");
        std::map<int, std::vector<std::pair<double, json>>> cells;  // each live bot's, in the last 15 s
        std::map<int, int>                                  scores;
        int                                                 lastKills = 0;
        for (int half = 1; half <= 1200; ++half) {
            if (half == 600 || half == 840) {
                ASSERT_EQ(machines[0]->command("bots " + std::to_string(half == 600 ? bots + 2 : bots)), "ok");
            }
            all("seconds 0.5");
            const json   world = machines[0]->world();
            const double time  = world["time"];
            for (const json& avatar : objectsOf(world, "Avatar")) {
                scores[avatar["id"]] = avatar["score"];  // kept when a bot leaves
                auto& seen           = cells[avatar["id"]];
                if (avatar["playerId"] != 0 || avatar["hp"] <= 0) {
                    seen.clear();
                    continue;
                }
                seen.emplace_back(time, json{avatar["x"], avatar["y"]});
                while (time - seen.front().first > 15.0) {
                    seen.erase(seen.begin());
                }
                std::set<json> distinct;
                for (const auto& entry : seen) {
                    distinct.insert(entry.second);
                }
                ASSERT_FALSE(time - seen.front().first >= 14.9 && distinct.size() <= 2)
                    << avatar["name"] << " held to two cells for 15 s at " << time;
            }
            int kills = 0;
            for (const auto& [id, score] : scores) {
                kills += score / 100;
            }
            if (half % 60 == 0) {
                EXPECT_GT(kills, lastKills) << "a kill in the half minute before " << time;
                lastKills = kills;
            }
            if (half == 700) {
                EXPECT_EQ(objectsOf(machines[1]->world(), "Avatar").size(), static_cast<std::size_t>(bots + 4))
                    << "two bots more, on the player's machine too";
            }
        }
        ASSERT_EQ(objectsOf(machines[0]->world(), "Avatar").size(), static_cast<std::size_t>(bots + 2))
            << "and gone again";
        ASSERT_EQ(machines[0]->command("bots still"), "ok");
        all("pace on");
        all("seconds 6");  // the dead come back
        Worlds agreed;
        EXPECT_TRUE(digestsAgreeWithin(1.0, agreed));
    }
}

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
    const Worlds column = worlds();
    for (std::size_t i = 0; i < machines.size(); ++i) {
        EXPECT_EQ(machines[0]->command("place 1 " + std::to_string(2 + 3 * i) + " " + column[i]["localAvatar"].dump()),
                  "ok");
    }
    all("seconds 0.3");
    // Random play left each shooter facing anywhere: one step down turns it.
    for (std::size_t i = 0; i < machines.size(); i += 2) {
        EXPECT_EQ(machines[i]->command("press down"), "ok");
        machines[i]->command("frames 1");
        EXPECT_EQ(machines[i]->command("release down"), "ok");
        EXPECT_EQ(machines[i]->command("press space"), "ok");
    }
    const auto deadAtHost = [&] {
        const auto avatars = objectsOf(machines[0]->world(), "Avatar");
        return std::count_if(avatars.begin(), avatars.end(), [](const json& a) { return a["hp"] == 0; });
    };
    for (int slice = 0; slice < 40 && deadAtHost() < 4; ++slice) {
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

// A line said reaches everyone under the speaker's name; joins and leaves
// show on every screen; a host that ends the game says so.
TEST_F(Lan, ChatJoinsAndLeavesReachEveryoneAndTheHostEndingIsNamed) {
    ASSERT_NO_FATAL_FAILURE(hostGame({"name Ann"}));
    ASSERT_EQ(addMachine("bob").command("name Bob"), "ok");
    ASSERT_EQ(machines[1]->command("join " + hostAddress()), "ok");
    ASSERT_NO_FATAL_FAILURE(joinPlayers(1, hostAddress(), 3));
    ASSERT_EQ(machines[1]->command("say hello, waiting room"), "ok");
    ASSERT_TRUE(framesUntil([&] {
        return std::all_of(seen.begin(), seen.end(), [](const json& one) {
            return !one["chat"].empty() && one["chat"].back() == "Bob: hello, waiting room";
        });
    }));
    ASSERT_TRUE(framesUntil([&] { return seen[1]["lobby"]["players"].size() == 3; }));
    EXPECT_EQ(seen[1]["lobby"]["players"][0], "Ann") << "the waiting room, host first";
    EXPECT_EQ(seen[1]["lobby"]["map"], "map2");
    char machine[256] = {};
    ::gethostname(machine, sizeof machine - 1);
    EXPECT_EQ(seen[1]["lobby"]["serverName"], machine) << "the host's own name, as the LAN list shows it";
    ASSERT_NO_FATAL_FAILURE(pressEnter());
    ASSERT_EQ(machines[1]->command("exit"), "ok");
    ASSERT_TRUE(framesUntil([&] {
        return seen[0]["notices"] == json::array({"Bob left"}) && seen[2]["notices"] == json::array({"Bob left"});
    }));
    ASSERT_EQ(machines[0]->command("exit"), "ok");
    ASSERT_TRUE(framesUntil([&] { return seen[2]["state"] == "start"; }));
    EXPECT_NE(machines[2]->messages().find("The host ended the game."), std::string::npos) << machines[2]->messages();
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
    ASSERT_EQ(seen[1]["notices"].size(), 1u);
    EXPECT_NE(seen[1]["notices"][0].get<std::string>().find(" timed out"), std::string::npos);
    EXPECT_TRUE(objectWithId(seen[0], vanishing).is_null());
    EXPECT_TRUE(objectWithId(seen[1], vanishing).is_null());
    ::kill(frozen->processId(), SIGCONT);

    ::kill(machines[0]->processId(), SIGSTOP);
    EXPECT_EQ(machines[1]->command("seconds 5"), "ok");
    EXPECT_EQ(machines[1]->world()["state"], "start");
    ::kill(machines[0]->processId(), SIGCONT);
}

TEST_F(Lan, APlayerWhoJoinsARunningGameHoldsTheSameWorldAsEveryoneElse) {
    startGame(2, hostAddress());
    all("pace on");
    playAtRandom(8, 0.25, 21);
    releaseEverything();

    PlayerProcess& latecomer = addMachine("latecomer");
    ASSERT_EQ(latecomer.command("name Late Comer"), "ok");
    ASSERT_EQ(latecomer.command("join " + hostAddress()), "ok");
    ASSERT_TRUE(framesUntil([&] {
        const json& late = seen.back();
        return late["state"] == "running" && !late["localAvatar"].is_null() &&
               std::all_of(seen.begin(), seen.end(), [&](const json& one) {
                   return !objectWithId(one, late["localAvatar"].get<int>()).is_null();
               });
    }));
    all("seconds 1");
    std::vector<json> agreed;
    EXPECT_TRUE(digestsAgreeWithin(1.0, agreed));
    for (const json& world : agreed) {
        EXPECT_EQ(objectWithId(world, agreed.back()["localAvatar"].get<int>())["name"], "Late Comer");
        EXPECT_FALSE(objectWithId(world, agreed[0]["localAvatar"].get<int>())["name"].get<std::string>().empty());
    }
}

// A match to 300 on a map that only the host has, then the next map: every
// machine ends it with the same winner and board, and begins the next with
// the host's world, scores reset; the player who lacked the map was sent it.
TEST_F(Lan, AMatchEndsAlikeEverywhereAndTheNextMapBeginsAfresh) {
    const std::string data = ::testing::TempDir() + "quillstep_lan_maps_" + std::to_string(::getpid());
    std::filesystem::remove_all(data);
    std::filesystem::create_directories(data + "/host/quillstep/maps");
    std::filesystem::copy_file("Levels/duel.raw", data + "/host/quillstep/maps/pit.raw");
    ::setenv("XDG_DATA_HOME", (data + "/host").c_str(), 1);
    ASSERT_NO_FATAL_FAILURE(hostGame({"bots 3", "limits 300 0", "maps pit,arena"}));
    ::setenv("XDG_DATA_HOME", (data + "/player").c_str(), 1);
    ASSERT_NO_FATAL_FAILURE(joinPlayers(1, hostAddress(), 2));
    ASSERT_NO_FATAL_FAILURE(pressEnter());
    EXPECT_TRUE(std::filesystem::exists(data + "/player/quillstep/maps/pit.raw")) << "kept for next time";

    all("pace off");
    const auto everyone = [&](const char* const state, const char* const map) {
        seen = worlds();
        return std::all_of(seen.begin(), seen.end(), [&](const json& one) {
            return one["match"]["state"] == state && one["match"]["map"] == map;
        });
    };
    for (int half = 0; half < 600 && !everyone("over", "pit"); ++half) {
        all("seconds 0.5");
    }
    ASSERT_TRUE(everyone("over", "pit"));
    Worlds agreed;
    EXPECT_TRUE(digestsAgreeWithin(1.0, agreed)) << "the same board and winner everywhere";
    EXPECT_EQ(agreed[1]["match"]["winner"], agreed[0]["match"]["winner"]);

    ASSERT_TRUE(framesUntil([&] { return everyone("playing", "arena"); }));
    for (const json& world : seen) {
        for (const json& avatar : objectsOf(world, "Avatar")) {
            EXPECT_EQ(avatar["score"].get<int>() + avatar["deaths"].get<int>(), 0) << avatar;
        }
    }
    ASSERT_EQ(machines[0]->command("bots still"), "ok");
    all("pace on");
    all("seconds 2");
    EXPECT_TRUE(digestsAgreeWithin(1.0, agreed));
}

// Bots and players moving, firing, dying and coming back at random for a
// quarter of an hour of game time, as fast as the machines go, then everyone
// still: every machine holds the host's world.
TEST_F(Lan, AQuarterOfAnHourOfFightingEndsWithEveryWorldTheHosts) {
    if (namespaces) {
        relayWith(0.2, 100, 20);
    }
    ASSERT_NO_FATAL_FAILURE(hostGame({"bots 16"}));
    ASSERT_NO_FATAL_FAILURE(joinPlayers(2, namespaces ? "10.77.0.4" : hostAddress(), 3));
    ASSERT_NO_FATAL_FAILURE(pressEnter());
    all("pace off");
    playAtRandom(1800, 0.5, 2026, std::chrono::milliseconds(12));
    releaseEverything();
    all("seconds 6");
    ASSERT_EQ(machines[0]->command("bots still"), "ok");
    all("pace on");
    all("seconds 3");
    std::vector<json> agreed;
    EXPECT_TRUE(digestsAgreeWithin(2.0, agreed));
}

// People and bots over a lossy link, and a spectator who joins once the game
// runs: the spectator holds the host's world with no avatar of its own, and
// the match the host recorded plays back, on a machine without the game's
// network, as the very game that was played.
TEST_F(Lan, ASpectatorHoldsTheHostsWorldAndTheRecordedMatchPlaysBackAsTheSameGame) {
    if (!namespaces) {
        GTEST_SKIP() << "the relay needs test hosts of its own";
    }
    const std::string demos = ::testing::TempDir() + "quillstep_lan_demos_" + std::to_string(::getpid());
    std::filesystem::remove_all(demos);
    relayWith(0.2, 100, 20);
    ASSERT_NO_FATAL_FAILURE(hostGame({"bots 3", "record " + demos + " 5"}));
    ASSERT_NO_FATAL_FAILURE(joinPlayers(2, "10.77.0.4", 3));
    ASSERT_NO_FATAL_FAILURE(pressEnter());
    PlayerProcess& watcher = addMachine("watcher");
    ASSERT_EQ(watcher.command("name Eve"), "ok");
    ASSERT_EQ(watcher.command("spectate 10.77.0.4"), "ok");
    ASSERT_TRUE(framesUntil([&] {
        const json& told = seen[1]["notices"];
        return seen[3]["state"] == "running" && seen[0]["spectators"] == 1 &&
               std::find(told.begin(), told.end(), "Eve is watching") != told.end();
    }));
    all("pace on");
    playAtRandom(40, 0.25, 28);
    releaseEverything();
    ASSERT_EQ(machines[0]->command("bots still"), "ok");
    all("seconds 2");
    std::vector<json> agreed;
    EXPECT_TRUE(digestsAgreeWithin(2.0, agreed));
    EXPECT_TRUE(agreed[3]["localAvatar"].is_null());
    EXPECT_EQ(objectsOf(agreed[3], "Avatar").size(), 6u) << "three people and three bots, and no one for Eve";
    const std::string hostDigest = agreed[0]["digest"];
    ASSERT_EQ(machines[0]->command("exit"), "ok");  // the match's demo is saved as the host ends it

    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(demos)) {
        files.push_back(entry.path().string());
    }
    ASSERT_EQ(files.size(), 1u);
    PlayerProcess viewer("viewer", "");
    EXPECT_EQ(viewer.command("play " + files[0]).rfind("ok map2, ", 0), 0u);
    EXPECT_EQ(viewer.command("seconds 100000"), "verified: the same game");
    const json played = viewer.world();
    EXPECT_EQ(played["state"], "playback");
    EXPECT_GE(played["playback"]["checked"].get<int>(), 10);
    EXPECT_EQ(played["digest"], hostDigest) << "the host's world as it ended";
    std::filesystem::remove_all(demos);
}

}  // namespace
