#include "rules/Demo.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "GameDoubles.h"
#include "platform/AtomicFile.h"
#include "platform/FrameState.h"
#include "rules/Match.h"
#include "rules/MessageCodec.h"
#include "rules/Replay.h"
#include "world/Avatar.h"
#include "world/World.h"
#include "world/WorldDigest.h"

namespace {

std::string reasonOf(const std::vector<std::uint8_t>& bytes) {
    const std::variant<Demo, std::string> read = readDemo(bytes.data(), bytes.size());
    return std::holds_alternative<std::string>(read) ? std::get<std::string>(read) : "read";
}

Demo smallDemo() {
    Demo demo;
    demo.header.map = std::get<GameMap>(findMap("map2"));
    demo.opening.push_back(encode(WorldSetupMessage{"Levels/map2.raw", {{entry_avatar, {20, 1}, 0, 7}}}));
    for (int i = 0; i < 120; ++i) {
        DemoFrame frame{0.02f, {}, {}};
        frame.entries.push_back({DemoMoment::hit, 7, -1, 3, encode(AvatarHpMessage{7, 90})});
        frame.entries.push_back({DemoMoment::pickup, 7, 4, 4, encode(PowerupTakenMessage{7, 4})});
        if (i % 50 == 49) {
            frame.digest = 0x0123456789abcdefull + static_cast<std::uint64_t>(i);
        }
        demo.frames.push_back(frame);
    }
    return demo;
}

// Whatever happened to a demo on the way, it is read whole or refused with
// the reason, and nothing else.
TEST(DemoFile, ADemoReadsBackAsWrittenAndAnythingElseIsRefusedWithItsReason) {
    const Demo                      demo    = smallDemo();
    const std::vector<std::uint8_t> bytes   = encodeDemo(demo);
    const auto                      read    = readDemo(bytes.data(), bytes.size());
    const Demo&                     again   = std::get<Demo>(read);
    const DemoFrame&                fiftyth = again.frames.at(49);
    EXPECT_EQ(again.frames.size(), 120u);
    EXPECT_EQ(fiftyth.entries.at(1).powerupId, 4);
    EXPECT_EQ(fiftyth.entries.at(1).message, encode(PowerupTakenMessage{7, 4}));
    EXPECT_EQ(fiftyth.digest, 0x0123456789abcdefull + 49);
    EXPECT_FALSE(again.frames.at(50).digest);
    EXPECT_EQ(again.opening, demo.opening);

    const auto changed = [&](const std::function<void(std::vector<std::uint8_t>&)>& change) {
        std::vector<std::uint8_t> copy = bytes;
        change(copy);
        return reasonOf(copy);
    };
    const auto cut = [](const std::size_t keep) {
        return [keep](std::vector<std::uint8_t>& copy) { copy.resize(std::min(keep, copy.size())); };
    };
    EXPECT_EQ(changed(cut(0)), "it is not a Quillstep demo");
    EXPECT_EQ(changed([](auto& copy) { copy[0] = 'X'; }), "it is not a Quillstep demo");
    EXPECT_EQ(changed([](auto& copy) { copy[8] = 2; }),
              "it was recorded by another version of the game (demo format 2; this one plays 1)");
    for (const std::size_t keep : {std::size_t{10}, std::size_t{100}, bytes.size() / 2, bytes.size() - 1}) {
        EXPECT_EQ(changed(cut(keep)), "it is cut short") << keep;
    }
    EXPECT_EQ(changed([](auto& copy) { copy[copy.size() / 2] ^= 0x40; }).rfind("it is damaged", 0), 0u);
    EXPECT_EQ(changed([](auto& copy) { copy.push_back(0); }).rfind("it is damaged", 0), 0u);
    // Sealed anew, so that only what the records say can give it away.
    const auto resealed = [&](const std::size_t at, const std::uint8_t value) {
        return changed([&](auto& copy) {
            copy[at] = value;
            resealDemo(copy);
        });
    };
    constexpr std::size_t MAP_NAME_LENGTH = 8 + 4 + 8 + 4 + 1;  // after the magic, version, time, match, no name
    const std::size_t     trailer         = bytes.size() - DEMO_CHECKSUM_BYTES - 2 * 8 - 4 - 4 - 1;
    EXPECT_EQ(resealed(MAP_NAME_LENGTH, 40).rfind("it is damaged", 0), 0u) << "a map name longer than any";
    EXPECT_EQ(resealed(trailer, 'Q').rfind("it is damaged", 0), 0u) << "no trailer where it belongs";
    EXPECT_EQ(resealed(MAP_NAME_LENGTH + 1 + 4, 0), "its map cannot be played") << "a hole in the outer wall";
}

// A dedicated host with bots, a player who joins and steers, and a spectator:
// the match recorded plays back to the host's world, second by second; a
// demo with one outcome changed is found out at the second it shows.
TEST(DemoPlayback, ARecordedMatchPlaysBackAsTheSameGameAndAChangedOneIsFoundOut) {
    ScriptedPlatform platform;
    RecordingServer* server = nullptr;
    resetGame(&server);
    const std::string folder = ::testing::TempDir() + "quillstep_demos_" + std::to_string(::getpid());
    std::filesystem::remove_all(folder);
    CGame& game     = CGame::instance();
    game.bots       = 4;
    game.demos      = {folder, 3, {}};
    game.serverName = "Test Host";
    std::srand(2026);
    game.handleCommand(cmd_host_dedicated);
    game.finishHosting();
    game.update();
    ASSERT_EQ(game.state, state_running);

    std::uint64_t hostDigest = 0;
    for (int frame = 0; frame < 2000; ++frame) {
        frameTime = frame % 3 == 0 ? 0.017f : 0.02f;  // frames of any length play back to the bit
        if (frame == 100) {
            server->joinAs(7, "Ann");
            server->incoming.pushNotice({7, noticeBuffer(NET_PLAYER_CREATED)});
            server->joinAs(8, "Eve", true);
            server->incoming.pushNotice({8, noticeBuffer(NET_PLAYER_CREATED)});
        }
        if (frame > 100 && frame % 37 == 0) {
            // Ann turns and fires now and then, as her reports arrive.
            for (const auto& object : CWorld::instance().getObjects()) {
                const auto* const avatar = objectAs<Avatar>(object.get());
                if (avatar != nullptr && avatar->playerId == 7) {
                    AvatarStateMessage report = stateOf(*avatar);
                    report.left               = frame % 2;
                    report.down               = 1 - frame % 2;
                    report.fire               = frame % 74 == 0 ? 1 : 0;
                    server->incoming.push({7, encode(report)});
                }
            }
        }
        game.update();
        hostDigest = matchDigest(worldDigest(CWorld::instance()), currentMatch());
    }
    const auto sentToEve = std::count_if(server->sent.begin(), server->sent.end(),
                                         [](const SentMessage& sent) { return sent.playerId == 8; });
    EXPECT_GT(sentToEve, 100) << "the spectator hears what the players hear";
    EXPECT_TRUE(std::none_of(CWorld::instance().getObjects().begin(), CWorld::instance().getObjects().end(),
                             [](const auto& object) {
                                 const auto* const avatar = objectAs<Avatar>(object.get());
                                 return avatar != nullptr && avatar->playerId == 8;
                             }))
        << "a spectator has no avatar";
    game.handleCommand(cmd_exit_game);  // the match's demo is saved as the host ends

    std::vector<std::filesystem::path> demos;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        demos.push_back(entry.path());
    }
    ASSERT_EQ(demos.size(), 1u);
    ASSERT_EQ(game.startPlayback(demos[0].string()), std::nullopt);
    game.seekPlayback(1e9);
    ASSERT_TRUE(replay().atEnd());
    EXPECT_EQ(replay().verdict(), "verified: the same game");
    EXPECT_GE(replay().secondsChecked(), 37u);
    EXPECT_EQ(matchDigest(worldDigest(CWorld::instance()), currentMatch()), hostDigest);
    EXPECT_EQ(replay().recording().header.serverName, "Test Host");

