#include <gtest/gtest.h>

#include "GameDoubles.h"
#include "TestSupport.h"
#include "draw/GameScreen.h"
#include "game/ServerConsole.h"
#include "platform/FrameState.h"
#include "platform/VirtualKeys.h"
#include "rules/Arbiter.h"
#include "rules/LocalArbiter.h"
#include "rules/MessageCodec.h"
#include "world/Avatar.h"
#include "world/World.h"

namespace {

class GameFlow : public ::testing::Test {
protected:
    void SetUp() override {
        resetGame(&server, &client);
        frameTime = 0.2f;
    }
    void TearDown() override { resetGame(); }

    // Joins, and the host's avatar and world messages start the game.
    void joinRunningGame() {
        game.handleCommand(cmd_join_game);
        client->connected = true;
        game.update();
        client->incoming.push(encode(YourAvatarMessage{111}));
        client->incoming.push(encode(WorldSetupMessage{"Levels/map2.raw", {{entry_avatar, {20, 1}, 0, 111}}}));
        game.update();
        ASSERT_EQ(game.state, state_running);
    }

    CGame&           game = CGame::instance();
    ScriptedPlatform platform;
    RecordingServer* server = nullptr;
    RecordingClient* client = nullptr;
};

TEST_F(GameFlow, HostingShowsAFrameThenWaitsForPlayers) {
    game.handleCommand(cmd_host_game);
    game.update();
    EXPECT_EQ(game.state, state_creating) << "a frame shows that the server is being made";
    EXPECT_EQ(server, nullptr);
    game.update();
    EXPECT_EQ(game.state, state_hosting);
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(client->connectedTo, std::vector<std::string>{"127.0.0.1"});

    game.handleCommand(cmd_enter_key);
    EXPECT_EQ(game.state, state_hosting) << "the host's own player has not joined yet";

    client->playerId  = 5;
    client->connected = true;
    server->join(5);
    game.handleCommand(cmd_enter_key);
    EXPECT_EQ(game.state, state_running);
    ASSERT_NE(getArbiter(), nullptr);
    EXPECT_EQ(CWorld::instance().getObjects().size(), 11u);
    game.handleCommand(cmd_enter_key);  // held down: nothing more happens
    EXPECT_EQ(CWorld::instance().getObjects().size(), 11u);

    game.update();  // the host's own messages come back through its client
    const auto sent = server->sent;
    ASSERT_EQ(sent.size(), 2u);
    client->incoming.push(sent[0].bytes);
    client->incoming.push(sent[1].bytes);
    game.update();
    ASSERT_NE(game.localAvatar, nullptr);
    EXPECT_EQ(game.localAvatar->playerId, 5u);
    EXPECT_EQ(game.state, state_running);
}

TEST_F(GameFlow, AHostThatCannotHostIsBackAtTheStart) {
    game.makeServer = [] {
        auto failing        = std::make_unique<RecordingServer>();
        failing->hostResult = -1;
        return failing;
    };
    game.handleCommand(cmd_host_game);
    game.finishHosting();
    EXPECT_EQ(game.state, state_start);
    EXPECT_EQ(game.server, nullptr);
    EXPECT_EQ(game.client, nullptr);
}

TEST_F(GameFlow, EnterStartsOnlyTheHostsWaitingScreenAndTheBotKeysWorkOnlyOnAHost) {
    for (const GameState state : {state_start, state_connecting, state_connected, state_running}) {
        game.state = state;
        game.handleCommand(cmd_enter_key);
        game.handleCommand(cmd_add_bot);
        EXPECT_EQ(game.state, state);
        EXPECT_EQ(getArbiter(), nullptr);
        EXPECT_EQ(game.bots, 0) << "no host, no bots";
    }
    giveServer();
    for (const GameState state : {state_hosting, state_running}) {
        game.state = state;
        game.bots  = 0;
        game.handleCommand(cmd_remove_bot);
        EXPECT_EQ(game.bots, 0) << "never below none";
        for (int i = 0; i < MAX_BOTS + 3; ++i) {
            game.handleCommand(cmd_add_bot);
        }
        EXPECT_EQ(game.bots, MAX_BOTS);
        game.handleCommand(cmd_remove_bot);
        EXPECT_EQ(game.bots, MAX_BOTS - 1);
        game.handleCommand(cmd_next_bot_level);
        EXPECT_EQ(game.level, state == state_hosting ? BotLevel::hard : BotLevel::normal) << "the level while waiting";
        game.level = BotLevel::normal;
    }
    game.fillTo = 4;
    game.handleCommand(cmd_add_bot);
    EXPECT_EQ(game.fillTo, 5) << "with a fill, the keys change what it fills to";
    game.fillTo = 0;
}

TEST_F(GameFlow, TheConnectDialogsCancelAndCloseBoxBothGoBack) {
    for (const DialogResult answer : {DialogResult::cancel, DialogResult::closed}) {
        platform.dialogAnswer = answer;
        game.handleCommand(cmd_join_game);
        EXPECT_EQ(game.state, state_start);
        EXPECT_EQ(game.client, nullptr);
    }
}

TEST_F(GameFlow, AJoinThatNeverConnectsTimesOutAfterTwentySecondsOfGameTime) {
    platform.typedAddress = "10.1.2.3";
    game.handleCommand(cmd_join_game);
    EXPECT_EQ(game.state, state_connecting);
    EXPECT_EQ(game.serverAddress, "10.1.2.3");
    EXPECT_EQ(client->connectedTo, std::vector<std::string>{"10.1.2.3"});

    for (int frame = 0; frame < 99; ++frame) {
        game.update();
    }
    EXPECT_EQ(game.state, state_connecting) << "19.8 s";
    EXPECT_TRUE(platform.shown.empty());
    game.update();
    game.update();
    EXPECT_EQ(game.state, state_start);
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text, "Connection timed out.");
    EXPECT_EQ(platform.shown[0].title, "Error");
    EXPECT_FALSE(platform.shown[0].owned);
}

