#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "GameDoubles.h"
#include "MessageSamples.h"
#include "ProtocolTable.h"
#include "net/ByteCodec.h"
#include "rules/MessageCodec.h"
#include "rules/PlayerName.h"

namespace {

MessageBuffer withName(MessageBuffer head, const std::string& name, const MessageBuffer& tail) {
    head.insert(head.end(), name.begin(), name.end());
    head.push_back(0);
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

TEST(MessageLayout, FixedMessagesHoldTheirFieldsAtTheirOffsets) {
    EXPECT_EQ(encode(YourAvatarMessage{17}), fields({1100, 17}));
    EXPECT_EQ(encode(AvatarStateMessage{5, 1, 0, 1, 0, 1, {12, 40}}), fields({1103, 5, 1, 0, 1, 0, 1, 12, 40}));
    EXPECT_EQ(encode(AvatarRemoveMessage{9}), fields({1104, 9}));
    EXPECT_EQ(encode(AvatarRespawnMessage{9, {3, 61}}), fields({1105, 9, 3, 61}));
    EXPECT_EQ(encode(AvatarHpMessage{9, -10}), fields({1106, 9, -10}));
    EXPECT_EQ(encode(ScoreMessage{4, 300}), fields({1107, 4, 300}));
    EXPECT_EQ(encode(PowerupTakenMessage{4, 8}), fields({1108, 4, 8}));
    EXPECT_EQ(encode(PowerupSpawnMessage{{7, 9}, 1, 123}), fields({1109, 7, 9, 1, 123}));
    EXPECT_EQ(encode(AvatarStatusMessage{4, {7, 9}, 60, 300, 12}), fields({1110, 4, 7, 9, 60, 300, 12}));
    EXPECT_EQ(encode(AvatarAddMessage{4, {7, 9}}), fields({1111, 4, 7, 9}));
    EXPECT_EQ(encode(KillMessage{4, -1}), fields({1113, 4, -1}));
    EXPECT_EQ(encode(RoundTripsMessage{{{4, 12}, {5, -1}}}), fields({1114, 2, 4, 12, 5, -1}));
    EXPECT_EQ(decode<RoundTripsMessage>(fields({1114, 1, 4, 12}))->trips.front().ms, 12);
    MessageBuffer named = fields({1112, 4, 3});
    named.insert(named.end(), {'A', 'n', 'n'});
    EXPECT_EQ(encode(AvatarNameMessage{4, "Ann"}), named);
    EXPECT_EQ(decode<AvatarNameMessage>(named)->name, "Ann");
    EXPECT_EQ(encode(AvatarNameMessage{4, std::string(100, 'x')}).size(), 12 + MAX_NAME_BYTES);

    EXPECT_EQ(encode(AvatarStateMessage{}).size(), 36u);
    EXPECT_EQ(encode(PowerupSpawnMessage{}).size(), 20u);
}

TEST(MessageLayout, WorldSetupListsPowerupsAndAvatarsAfterTheMapName) {
    WorldSetupMessage setup;
    setup.mapName = "Levels/map2.raw";
    for (int i = 0; i < 10; ++i) {
        setup.entries.push_back({entry_powerup, {i + 1, 2}, i % 2, i});
    }
    setup.entries.push_back({entry_avatar, {5, 6}, 0, 10});
    setup.entries.push_back({entry_avatar, {7, 8}, 0, 11});

    const MessageBuffer bytes = encode(setup);
    ASSERT_EQ(bytes.size(), 260u) << "28 of header and name, 10 x 20, 2 x 16";
    EXPECT_EQ(MessageBuffer(bytes.begin(), bytes.begin() + 8), fields({1101, 16}));
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 24), std::string("Levels/map2.raw\0", 16));
    EXPECT_EQ(MessageBuffer(bytes.begin() + 24, bytes.begin() + 48), fields({12, 0, 1, 2, 0, 0}));
    EXPECT_EQ(MessageBuffer(bytes.end() - 16, bytes.end()), fields({1, 7, 8, 11}));

    const auto decoded = decode<WorldSetupMessage>(bytes);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->mapName, "Levels/map2.raw");
    ASSERT_EQ(decoded->entries.size(), 12u);
    EXPECT_EQ(decoded->entries[3].type, 1);
    EXPECT_EQ(decoded->entries[11].id, 11);
}

