#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "GameDoubles.h"
#include "MessageSamples.h"
#include "ProtocolTable.h"
#include "net/Bundle.h"
#include "net/ByteCodec.h"
#include "rules/MessageCodec.h"
#include "rules/PackedForm.h"
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
        std::vector<std::uint8_t> packed{7};
        EXPECT_FALSE(gameWireForm().pack(bytes.data(), bytes.size(), packed)) << what << ", at the sender";
        EXPECT_EQ(packed.size(), 1u) << "a refused message leaves nothing behind";
    }
    EXPECT_EQ(dispatchMessage(fields({1102, 0}), [](const auto&) {}), Dispatch::notAGameMessage);
}

// Between the two hosts every message travels packed, and is restored to
// exactly the bytes it was given.
TEST(PackedForm, EveryKindIsRestoredToItsExactBytesFromFewer) {
    const IWireForm& form = gameWireForm();
    forEachMessage([&](auto tag) {
        using Message = typename decltype(tag)::Type;
        for (const bool high : {false, true}) {
            SCOPED_TRACE(std::string(Message::KIND.name) + (high ? " high" : " low"));
            const MessageBuffer       bytes = encode(sampleMessage<Message>(high));
            std::vector<std::uint8_t> packed;
            ASSERT_TRUE(form.pack(bytes.data(), bytes.size(), packed));
            if (!high) {  // values as games have them; ids near 2^31 take groups enough to match int32s
                EXPECT_LT(packed.size(), bytes.size());
            }
            const std::uint8_t* at = packed.data();
            EXPECT_EQ(form.unpack(at, packed.data() + packed.size()), bytes);
            EXPECT_EQ(at, packed.data() + packed.size()) << "a message ends where the next begins";
            at = packed.data();
            EXPECT_FALSE(form.unpack(at, packed.data() + packed.size() - 1)) << "cut short";
        }
    });
}

TEST(PackedForm, TheDocumentsExampleAndHostileFormsAreRefused) {
    const IWireForm&          form  = gameWireForm();
    const MessageBuffer       state = encode(AvatarStateMessage{12, 0, 1, 0, 0, 1, {37, 50}});
    std::vector<std::uint8_t> packed;
    ASSERT_TRUE(form.pack(state.data(), state.size(), packed));
    EXPECT_EQ(packed, (std::vector<std::uint8_t>{0x82, 0x91, 0xa5, 0x0c}));

    const std::pair<std::vector<std::uint8_t>, const char*> hostile[] = {
        {{0x12}, "a kind past the last"},
        {{0x20, 0x04, 0x00}, "an empty group after the first: a second form of id 1"},
        {{0x20, 0x80}, "a bit set in the padding"},
        {{0x21, 0x00, 0x00, 0x00}, "a zero inside a zero-terminated text"},
        {{0x20}, "the id missing"},
        {{}, "nothing"},
    };
    for (const auto& [bytes, what] : hostile) {
        const std::uint8_t* at = bytes.data();
        EXPECT_FALSE(form.unpack(at, bytes.data() + bytes.size())) << what;
    }
    const std::vector<std::uint8_t> one{0x20, 0x00};
    const std::uint8_t*             at = one.data();
    EXPECT_EQ(form.unpack(at, one.data() + one.size()), encode(YourAvatarMessage{1})) << "the same without the fault";
}

// A frame's messages leave as one packet, split where the reliability
// changes or a datagram would overflow, and are read back in order.
TEST(Bundles, AFramesMessagesLeaveTogetherAndArriveInOrder) {
    const IWireForm& form     = rawWireForm();
    const auto       packedOf = [&](const MessageBuffer& message) {
        std::vector<std::uint8_t> packed;
        EXPECT_TRUE(form.pack(message.data(), message.size(), packed));
        return packed;
    };
    const auto readAll = [&](ENetPacket* const packet) {
        std::vector<MessageBuffer> messages;
        EXPECT_EQ(packet->data[0], 7);
        EXPECT_TRUE(readBundle(form, packet->data + 1, packet->dataLength - 1, messages));
        enet_packet_destroy(packet);
        return messages;
    };
    const std::vector<MessageBuffer> sent = {{1, 2, 3, 4, 5}, {6}, {7, 8}, {9, 9, 9}};
    BundleBuilder                    bundle;
    EXPECT_EQ(bundle.take(), nullptr);
    for (const MessageBuffer& message : {sent[0], sent[1], sent[2]}) {
        EXPECT_EQ(bundle.add(packedOf(message).data(), packedOf(message).size(), true, false, 64), nullptr);
    }
    ENetPacket* const reliable = bundle.add(packedOf(sent[3]).data(), packedOf(sent[3]).size(), false, false, 64);
    ASSERT_NE(reliable, nullptr) << "another reliability closes the bundle";
    EXPECT_NE(reliable->flags & ENET_PACKET_FLAG_RELIABLE, 0u);
    EXPECT_EQ(readAll(reliable), (std::vector<MessageBuffer>{sent[0], sent[1], sent[2]}));
    ENetPacket* const full = bundle.add(packedOf(sent[0]).data(), packedOf(sent[0]).size(), false, false, 7);
    ASSERT_NE(full, nullptr) << "a bundle never outgrows its limit";
    EXPECT_EQ(full->flags & ENET_PACKET_FLAG_RELIABLE, 0u);
    EXPECT_EQ(readAll(full), (std::vector<MessageBuffer>{sent[3]}));
    EXPECT_FALSE(bundle.leavesAtFrameEnd()) << "a few low-priority bytes wait a frame for more";
    EXPECT_TRUE(bundle.leavesAtFrameEnd()) << "but only one";
    EXPECT_EQ(readAll(bundle.take()), (std::vector<MessageBuffer>{sent[0]}));
    EXPECT_TRUE(bundle.empty());
    EXPECT_EQ(bundle.add(packedOf(sent[1]).data(), packedOf(sent[1]).size(), true, true, 64), nullptr);
    EXPECT_TRUE(bundle.leavesAtFrameEnd()) << "anything else leaves with its frame";
    enet_packet_destroy(bundle.take());

    std::vector<std::uint8_t> payload = packedOf(sent[2]);
    payload.push_back(0x05);  // a length with fewer bytes after it
    std::vector<MessageBuffer> read;
    EXPECT_FALSE(readBundle(form, payload.data(), payload.size(), read));
    EXPECT_EQ(read, (std::vector<MessageBuffer>{sent[2]})) << "what came before a hostile message counts";
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
