#include <enet/enet.h>
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "GameDoubles.h"
#include "NetSupport.h"
#include "TestSupport.h"
#include "net/Client.h"
#include "net/ComError.h"
#include "net/DatagramGuard.h"
#include "net/Server.h"
#include "net/WireProtocol.h"
#include "world/Avatar.h"
#include "world/World.h"

// The wall clock as this process sees it, which a test may step; the
// monotonic clock goes on as it is.
std::atomic<long long> wallClockStepUs{0};

extern "C" int gettimeofday(timeval* __restrict time, void* __restrict zone) noexcept {
    const int result = static_cast<int>(syscall(SYS_gettimeofday, time, zone));
    if (result == 0) {
        const long long us = time->tv_sec * 1000000LL + time->tv_usec + wallClockStepUs;
        time->tv_sec       = us / 1000000;
        time->tv_usec      = us % 1000000;
    }
    return result;
}

namespace {

constexpr std::uint32_t GUARANTEED_SYNC = DPNSEND_SYNC | DPNSEND_PRIORITY_HIGH | DPNSEND_GUARANTEED;

MessageBuffer pattern(const std::size_t size, const std::uint8_t seed) {
    MessageBuffer bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    }
    return bytes;
}

std::int32_t kindOf(const MessageBuffer& bytes) {
    return bytes.size() < 4 ? -1
                            : static_cast<std::int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | bytes[3] << 24);
}

std::unique_ptr<Client> playerOfThisRun() {
    auto player = std::make_unique<Client>();
    player->setPort(testPort());
    return player;
}

// A hosted session on this run's port, with players joining it.
class NetSession : public ::testing::Test {
protected:
    void SetUp() override {
        server.setPort(testPort());
        ASSERT_EQ(server.host("bogus game"), 0);
    }

    Client& join() {
        players.push_back(playerOfThisRun());
        Client& player = *players.back();
        EXPECT_EQ(player.connect("127.0.0.1"), 0);
        EXPECT_TRUE(waitUntil([&] { return player.connected.load(); }));
        const std::uint32_t id = player.localPlayerId();
        EXPECT_TRUE(waitUntil([&] { return server.findClient(id).has_value(); }));
        return player;
    }

    // Joins and waits for the host's notice of it: the record is listed a
    // moment before the notice is queued, so draining at once may miss it.
    Client& joinAndHearIt() {
        Client&             player = join();
        const std::uint32_t id     = player.localPlayerId();
        bool                heard  = false;
        EXPECT_TRUE(waitUntil([&] {
            for (const ServerMessage& message : drain(server.incoming)) {
                heard = heard || (message.playerId == id && kindOf(message.data) == NET_PLAYER_CREATED);
            }
            return heard;
        }));
        return player;
    }

    ScriptedPlatform                     platform;
    Server                               server;
    std::vector<std::unique_ptr<Client>> players;
};

TEST_F(NetSession, PlayersAreListedInJoinOrderAndLeaveWithANotice) {
    const std::uint32_t a      = join().localPlayerId();
    Client&             second = join();
    const std::uint32_t b      = second.localPlayerId();
    const std::uint32_t c      = join().localPlayerId();
    ASSERT_NE(a, 0u);
    EXPECT_NE(a, b);
    EXPECT_NE(b, c);
    EXPECT_NE(a, c);

    const auto ids = [this] {
        std::vector<std::uint32_t> list;
        for (const ClientRecord& record : server.clientList()) {
            list.push_back(record.id);
        }
        return list;
    };
    EXPECT_EQ(ids(), (std::vector<std::uint32_t>{a, b, c}));

    second.close();
    ASSERT_TRUE(waitUntil([&] { return server.clientCount() == 2; }));
    EXPECT_EQ(ids(), (std::vector<std::uint32_t>{a, c}));
    EXPECT_EQ(server.getClient(1)->id, c) << "later players move down one place";
    EXPECT_FALSE(server.getClient(-1).has_value());
    EXPECT_FALSE(server.getClient(2).has_value());
    EXPECT_FALSE(server.findClient(b).has_value());

    std::vector<std::pair<std::uint32_t, std::int32_t>> notices;
    waitUntil([&] {  // a notice is queued a moment after the list changes
        for (const ServerMessage& message : drain(server.incoming)) {
            notices.emplace_back(message.playerId, kindOf(message.data));
            EXPECT_EQ(message.data.size(), 4u);
        }
        return notices.size() >= 4;
    });
    EXPECT_EQ(
        notices,
        (std::vector<std::pair<std::uint32_t, std::int32_t>>{
            {a, NET_PLAYER_CREATED}, {b, NET_PLAYER_CREATED}, {c, NET_PLAYER_CREATED}, {b, NET_PLAYER_DESTROYED}}));
    EXPECT_TRUE(platform.shown.empty());
}

