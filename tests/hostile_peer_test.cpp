// Hostile peers against a real host and a real joined player: a rogue ENet
// peer of the tests' own sends what no honest machine would. After each
// batch the attacked process still answers, keeps time, and an honest
// player's world is still the host's.

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "Lan.h"
#include "RoguePeer.h"
#include "net/ByteCodec.h"
#include "rules/GameMessages.h"
#include "rules/PlayerName.h"
#include "world/Powerup.h"

namespace {

using nlohmann::json;

// Values a hostile message might carry in any field.
std::vector<std::int32_t> edgeValues(const std::vector<std::int32_t>& ids) {
    std::vector<std::int32_t> values{-1, 0, 1, 2, 63, 64, 1000, INT32_MAX, INT32_MIN};
    values.insert(values.end(), ids.begin(), ids.end());
    return values;
}

// Every message id the game knows, and some it does not, at every length up
// to past its layout, each field an edge value.
std::vector<MessageBuffer> everyMessage(const std::vector<std::int32_t>& ids, const unsigned seed) {
    std::mt19937                    random(seed);
    const std::vector<std::int32_t> values = edgeValues(ids);
    std::vector<MessageBuffer>      batch;
    for (std::int32_t id = MSG_YOUR_AVATAR - 1; id <= LAST_GAME_MESSAGE + 1; ++id) {
        for (const std::int32_t kind : {id, 1, 2, 3, -1}) {
            for (std::size_t length = 0; length <= 44; ++length) {
                ByteWriter message;
                message.putI32(kind);
                while (message.bytes().size() < length) {
                    message.putI32(values[random() % values.size()]);
                }
                MessageBuffer bytes = message.takeBytes();
                bytes.resize(length);
                batch.push_back(std::move(bytes));
            }
            if (kind != id) {
                break;  // the notice-like ids once per round is plenty
            }
        }
    }
    return batch;
}

class HostileLan : public Lan {
protected:
    bool wantsTestHosts() const override { return false; }

    // The attacked process answers, and a second of game runs in about a second.
    void expectAliveAndOnTime() {
        const auto start = std::chrono::steady_clock::now();
        all("seconds 0.5");
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "fell far behind real time";
        std::vector<json> agreed;
        EXPECT_TRUE(digestsAgreeWithin(1.0, agreed));
    }

    // A host, a rogue that joined as a player and one honest player, in a game.
    void startWithRogue() {
        ASSERT_NO_FATAL_FAILURE(hostGame());
        ASSERT_TRUE(rogue.connectTo("127.0.0.1"));
        rogue.sendHello();
        ASSERT_NO_FATAL_FAILURE(joinPlayers(1, "127.0.0.1", 3));
        all("pace on");
        ASSERT_NO_FATAL_FAILURE(pressEnter());
    }

    std::int32_t rogueAvatar() {
        for (const MessageBuffer& message : rogue.received()) {
            if (const auto id = decodeYourAvatar(message)) {
                return *id;
            }
        }
        return 0;
    }

