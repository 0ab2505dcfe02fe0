#include <gtest/gtest.h>

#include "GameDoubles.h"
#include "net/ByteCodec.h"
#include "rules/GameMessages.h"
#include "rules/PlayerName.h"

namespace {

MessageBuffer withName(MessageBuffer head, const std::string& name, const MessageBuffer& tail) {
    head.insert(head.end(), name.begin(), name.end());
    head.push_back(0);
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

TEST(MessageLayout, FixedMessagesHoldTheirFieldsAtTheirOffsets) {
    EXPECT_EQ(encodeYourAvatar(17), fields({1100, 17}));
    EXPECT_EQ(encodeAvatarState({5, 1, 0, 1, 0, 1, {12, 40}}), fields({1103, 5, 1, 0, 1, 0, 1, 12, 40}));
    EXPECT_EQ(encodeAvatarRemove(9), fields({1104, 9}));
    EXPECT_EQ(encodeAvatarRespawn({9, {3, 61}}), fields({1105, 9, 3, 61}));
    EXPECT_EQ(encodeAvatarHp({9, -10}), fields({1106, 9, -10}));
    EXPECT_EQ(encodeScore({4, 300}), fields({1107, 4, 300}));
    EXPECT_EQ(encodePowerupTaken({4, 8}), fields({1108, 4, 8}));
    EXPECT_EQ(encodePowerupSpawn({{7, 9}, 1, 123}), fields({1109, 7, 9, 1, 123}));
    EXPECT_EQ(encodeAvatarStatus({4, {7, 9}, 60, 300, 12}), fields({1110, 4, 7, 9, 60, 300, 12}));
    EXPECT_EQ(encodeAvatarAdd({4, {7, 9}}), fields({1111, 4, 7, 9}));
    EXPECT_EQ(encodeKill({4, -1}), fields({1113, 4, -1}));
    EXPECT_EQ(encodeRoundTrips({{4, 12}, {5, -1}}), fields({1114, 2, 4, 12, 5, -1}));
    EXPECT_EQ(decodeRoundTrips(fields({1114, 1, 4, 12}))->front().ms, 12);
    EXPECT_FALSE(decodeRoundTrips(fields({1114, 2, 4, 12}))) << "a count past what arrived";
    EXPECT_FALSE(decodeRoundTrips(fields({1114, -1})));
    MessageBuffer named = fields({1112, 4, 3});
    named.insert(named.end(), {'A', 'n', 'n'});
    EXPECT_EQ(encodeAvatarName({4, "Ann"}), named);
    EXPECT_EQ(decodeAvatarName(named)->name, "Ann");
    named.push_back('!');
    EXPECT_FALSE(decodeAvatarName(named)) << "the length must match what arrived";
    EXPECT_EQ(encodeAvatarName({4, std::string(100, 'x')}).size(), AVATAR_NAME_HEAD + MAX_NAME_BYTES);

    EXPECT_EQ(encodeAvatarState({}).size(), AVATAR_STATE_SIZE);
    EXPECT_EQ(encodePowerupSpawn({}).size(), POWERUP_SPAWN_SIZE);
}

TEST(MessageLayout, WorldSetupListsPowerupsAndAvatarsAfterTheMapName) {
    WorldSetupMessage setup;
    setup.mapName = "Levels/map2.raw";
    for (int i = 0; i < 10; ++i) {
        setup.entries.push_back({entry_powerup, {i + 1, 2}, i % 2, i});
    }
    setup.entries.push_back({entry_avatar, {5, 6}, 0, 10});
    setup.entries.push_back({entry_avatar, {7, 8}, 0, 11});

    const MessageBuffer bytes = encodeWorldSetup(setup);
    ASSERT_EQ(bytes.size(), 260u) << "28 of header and name, 10 x 20, 2 x 16";
    EXPECT_EQ(MessageBuffer(bytes.begin(), bytes.begin() + 8), fields({1101, 16}));
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 24), std::string("Levels/map2.raw\0", 16));
    EXPECT_EQ(MessageBuffer(bytes.begin() + 24, bytes.begin() + 48), fields({12, 0, 1, 2, 0, 0}));
    EXPECT_EQ(MessageBuffer(bytes.end() - 16, bytes.end()), fields({1, 7, 8, 11}));

