#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "GameDoubles.h"
#include "TestSupport.h"
#include "platform/FrameState.h"
#include "rules/Arbiter.h"
#include "rules/LineFeed.h"
#include "rules/LocalArbiter.h"
#include "rules/Match.h"
#include "rules/MessageCodec.h"
#include "world/DataFolder.h"

namespace {

constexpr std::uint32_t OWN = 7;  // the host's own player
constexpr std::uint32_t P1  = 1;
constexpr std::uint32_t P2  = 2;

// The host's rules over a recording server with the host's own player and two others.
class HostRules : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        resetGame();
        server = &giveServer();
        giveClient(OWN);
        for (const std::uint32_t player : {OWN, P1, P2}) {
            server->join(player);
        }
        auto made = std::make_unique<Arbiter>();
        rules     = made.get();
        installArbiter(std::move(made));
    }
    void TearDown() override {
        resetGame();
        WorldTest::TearDown();
    }

    // An avatar of a player in this game.
    Avatar& playerAvatar(const std::uint32_t player, const int x, const int y) {
        Avatar& avatar  = addAvatar(x, y);
        avatar.playerId = player;
        return avatar;
    }

    // Sends made to the players, as (player, message) in order.
    std::vector<SentMessage> toPlayers(const MessageBuffer& message, const std::uint32_t flags,
                                       const std::vector<std::uint32_t>& players) const {
        return toPlayers(std::vector<MessageBuffer>{message}, flags, players);
    }
    // Each rule outcome in turn to both other players.
    std::vector<SentMessage> toPlayers(const std::vector<MessageBuffer>& messages, const std::uint32_t flags,
                                       const std::vector<std::uint32_t>& players) const {
        std::vector<SentMessage> sends;
        for (const MessageBuffer& message : messages) {
            for (const std::uint32_t player : players) {
                sends.push_back({player, message, flags});
            }
        }
        return sends;
    }

    void receive(const std::uint32_t sender, const MessageBuffer& message) {
        server->incoming.push({sender, message});
        rules->update();
    }

    RecordingServer* server = nullptr;
    Arbiter*         rules  = nullptr;
};

// Adds the players' avatars after the game began, the way newGame would have.
class RunningGame : public HostRules {
protected:
    void SetUp() override {
        HostRules::SetUp();
        ASSERT_TRUE(world().loadMap("Levels/map2.raw"));
        world().clearObjects();
        // newGame knows its players; start one and then set the scene by hand.
        std::srand(1);
        ASSERT_TRUE(rules->newGame());
        world().clearObjects();
        server->sent.clear();
        useMap({});
    }
};

TEST_F(HostRules, NewGamePlacesPowerupsThenAvatarsAndSendsEachPlayerItsAvatarFirst) {
    ASSERT_TRUE(rules->newGame());
    const auto& objects = world().getObjects();
    ASSERT_EQ(objects.size(), 13u);
    std::vector<const Avatar*> placed;
    for (const auto& object : objects) {
        EXPECT_FALSE(world().isBlocked(object->pos));
        if (const auto* const avatar = objectAs<Avatar>(object.get())) {
            placed.push_back(avatar);
        } else {
            EXPECT_TRUE(placed.empty()) << "the powerups come first";
        }
    }
    ASSERT_EQ(placed.size(), 3u);
    EXPECT_EQ(placed[0]->playerId, OWN);
    EXPECT_EQ(placed[2]->playerId, P2);

    const MessageBuffer setup = encode(describeWorld("Levels/map2.raw"));
    EXPECT_EQ(setup.size(), 228u + 3 * 16);
    // Each remote player then hears every avatar's name.
    EXPECT_EQ(placed[1]->name, "Player " + std::to_string(P1));
    EXPECT_EQ(placed[0]->name, CGame::instance().localPlayerName());
    std::vector<SentMessage> expected;
    for (const Avatar* avatar : placed) {
        expected.push_back({avatar->playerId, encode(YourAvatarMessage{avatar->id}), SEND_NEW_GAME});
        expected.push_back({avatar->playerId, setup, SEND_NEW_GAME});
        for (const Avatar* named : placed) {
            if (avatar->playerId != OWN) {
                expected.push_back(
                    {avatar->playerId, encode(AvatarNameMessage{named->id, named->name}), SEND_RULE_OUTCOME});
            }
        }
    }
    EXPECT_EQ(server->sent, expected);
}

