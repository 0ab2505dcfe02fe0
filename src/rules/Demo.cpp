#include "rules/Demo.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "net/ByteCodec.h"
#include "world/DataFolder.h"

namespace {

constexpr std::uint8_t MAGIC[8]     = {'Q', 'S', 'D', 'E', 'M', 'O', '\r', '\n'};
constexpr std::uint8_t FRAME_RECORD = 'F';
constexpr std::uint8_t DIGEST       = 'D';
constexpr std::uint8_t TRAILER      = 'E';

bool hasAvatar(const DemoMoment moment) {
    return moment == DemoMoment::control || moment == DemoMoment::hit || moment == DemoMoment::pickup ||
           moment == DemoMoment::respawn;
}

// The encoder writes into one buffer it grows and patches in place, which
// ByteWriter does not; the byte order is ByteWriter's.
void putU32(std::vector<std::uint8_t>& out, const std::uint32_t value) {
    out.resize(out.size() + 4);
    storeU32(out.data() + out.size() - 4, value);
}

void putU64(std::vector<std::uint8_t>& out, const std::uint64_t value) {
    putU32(out, static_cast<std::uint32_t>(value));
    putU32(out, static_cast<std::uint32_t>(value >> 32));
}

void putText(std::vector<std::uint8_t>& out, const std::string& text, const std::size_t most) {
    const std::size_t length = std::min(text.size(), most);
    out.push_back(static_cast<std::uint8_t>(length));
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
}

std::string getText(ByteReader& reader, const std::size_t most, bool& ok) {
    const std::size_t length = reader.getU8();
    std::string       text(length, '\0');
    ok = ok && length <= most && reader.getBytes(text.data(), length);
    return text;
}

void checksum(const std::uint8_t* const bytes, const std::size_t size, std::uint8_t (&out)[DEMO_CHECKSUM_BYTES]) {
    crypto_generichash(out, sizeof out, bytes, size, nullptr, 0);
}

// Where the reader is when something is wrong, for the one line that says so.
std::string damagedAt(const ByteReader& reader, const std::uint8_t* const start) {
    return "it is damaged (at byte " + std::to_string(reader.here() - start) + ")";
}

constexpr const char* CUT_SHORT = "it is cut short";

bool readFrame(ByteReader& reader, DemoFrame& frame) {
    const std::uint32_t bits  = reader.getU32();
    const std::uint32_t count = reader.getU32();
    std::memcpy(&frame.seconds, &bits, sizeof bits);
    if (!reader.ok() || count > MAX_DEMO_ENTRIES || !(frame.seconds >= 0.0f && frame.seconds <= 1.0f)) {
        return false;
    }
    frame.entries.resize(count);
    for (DemoEntry& entry : frame.entries) {
        const std::uint8_t moment = reader.getU8();
        if (moment > static_cast<std::uint8_t>(DemoMoment::afterWalk)) {
            return false;
        }
        entry.moment = static_cast<DemoMoment>(moment);
        if (hasAvatar(entry.moment)) {
            entry.avatarId = reader.getI32();
            entry.event    = reader.getU32();
        }
        if (entry.moment == DemoMoment::pickup) {
            entry.powerupId = reader.getI32();
        }
        const std::uint32_t length = reader.getU32();
        if (!reader.ok() || length > MAX_MESSAGE_SIZE) {
            return false;
        }
        const std::uint8_t* const message = reader.here();
        reader.skip(length);  // fails, past the end, for a demo cut short
        if (!reader.ok()) {
            return false;
        }
        entry.message.assign(message, message + length);
    }
    return reader.ok();
}

}  // namespace

void DemoEncoder::begin(const DemoHeader& header, const std::vector<MessageBuffer>& opening) {
    bytes.clear();
    bytes.insert(bytes.end(), std::begin(MAGIC), std::end(MAGIC));
    putU32(bytes, DEMO_VERSION);
    putU64(bytes, static_cast<std::uint64_t>(header.recordedAt));
    putU32(bytes, static_cast<std::uint32_t>(header.matchNumber));
    putText(bytes, header.serverName, MAX_DEMO_SERVER_NAME);
    putText(bytes, header.map.name, MAX_MAP_NAME_BYTES);
    bytes.insert(bytes.end(), header.map.cells.begin(), header.map.cells.end());
    putU32(bytes, static_cast<std::uint32_t>(opening.size()));
    for (const MessageBuffer& message : opening) {
        putU32(bytes, static_cast<std::uint32_t>(message.size()));
        bytes.insert(bytes.end(), message.begin(), message.end());
    }
    frameCount = 0;
    secondEnds.clear();
    beginFrame();
}