// A kick's farewell comes just before the connection ends; it is read
// first, so the box says why rather than that the host was lost.
TEST_F(GameFlow, ALostHostIsToldWaitingInABoxAndPlayingOverTheWindow) {
    struct Case {
        bool        playing;
        const char* farewell;  // the host's last word, or none
        const char* shown;
    };
    const Case cases[] = {
        {false, nullptr, "Server disconnected."},
        {true, nullptr, "Disconnected from server."},
        {false, "You were kicked: too loud", "You were kicked: too loud"},
        {true, "You were kicked: too loud", "You were kicked: too loud"},
    };
    for (const Case& c : cases) {
        resetGame(&server, &client);
        platform.shown.clear();
        if (c.playing) {
            ASSERT_NO_FATAL_FAILURE(joinRunningGame());
        } else {
            game.handleCommand(cmd_join_game);
            client->connected = true;
            client->incoming.push(encode(YourAvatarMessage{42}));
            game.update();
            EXPECT_EQ(game.state, state_connected);
            EXPECT_NE(dynamic_cast<LocalArbiter*>(getArbiter()), nullptr);
            EXPECT_EQ(client->incoming.size(), 0) << "messages are read in the frame the connection completes";
        }
        if (c.farewell != nullptr) {
            client->incoming.push(encode(ChatMessage{chat_farewell, "", c.farewell}));
        }
        client->connected = false;
        game.update();
        EXPECT_EQ(game.state, state_start);
        EXPECT_EQ(getArbiter(), nullptr);
        ASSERT_EQ(platform.shown.size(), 1u);
        EXPECT_EQ(platform.shown[0].text, c.shown);
        EXPECT_EQ(platform.shown[0].owned, c.playing);
    }
}

TEST_F(GameFlow, LeavingARunningGameTellsTheHostAndLeavesNothingBehind) {
    joinRunningGame();
    std::vector<SentMessage> sentBeforeGoing;  // the client goes with the game
    client->log = &sentBeforeGoing;
    game.handleCommand(cmd_exit_game);

    EXPECT_EQ(sentBeforeGoing, (std::vector<SentMessage>{{0, encode(AvatarRemoveMessage{111}), SEND_AVATAR_REMOVE}}));
    EXPECT_TRUE(platform.shown.empty()) << "leaving is not an error";
    EXPECT_EQ(game.state, state_start);
    EXPECT_TRUE(CWorld::instance().getObjects().empty());
    EXPECT_EQ(game.client, nullptr);
    EXPECT_EQ(game.localAvatar, nullptr);
    EXPECT_EQ(getArbiter(), nullptr);
}