// Two maps, both limits: at the time limit a tie plays on; the first score
// ahead ends the match, everyone stops under the final board, and ten
// seconds later every player gets the next map's world, afresh.
TEST_F(HostRules, AMatchEndsWhenOneLeadsAtALimitAndTheNextMapBeginsAfresh) {
    CGame::instance().matchSetup = {1000, 1, {"map2", "duel"}};
    ASSERT_TRUE(rules->newGame());
    std::vector<Avatar*> avatars;
    for (const auto& object : world().getObjects()) {
        if (auto* const avatar = objectAs<Avatar>(object.get())) {
            avatars.push_back(avatar);
            avatar->score = 100;
        }
    }
    ASSERT_EQ(avatars.size(), 3u);
    avatars[1]->setControls(1, 0, 0, 0, 1);
    addBullet(30, 30, 0, avatars[1]->id);
    frameTime = 0.5f;
    for (int frame = 0; frame < 130; ++frame) {
        rules->update();
    }
    EXPECT_FALSE(currentMatch().isOver()) << "a tie plays on";
    avatars[1]->score = 200;
    server->sent.clear();
    rules->update();
    ASSERT_TRUE(currentMatch().isOver());
    EXPECT_EQ(currentMatch().winner, avatars[1]->name);
    EXPECT_EQ(avatars[1]->left + avatars[1]->fire, 0);
    EXPECT_EQ(world().getObjects().size(), 13u) << "the bullets are gone";
    ASSERT_FALSE(server->sent.empty());
    const std::optional<MatchMessage> over = decode<MatchMessage>(server->sent[0].bytes);
    ASSERT_TRUE(over);
    EXPECT_EQ(over->phase, match_over);
    EXPECT_EQ(over->nextMap, "duel");
    ASSERT_EQ(over->board.size(), 3u);
    EXPECT_EQ(over->board[0].name, avatars[1]->name);

    // Who joins under the end screen sees it, and plays the next match.
    constexpr std::uint32_t LATE = 3;
    server->join(LATE);
    server->sent.clear();
    server->incoming.push({LATE, noticeBuffer(NET_PLAYER_CREATED)});
    rules->update();
    const auto toLate = std::find_if(server->sent.begin(), server->sent.end(),
                                     [](const SentMessage& sent) { return sent.playerId == LATE; });
    ASSERT_NE(toLate, server->sent.end());
    const std::optional<MatchMessage> seen = decode<MatchMessage>(toLate->bytes);
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->phase, match_over);
    EXPECT_EQ(seen->board.size(), 3u) << "the final board, without the one who came after";

    server->sent.clear();
    frameTime = 1.0f;
    for (int frame = 0; frame < 10; ++frame) {
        rules->update();
    }
    EXPECT_EQ(currentMatch().number, 2);
    EXPECT_EQ(currentMatch().map, "duel");
    EXPECT_FLOAT_EQ(currentMatch().timeLeft, 60.0f);
    int placed = 0;
    for (const auto& object : world().getObjects()) {
        if (const auto* const avatar = objectAs<Avatar>(object.get())) {
            placed += avatar->playerId == LATE ? 1 : 0;
            EXPECT_EQ(avatar->score + avatar->kills + avatar->deaths, 0);
            EXPECT_EQ(avatar->hp, 100);
            EXPECT_EQ(avatar->ammo, 50);
        }
    }
    EXPECT_EQ(placed, 1);
    // Each player hears of the match, its avatar, the map and its world, in that order.
    std::vector<std::int32_t> toP1;
    for (const SentMessage& sent : server->sent) {
        if (sent.playerId == P1) {
            toP1.push_back(messageId(sent.bytes));
        }
    }
    ASSERT_GE(toP1.size(), 4u);
    EXPECT_EQ(std::vector<std::int32_t>(toP1.begin(), toP1.begin() + 4),
              (std::vector<std::int32_t>{MSG_MATCH, MSG_YOUR_AVATAR, MSG_MAP, MSG_WORLD_SETUP}));
}