TEST_F(NetSession, MessagesOfEverySizeArriveWholeWithTheirSender) {
    Client& first  = joinAndHearIt();
    Client& second = joinAndHearIt();

    const std::size_t sizes[] = {1, 8, 36, 260, 1500, 20000, MAX_MESSAGE_SIZE};
    for (const std::size_t size : sizes) {
        const auto length = static_cast<std::uint32_t>(size);
        EXPECT_EQ(first.send(length, pattern(size, 1).data(), GUARANTEED_SYNC), 0);
        EXPECT_EQ(server.sendTo(first.localPlayerId(), length, pattern(size, 2).data(), GUARANTEED_SYNC), 0);
    }
    EXPECT_EQ(second.send(4, pattern(4, 3).data(), DPNSEND_PRIORITY_HIGH | DPNSEND_GUARANTEED), 0);

    std::vector<ServerMessage> received;
    std::vector<MessageBuffer> toFirst;
    ASSERT_TRUE(waitUntil([&] {
        for (ServerMessage& message : drain(server.incoming)) {
            received.push_back(std::move(message));
        }
        for (MessageBuffer& bytes : drain(first.incoming)) {
            toFirst.push_back(std::move(bytes));
        }
        return received.size() == std::size(sizes) + 1 && toFirst.size() == std::size(sizes);
    }));
    std::size_t fromFirst = 0;
    for (const ServerMessage& message : received) {
        if (message.playerId == second.localPlayerId()) {
            EXPECT_EQ(message.data, pattern(4, 3));
        } else {
            ASSERT_EQ(message.playerId, first.localPlayerId());
            EXPECT_EQ(message.data, pattern(sizes[fromFirst], 1)) << "size " << sizes[fromFirst];
            ++fromFirst;
        }
    }
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
        EXPECT_EQ(toFirst[i], pattern(sizes[i], 2));
    }
    EXPECT_EQ(second.incoming.size(), 0) << "a send reaches its one addressee";
}

TEST_F(NetSession, MixedGuaranteedAndUnguaranteedSendsKeepTheirOrder) {
    Client&                 player = joinAndHearIt();
    constexpr std::uint32_t COUNT  = 100;  // within what a player may send in a second
    for (std::uint32_t seq = 0; seq < COUNT; ++seq) {
        const bool          guaranteed = seq % 3 == 0 || seq == COUNT - 1;
        const std::uint32_t flags      = guaranteed ? DPNSEND_PRIORITY_HIGH | DPNSEND_GUARANTEED : DPNSEND_PRIORITY_LOW;
        const std::uint8_t  bytes[36]  = {static_cast<std::uint8_t>(seq), static_cast<std::uint8_t>(seq >> 8),
                                          static_cast<std::uint8_t>(guaranteed)};
        ASSERT_EQ(player.send(sizeof bytes, bytes, flags), 0);
    }

    std::vector<std::uint32_t> sequence;
    std::vector<bool>          guaranteed;
    ASSERT_TRUE(waitUntil([&] {
        for (const ServerMessage& message : drain(server.incoming)) {
            if (message.playerId != player.localPlayerId() || message.data.size() != 36) {
                continue;  // a notice, say of a stray peer from elsewhere on the machine
            }
            sequence.push_back(message.data[0] | message.data[1] << 8);
            guaranteed.push_back(message.data[2] != 0);
        }
        return !sequence.empty() && sequence.back() == COUNT - 1;
    }));
    for (std::size_t i = 1; i < sequence.size(); ++i) {
        ASSERT_LT(sequence[i - 1], sequence[i]) << "never out of order";
    }
    EXPECT_EQ(std::count(guaranteed.begin(), guaranteed.end(), true), COUNT / 3 + 1)
        << "every guaranteed message arrives";
}

