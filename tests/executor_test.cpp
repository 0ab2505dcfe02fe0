#include "rules/Executor.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "GameDoubles.h"
#include "TestSupport.h"
#include "rules/LineFeed.h"
#include "rules/Maps.h"
#include "rules/MessageCodec.h"
#include "world/HumanController.h"

namespace {

// A joined player waiting for the host to start, its messages coming in
// through a recording client.
class PlayerMessages : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        join();
    }
    // A fresh game, joined and waiting for the host to start.
    void join() {
        resetGame();
        client                  = &giveClient(2);
        CGame::instance().state = state_connected;
    }
    void TearDown() override {
        resetGame();
        WorldTest::TearDown();
    }

    void receive(const MessageBuffer& message) {
        client->incoming.push(message);
        Executor::instance().processMessages();
    }
    // As the game's frame takes it, which starts or ends the game after the messages.
    void arrive(const MessageBuffer& message) {
        client->incoming.push(message);
        CGame::instance().update();
    }

    static WorldSetupMessage twoPlayerWorld() {
        WorldSetupMessage setup{"Levels/map2.raw", {}};
        for (int i = 0; i < 10; ++i) {
            setup.entries.push_back({entry_powerup, {1 + i, 1}, i % 2, 100 + i});
        }
        setup.entries.push_back({entry_avatar, {20, 1}, 0, 110});
        setup.entries.push_back({entry_avatar, {21, 1}, 0, 111});
        return setup;
    }

    RecordingClient* client = nullptr;
    ScriptedPlatform platform;
};

TEST_F(PlayerMessages, AWorldWithoutThisPlayersAvatarStillStartsTheGame) {
    receive(encode(YourAvatarMessage{555}));
    arrive(encode(twoPlayerWorld()));
    EXPECT_EQ(CGame::instance().state, state_running);
    EXPECT_EQ(CGame::instance().localAvatar, nullptr);
    arrive(encode(twoPlayerWorld()));
    EXPECT_EQ(world().getObjects().size(), 12u) << "a second world in the same game is ignored";
}

// Hit points, pick-ups, spawns and removals show in the whole games' worlds;
// these outcomes do not, or only by chance.
TEST_F(PlayerMessages, AScoreAndARespawnChangeTheNamedAvatars) {
    Avatar& avatar   = addAvatar(5, 5);
    Avatar& killer   = addAvatar(6, 6);
    avatar.hp        = 0;
    avatar.ammo      = 190;
    avatar.direction = 6;
    avatar.setControls(1, 0, 1, 0, 1);
    receive(encode(ScoreMessage{killer.id, 300}));
    EXPECT_EQ(killer.score, 300);

    receive(encode(AvatarRespawnMessage{avatar.id, {30, 31}}));
    EXPECT_EQ(avatar.pos, (Position{30, 31}));
    EXPECT_EQ(avatar.hp, 100);
    EXPECT_EQ(avatar.ammo, 50);
    EXPECT_EQ(avatar.direction, 0);
    EXPECT_EQ(avatar.left + avatar.up + avatar.fire, 0);
    EXPECT_FLOAT_EQ(avatar.releaseTimer, 0.0f);
}

TEST_F(PlayerMessages, MessagesAboutObjectsThisPlayerLacksOrCannotHoldAreDropped) {
    Avatar&  avatar  = addAvatar(5, 5);
    Powerup& powerup = addPowerup(6, 6);
    Bullet&  bullet  = addBullet(7, 7, 0);
    receive(encode(AvatarHpMessage{999, 0}));
    receive(encode(AvatarHpMessage{powerup.id, 0}));  // not an avatar
    receive(encode(ScoreMessage{999, 100}));
    receive(encode(AvatarRespawnMessage{999, {9, 9}}));
    receive(encode(AvatarRespawnMessage{avatar.id, {0, 9}}));  // into the wall
    receive(encode(AvatarStateMessage{999, 0, 1, 0, 0, 0, {9, 9}}));
    receive(encode(PowerupTakenMessage{avatar.id, 999}));
    receive(encode(PowerupTakenMessage{avatar.id, bullet.id}));
    receive(encode(AvatarRemoveMessage{999}));

    EXPECT_EQ(avatar.hp, 100);
    EXPECT_EQ(avatar.pos, (Position{5, 5}));
    EXPECT_EQ(avatar.right, 0);
    EXPECT_FALSE(powerup.removed);
    EXPECT_FALSE(bullet.removed);
    EXPECT_EQ(world().getObjects().size(), 3u);
}