TEST_F(HostRules, NewGameOnAMapWithoutFloorDoesNotStart) {
    ScriptedPlatform  platform;
    const std::string folder = ::testing::TempDir() + "quillstep_solid_map";
    MapCells          solid;
    solid.fill(1);
    std::filesystem::create_directories(folder + "/Levels");
    std::ofstream(folder + "/Levels/map2.raw", std::ios::binary)
        .write(reinterpret_cast<const char*>(solid.data()), static_cast<std::streamsize>(solid.size()));
    setDataFolder(folder);
    const bool started = rules->newGame();
    setDataFolder("");
    EXPECT_FALSE(started);
    EXPECT_TRUE(server->sent.empty());
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_NE(platform.shown[0].text.find("cannot be played: it has no floor."), std::string::npos);
}

TEST_F(RunningGame, OneSpawnAttemptEveryFourSeconds) {
    playerAvatar(P1, 5, 5);
    rules->spawnTimer = 3.7f;
    rules->update();
    EXPECT_EQ(world().countPowerups(), 0);
    rules->update();  // 3.9 -> 4.1
    EXPECT_FLOAT_EQ(rules->spawnTimer, 0.0f);
    ASSERT_EQ(world().countPowerups(), 1) << "with no powerup on the map the chance is certain";

    const auto* const   powerup = objectAs<Powerup>(world().getObjects().back().get());
    const MessageBuffer spawn   = encode(PowerupSpawnMessage{powerup->pos, powerup->type, powerup->id});
    EXPECT_EQ(server->sent, toPlayers(spawn, SEND_RULE_OUTCOME, {P1, P2}));
}

TEST_F(RunningGame, EachMissingPowerupIsATenPercentChanceToSpawnOne) {
    for (int i = 0; i < 10; ++i) {
        addPowerup(2 + i, 2);
    }
    rules->trySpawnPowerup();
    EXPECT_EQ(world().countPowerups(), 10) << "a full map gets nothing";

    for (const int missing : {1, 5}) {
        for (const auto& object : world().getObjects()) {
            object->removed = object->removed || world().countPowerups() > 10 - missing;
        }
        int spawned = 0;
        for (int attempt = 0; attempt < 2000; ++attempt) {
            rules->trySpawnPowerup();
            if (world().countPowerups() > 10 - missing) {
                ++spawned;
                world().getObjects().back()->removed = true;
            }
        }
        EXPECT_NEAR(spawned, 200 * missing, 80) << missing << " missing";
    }
}

// What one bullet does to an avatar, as the host decides and tells the others.
TEST_F(RunningGame, AHitCostsTwentyAndAKillScoresStartsTheCountdownAndIsTold) {
    enum class Shooter { other, left, itself };
    struct Hit {
        const char* what;
        int         hp;
        bool        dead;
        Shooter     shooter;
        bool        counts;  // the bullet is spent and the players hear of it
        bool        kills;
    };
    const Hit hits[] = {
        {"a hit", 21, false, Shooter::other, true, false},
        {"a kill", 20, false, Shooter::other, true, true},
        {"a kill whose shooter left", 10, false, Shooter::left, true, true},
        {"the shooter's own bullet", 100, false, Shooter::itself, false, false},
        {"a shot at the dead", 0, true, Shooter::other, false, false},
    };
    for (const Hit& hit : hits) {
        SCOPED_TRACE(hit.what);
        world().clearObjects();
        server->sent.clear();
        killFeed().clear();
        Avatar& shooter     = playerAvatar(P1, 5, 5);
        Avatar& victim      = hit.shooter == Shooter::itself ? shooter : playerAvatar(P2, 9, 9);
        shooter.score       = 200;
        victim.hp           = hit.hp;
        victim.releaseTimer = hit.dead ? 3.0f : 0.0f;
        const int owner     = hit.shooter == Shooter::left ? 424242 : shooter.id;
        Bullet&   bullet    = addBullet(victim.pos.x, victim.pos.y, 0, owner);
        rules->hitAvatar(victim, bullet);

        // Hit points, then the score, where the dead avatar lies (so no
        // machine keeps it elsewhere), and who shot whom.
        std::vector<MessageBuffer> told;
        if (hit.counts) {
            told.push_back(encode(AvatarHpMessage{victim.id, hit.hp - 20}));
        }
        if (hit.kills && hit.shooter == Shooter::other) {
            told.push_back(encode(ScoreMessage{shooter.id, 300}));
        }
        if (hit.kills) {
            told.push_back(encode(AvatarStatusMessage{victim.id, {9, 9}, 0, 0, victim.ammo}));
            told.push_back(encode(KillMessage{victim.id, hit.shooter == Shooter::other ? shooter.id : -1}));
        }
        EXPECT_EQ(server->sent, toPlayers(told, SEND_RULE_OUTCOME, {P1, P2}));
        EXPECT_EQ(bullet.removed, hit.counts) << "a bullet that hits nobody flies on";
        EXPECT_EQ(victim.hp, hit.kills ? 0 : hit.counts ? hit.hp - 20 : hit.hp);
        if (hit.kills) {
            EXPECT_FLOAT_EQ(victim.releaseTimer, 5.0f);
            EXPECT_EQ(shooter.score, hit.shooter == Shooter::other ? 300 : 200);
            EXPECT_EQ(victim.killedBy, hit.shooter == Shooter::other ? shooter.name : "");
            ASSERT_EQ(killFeed().lines().size(), 1u);
            EXPECT_EQ(killFeed().lines()[0].text, hit.shooter == Shooter::other ? shooter.name + " shot " + victim.name
                                                                                : victim.name + " was shot");
        }
    }
}