void DemoEncoder::beginFrame() {
    frameAt = bytes.size();
    bytes.push_back(FRAME_RECORD);
    putU32(bytes, 0);  // the frame time, once the frame has ended
    putU32(bytes, 0);  // the entries, likewise
    entryCount = 0;
}

void DemoEncoder::entry(const DemoMoment moment, const std::int32_t avatarId, const std::int32_t powerupId,
                        const std::uint32_t event, const std::uint8_t* const message, const std::size_t size) {
    if (!isOpen() || entryCount >= MAX_DEMO_ENTRIES || size > MAX_MESSAGE_SIZE) {
        return;
    }
    // One growth of the buffer an entry: a host records every message it sends.
    const bool        tied   = hasAvatar(moment);
    const std::size_t fields = 1 + (tied ? 8 : 0) + (moment == DemoMoment::pickup ? 4 : 0) + 4;
    const std::size_t at     = bytes.size();
    bytes.resize(at + fields + size);
    std::uint8_t* out = bytes.data() + at;
    *out++            = static_cast<std::uint8_t>(moment);
    if (tied) {
        out = storeU32(out, static_cast<std::uint32_t>(avatarId));
        out = storeU32(out, event);
    }
    if (moment == DemoMoment::pickup) {
        out = storeU32(out, static_cast<std::uint32_t>(powerupId));
    }
    out = storeU32(out, static_cast<std::uint32_t>(size));
    std::memcpy(out, message, size);
    ++entryCount;
}

void DemoEncoder::endFrame(const float seconds, const std::optional<std::uint64_t> digest) {
    if (!isOpen() || frameCount >= MAX_DEMO_FRAMES) {
        return;
    }
    std::uint32_t bits = 0;
    std::memcpy(&bits, &seconds, sizeof bits);
    storeU32(storeU32(bytes.data() + frameAt + 1, bits), entryCount);
    ++frameCount;
    if (digest) {
        secondEnds.push_back(frameAt);
        bytes.push_back(DIGEST);
        putU64(bytes, *digest);
    }
    beginFrame();
}

std::vector<std::uint8_t> DemoEncoder::finish() {
    if (!isOpen()) {
        return {};
    }
    bytes.resize(frameAt);  // the frame begun and not ended
    bytes.push_back(TRAILER);
    putU32(bytes, frameCount);
    putU32(bytes, static_cast<std::uint32_t>(secondEnds.size()));
    for (const std::uint64_t offset : secondEnds) {
        putU64(bytes, offset);
    }
    std::uint8_t sum[DEMO_CHECKSUM_BYTES];
    checksum(bytes.data(), bytes.size(), sum);
    bytes.insert(bytes.end(), std::begin(sum), std::end(sum));
    std::vector<std::uint8_t> done;
    done.swap(bytes);
    return done;
}

std::vector<std::uint8_t> encodeDemo(const Demo& demo) {
    DemoEncoder encoder;
    encoder.begin(demo.header, demo.opening);
    for (const DemoFrame& frame : demo.frames) {
        for (const DemoEntry& entry : frame.entries) {
            encoder.entry(entry.moment, entry.avatarId, entry.powerupId, entry.event, entry.message.data(),
                          entry.message.size());
        }
        encoder.endFrame(frame.seconds, frame.digest);
    }
    return encoder.finish();
}

void resealDemo(std::vector<std::uint8_t>& bytes) {
    if (bytes.size() >= DEMO_CHECKSUM_BYTES) {
        std::uint8_t sum[DEMO_CHECKSUM_BYTES];
        checksum(bytes.data(), bytes.size() - sizeof sum, sum);
        std::memcpy(bytes.data() + bytes.size() - sizeof sum, sum, sizeof sum);
    }
}