    RoguePeer rogue;
};

TEST_F(HostileLan, EveryMessageAtEveryLengthFromAPlayerChangesNothingItMayNot) {
    ASSERT_NO_FATAL_FAILURE(startWithRogue());
    const auto         seen  = worlds();
    const std::int32_t own   = rogueAvatar();
    const std::int32_t other = seen[1]["localAvatar"];
    ASSERT_NE(own, 0);

    // At a pace a player could keep: a few hundred messages a second.
    for (const bool reliable : {true, false}) {
        const std::vector<MessageBuffer> batch = everyMessage({own, other, 4242}, reliable ? 1 : 2);
        for (std::size_t i = 0; i < batch.size(); ++i) {
            rogue.sendGame(batch[i], reliable);
            if (i % 250 == 249) {
                all("seconds 0.5");
            }
        }
        expectAliveAndOnTime();
    }
    // The honest player's avatar is where its owner put it.
    const json host   = objectWithId(worlds()[0], other);
    const json honest = objectWithId(worlds()[1], other);
    EXPECT_EQ(host["x"], honest["x"]);
    EXPECT_EQ(host["y"], honest["y"]);
    EXPECT_TRUE(rogue.connected()) << "a player sending nonsense at a player's pace may stay";
}

TEST_F(HostileLan, AHostileNameReachesEveryScreenCleaned) {
    const std::string hostile = "\x1b[2J\xff Evil\nName that is far too long" + std::string(5000, 'x');
    ASSERT_NO_FATAL_FAILURE(hostGame());
    ASSERT_TRUE(rogue.connectTo("127.0.0.1"));
    rogue.sendHello(APPLICATION_GUID, hostile);
    PlayerProcess& honest = addMachine("honest");
    ASSERT_EQ(honest.command("name Ann"), "ok");
    ASSERT_EQ(honest.command("join 127.0.0.1"), "ok");
    ASSERT_TRUE(
        framesUntil([](const std::vector<json>& w) { return w[0]["clients"] == 3 && w[1]["state"] == "connected"; }));
    all("pace on");
    ASSERT_NO_FATAL_FAILURE(pressEnter());
    all("seconds 0.5");
    const std::int32_t rogueId = rogueAvatar();
    for (const json& world : worlds()) {
        EXPECT_EQ(objectWithId(world, rogueId)["name"], "[2J EvilName th");
        EXPECT_EQ(objectWithId(world, worlds()[1]["localAvatar"].get<int>())["name"], "Ann");
    }
}

TEST_F(HostileLan, AFloodIsCutOffAndTheGameGoesOn) {
    ASSERT_NO_FATAL_FAILURE(startWithRogue());
    const MessageBuffer state = encodeAvatarState({rogueAvatar(), 0, 0, 0, 0, 0, {1, 1}});
    for (int i = 0; i < 3000 && rogue.connected(); ++i) {
        rogue.sendGame(state, false);
    }
    const MessageBuffer big(MAX_MESSAGE_SIZE, 0x55);
    for (int i = 0; i < 4 && rogue.connected(); ++i) {
        rogue.sendGame(big);
    }
    expectAliveAndOnTime();
    EXPECT_FALSE(rogue.connected());
    EXPECT_EQ(rogue.disconnectReason(), 3u);
    EXPECT_EQ(worlds()[0]["clients"], 2) << "the flooder is no player any more";
}

TEST_F(HostileLan, SilentPeersAndBadHellosAreTurnedAway) {
    ASSERT_NO_FATAL_FAILURE(hostGame());
    std::vector<std::unique_ptr<RoguePeer>> silent;
    for (int i = 0; i < 6; ++i) {
        silent.push_back(std::make_unique<RoguePeer>());
        silent.back()->connectTo("127.0.0.1");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LE(std::count_if(silent.begin(), silent.end(), [](const auto& peer) { return peer->connected(); }), 4)
        << "at most four peers of one address wait for their hello";

    RoguePeer foreign;
    ASSERT_TRUE(foreign.connectTo("127.0.0.1"));
    foreign.sendHello({1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}});
    RoguePeer mute;
    ASSERT_TRUE(mute.connectTo("127.0.0.1"));
    mute.sendPacket({1});  // a hello with nothing in it
    RoguePeer eager;
    ASSERT_TRUE(eager.connectTo("127.0.0.1"));
    eager.sendGame(encodeAvatarRemove(1));  // before its hello: ignored
    eager.sendHello();
    eager.sendHello();  // twice: ignored

    all("seconds 5.5");
    EXPECT_TRUE(std::none_of(silent.begin(), silent.end(), [](const auto& peer) { return peer->connected(); }))
        << "no hello within five seconds";
    EXPECT_FALSE(foreign.connected());
    EXPECT_EQ(foreign.disconnectReason(), 1u);
    EXPECT_FALSE(mute.connected());
    EXPECT_TRUE(eager.connected());
    EXPECT_TRUE(eager.welcomed());

    // An honest player still gets in and plays.
    ASSERT_NO_FATAL_FAILURE(joinPlayers(1, "127.0.0.1", 3));
    all("pace on");
    ASSERT_NO_FATAL_FAILURE(pressEnter());
    expectAliveAndOnTime();
}

// A rogue host against a joined player.
class HostileHost : public HostileLan {
protected:
    // The player joins a rogue listening on the game's port and is welcomed.
    RoguePeer& joinRogue() {
        if (machines.empty()) {
            addMachine("player");  // first: a child would inherit the rogue's socket
        }
        host.reset();  // one host on the port at a time
        host = std::make_unique<RoguePeer>(true);
        EXPECT_EQ(machines[0]->command("join 127.0.0.1"), "ok");
        EXPECT_TRUE(host->awaitPlayer());
        host->sendWelcome(7);
        EXPECT_TRUE(framesUntil([](const std::vector<json>& w) { return w[0]["state"] == "connected"; }));
        return *host;
    }

    WorldSetupMessage worldFor(const std::string& mapName) {
        WorldSetupMessage setup{mapName, {}};
        setup.entries.push_back({entry_avatar, {1, 5}, 0, 500});
        setup.entries.push_back({entry_avatar, {2, 5}, 0, 501});
        return setup;
    }

    void alive() {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(machines[0]->command("seconds 0.5"), "ok");
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_TRUE(machines[0]->world().is_object());
    }

    std::unique_ptr<RoguePeer> host;
};

TEST_F(HostileHost, HostileWorldsAreRefusedWithoutHangingThePlayer) {
    for (const WorldSetupMessage& setup :
         {worldFor("/dev/stdin"), worldFor("../../../../dev/zero"), worldFor("Levels/../Levels/map2.raw"),
          worldFor(std::string(200, 'x')),
          WorldSetupMessage{"Levels/map2.raw", {{entry_avatar, {1, 5}, 0, 500}, {entry_avatar, {2, 5}, 0, 500}}}}) {
        RoguePeer& rogue = joinRogue();
        rogue.sendGame(encodeYourAvatar(500));
        rogue.sendGame(encodeWorldSetup(setup));
        EXPECT_TRUE(framesUntil([](const std::vector<json>& w) { return w[0]["state"] == "start"; })) << setup.mapName;
        alive();
    }
    EXPECT_NE(machines[0]->messages().find("Error: The host named a map this game does not accept."),
              std::string::npos);
}

TEST_F(HostileHost, HostileMessagesInAGameLeaveThePlayerPlaying) {
    RoguePeer& rogue = joinRogue();
    rogue.sendGame(encodeYourAvatar(500));
    rogue.sendGame(encodeWorldSetup(worldFor("Levels/map2.raw")));
    ASSERT_TRUE(framesUntil([](const std::vector<json>& w) { return w[0]["state"] == "running"; }));

    rogue.sendGame(encodeAvatarHp({500, INT32_MAX}));
    for (int i = 0; i < 20000; ++i) {
        rogue.sendGame(encodePowerupSpawn({{1, 6}, powerup_health, 1000 + i}));
    }
    for (const MessageBuffer& message : everyMessage({500, 501, 1000}, 3)) {
        rogue.sendGame(message);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    alive();
    const json world = machines[0]->world();
    EXPECT_LE(objectsOf(world, "Powerup").size(), 10u);
    for (const json& avatar : objectsOf(world, "Avatar")) {
        EXPECT_LE(avatar["hp"].get<int>(), 150);
        EXPECT_LE(avatar["ammo"].get<int>(), 200);
    }
}

}  // namespace