TEST_F(RunningGame, RespawnAndPickupAreAppliedThenSent) {
    Avatar& avatar = playerAvatar(P1, 5, 5);
    avatar.hp      = 0;
    avatar.score   = 300;
    std::srand(11);
    rules->respawnAvatar(avatar);
    const Position cell = avatar.pos;
    EXPECT_FALSE(world().isBlocked(cell));
    EXPECT_NE(cell, (Position{5, 5})) << "a fresh cell, drawn at random";
    EXPECT_EQ(avatar.hp, 100);
    EXPECT_EQ(avatar.score, 300);
    EXPECT_EQ(server->sent, toPlayers(encode(AvatarRespawnMessage{avatar.id, cell}), SEND_RULE_OUTCOME, {P1, P2}));
    receive(P1, encode(AvatarStateMessage{avatar.id, 0, 0, 1, 0, 1, {5, 6}}));  // left before P1 heard of it
    EXPECT_EQ(avatar.up + avatar.fire, 0) << "a report from the life before drives nothing";
    receive(P1, encode(AvatarStateMessage{avatar.id, 0, 0, 1, 0, 1, cell}));
    EXPECT_EQ(avatar.up + avatar.fire, 2) << "the first report since names the cell it came back on";

    server->sent.clear();
    avatar.hp           = 0;
    avatar.releaseTimer = 2.0f;
    Powerup& health     = addPowerup(avatar.pos.x, avatar.pos.y, powerup_health);
    rules->pickPowerup(avatar, health);
    EXPECT_EQ(avatar.hp, 25) << "a dead avatar takes a powerup in its cell";
    EXPECT_FLOAT_EQ(avatar.releaseTimer, 2.0f);
    EXPECT_TRUE(health.removed);
    EXPECT_EQ(server->sent, toPlayers(encode(PowerupTakenMessage{avatar.id, health.id}), SEND_RULE_OUTCOME, {P1, P2}));
}

TEST_F(RunningGame, AReportedStateMovesThePlayersOwnAvatarAndGoesToTheOthers) {
    // Of one frame's reports, every one counts here and the latest goes on.
    Avatar&             avatar = playerAvatar(P1, 5, 5);
    const MessageBuffer state  = encode(AvatarStateMessage{avatar.id, 0, 1, 0, 1, 1, {6, 7}});
    server->incoming.push({P1, encode(AvatarStateMessage{avatar.id, 1, 0, 0, 0, 0, {5, 6}})});
    receive(P1, state);
    EXPECT_EQ(avatar.pos, (Position{6, 7}));
    EXPECT_EQ(avatar.right + avatar.down + avatar.fire, 3);
    EXPECT_EQ(server->sent, toPlayers(state, SEND_STATE_TO_PLAYERS, {P2}));

    server->sent.clear();
    avatar.setControls(0, 0, 0, 0, 0);
    const MessageBuffer hostile[] = {
        encode(AvatarStateMessage{avatar.id, 1, 0, 0, 0, 0, {8, 8}}),  // from someone else, below
        encode(AvatarStateMessage{avatar.id, 1, 0, 0, 0, 0, {0, 8}}),  // into the wall
        encode(AvatarStateMessage{4242, 1, 0, 0, 0, 0, {8, 8}}),
    };
    receive(P2, hostile[0]);
    for (std::size_t i = 1; i < std::size(hostile); ++i) {
        receive(P1, hostile[i]);
    }
    EXPECT_EQ(avatar.pos, (Position{6, 7}));
    EXPECT_EQ(avatar.left, 0);
    EXPECT_TRUE(server->sent.empty());
}