TEST(MessageLayout, AnyKindButZeroIsAnAvatarEntry) {
    const MessageBuffer bytes   = withName(fields({1101, 2}), "m", fields({2, 2, 5, 6, 7, -1, 8, 9, 10}));
    const auto          decoded = decode<WorldSetupMessage>(bytes);
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->entries.size(), 2u);
    EXPECT_EQ(decoded->entries[0].pos, (Position{5, 6}));
    EXPECT_EQ(decoded->entries[0].id, 7);
    EXPECT_EQ(decoded->entries[1].id, 10);
}

TEST(MessageReading, EveryKindRefusesAnotherLengthOrId) {
    forEachMessage([](auto tag) {
        using Message = typename decltype(tag)::Type;
        for (const bool high : {false, true}) {
            const MessageBuffer whole = encode(sampleMessage<Message>(high));
            SCOPED_TRACE(std::string(Message::KIND.name) + (high ? " high" : " low"));
            ASSERT_TRUE(decode<Message>(whole));
            EXPECT_FALSE(decode<Message>(MessageBuffer(whole.begin(), whole.end() - 1))) << "cut short";
            MessageBuffer longer = whole;
            longer.push_back(0);
            EXPECT_FALSE(decode<Message>(longer)) << "a byte too many";
            MessageBuffer otherId = whole;
            otherId[0] ^= 1;
            EXPECT_FALSE(decode<Message>(otherId));
        }
    });
    ByteReader reader(MessageBuffer{1, 2, 3});
    EXPECT_EQ(reader.getU32(), 0u);
    EXPECT_EQ(reader.getU16(), 0) << "a reader that once read past the end stays failed";
    EXPECT_FALSE(reader.ok());
    EXPECT_EQ(messageId(MessageBuffer{1, 2, 3}), -1);
}

TEST(MessageReading, FieldsOutOfTheirRangeAreRefused) {
    const std::pair<MessageBuffer, const char*> refused[] = {
        {fields({1100, -1}), "a negative object id"},
        {fields({1103, 5, 0, 2, 0, 0, 0, 12, 40}), "a flag of 2"},
        {fields({1103, 5, 0, 1, 0, 0, 0, 64, 40}), "a cell outside the map"},
        {fields({1105, 9, 3, -1}), "a row above the map"},
        {fields({1106, 9, HEALTH_CAP + 1}), "more hit points than the cap"},
        {fields({1107, 4, -100}), "a negative score"},
        {fields({1109, 7, 9, 2, 123}), "a powerup type of 2"},
        {fields({1110, 4, 7, 9, 60, 300, AMMO_CAP + 1}), "more ammunition than the cap"},
        {fields({1113, 4, -2}), "a killer below -1"},
        {fields({1114, 1, 4, 100000}), "a round trip of 100 s"},
        {fields({1114, MAX_ROUND_TRIPS + 1}), "more round trips than a message holds"},
        {withName(fields({1101, 3}), "abc", fields({0})), "a map name whose zero lies past its length"},
        {fields({1112, 4, 61}), "a name longer than 60 bytes"},
        {withName(fields({1101, 2}), "m", fields({2, 1, 5, 6, 7})), "more entries than arrived"},
        {fields({1101, 400, 0, 0}), "a map name longer than what arrived"},
    };
    for (const auto& [bytes, what] : refused) {
        EXPECT_EQ(dispatchMessage(bytes, [](const auto&) {}), Dispatch::refused) << what;
    }
    EXPECT_EQ(dispatchMessage(fields({1102, 0}), [](const auto&) {}), Dispatch::notAGameMessage);
}

TEST(Protocol, TheDocumentsMessageTableIsTheDescriptions) {
    std::ifstream      file(QUILLSTEP_SOURCE_DIR "/docs/network-protocol.md");
    std::ostringstream document;
    document << file.rdbuf();
    const std::optional<std::string> expected = withGameMessageTable(document.str());
    ASSERT_TRUE(expected) << "the markers are missing";
    EXPECT_TRUE(document.str() == *expected) << "the table differs from the descriptions: run make protocol-table";
}

}  // namespace