    const auto decoded = decodeWorldSetup(bytes);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->mapName, "Levels/map2.raw");
    ASSERT_EQ(decoded->entries.size(), 12u);
    EXPECT_EQ(decoded->entries[3].type, 1);
    EXPECT_EQ(decoded->entries[11].id, 11);
}

TEST(MessageLayout, AnyKindButZeroIsAnAvatarEntry) {
    const MessageBuffer bytes   = withName(fields({1101, 2}), "m", fields({2, 2, 5, 6, 7, -1, 8, 9, 10}));
    const auto          decoded = decodeWorldSetup(bytes);
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->entries.size(), 2u);
    EXPECT_EQ(decoded->entries[0].pos, (Position{5, 6}));
    EXPECT_EQ(decoded->entries[0].id, 7);
    EXPECT_EQ(decoded->entries[1].id, 10);
}

TEST(MessageReading, MessagesShorterThanTheirLayoutAreRefused) {
    const MessageBuffer whole[] = {
        encodeYourAvatar(1),
        encodeAvatarState({1, 0, 0, 0, 0, 0, {1, 1}}),
        encodeAvatarRemove(1),
        encodeAvatarRespawn({1, {1, 1}}),
        encodeAvatarHp({1, 1}),
        encodeScore({1, 1}),
        encodePowerupTaken({1, 1}),
        encodePowerupSpawn({{1, 1}, 0, 1}),
        encodeAvatarStatus({1, {1, 1}, 1, 1, 1}),
        encodeAvatarAdd({1, {1, 1}}),
        encodeKill({1, 1}),
    };
    for (const MessageBuffer& message : whole) {
        const MessageBuffer cut(message.begin(), message.end() - 1);
        SCOPED_TRACE(messageId(message));
        EXPECT_FALSE(decodeYourAvatar(cut) || decodeAvatarState(cut) || decodeAvatarRemove(cut) ||
                     decodeAvatarRespawn(cut) || decodeAvatarHp(cut) || decodeScore(cut) || decodePowerupTaken(cut) ||
                     decodePowerupSpawn(cut) || decodeAvatarStatus(cut) || decodeAvatarAdd(cut) || decodeKill(cut));
    }
    EXPECT_FALSE(decodeAvatarHp(encodeScore({1, 1}))) << "another id is not read as this one";
    ByteReader reader(MessageBuffer{1, 2, 3});
    EXPECT_EQ(reader.getU32(), 0u);
    EXPECT_EQ(reader.getU16(), 0) << "a reader that once read past the end stays failed";
    EXPECT_FALSE(reader.ok());
    EXPECT_EQ(messageId(MessageBuffer{1, 2, 3}), -1);
}

TEST(MessageReading, WorldSetupsReachingPastTheirEndAreRefused) {
    const MessageBuffer good = withName(fields({1101, 2}), "m", fields({1, 1, 5, 6, 7}));
    ASSERT_TRUE(decodeWorldSetup(good));

    EXPECT_FALSE(decodeWorldSetup(MessageBuffer(good.begin(), good.end() - 1))) << "last entry cut short";
    EXPECT_FALSE(decodeWorldSetup(withName(fields({1101, 2}), "m", fields({2, 1, 5, 6, 7})))) << "N too large";
    EXPECT_FALSE(decodeWorldSetup(withName(fields({1101, 2}), "m", fields({-1})))) << "N negative";
    EXPECT_FALSE(decodeWorldSetup(fields({1101, 400, 0, 0}))) << "name length past the end";
    MessageBuffer longName = fields({1101, 257});
    longName.resize(longName.size() + 257, 'a');
    const MessageBuffer count = fields({0});
    longName.insert(longName.end(), count.begin(), count.end());
    EXPECT_FALSE(decodeWorldSetup(longName)) << "names above 256 bytes";
    EXPECT_FALSE(decodeWorldSetup(fields({1101, -4, 0}))) << "negative name length";
}

}  // namespace
