// Hostile peers against a real host: a rogue ENet peer of the tests' own
// sends what no honest machine would. Afterwards the host still answers,
// keeps time, and an honest player's world is still the host's.

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Lan.h"
#include "RoguePeer.h"
#include "net/NetHost.h"
#include "net/WireProtocol.h"
#include "rules/MessageCodec.h"
#include "rules/PackedForm.h"

namespace {

using nlohmann::json;

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
    void startWithRogue(const std::string& rogueName = "rogue") {
        ASSERT_NO_FATAL_FAILURE(hostGame());
        ASSERT_TRUE(rogue.connectTo("127.0.0.1", testPort()));
        rogue.sendHello(APPLICATION_GUID, rogueName);
        ASSERT_NO_FATAL_FAILURE(joinPlayers(1, "127.0.0.1", 3));
        all("pace on");
        ASSERT_NO_FATAL_FAILURE(pressEnter());
    }

    std::int32_t rogueAvatar() {
        for (const MessageBuffer& message : rogue.received()) {
            if (const auto id = decode<YourAvatarMessage>(message)) {
                return id->avatarId;
            }
        }
        return 0;
    }

    RoguePeer rogue;
};

TEST_F(HostileLan, AHostileNameReachesEveryScreenCleaned) {
    ASSERT_NO_FATAL_FAILURE(startWithRogue("\x1b[2J\xff Evil\nName that is far too long" + std::string(5000, 'x')));
    all("seconds 0.5");
    for (const json& world : worlds()) {
        EXPECT_EQ(objectWithId(world, rogueAvatar())["name"], "[2J EvilName th");
    }
}