TEST_F(RunningGame, AReportThatWouldTeleportKeepsTheHostsCellAndCorrectsThePlayer) {
    frameTime      = 0.0f;  // reports all at one moment
    Avatar& avatar = playerAvatar(P1, 5, 5);
    receive(P1, encode(AvatarStateMessage{avatar.id, 0, 1, 0, 0, 0, {30, 30}}));
    EXPECT_EQ(avatar.pos, (Position{5, 5}));
    EXPECT_EQ(avatar.right, 1) << "the flags still count";
    const MessageBuffer corrected = encode(AvatarStateMessage{avatar.id, 0, 1, 0, 0, 0, {5, 5}});
    EXPECT_EQ(server->sent, (std::vector<SentMessage>{{P1, corrected, SEND_STATE_TO_PLAYERS},
                                                      {P2, corrected, SEND_STATE_TO_PLAYERS}}));

    // What a delayed report brings back is taken; one jump after another is not.
    std::vector<Position> taken;
    for (int report = 1; report <= 4; ++report) {
        receive(P1, encode(AvatarStateMessage{avatar.id, 0, 0, 0, 0, 0, {5 + 3 * report, 5}}));
        taken.push_back(avatar.pos);
    }
    EXPECT_EQ(taken, (std::vector<Position>{{8, 5}, {11, 5}, {14, 5}, {14, 5}}));
    frameTime = 0.2f;
    rules->update();
    receive(P1, encode(AvatarStateMessage{avatar.id, 0, 0, 0, 0, 0, {17, 5}}));
    EXPECT_EQ(avatar.pos, (Position{17, 5})) << "in time the allowance comes back";

    // Four cells off across a wall from y = 1 to `wallEnd` at x = 19: the
    // way round counts, 8 steps at y = 8 and 12 (more than a second's) at 10.
    for (const auto& [wallEnd, reachable] : {std::pair{10, false}, std::pair{8, true}}) {
        std::vector<Position> wall;
        for (int y = 1; y <= wallEnd; ++y) {
            wall.push_back({19, y});
        }
        useMap(wall);
        avatar.setPosition({17, 5});
        frameTime = 1.0f;
        rules->update();
        receive(P1, encode(AvatarStateMessage{avatar.id, 0, 0, 0, 0, 0, {21, 5}}));
        EXPECT_EQ(avatar.pos, (reachable ? Position{21, 5} : Position{17, 5})) << "a wall to y = " << wallEnd;
    }
}

TEST_F(RunningGame, ASecondAfterAnAvatarSettlesEveryoneHearsHowItStands) {
    frameTime      = 0.3f;
    Avatar& avatar = playerAvatar(P1, 5, 5);
    avatar.ammo    = 37;
    receive(P1, encode(AvatarStateMessage{avatar.id, 0, 0, 0, 0, 0, {6, 5}}));
    server->sent.clear();
    rules->update();
    rules->update();
    rules->update();
    EXPECT_TRUE(server->sent.empty()) << "0.9 s: not yet";
    rules->update();
    ASSERT_EQ(server->sent.size(), 4u);
    EXPECT_EQ(server->sent[0], (SentMessage{P1, encode(stateOf(avatar)), SEND_STATE_TO_PLAYERS})) << "the owner too";
    EXPECT_EQ(server->sent[3], (SentMessage{P2, encode(statusOf(avatar)), SEND_RULE_OUTCOME}));
    server->sent.clear();
    rules->update();
    EXPECT_TRUE(server->sent.empty()) << "once";
}

