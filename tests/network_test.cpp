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

#include "Lan.h"

namespace {

using nlohmann::json;

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

TEST_F(Lan, APlayerWhoJoinsARunningGameHoldsTheSameWorldAsEveryoneElse) {
    startGame(2, hostAddress());
    all("pace on");
    playAtRandom(8, 0.25, 21);
    releaseEverything();

    PlayerProcess& latecomer = addMachine("latecomer");
    ASSERT_EQ(latecomer.command("name Late Comer"), "ok");
    ASSERT_EQ(latecomer.command("join " + hostAddress()), "ok");
    ASSERT_TRUE(framesUntil([](const std::vector<json>& w) {
        const json& late = w.back();
        return late["state"] == "running" && !late["localAvatar"].is_null() &&
               std::all_of(w.begin(), w.end(), [&](const json& one) {
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

}  // namespace