// As many players as a game takes, all from one ENet host of the test's own,
// and the next is told the game is full.
TEST(CrowdedGame, AGameTakesItsMostPlayersAndTellsTheNextItIsFull) {
    constexpr std::size_t MOST = 255;
    ScriptedPlatform      platform;
    Server                host;  // letting the whole crowd play from one address
    host.setPort(testPort());
    host.setMaxPerAddress(MOST + 1);
    ASSERT_EQ(host.host("crowded game"), 0);
    ENetHost* const crowd = enet_host_create(nullptr, MOST + 1, 1, 0, 0);
    ASSERT_NE(crowd, nullptr);
    ENetAddress address{};
    enet_address_set_host_ip(&address, "127.0.0.1");
    address.port          = testPort();
    std::size_t ended     = 0;
    enet_uint32 full      = 0;
    auto        beatAfter = std::chrono::steady_clock::now();
    const auto  serve     = [&] {
        if (std::chrono::steady_clock::now() > beatAfter) {  // a silent player is a gone one
            beatAfter += std::chrono::milliseconds(HEARTBEAT_PERIOD_MS);
            enet_host_broadcast(crowd, 0, makeHeartbeat());
        }
        ENetEvent event;
        while (enet_host_service(crowd, &event, 0) > 0) {
            if (event.type == ENET_EVENT_TYPE_CONNECT) {
                enet_peer_send(event.peer, 0, makeHello(APPLICATION_GUID, "crowd"));
            } else if (event.type == ENET_EVENT_TYPE_DISCONNECT) {
                ++ended;
                full = event.data;
            } else if (event.type == ENET_EVENT_TYPE_RECEIVE) {
                enet_packet_destroy(event.packet);
            }
        }
        enet_host_flush(crowd);
    };
    // One after another: an address may have only a few peers waiting to say hello.
    for (std::size_t i = 0; i < MOST; ++i) {
        enet_host_connect(crowd, &address, 1, 0);
        ASSERT_TRUE(waitUntil([&] {
            serve();
            return host.clientCount() == static_cast<std::int32_t>(i + 1);
        })) << i
            << " players";
    }
    enet_host_connect(crowd, &address, 1, 0);
    EXPECT_TRUE(waitUntil([&] {
        serve();
        return ended > 0;
    }));
    EXPECT_EQ(ended, 1u);
    EXPECT_EQ(full, DISCONNECT_FULL);
    EXPECT_EQ(host.clientCount(), static_cast<std::int32_t>(MOST));
    enet_host_destroy(crowd);
}

// Those who watch have a limit of their own, and take no player's place.
TEST_F(NetSession, SpectatorsAreCountedApartFromPlayersEachUpToALimitOfTheirOwn) {
    server.setMaxPlayers(1);
    server.setMaxSpectators(1);
    const auto attempt = [&](const bool watching) -> Client& {
        players.push_back(playerOfThisRun());
        players.back()->setSpectator(watching);
        EXPECT_EQ(players.back()->connect("127.0.0.1"), 0);
        return *players.back();
    };
    join();
    Client& watcher = attempt(true);
    ASSERT_TRUE(waitUntil([&] { return watcher.connected.load() && server.clientCount() == 2; }));
    Client& secondWatcher = attempt(true);
    Client& secondPlayer  = attempt(false);
    EXPECT_TRUE(waitUntil([&] { return secondWatcher.endedWith() == DISCONNECT_FULL; }));
    EXPECT_TRUE(waitUntil([&] { return secondPlayer.endedWith() == DISCONNECT_FULL; }));
    EXPECT_EQ(server.playerCount(), 1);
    EXPECT_EQ(server.spectatorCount(), 1);
    EXPECT_TRUE(server.findClient(watcher.localPlayerId())->spectator);
}

TEST_F(NetSession, AMessageLargerThanAnyGameMessageIsDropped) {
    Client&             player = joinAndHearIt();
    const MessageBuffer huge   = pattern(MAX_MESSAGE_SIZE + 1, 3);
    const MessageBuffer small  = pattern(8, 4);
    player.send(static_cast<std::uint32_t>(huge.size()), huge.data(), GUARANTEED_SYNC);
    ASSERT_EQ(player.send(static_cast<std::uint32_t>(small.size()), small.data(), GUARANTEED_SYNC), 0);

    ASSERT_TRUE(waitUntil([&] { return server.incoming.size() > 0; }));
    EXPECT_EQ(server.incoming.pop()->data, small);
}

