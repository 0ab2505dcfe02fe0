#pragma once

// A demo: one match as a spectator saw it, to be played again. It holds the
// map, the messages that built the spectator's world, and then every frame
// of the host: its length and the messages of that frame, each marked with
// the moment of the frame where the host's world took it, so that playing
// it back makes the very world the host had. Once a second it holds the
// host's digest, and playback proves itself against it. The format is
// described in docs/demo-format.md.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "net/NetTypes.h"
#include "rules/Maps.h"

constexpr std::uint32_t DEMO_VERSION = 1;
constexpr const char*   DEMO_SUFFIX  = ".qsdemo";
// How many demos a host keeps unless told: the newest.
constexpr std::size_t DEFAULT_KEPT_DEMOS = 50;

// Where in its frame the host's world took a message. Rule outcomes taken
// while the world moves are tied to the event that caused them, which
// playback meets at the same point of its own frame.
enum class DemoMoment : std::uint8_t {
    beforeWalk = 0,  // before the objects move: reports, joins, new powerups, the console
    control    = 1,  // an avatar's own controls changed as it moved (bots, the host's keyboard)
    hit        = 2,  // a bullet struck the avatar
    pickup     = 3,  // the avatar took the powerup
    respawn    = 4,  // the avatar came back
    afterWalk  = 5,  // after the objects moved: settling, chat commands, anything else
};

struct DemoEntry {
    DemoMoment    moment    = DemoMoment::beforeWalk;
    std::int32_t  avatarId  = -1;  // the moments tied to an avatar
    std::int32_t  powerupId = -1;  // a pickup's
    std::uint32_t event     = 0;   // the entries of one event share it
    MessageBuffer message;
};

struct DemoFrame {
    float                        seconds = 0.0f;  // the host's frame time, to the bit
    std::vector<DemoEntry>       entries;
    std::optional<std::uint64_t> digest;  // the host's, at the end of each whole second
};

struct DemoHeader {
    std::int64_t recordedAt  = 0;  // seconds since 1970
    std::int32_t matchNumber = 1;
    std::string  serverName;
    GameMap      map;
};

struct Demo {
    DemoHeader                 header;
    std::vector<MessageBuffer> opening;  // what built the spectator's world
    std::vector<DemoFrame>     frames;
};

// The most a demo may hold: a day of frames, and far more messages a frame
// than a full game sends.
constexpr std::uint32_t MAX_DEMO_FRAMES      = 24 * 3600 * 100;
constexpr std::uint32_t MAX_DEMO_ENTRIES     = 65536;
constexpr std::size_t   MAX_DEMO_SERVER_NAME = 64;
constexpr std::size_t   MAX_DEMO_FILE_BYTES  = std::size_t{1} << 30;
constexpr std::size_t   DEMO_CHECKSUM_BYTES  = 32;

// Reads a demo whole: either the demo or why it cannot be played, in words
// that follow "The demo cannot be played: ".
std::variant<Demo, std::string> readDemo(const std::uint8_t* bytes, std::size_t size);
std::variant<Demo, std::string> readDemoFile(const std::string& path);

// Writes a demo in its file form as it is recorded, a frame at a time, into
// one growing buffer: a message costs a copy of its bytes and nothing more.
class DemoEncoder {
public:
    void begin(const DemoHeader& header, const std::vector<MessageBuffer>& opening);
    void beginFrame();
    void entry(DemoMoment moment, std::int32_t avatarId, std::int32_t powerupId, std::uint32_t event,
               const std::uint8_t* message, std::size_t size);
    void endFrame(float seconds, std::optional<std::uint64_t> digest);
    // The index and the checksum: the demo is complete. Leaves the encoder empty.
    std::vector<std::uint8_t> finish();
    bool                      isOpen() const { return !bytes.empty(); }

private:
    std::vector<std::uint8_t>  bytes;
    std::size_t                frameAt    = 0;  // where the open frame's record begins
    std::uint32_t              frameCount = 0;
    std::uint32_t              entryCount = 0;
    std::vector<std::uint64_t> secondEnds;  // the offset of the frame that ends each whole second
};

// A whole demo in its file form, as DemoWriter writes it (tests and tools).
std::vector<std::uint8_t> encodeDemo(const Demo& demo);

// Puts a valid checksum at the end of bytes that end with a trailer, so that
// the rest of the reader can be tried on any bytes at all (the fuzz target).
void resealDemo(std::vector<std::uint8_t>& bytes);

// "2026-12-08_21-04-05_arena.qsdemo": when it was recorded, local time, and the map.
std::string demoFileName(std::int64_t recordedAt, const std::string& mapName);

// Removes the oldest demos of the folder until at most `keep` are left.
void keepNewestDemos(const std::string& folder, std::size_t keep);

// The folder demos go to unless told: $XDG_DATA_HOME/quillstep/demos
// (~/.local/share/quillstep/demos); empty when there is no home.
std::string defaultDemoFolder();
