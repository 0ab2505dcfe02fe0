// make_seeds FOLDER: writes the seed corpora of the game-message targets
// into FOLDER/<target>/, each message encoded from its description (and a
// bundle of them packed, for the packets target), so the seeds follow every
// change of a layout. scripts/fuzz.sh runs it before
// each run; the other targets' seeds are files in fuzz/corpus/.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "MessageSamples.h"
#include "net/WireProtocol.h"
#include "rules/Demo.h"
#include "rules/PackedForm.h"

namespace {

void write(const std::filesystem::path& file, const MessageBuffer& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The targets that take several messages read each behind its length in one
// byte (and, for the host's, a sender byte before that).
void append(MessageBuffer& input, const MessageBuffer& message, const int sender = -1) {
    if (sender >= 0) {
        input.push_back(static_cast<std::uint8_t>(sender));
    }
    input.push_back(static_cast<std::uint8_t>(message.size()));
    input.insert(input.end(), message.begin(), message.end());
}

// A game as a joined player sees it: its avatar 500 and the world, then one
// message of every other kind about what is in it (cells that are floor on
// the shipped map).
MessageBuffer joinedGame() {
    const WorldSetupMessage world{
        "Levels/map2.raw",
        {{entry_powerup, {3, 2}, 1, 100}, {entry_avatar, {1, 5}, 0, 500}, {entry_avatar, {2, 5}, 0, 501}}};
    MessageBuffer input;
    for (const MessageBuffer& message :
         {encode(YourAvatarMessage{500}), encode(world), encode(AvatarStateMessage{500, 0, 1, 0, 1, 1, {2, 5}}),
          encode(AvatarHpMessage{500, 40}), encode(PowerupTakenMessage{500, 100}),
          encode(PowerupSpawnMessage{{1, 7}, 0, 102}), encode(AvatarStatusMessage{500, {1, 6}, 60, 100, 20}),
          encode(AvatarRespawnMessage{501, {1, 9}}), encode(ScoreMessage{501, 100}),
          encode(AvatarAddMessage{502, {2, 6}}), encode(AvatarNameMessage{500, "Ann"}), encode(KillMessage{501, 500}),
          encode(RoundTripsMessage{{{500, 12}, {501, 30}}}), encode(AvatarRemoveMessage{501})}) {
        append(input, message);
    }
    return input;
}

// Players 2 and 3 of a hosted game (avatars 11 and 12) steering, leaving and
// lying, then the network's notices.
MessageBuffer playersAtTheHost() {
    MessageBuffer input;
    append(input, encode(AvatarStateMessage{11, 0, 1, 0, 0, 1, {2, 5}}), 2);
    append(input, encode(AvatarStateMessage{11, 0, 0, 0, 0, 0, {2, 5}}), 2);
    append(input, encode(AvatarRemoveMessage{12}), 2);
    append(input, encode(AvatarRemoveMessage{12}), 3);
    append(input, noticeBuffer(NET_PLAYER_DESTROYED), 3);
    append(input, noticeBuffer(NET_PLAYER_CREATED), 4);
    return input;
}

// The messages of a seed of the executor's, packed into one bundle.
MessageBuffer packedBundle(const MessageBuffer& lengthPrefixed) {
    MessageBuffer bundle{static_cast<std::uint8_t>(PacketKind::bundle)};
    for (std::size_t at = 0; at < lengthPrefixed.size(); at += 1 + lengthPrefixed[at]) {
        const std::uint8_t* const message = lengthPrefixed.data() + at + 1;
        gameWireForm().pack(message, lengthPrefixed[at], bundle);
    }
    return bundle;
}

}  // namespace

// A short demo: an enclosed map of its own, a world of two avatars and a
// powerup, and frames with an entry of every moment; as read (a leading 0)
// and to be sealed anew (a leading 1).
MessageBuffer demoSeed(const std::uint8_t mode) {
    Demo demo;
    demo.header.map.name = "map2";
    for (int y = 0; y < MAPSIZE; ++y) {
        for (int x = 0; x < MAPSIZE; ++x) {
            const bool edge = x == 0 || y == 0 || x == MAPSIZE - 1 || y == MAPSIZE - 1;
            demo.header.map.cells[static_cast<std::size_t>(y * MAPSIZE + x)] = edge ? 1 : 0;
        }
    }
    demo.opening.push_back(encode(WorldSetupMessage{
        "Levels/map2.raw",
        {{entry_powerup, {3, 2}, 1, 100}, {entry_avatar, {1, 5}, 0, 500}, {entry_avatar, {2, 5}, 0, 501}}}));
    for (int i = 0; i < 60; ++i) {
        DemoFrame frame{0.02f, {}, i % 50 == 49 ? std::optional<std::uint64_t>(7) : std::nullopt};
        frame.entries.push_back(
            {DemoMoment::beforeWalk, -1, -1, 0, encode(AvatarStateMessage{500, 0, 1, 0, 1, 1, {1, 5}})});
        frame.entries.push_back(
            {DemoMoment::control, 501, -1, 1, encode(AvatarStateMessage{501, 1, 0, 0, 0, 1, {2, 5}})});
        frame.entries.push_back({DemoMoment::hit, 501, -1, 2, encode(AvatarHpMessage{501, 90})});
        frame.entries.push_back({DemoMoment::pickup, 500, 100, 3, encode(PowerupTakenMessage{500, 100})});
        frame.entries.push_back({DemoMoment::respawn, 501, -1, 4, encode(AvatarRespawnMessage{501, {9, 9}})});
        frame.entries.push_back({DemoMoment::afterWalk, -1, -1, 0, encode(ChatMessage{chat_said, "Ann", "hi"})});
        demo.frames.push_back(frame);
    }
    MessageBuffer bytes = encodeDemo(demo);
    bytes.insert(bytes.begin(), mode);
    return bytes;
}

int main(const int argc, char** const argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    forEachMessage([&](auto tag) {
        using Message = typename decltype(tag)::Type;
        for (const bool high : {false, true}) {
            write(folder / "messages" / (std::string(Message::KIND.name) + (high ? "-high" : "-low")),
                  encode(sampleMessage<Message>(high)));
        }
    });
    write(folder / "executor" / "game", joinedGame());
    write(folder / "packets" / "bundle", packedBundle(joinedGame()));
    write(folder / "arbiter" / "players", playersAtTheHost());
    write(folder / "demo" / "as-read", demoSeed(0));
    write(folder / "demo" / "sealed-anew", demoSeed(1));
    return 0;
}
