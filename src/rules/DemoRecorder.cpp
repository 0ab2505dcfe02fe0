#include "rules/DemoRecorder.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "platform/AtomicFile.h"
#include "rules/Match.h"
#include "world/World.h"
#include "world/WorldDigest.h"

DemoRecorder::~DemoRecorder() {
    finish();
    if (saving.joinable()) {
        saving.join();
    }
}

void DemoRecorder::begin(const DemoSettings& wanted, const GameMap& map, const std::int32_t matchNumber) {
    finish();
    settings  = wanted;
    recording = !settings.folder.empty() && settings.keep > 0;
    if (!recording) {
        return;
    }
    header = DemoHeader{static_cast<std::int64_t>(std::time(nullptr)), matchNumber, settings.serverName, map};
    walksAtFrameStart = CWorld::instance().walks();
    seconds           = 0.0;
    secondsDigested   = 0;
    event             = 0;
    opening.clear();
}

void DemoRecorder::addOpening(const MessageBuffer& message) {
    if (recording && !encoder.isOpen()) {
        opening.push_back(message);
    }
}

void DemoRecorder::openEncoder() {
    if (!encoder.isOpen()) {
        encoder.begin(header, opening);
        opening.clear();
    }
}

void DemoRecorder::record(const std::uint8_t* const message, const std::size_t size) {
    if (!recording) {
        return;
    }
    openEncoder();
    const CWorld& world = CWorld::instance();
    if (inEvent) {
        encoder.entry(moment, avatarId, powerupId, event, message, size);
        return;
    }
    // Outside any event, what changed while the objects moved, or after,
    // is taken after they have moved.
    const bool after = world.isWalking() || world.walks() != walksAtFrameStart;
    encoder.entry(after ? DemoMoment::afterWalk : DemoMoment::beforeWalk, -1, -1, 0, message, size);
}

void DemoRecorder::endFrame(const float frameSeconds) {
    if (!recording) {
        return;
    }
    openEncoder();
    seconds += frameSeconds;
    std::optional<std::uint64_t> digest;
    if (const long whole = static_cast<long>(std::floor(seconds)); whole > secondsDigested) {
        secondsDigested = whole;
        digest          = matchDigest(worldDigest(CWorld::instance()), currentMatch());
    }
    encoder.endFrame(frameSeconds, digest);
    walksAtFrameStart = CWorld::instance().walks();
}

void DemoRecorder::finish() {
    if (!recording) {
        return;
    }
    recording = false;
    openEncoder();
    // One demo is written at a time: the one before is on the disk before
    // this one is named after what is there.
    if (saving.joinable()) {
        saving.join();
    }
    std::string path = settings.folder + "/" + demoFileName(header.recordedAt, header.map.name);
    for (int again = 2; std::filesystem::exists(path); ++again) {
        path = settings.folder + "/" + demoFileName(header.recordedAt, header.map.name + "-" + std::to_string(again));
    }
    // The checksum over the whole match is the saving thread's work too.
    saving  = std::thread([demo = std::move(encoder), path, folder = settings.folder, keep = settings.keep]() mutable {
        const std::vector<std::uint8_t> bytes = demo.finish();
        if (!makeFolders(folder) || !replaceFile(path, std::string(bytes.begin(), bytes.end()))) {
            std::fprintf(stderr, "quillstep: the demo %s could not be saved\n", path.c_str());
            return;
        }
        keepNewestDemos(folder, keep);
    });
    encoder = DemoEncoder{};
}

DemoRecorder::Event::Event(DemoRecorder& owner, const DemoMoment what, const std::int32_t avatar,
                           const std::int32_t powerup)
    : recorder(owner), outermost(!owner.inEvent) {
    if (outermost) {
        recorder.inEvent   = true;
        recorder.moment    = what;
        recorder.avatarId  = avatar;
        recorder.powerupId = powerup;
        ++recorder.event;
    }
}

DemoRecorder::Event::~Event() {
    if (outermost) {
        recorder.inEvent = false;
    }
}