std::variant<Demo, std::string> readDemo(const std::uint8_t* const bytes, const std::size_t size) {
    if (size < sizeof MAGIC || std::memcmp(bytes, MAGIC, sizeof MAGIC) != 0) {
        return std::string("it is not a Quillstep demo");
    }
    ByteReader          reader(bytes + sizeof MAGIC, size - sizeof MAGIC);
    const std::uint32_t version = reader.getU32();
    if (!reader.ok()) {
        return std::string(CUT_SHORT);
    }
    if (version != DEMO_VERSION) {
        return "it was recorded by another version of the game (demo format " + std::to_string(version) +
               "; this one plays " + std::to_string(DEMO_VERSION) + ")";
    }
    if (size > MAX_DEMO_FILE_BYTES) {
        return std::string("it is larger than any match makes");
    }
    // Read to the end first: bytes that run out before the trailer are a
    // demo cut short (a host that stopped mid-match), anything else amiss
    // is damage.
    const auto  wrong = [&] { return reader.ok() ? damagedAt(reader, bytes) : std::string(CUT_SHORT); };
    Demo        demo;
    bool        ok              = true;
    DemoHeader& header          = demo.header;
    header.recordedAt           = static_cast<std::int64_t>(reader.getU64());
    header.matchNumber          = reader.getI32();
    header.serverName           = getText(reader, MAX_DEMO_SERVER_NAME, ok);
    header.map.name             = getText(reader, MAX_MAP_NAME_BYTES, ok);
    ok                          = ok && reader.getBytes(header.map.cells.data(), header.map.cells.size());
    const std::uint32_t opening = reader.getU32();
    if (!ok || !reader.ok() || opening > MAX_DEMO_ENTRIES) {
        return wrong();
    }
    for (std::uint32_t i = 0; i < opening; ++i) {
        const std::uint32_t       length  = reader.getU32();
        const std::uint8_t* const message = reader.here();
        if (!reader.ok() || length > MAX_MESSAGE_SIZE) {
            return wrong();
        }
        reader.skip(length);
        if (!reader.ok()) {
            return wrong();
        }
        demo.opening.emplace_back(message, message + length);
    }
    std::vector<std::uint64_t> secondEnds;  // where each frame with a digest begins
    std::uint64_t              frameAt = 0;
    for (std::uint8_t kind = reader.getU8(); kind != TRAILER; kind = reader.getU8()) {
        if (!reader.ok()) {
            return wrong();
        }
        const std::uint64_t at = static_cast<std::uint64_t>(reader.here() - bytes) - 1;
        if (kind == FRAME_RECORD) {
            if (demo.frames.size() >= MAX_DEMO_FRAMES || !readFrame(reader, demo.frames.emplace_back())) {
                return wrong();
            }
            frameAt = at;
        } else if (kind == DIGEST && !demo.frames.empty() && !demo.frames.back().digest) {
            demo.frames.back().digest = reader.getU64();
            secondEnds.push_back(frameAt);
        } else {
            return wrong();
        }
    }
    // The trailer: the counts and the index agree with the records, and the
    // checksum with every byte before it.
    const std::uint32_t frames  = reader.getU32();
    const std::uint32_t seconds = reader.getU32();
    if (!reader.ok() || frames != demo.frames.size() || seconds != secondEnds.size()) {
        return wrong();
    }
    for (const std::uint64_t offset : secondEnds) {
        if (reader.getU64() != offset) {
            return wrong();
        }
    }
    if (!reader.has(DEMO_CHECKSUM_BYTES)) {
        return std::string(CUT_SHORT);
    }
    std::uint8_t sum[DEMO_CHECKSUM_BYTES];
    checksum(bytes, static_cast<std::size_t>(reader.here() - bytes), sum);
    if (std::memcmp(sum, reader.here(), sizeof sum) != 0) {
        return std::string("it is damaged (its checksum does not match)");
    }
    reader.skip(sizeof sum);
    if (!reader.atEnd()) {
        return damagedAt(reader, bytes);
    }
    if (!isMapName(header.map.name) || whyUnplayable(header.map.cells)) {
        return std::string("its map cannot be played");
    }
    return demo;
}

std::variant<Demo, std::string> readDemoFile(const std::string& path) {
    std::error_code      failed;
    const std::uintmax_t length = std::filesystem::file_size(path, failed);
    if (failed || !std::filesystem::is_regular_file(path, failed)) {
        return std::string("it cannot be read");
    }
    if (length > MAX_DEMO_FILE_BYTES) {
        return std::string("it is larger than any match makes");
    }
    std::ifstream             in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
        return std::string("it cannot be read");
    }
    return readDemo(bytes.data(), bytes.size());
}

std::string demoFileName(const std::int64_t recordedAt, const std::string& mapName) {
    const std::time_t when = static_cast<std::time_t>(recordedAt);
    std::tm           local{};
    localtime_r(&when, &local);
    char stamp[32] = "";
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    return std::string(stamp) + "_" + mapName + DEMO_SUFFIX;
}

void keepNewestDemos(const std::string& folder, const std::size_t keep) {
    std::vector<std::filesystem::path> demos;
    std::error_code                    failed;
    for (const auto& entry : std::filesystem::directory_iterator(folder, failed)) {
        if (entry.is_regular_file(failed) && entry.path().extension() == DEMO_SUFFIX) {
            demos.push_back(entry.path());
        }
    }
    // Named by the time they were recorded, the oldest sort first.
    std::sort(demos.begin(), demos.end());
    for (std::size_t i = 0; i + keep < demos.size(); ++i) {
        std::filesystem::remove(demos[i], failed);
    }
}

std::string defaultDemoFolder() {
    return keptDataFolder("demos");
}