TEST_F(RunningGame, AFillKeepsThePlayersNumberWithBotsThatComeAndGoInTheGame) {
    const auto bots = [this] {  // the only objects here
        return std::count_if(world().getObjects().begin(), world().getObjects().end(),
                             [](const auto& object) { return !object->removed; });
    };
    CGame::instance().fillTo = 4;
    rules->update();
    EXPECT_EQ(bots(), 1) << "three people and a bot";
    const auto& added = static_cast<const Avatar&>(*world().getObjects().back());
    EXPECT_EQ(server->sent[0], (SentMessage{P1, encode(AvatarAddMessage{added.id, added.pos}), SEND_RULE_OUTCOME}))
        << "everyone sees it come";
    server->leave(P2);
    rules->update();
    EXPECT_EQ(bots(), 2) << "one comes back as a person leaves";
    server->join(3);
    server->join(4);
    rules->update();
    rules->update();
    EXPECT_EQ(bots(), 0);
    CGame::instance().fillTo = 0;
}

TEST_F(RunningGame, TheHostsCountStandsForTheDeadAndForAmmunition) {
    Avatar& avatar = playerAvatar(P1, 5, 5);
    avatar.hp      = 0;
    avatar.ammo    = 37;
    receive(P1, encode(AvatarStateMessage{avatar.id, 0, 1, 0, 0, 1, {6, 5}}));  // sent before it learned of its death
    EXPECT_EQ(avatar.pos, (Position{5, 5})) << "the dead lie where they fell";
    EXPECT_EQ(server->sent,
              toPlayers(encode(AvatarStateMessage{avatar.id, 0, 1, 0, 0, 1, {5, 5}}), SEND_STATE_TO_PLAYERS, {P2}));

    // Fire released: the players' own shot counts give way to the host's, the sender's too.
    server->sent.clear();
    avatar.hp = 100;
    receive(P1, encode(AvatarStateMessage{avatar.id, 0, 0, 0, 0, 0, {6, 5}}));
    std::vector<SentMessage> expected =
        toPlayers(encode(AvatarStateMessage{avatar.id, 0, 0, 0, 0, 0, {6, 5}}), SEND_STATE_TO_PLAYERS, {P2});
    const auto status =
        toPlayers(encode(AvatarStatusMessage{avatar.id, {6, 5}, 100, 0, 37}), SEND_RULE_OUTCOME, {P1, P2});
    expected.insert(expected.end(), status.begin(), status.end());
    EXPECT_EQ(server->sent, expected);

    // Fire pressed and let go over and over in one frame: still one report
    // on, the one that lets go, and then the count; pressed again at the
    // end, the count waits for the release.
    for (const int lastFire : {0, 1}) {
        server->sent.clear();
        for (int report = 1; report <= 6; ++report) {
            server->incoming.push({P1, encode(AvatarStateMessage{avatar.id, 0, 0, 0, 0, report % 2, {6, 5}})});
        }
        receive(P1, encode(AvatarStateMessage{avatar.id, 0, 0, 0, 0, lastFire, {6, 5}}));
        expected =
            toPlayers(encode(AvatarStateMessage{avatar.id, 0, 0, 0, 0, lastFire, {6, 5}}), SEND_STATE_TO_PLAYERS, {P2});
        if (lastFire == 0) {
            expected.insert(expected.end(), status.begin(), status.end());
        }
        EXPECT_EQ(server->sent, expected) << "last fire " << lastFire;
    }
}

TEST_F(RunningGame, OnlyAPlayerTakesItsOwnAvatarOut) {
    Avatar& mine   = playerAvatar(P1, 5, 5);
    Avatar& theirs = playerAvatar(P2, 9, 9);
    receive(P1, encode(AvatarRemoveMessage{theirs.id}));
    receive(P1, encode(AvatarRemoveMessage{9999}));
    EXPECT_FALSE(theirs.removed);
    EXPECT_TRUE(server->sent.empty());

    receive(P1, encode(AvatarRemoveMessage{mine.id}));
    EXPECT_TRUE(mine.removed);
    EXPECT_EQ(server->sent,
              (std::vector<SentMessage>{{P2, encode(ChatMessage{chat_notice, "", mine.name + " left"}), SEND_CHAT},
                                        {P2, encode(AvatarRemoveMessage{mine.id}), SEND_AVATAR_REMOVE}}));
}

TEST_F(RunningGame, InputGoesToEveryoneButTheOwnerAndLateJoinersHearNothing) {
    server->join(3);  // joined after the game began
    Avatar& own = playerAvatar(OWN, 5, 5);
    own.setRight(1);
    rules->avatarInputChanged(own);
    EXPECT_EQ(server->sent, toPlayers(encode(stateOf(own)), SEND_STATE_TO_PLAYERS, {P1, P2}));
}