TEST_F(PlayerMessages, TheHostsStatusReplacesThisMachinesCount) {
    // What a status sets shows in the whole games' worlds; these are its special cases.
    Avatar& avatar = addAvatar(5, 5);
    receive(encode(AvatarStatusMessage{avatar.id, {7, 9}, 0, 300, 12}));
    EXPECT_EQ(avatar.hp, 0);
    EXPECT_FLOAT_EQ(avatar.releaseTimer, 5.0f) << "a death it had not heard of starts the countdown";

    receive(encode(AvatarStatusMessage{avatar.id, {0, 9}, 50, 0, 0}));  // into the wall
    EXPECT_EQ(avatar.pos, (Position{7, 9}));
    EXPECT_EQ(avatar.hp, 0);

    // The avatar steered here keeps the cell its keys took it to while it lives.
    Avatar& mine = addAvatar(10, 10);
    Executor::instance().attachKeyboard(mine);
    receive(encode(AvatarStatusMessage{mine.id, {9, 10}, 100, 0, 30}));
    EXPECT_EQ(mine.pos, (Position{10, 10}));
    EXPECT_EQ(mine.ammo, 30);
    receive(encode(AvatarStatusMessage{mine.id, {9, 10}, 0, 0, 30}));
    EXPECT_EQ(mine.pos, (Position{9, 10})) << "but lies where the host says it fell";
    receive(encode(AvatarStateMessage{mine.id, 0, 0, 0, 0, 0, {11, 10}}));
    EXPECT_EQ(mine.pos, (Position{11, 10})) << "standing still, it is where the host says";
    auto              reporting = std::make_unique<RecordingArbiter>();
    RecordingArbiter& rules     = *reporting;
    installArbiter(std::move(reporting));
    receive(encode(AvatarStateMessage{mine.id, 1, 0, 0, 0, 1, {12, 10}}));
    EXPECT_EQ(mine.pos, (Position{11, 10}));
    EXPECT_EQ(mine.left + mine.fire, 0) << "its flags are the keys'";
    EXPECT_EQ(rules.calls, std::vector<std::string>{"input " + std::to_string(mine.id)})
        << "and the host, which missed a change, hears them again";
}

TEST_F(PlayerMessages, APlayerWhoJoinedLaterAppearsOnceOnFloor) {
    Avatar& avatar = addAvatar(5, 5);
    receive(encode(AvatarAddMessage{900, {7, 7}}));
    receive(encode(AvatarAddMessage{900, {8, 8}}));        // the same id again
    receive(encode(AvatarAddMessage{avatar.id, {9, 9}}));  // an id in use
    receive(encode(AvatarAddMessage{901, {0, 7}}));        // in the wall
    ASSERT_NE(findAvatar(900), nullptr);
    EXPECT_EQ(findAvatar(900)->pos, (Position{7, 7}));
    EXPECT_EQ(avatar.pos, (Position{5, 5}));
    EXPECT_EQ(findAvatar(901), nullptr);
    EXPECT_EQ(world().getObjects().size(), 2u);
}

TEST_F(PlayerMessages, NamesAreCleanedAgainOnArrival) {
    Avatar& avatar = addAvatar(5, 5);
    receive(encode(AvatarNameMessage{avatar.id, "Bob"}));
    EXPECT_EQ(avatar.name, "Bob");
    receive(encode(AvatarNameMessage{avatar.id,
                                     "\x07"
                                     "Eve\x1b]0;owned\x07 the great and terrible"}));
    EXPECT_EQ(avatar.name, "Eve]0;owned the");
    receive(encode(AvatarNameMessage{4242, "Nobody"}));  // no such avatar: nothing happens
}

TEST_F(PlayerMessages, AKillIsToldOnScreenAndToTheVictimsDeathPanel) {
    killFeed().clear();
    Avatar& ann = addAvatar(5, 5);
    Avatar& bob = addAvatar(6, 6);
    ann.name    = "Ann";
    bob.name    = "Bob";
    receive(encode(KillMessage{ann.id, bob.id}));
    receive(encode(KillMessage{bob.id, 4242}));  // the shooter has left
    receive(encode(KillMessage{4242, ann.id}));  // no such victim: nothing
    EXPECT_EQ(ann.killedBy, "Bob");
    EXPECT_EQ(bob.killedBy, "");
    ASSERT_EQ(killFeed().lines().size(), 2u);
    EXPECT_EQ(killFeed().lines()[0].text, "Bob shot Ann");
    EXPECT_EQ(killFeed().lines()[1].text, "Bob was shot");
    killFeed().age(KILL_LINE_SECONDS);
    EXPECT_TRUE(killFeed().lines().empty()) << "lines go after a few seconds";
}

