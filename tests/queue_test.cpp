#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "net/ServerInbox.h"
#include "net/SynchronizedQueue.h"

namespace {

TEST(SynchronizedQueue, ManyProducersOneConsumerLoseNothingAndKeepEachProducersOrder) {
    constexpr int                    PRODUCERS    = 4;
    constexpr int                    PER_PRODUCER = 5000;
    SynchronizedQueue<ServerMessage> queue;

    std::vector<std::thread> producers;
    for (int p = 0; p < PRODUCERS; ++p) {
        producers.emplace_back([&queue, p] {
            for (int i = 0; i < PER_PRODUCER; ++i) {
                queue.push({static_cast<std::uint32_t>(p),
                            MessageBuffer(static_cast<std::size_t>(i % 50 + 1), static_cast<std::uint8_t>(i))});
            }
        });
    }

    // Drains while the producers are still pushing, as the game thread does.
    std::vector<int> nextOf(PRODUCERS, 0);
    int              received = 0;
    while (received < PRODUCERS * PER_PRODUCER) {
        while (queue.size() > 0) {
            const ServerMessage message  = *queue.pop();
            const int           expected = nextOf[message.playerId]++;
            ASSERT_EQ(message.data.size(), static_cast<std::size_t>(expected % 50 + 1));
            ASSERT_EQ(message.data[0], static_cast<std::uint8_t>(expected));
            ++received;
        }
        std::this_thread::yield();
    }
    for (std::thread& producer : producers) {
        producer.join();
    }
    EXPECT_EQ(queue.size(), 0);
    EXPECT_EQ(nextOf, std::vector<int>(PRODUCERS, PER_PRODUCER));
}

TEST(ServerInbox, APlayersUnreadBytesAreCappedAndNoticesAlwaysKept) {
    ServerInbox         inbox;
    const MessageBuffer big(MAX_MESSAGE_SIZE, 7);
    EXPECT_TRUE(inbox.push({1, big}));
    EXPECT_TRUE(inbox.push({1, big}));
    EXPECT_FALSE(inbox.push({1, MessageBuffer(1, 7)})) << "past the cap";
    EXPECT_TRUE(inbox.push({2, big})) << "each player has a cap of its own";
    inbox.pushNotice({1, noticeBuffer(NET_PLAYER_DESTROYED)});
    EXPECT_EQ(inbox.size(), 4);

    ASSERT_TRUE(inbox.pop().has_value());
    EXPECT_TRUE(inbox.push({1, big})) << "reading frees room";
    EXPECT_FALSE(inbox.push({1, big}));
}

}  // namespace