// T opens a line that stops the avatar; what cleaning would change or what
// is over 120 characters is not typed; Backspace takes a whole character;
// ENTER sends the line to the host and Esc drops it.
TEST_F(GameFlow, TheChatLineTypesOnlyWhatCanBeSaidAndSendsItOnEnter) {
    ASSERT_NO_FATAL_FAILURE(joinRunningGame());
    keys[VK_LEFT] = 1;
    game.handleCommand(cmd_open_chat);
    ASSERT_TRUE(game.chatOpen);
    EXPECT_EQ(keys[VK_LEFT], 0) << "the avatar stands while its player types";
    for (const char* const typed : {"h", "\xc3\xa9", "\x1b", "\n", " ", "\xff", "!"}) {
        game.typeInChat(typed);
    }
    EXPECT_EQ(game.chatDraft, "h\xc3\xa9 !");
    game.eraseInChat();
    game.eraseInChat();
    game.eraseInChat();
    EXPECT_EQ(game.chatDraft, "h");
    game.typeInChat(std::string(200, 'x'));
    EXPECT_EQ(game.chatDraft, "h") << "over the length";
    client->sent.clear();
    game.closeChat(true);
    EXPECT_FALSE(game.chatOpen);
    ASSERT_EQ(client->sent.size(), 1u);
    EXPECT_EQ(client->sent[0].bytes, encode(ChatMessage{chat_said, "", "h"}));
    game.handleCommand(cmd_open_chat);
    game.typeInChat("dropped");
    game.closeChat(false);
    EXPECT_EQ(client->sent.size(), 1u);
}

// Every line a console may be given gets one answer; a wrong one says what
// was wrong and changes nothing.
TEST_F(GameFlow, TheServerConsoleAnswersEveryLineAndRefusesWrongOnes) {
    RecordingServer& host = giveServer();
    host.joinAs(5, "Ann");
    host.joinAs(6, "Ann");
    host.joinAs(7, "Bob");
    const std::pair<std::string, std::string> refused[] = {
        {"kick", "error no player is called "},
        {"kick Cy", "error no player is called Cy"},
        {"kick Ann", "error Ann names more than one player: use an id"},
        {"ban 7 99999999999", "error ban takes a player and 0 to 525600 minutes"},
        {"ban 7 -5", "error ban takes a player and 0 to 525600 minutes"},
        {"unban 10.0.0.300", "error 10.0.0.300 is not banned"},
        {"bots 1000", "error bots takes 0 to 32"},
        {"bots 3x", "error bots takes 0 to 32"},
        {"limits -1 5", "error limits takes a score of 0 to 1000000 and 0 to 1440 minutes"},
        {"limits 100", "error limits takes a score of 0 to 1000000 and 0 to 1440 minutes"},
        {"botlevel insane", "error botlevel takes easy, normal or hard"},
        {"map ../../etc/passwd", "error the map ../../etc/passwd cannot be played: that is no map's name."},
        {"next", "error no game is running"},
        {"say \x1b\x7f\x01", "error say takes a line to say"},
        {"password", "error password takes a word, or off"},
        {"\x1b[2Jboom\xff", "error unknown command [2Jboom (try help)"},
        {std::string(5000, 'k'), "error unknown command " + std::string(120, 'k') + " (try help)"},
    };
    bool quit = false;
    for (const auto& [line, answer] : refused) {
        EXPECT_EQ(runConsoleLine(game, line, quit), answer) << line;
    }
    EXPECT_EQ(game.bots, 0);
    EXPECT_EQ(game.matchSetup.scoreLimit, 0);
    EXPECT_TRUE(host.sent.empty());
    EXPECT_FALSE(quit);

    EXPECT_EQ(runConsoleLine(game, "limits 500 10", quit), "limits 500 points, 10 minutes, from the next match");
    EXPECT_EQ(game.matchSetup.timeLimit, 10);
    EXPECT_EQ(runConsoleLine(game, "kick 7 spamming", quit), "kicked Bob");
    ASSERT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(host.sent[0].bytes, encode(ChatMessage{chat_farewell, "", "You were kicked: spamming"}));
    EXPECT_EQ(runConsoleLine(game, "quit", quit), "quitting");
    EXPECT_TRUE(quit);
}

TEST(Scoreboard, BestScoreFirstThenByNameWithTheOwnLineMarked) {
    resetGame();
    CWorld& world = CWorld::instance();
    world.clearObjects();
    const auto add = [&](const char* name, const std::int32_t score, const std::int32_t hp) -> Avatar& {
        auto avatar   = std::make_unique<Avatar>();
        avatar->name  = name;
        avatar->score = score;
        avatar->hp    = hp;
        return static_cast<Avatar&>(*world.addObject(std::move(avatar)));
    };
    add("Cy", 100, 0);
    CGame::instance().localAvatar = &add("Bo", 300, 50);
    add("Al", 100, 20);
    const std::vector<ScoreLine> lines = scoreboardLines(CGame::instance());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].name, "Bo");
    EXPECT_TRUE(lines[0].own);
    EXPECT_EQ(lines[1].name, "Al");
    EXPECT_EQ(lines[2].name, "Cy");
    EXPECT_FALSE(lines[2].alive);
    EXPECT_EQ(lines[2].roundTrip, -1) << "until the host has told";
    resetGame();
    world.clearObjects();
}

}  // namespace