TEST_F(PlayerMessages, TheHostsRoundTripsReachTheScoreboard) {
    Avatar& avatar = addAvatar(5, 5);
    receive(encode(RoundTripsMessage{{{avatar.id, 37}, {4242, 5}}}));
    EXPECT_EQ(avatar.roundTripMs, 37);
}

TEST_F(PlayerMessages, HostileValuesAreHeldToWhatTheRulesCanProduce) {
    Avatar& avatar = addAvatar(5, 5);
    // A spawn may not reuse a live id, of a powerup or of anything else.
    const std::size_t before = world().getObjects().size();
    receive(encode(PowerupSpawnMessage{{8, 8}, powerup_ammo, avatar.id}));
    EXPECT_EQ(world().getObjects().size(), before);
    for (int i = 0; i < 20000; ++i) {
        receive(encode(PowerupSpawnMessage{{1 + i % 60, 2}, powerup_ammo, 5000 + i}));
    }
    EXPECT_EQ(world().countPowerups(), world().maxPowerups);
}

TEST_F(PlayerMessages, AWorldThatCannotBeSetUpEndsTheJoinWithAMessage) {
    WorldSetupMessage inWall                          = twoPlayerWorld();
    inWall.entries[3].pos                             = {0, 0};
    const std::pair<std::string, std::string> cases[] = {
        {"Levels/nowhere.raw", "The host's map \"Levels/nowhere.raw\" is not on this machine."},
        {"/dev/stdin", "The host named a map this game does not accept."},  // would block the game thread for good
        {"", ""},
    };
    for (const auto& [map, message] : cases) {
        join();
        platform.shown.clear();
        WorldSetupMessage setup = map.empty() ? inWall : twoPlayerWorld();
        setup.mapName           = map.empty() ? setup.mapName : map;
        arrive(encode(setup));
        EXPECT_EQ(CGame::instance().state, state_start) << map;
        EXPECT_EQ(CGame::instance().client, nullptr);
        EXPECT_TRUE(world().getObjects().empty());
        if (!message.empty()) {
            ASSERT_EQ(platform.shown.size(), 1u);
            EXPECT_EQ(platform.shown[0].text, message);
        }
    }
    join();
    platform.shown.clear();
    arrive(fields({1101, 0, 0}));  // a map name without even its zero
    EXPECT_EQ(CGame::instance().state, state_start);
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text, "The host sent a world this game cannot set up.");
}

// A map the host sends is played from the cells that came and kept for
// next time in the player's maps folder; one that is not what it says, or
// no map to play, ends the join with the reason, and nothing is kept.
TEST_F(PlayerMessages, AMapFromTheHostIsCheckedPlayedAndKeptInTheMapsFolderOnly) {
    const std::string data = ::testing::TempDir() + "quillstep_received_maps";
    std::filesystem::remove_all(data);
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    const MapCells   pit    = enclosedMap({{40, 40}});
    const MapMessage good   = mapMessageOf({"pit", pit});
    MapMessage       forged = good;
    forged.hash[0] ^= 1;
    MapCells open                                      = pit;
    open[10 * MAPSIZE]                                 = 0;
    MapMessage escaping                                = good;
    escaping.name                                      = "../../pit";
    const std::pair<MapMessage, std::string> refused[] = {
        {forged, "it did not arrive as it was sent."},
        {mapMessageOf({"pit", open}), "its outer edge must be all wall."},
        {escaping, "its name is not a map's name."},
    };
    for (const auto& [map, reason] : refused) {
        join();
        platform.shown.clear();
        arrive(encode(map));
        EXPECT_EQ(CGame::instance().state, state_start) << reason;
        ASSERT_EQ(platform.shown.size(), 1u);
        EXPECT_EQ(platform.shown[0].text, "The host's map cannot be played: " + reason);
    }
    EXPECT_FALSE(std::filesystem::exists(data)) << "nothing refused is kept";

    join();
    receive(encode(good));
    WorldSetupMessage setup = twoPlayerWorld();
    setup.mapName           = "Levels/pit.raw";
    arrive(encode(setup));
    EXPECT_EQ(CGame::instance().state, state_running);
    EXPECT_TRUE(world().isBlocked({40, 40}));
    std::ifstream kept(data + "/quillstep/maps/pit.raw", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), good.cells);
    ::unsetenv("XDG_DATA_HOME");
}

TEST_F(PlayerMessages, RemovingThisPlayersOwnAvatarForgetsIt) {
    receive(encode(YourAvatarMessage{111}));
    receive(encode(twoPlayerWorld()));
    receive(encode(AvatarRemoveMessage{111}));
    EXPECT_EQ(CGame::instance().localAvatar, nullptr);
}

}  // namespace