TEST_F(HostileLan, AFloodIsCutOffAndTheGameGoesOn) {
    ASSERT_NO_FATAL_FAILURE(startWithRogue());
    // Valid reports, far more often than fingers change keys.
    const MessageBuffer state = encode(AvatarStateMessage{rogueAvatar(), 0, 0, 0, 0, 0, {1, 1}});
    for (int i = 0; i < 400 && rogue.connected(); ++i) {
        rogue.sendGame(state, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
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

// A link that stalled delivers what it held back at once: more than a
// second's worth of reports arriving together is no flood.
TEST_F(HostileLan, ReportsHeldBackByAStalledLinkAndDeliveredAtOnceAreNoFlood) {
    ASSERT_NO_FATAL_FAILURE(startWithRogue());
    const MessageBuffer state = encode(AvatarStateMessage{rogueAvatar(), 0, 0, 0, 0, 0, {1, 1}});
    for (int i = 0; i < 200; ++i) {
        rogue.sendGame(state, false);
    }
    expectAliveAndOnTime();
    EXPECT_TRUE(rogue.connected());
}

// One packet may bundle many messages: a player sending far more of them
// than fingers make is a flood all the same.
TEST_F(HostileLan, ABundleOfMoreMessagesThanAPlayerSendsIsAFlood) {
    ASSERT_NO_FATAL_FAILURE(startWithRogue());
    const MessageBuffer       state = encode(AvatarStateMessage{rogueAvatar(), 0, 0, 0, 0, 0, {1, 1}});
    std::vector<std::uint8_t> bundle{static_cast<std::uint8_t>(PacketKind::bundle)};
    for (int i = 0; i < 600; ++i) {
        ASSERT_TRUE(gameWireForm().pack(state.data(), state.size(), bundle));
    }
    rogue.sendPacket(bundle);
    expectAliveAndOnTime();
    EXPECT_FALSE(rogue.connected());
    EXPECT_EQ(rogue.disconnectReason(), 3u);
}

// Chat from a hostile player reaches the others as clean single lines of at
// most 120 characters, and a flood of lines as three, with "Slow down." back.
TEST_F(HostileLan, HostileChatArrivesCleanAndAFloodOfLinesIsSlowedDown) {
    ASSERT_NO_FATAL_FAILURE(startWithRogue("Mallory"));
    const std::string hostile[] = {"\xff\xfe bad \xc3", "\x1b[2J\u202Etwo\nlines\r", std::string(5000, 'y')};
    for (const std::string& text : hostile) {
        rogue.sendGame(encode(ChatMessage{chat_said, "Alice", text}));
    }
    rogue.sendGame(encode(ChatMessage{chat_notice, "", "Ann joined"}));  // only the host gives notices
    all("seconds 0.5");
    const json said = worlds()[1]["chat"];
    ASSERT_EQ(said.size(), 3u) << said;
    EXPECT_EQ(said[0], "Mallory: bad") << "the host names the speaker";
    EXPECT_EQ(said[1], "Mallory: [2Jtwolines");
    EXPECT_EQ(said[2], "Mallory: " + std::string(MAX_CHAT_CHARACTERS, 'y'));
    EXPECT_TRUE(worlds()[1]["notices"].empty()) << "only the host gives notices";
    all("seconds 2");

    for (int line = 0; line < 6; ++line) {
        rogue.sendGame(encode(ChatMessage{chat_said, "", "spam"}));
    }
    all("seconds 0.5");
    const json chat = worlds()[1]["chat"];
    EXPECT_EQ(std::count(chat.begin(), chat.end(), "Mallory: spam"), 3) << chat;
    const std::vector<MessageBuffer> heard = rogue.received();
    EXPECT_TRUE(std::any_of(heard.begin(), heard.end(), [](const MessageBuffer& message) {
        const std::optional<ChatMessage> notice = decode<ChatMessage>(message);
        return notice && notice->kind == chat_notice && notice->text == "Slow down.";
    }));
    expectAliveAndOnTime();
}

TEST_F(HostileLan, SilentPeersAndBadHellosAreTurnedAway) {
    ASSERT_NO_FATAL_FAILURE(hostGame());
    std::vector<std::unique_ptr<RoguePeer>> silent;
    for (int i = 0; i < 6; ++i) {
        silent.push_back(std::make_unique<RoguePeer>());
        silent.back()->connectTo("127.0.0.1", testPort());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LE(std::count_if(silent.begin(), silent.end(), [](const auto& peer) { return peer->connected(); }), 4)
        << "at most four peers of one address wait for their hello";
    all("seconds 5.5");
    EXPECT_TRUE(std::none_of(silent.begin(), silent.end(), [](const auto& peer) { return peer->connected(); }))
        << "no hello within five seconds";

    RoguePeer foreign;
    ASSERT_TRUE(foreign.connectTo("127.0.0.1", testPort()));
    foreign.sendHello({1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}});
    RoguePeer mute;
    ASSERT_TRUE(mute.connectTo("127.0.0.1", testPort()));
    mute.sendPacket({1});  // a hello with nothing in it
    RoguePeer eager;
    ASSERT_TRUE(eager.connectTo("127.0.0.1", testPort()));
    eager.sendGame(encode(AvatarRemoveMessage{1}));  // before its hello: ignored
    eager.sendHello();
    eager.sendHello();  // twice: ignored
    all("seconds 1");
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

// Connection requests that never finish their handshake, from one address
// and then from many: each request's peer is forgotten as soon as it is sent.
void floodWithRequests(const char* const fromAddress, const int requests) {
    ENetAddress from{};
    inet_pton(AF_INET, fromAddress, &from.host);
    NetHost flooder;
    ASSERT_TRUE(flooder.create(&from, static_cast<std::size_t>(requests)));
    ENetAddress host{};
    host.port = testPort();
    inet_pton(AF_INET, "127.0.0.1", &host.host);
    for (int i = 0; i < requests; ++i) {
        enet_host_connect(flooder.get(), &host, 1, 0);
    }
    enet_host_flush(flooder.get());
}

TEST_F(HostileLan, RequestsThatNeverFinishKeepNobodyOut) {
    ASSERT_NO_FATAL_FAILURE(hostGame());
    floodWithRequests("127.0.0.2", 255);
    for (int address = 3; address < 80; ++address) {
        floodWithRequests(("127.0.0." + std::to_string(address)).c_str(), 20);
    }
    ASSERT_EQ(addMachine("late").command("join 127.0.0.1"), "ok");
    ASSERT_TRUE(framesUntil([&] { return seen[1]["state"] == "connected"; }, std::chrono::seconds(5)))
        << "a player from another address gets in within five seconds";
    EXPECT_LE(seen[0]["clients"].get<int>(), 2);
}

}  // namespace