TEST_F(NetSession, APlayerSeesTheHostEndTheSessionOnce) {
    Client& player = join();
    server.close();
    ASSERT_TRUE(waitUntil([&] { return !player.connected.load(); }));
    const std::vector<MessageBuffer> notices = drain(player.incoming);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].size(), 4u);
    EXPECT_EQ(kindOf(notices[0]), NET_SESSION_TERMINATED);
    EXPECT_EQ(player.send(4, notices[0].data(), GUARANTEED_SYNC), -1);
    server.close();
}

TEST_F(NetSession, AStepOfTheWallClockDropsNobody) {
    Client& first  = join();
    Client& second = join();
    for (const long long step : {-10'000'000LL, 20'000'000LL}) {
        wallClockStepUs += step;
        // Longer than the silence after which a peer counts as gone.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(6);
        while (std::chrono::steady_clock::now() < until) {
            first.send(4, pattern(4, 1).data(), GUARANTEED_SYNC);
            server.sendTo(second.localPlayerId(), 4, pattern(4, 2).data(), GUARANTEED_SYNC);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        EXPECT_TRUE(first.connected && second.connected) << "after a step of " << step / 1000 << " ms";
        EXPECT_EQ(server.clientCount(), 2);
    }
    wallClockStepUs = 0;
}

TEST_F(NetSession, RoundTripTimeIsMeasured) {
    Client&            player  = join();
    const std::uint8_t ping[4] = {};
    ASSERT_TRUE(waitUntil([&] {
        // Traffic both ways, as a player sends it: not a flood.
        player.send(sizeof ping, ping, DPNSEND_GUARANTEED);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const std::optional<ClientRecord> record = server.getClient(0);
        return record && record->avgRtt >= 0.0f && record->avgRtt < 100.0f;
    }));
}

TEST(NetClient, ClosingIsSafeInEveryState) {
    {
        Client never;
        never.close();
        never.close();
    }
    {
        // Nobody hosts: the attempt is still pending when the client goes.
        auto pending = playerOfThisRun();
        ASSERT_EQ(pending->connect("127.0.0.1"), 0);
        pending.reset();
    }
    Server server;
    server.setPort(testPort());
    server.close();
    ASSERT_EQ(server.host("bogus game"), 0);
    Client player;
    player.setPort(testPort());
    player.connect("127.0.0.1");
    ASSERT_TRUE(waitUntil([&] { return player.connected.load(); }));
    player.close();
    EXPECT_FALSE(player.connected);
    player.close();
    ASSERT_TRUE(waitUntil([&] { return server.clientCount() == 0; }));
    server.close();
    server.close();
}

TEST(NetClient, ConnectReportsBadAddressesAndRepeatedAttempts) {
    ScriptedPlatform platform;
    Client           byName;
    EXPECT_EQ(byName.connect("localhost"), -1);
    Client fresh;
    fresh.setPort(testPort());
    EXPECT_EQ(fresh.connect("127.0.0.1"), 0);
    EXPECT_EQ(fresh.connect("127.0.0.1"), -1);

    ASSERT_EQ(platform.shown.size(), 2u);
    EXPECT_EQ(platform.shown[0].title, "Client Connect Error");
    EXPECT_EQ(platform.shown[0].text, "Connect returned DPNERR_INVALIDHOSTADDRESS");
    EXPECT_EQ(platform.shown[1].text, "Connect returned DPNERR_ALREADYCONNECTED");
    EXPECT_FALSE(byName.connected);
}

// A player joins just as the host presses ENTER: the host's server holds
// it between listing it and telling the game, while the host's frames go on.
TEST(HostedGame, APlayerWhoJoinsAsTheGameStartsIsPlacedAndNamed) {
    ScriptedPlatform  platform;
    CGame&            game = CGame::instance();
    std::atomic<int>  listed{0};
    std::atomic<bool> release{false};
    const auto        frames = [&game](const int count) {
        for (int i = 0; i < count; ++i) {
            game.update();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    };
    game.makeServer = [&] {
        auto server          = std::make_unique<Server>();
        server->afterListing = [&](std::uint32_t /*playerId*/) {
            if (++listed == 2) {  // the host's own player is first
                waitUntil([&] { return release.load(); });
            }
        };
        return server;
    };
    game.makeClient = [] { return std::make_unique<Client>(); };
    game.gamePort   = testPort();
    game.handleCommand(cmd_host_game);
    game.finishHosting();
    ASSERT_TRUE(waitUntil([&] { return game.server->clientCount() == 1 && game.client->connected; }));
    const std::unique_ptr<Client> late = playerOfThisRun();
    late->setPlayerName("Late Comer");
    late->connect("127.0.0.1");
    ASSERT_TRUE(waitUntil([&] { return listed == 2; }));
    frames(5);
    game.handleCommand(cmd_enter_key);
    frames(5);
    release = true;
    ASSERT_TRUE(waitUntil([&] {
        frames(1);
        return late->incoming.size() > 0;
    }));
    frames(5);
    int placed = 0;
    for (const auto& object : CWorld::instance().getObjects()) {
        if (const auto* const avatar = objectAs<Avatar>(object.get());
            avatar != nullptr && avatar->playerId == late->localPlayerId()) {
            EXPECT_EQ(avatar->name, "Late Comer");
            ++placed;
        }
    }
    EXPECT_EQ(placed, 1);
    resetGame();
}

// What a listener on the network could read of a datagram: its bytes, and
// its commands as ENet's own range coder decompresses them.
std::string readable(const std::uint8_t* const bytes, const std::size_t size) {
    std::string       text(reinterpret_cast<const char*>(bytes), size);
    const std::size_t start = (bytes[0] & ENET_PROTOCOL_HEADER_FLAG_SENT_TIME >> 8) != 0 ? 4 : 2;
    if ((bytes[0] & ENET_PROTOCOL_HEADER_FLAG_COMPRESSED >> 8) != 0 && size > start) {
        void* const coder = enet_range_coder_create();
        enet_uint8  commands[4096];
        text.append(reinterpret_cast<const char*>(commands),
                    enet_range_coder_decompress(coder, bytes + start, size - start, commands, sizeof commands));
        enet_range_coder_destroy(coder);
    }
    return text;
}

TEST(PrivateGame, ThePasswordNeverCrossesTheNetworkAndGuessersAreHeldOff) {
    const std::string password = "correct horse";
    ScriptedPlatform  platform;
    Server            server;
    server.setPort(testPort());
    server.setPassword(password);
    ASSERT_EQ(server.host("bogus game"), 0);
    const auto joinWith = [](const std::string& word) {
        auto player = playerOfThisRun();
        player->setPassword(word);
        player->connect("127.0.0.1");
        return player;
    };
    std::mutex  lock;
    std::string heard;
    watchDatagrams([&](const std::uint8_t* const bytes, const std::size_t size) {
        const std::lock_guard<std::mutex> guard(lock);
        heard += readable(bytes, size);
    });
    const std::unique_ptr<Client> player = joinWith(password);
    ASSERT_TRUE(waitUntil([&] { return player->connected.load(); })) << "the right password gets in";
    watchDatagrams(nullptr);
    EXPECT_EQ(heard.find(password), std::string::npos) << "a listener read the password";
    EXPECT_NE(heard.find("test player"), std::string::npos) << "what is not secret it reads";
    for (int guess = 1; guess <= 3; ++guess) {
        const std::unique_ptr<Client> guesser = joinWith("guess " + std::to_string(guess));
        ASSERT_TRUE(waitUntil([&] { return guesser->wrongPassword(); }));
    }
    const std::unique_ptr<Client> late = joinWith(password);
    EXPECT_TRUE(waitUntil([&] { return late->heldOff(); })) << "after three wrong, its address waits";
    EXPECT_FALSE(late->connected);
    const std::vector<std::string> notes = server.takeNotes();
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[0], "Wrong password from 127.0.0.1");
    EXPECT_EQ(notes[2], "Wrong password from 127.0.0.1 (3 in a row): its next try waits 5 s");
}

}  // namespace