TEST_F(RunningGame, APlayerWhoJoinsARunningGameGetsAnAvatarTheWorldAndThenEverything) {
    Avatar& other = playerAvatar(P1, 5, 5);
    other.hp      = 40;
    server->join(3);
    server->sent.clear();
    server->incoming.push({3, noticeBuffer(NET_PLAYER_CREATED)});
    rules->update();

    const auto& added = static_cast<const Avatar&>(*world().getObjects().back());
    ASSERT_EQ(added.playerId, 3u);
    EXPECT_FALSE(world().isBlocked(added.pos));
    ASSERT_GE(server->sent.size(), 8u);
    // The others add it and hear of it; the newcomer gets its avatar and the world as it stands.
    EXPECT_EQ(server->sent[0], (SentMessage{P1, encode(AvatarAddMessage{added.id, added.pos}), SEND_RULE_OUTCOME}));
    EXPECT_EQ(server->sent[1], (SentMessage{P2, encode(AvatarAddMessage{added.id, added.pos}), SEND_RULE_OUTCOME}));
    EXPECT_EQ(server->sent[2], (SentMessage{P1, encode(AvatarNameMessage{added.id, "Player 3"}), SEND_RULE_OUTCOME}));
    EXPECT_EQ(server->sent[5], (SentMessage{P2, encode(ChatMessage{chat_notice, "", "Player 3 joined"}), SEND_CHAT}));
    EXPECT_EQ(server->sent[6], (SentMessage{3, encode(YourAvatarMessage{added.id}), SEND_NEW_GAME}));
    EXPECT_EQ(messageId(server->sent[7].bytes), MSG_WORLD_SETUP);
    const auto status =
        std::find(server->sent.begin(), server->sent.end(), SentMessage{3, encode(statusOf(other)), SEND_RULE_OUTCOME});
    EXPECT_NE(status, server->sent.end()) << "hit points, score and ammunition as they stand";

    server->sent.clear();
    server->incoming.push({3, noticeBuffer(NET_PLAYER_CREATED)});  // said twice: nothing more
    rules->update();
    rules->avatarInputChanged(other);
    EXPECT_EQ(server->sent, toPlayers(encode(stateOf(other)), SEND_STATE_TO_PLAYERS, {P2, 3}));
}

TEST_F(RunningGame, NamesFromTheNetworkAreCleanedAndMadeUnique) {
    server->joinAs(3, "\x1b[2J Ann\n\xff");
    server->joinAs(4, "Ann");
    server->incoming.push({3, noticeBuffer(NET_PLAYER_CREATED)});
    server->incoming.push({4, noticeBuffer(NET_PLAYER_CREATED)});
    rules->update();
    const auto& objects = world().getObjects();
    EXPECT_EQ(static_cast<const Avatar&>(**std::prev(objects.end(), 2)).name, "[2J Ann");
    EXPECT_EQ(static_cast<const Avatar&>(*objects.back()).name, "Ann");

    server->joinAs(5, "  Ann  ");
    server->incoming.push({5, noticeBuffer(NET_PLAYER_CREATED)});
    rules->update();
    EXPECT_EQ(static_cast<const Avatar&>(*world().getObjects().back()).name, "Ann 2");
}

class JoinedRules : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        resetGame();
        client = &giveClient(P1);
        installArbiter(std::make_unique<LocalArbiter>());
    }
    void TearDown() override {
        resetGame();
        WorldTest::TearDown();
    }
    RecordingClient* client = nullptr;
};

TEST_F(JoinedRules, BulletsVanishAtOtherAvatarsDeadOrAlive) {
    Avatar& shooter = addAvatar(5, 5);
    Avatar& dead    = addAvatar(9, 9);
    dead.hp         = 0;
    Bullet& own     = addBullet(5, 5, 0, shooter.id);
    Bullet& other   = addBullet(9, 9, 0, shooter.id);
    currentArbiter().collide(shooter, own);
    currentArbiter().collide(other, dead);
    EXPECT_FALSE(own.removed);
    EXPECT_TRUE(other.removed);
    EXPECT_EQ(dead.hp, 0);
}

}  // namespace
