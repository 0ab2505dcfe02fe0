#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "GameDoubles.h"
#include "NetSupport.h"
#include "net/Client.h"
#include "platform/FrameState.h"
#include "rules/Executor.h"
#include "rules/GameMessages.h"
#include "world/Avatar.h"
#include "world/World.h"

namespace {

std::vector<MessageBuffer> waitForMessages(SynchronizedQueue<MessageBuffer>& queue, const std::size_t count) {
    std::vector<MessageBuffer> messages;
    waitUntil([&] {
        for (MessageBuffer& message : drain(queue)) {
            messages.push_back(std::move(message));
        }
        return messages.size() >= count;
    });
    return messages;
}

// The game as a host runs it, over the real transport on this machine, with
// a second player joining from a bare client.
TEST(HostedGame, EnterSendsEveryPlayerItsAvatarAndTheWorldAndStatesReachOnlyTheOthers) {
    ScriptedPlatform platform;
    CGame&           game = CGame::instance();
    frameTime             = 0.05f;

    game.handleCommand(cmd_host_game);
    ASSERT_EQ(game.state, state_hosting);
    ASSERT_TRUE(waitUntil([&] { return game.client->connected && game.server->clientCount() == 1; }));
    Client joined;
    ASSERT_EQ(joined.connect("127.0.0.1"), 0);
    ASSERT_TRUE(waitUntil([&] { return joined.connected && game.server->clientCount() == 2; }));

    std::srand(2026);
    game.handleCommand(cmd_enter_key);
    ASSERT_EQ(game.state, state_running);

    const std::vector<MessageBuffer> toHost   = waitForMessages(game.client->incoming, 2);
    const std::vector<MessageBuffer> toJoined = waitForMessages(joined.incoming, 4);
    ASSERT_EQ(toHost.size(), 2u);
    ASSERT_EQ(toJoined.size(), 4u) << "its avatar, the world, then both avatars' names";
    EXPECT_EQ(messageId(toJoined[2]), MSG_AVATAR_NAME);
    EXPECT_EQ(messageId(toJoined[3]), MSG_AVATAR_NAME);
    EXPECT_EQ(toHost[0].size(), 8u);
    EXPECT_EQ(toHost[1].size(), 260u);
    EXPECT_EQ(toHost[1], toJoined[1]) << "everyone is sent the same world";
    EXPECT_EQ(messageId(toJoined[1]), MSG_WORLD_SETUP);
    const std::int32_t hostAvatarId   = *decodeYourAvatar(toHost[0]);
    const std::int32_t joinedAvatarId = *decodeYourAvatar(toJoined[0]);
    EXPECT_EQ(findAvatar(hostAvatarId)->playerId, game.client->localPlayerId());
    EXPECT_EQ(findAvatar(joinedAvatarId)->playerId, joined.localPlayerId());

    for (const MessageBuffer& message : toHost) {
        game.client->incoming.push(message);
    }
    game.update();
    ASSERT_NE(game.localAvatar, nullptr);
    EXPECT_EQ(game.localAvatar->id, hostAvatarId);

    Avatar&            steered  = *findAvatar(joinedAvatarId);
    AvatarStateMessage state    = stateOf(steered);
    state.right                 = 1;
    const MessageBuffer pressed = encodeAvatarState(state);
    ASSERT_EQ(joined.send(static_cast<std::uint32_t>(pressed.size()), pressed.data(), SEND_STATE_TO_HOST), 0);
    ASSERT_TRUE(waitUntil([&] {
        game.update();
        return steered.right == 1;
    }));

    // Anything forwarded would be here well within this time.
    const auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    while (std::chrono::steady_clock::now() < settle) {
        game.update();
    }
    for (const MessageBuffer& message : drain(joined.incoming)) {
        EXPECT_NE(messageId(message), MSG_AVATAR_STATE) << "a state is not echoed to its sender";
    }
    EXPECT_EQ(game.client->incoming.size(), 0) << "nor to the host's own player";
    EXPECT_EQ(game.state, state_running);

    game.handleCommand(cmd_exit_game);
    EXPECT_TRUE(waitUntil([&] { return !joined.connected; }));
    EXPECT_TRUE(platform.shown.empty());
}

}  // namespace