    // Seeking back rebuilds the world and finds the same seconds again.
    game.seekPlayback(5.0);
    EXPECT_NEAR(replay().elapsed(), 5.0, 0.03);
    // A window's frames are shorter than the host's: they still add up.
    for (int frame = 0; frame < 120; ++frame) {
        game.stepPlayback(1.0 / 60.0);
    }
    EXPECT_NEAR(replay().elapsed(), 7.0, 0.03);
    game.seekPlayback(1e9);
    EXPECT_EQ(replay().verdict(), "verified: the same game");

    // One kill lost on the way: every second after it shows.
    Demo changed = replay().recording();
    bool done    = false;
    for (std::size_t at = changed.frames.size() / 2; at-- > 0 && !done;) {
        std::vector<DemoEntry>& entries = changed.frames[at].entries;
        const auto              kill    = std::find_if(entries.begin(), entries.end(), [](const DemoEntry& entry) {
            return decode<KillMessage>(entry.message).has_value();
        });
        if (kill != entries.end()) {
            entries.erase(kill);
            done = true;
        }
    }
    ASSERT_TRUE(done) << "no kill in the first half";
    game.handleCommand(cmd_exit_game);
    const std::string file  = folder + "/changed.qsdemo";
    const auto        bytes = encodeDemo(changed);
    ASSERT_TRUE(replaceFile(file, std::string(bytes.begin(), bytes.end())));
    ASSERT_EQ(game.startPlayback(file), std::nullopt);
    game.seekPlayback(1e9);
    EXPECT_EQ(replay().verdict().rfind("not the same game: it differs from second ", 0), 0u) << replay().verdict();
    game.handleCommand(cmd_exit_game);
    game.serverName.clear();
    game.demos = {};
    resetGame();
    std::filesystem::remove_all(folder);
}

// What a spectator says reaches everyone, unless the host keeps those who
// watch quiet: then only the spectator hears why.
TEST(Spectators, AreHeardInChatUnlessTheHostKeepsThemQuiet) {
    ScriptedPlatform platform;
    RecordingServer* server = nullptr;
    resetGame(&server);
    CGame& game = CGame::instance();
    game.bots   = 1;
    game.handleCommand(cmd_host_dedicated);
    game.finishHosting();
    game.update();
    server->joinAs(8, "Eve", true);
    server->incoming.pushNotice({8, noticeBuffer(NET_PLAYER_CREATED)});
    game.update();
    const auto said = [&](const bool mayChat) {
        game.spectatorChat = mayChat;
        server->sent.clear();
        server->incoming.push({8, encode(ChatMessage{chat_said, "", "hello"})});
        game.update();
        std::vector<std::string> lines;
        for (const SentMessage& sent : server->sent) {
            if (const std::optional<ChatMessage> line = decode<ChatMessage>(sent.bytes)) {
                lines.push_back(std::to_string(sent.playerId) + " " + line->from + ": " + line->text);
            }
        }
        return lines;
    };
    EXPECT_EQ(said(true), std::vector<std::string>{"8 Eve: hello"});
    EXPECT_EQ(said(false), std::vector<std::string>{"8 : Spectators may not chat in this game."});
    game.spectatorChat = true;
    game.handleCommand(cmd_exit_game);
    resetGame();
}

}  // namespace
