#pragma once

#include <cstdint>
#include <thread>
#include <vector>

#include "rules/Demo.h"
#include "rules/GameSession.h"

// Records the host's matches, a demo each, as a spectator sees them. The
// rules tell it what each message was for while the world moved; at the
// end of the match the demo is written to its folder on a thread of its
// own, so that no frame waits for the disk.
class DemoRecorder {
public:
    DemoRecorder() = default;
    ~DemoRecorder();
    DemoRecorder(const DemoRecorder&)            = delete;
    DemoRecorder& operator=(const DemoRecorder&) = delete;

    // A new match: the demo before it is saved, and this one begins. Nothing
    // is recorded without a folder, or when none are to be kept.
    void begin(const DemoSettings& settings, const GameMap& map, std::int32_t matchNumber);
    // What builds a spectator's world at the start, before any frame.
    void addOpening(const MessageBuffer& message);
    // A message every spectator is sent, at the moment of the frame it is.
    void record(const std::uint8_t* message, std::size_t size);
    // The end of the host's frame, with the world's digest once a second.
    void endFrame(float frameSeconds);
    // Saves the demo being recorded.
    void finish();

    // While one lives, what is recorded is tied to its event: a hit, a
    // pickup, a respawn, or an avatar's controls changing as it moves.
    class Event {
    public:
        Event(DemoRecorder& recorder, DemoMoment moment, std::int32_t avatarId, std::int32_t powerupId = -1);
        ~Event();
        Event(const Event&)            = delete;
        Event& operator=(const Event&) = delete;

    private:
        DemoRecorder& recorder;
        bool          outermost;
    };

private:
    void openEncoder();

    DemoSettings               settings;
    DemoHeader                 header;
    std::vector<MessageBuffer> opening;
    DemoEncoder                encoder;
    bool                       recording = false;
    // The event being recorded, if any.
    bool          inEvent           = false;
    DemoMoment    moment            = DemoMoment::beforeWalk;
    std::int32_t  avatarId          = -1;
    std::int32_t  powerupId         = -1;
    std::uint32_t event             = 0;
    unsigned      walksAtFrameStart = 0;
    double        seconds           = 0.0;  // of the match so far
    long          secondsDigested   = 0;
    std::thread   saving;
};
