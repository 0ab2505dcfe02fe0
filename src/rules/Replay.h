#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "rules/Demo.h"

// Plays a demo back into this process's world, a frame at a time, as the
// host's world went: each message is taken at the moment of the frame the
// host took it, and the objects move by the host's frame times. Once a
// second the world's digest is held against the host's.
class Replay {
public:
    // Builds the world of the demo's opening. Why not, when it builds none.
    std::optional<std::string> start(Demo played);
    // Ends the playback and empties the world.
    void stop();

    bool isPlaying() const { return playing; }
    bool atEnd() const { return next >= demo.frames.size(); }
    // One frame of the host's.
    void stepFrame();
    // Plays from the opening again up to `seconds` of the match (the world
    // is rebuilt: nothing else holds how it stood before).
    void seek(double seconds);

    double      elapsed() const { return played; }
    double      length() const { return total; }
    const Demo& recording() const { return demo; }

    // What the digests said so far: how many seconds were compared, and the
    // first that differed.
    std::uint32_t                secondsChecked() const { return checked; }
    std::optional<std::uint32_t> firstDifference() const { return differs; }
    // "verified: the same game", or where it differs; once at the end.
    std::string verdict() const;

    // The playback's rules take the entries of an event when their world
    // meets it: the avatar's controls, a hit, a pickup, a respawn. True when
    // the frame had one.
    bool takeEvent(DemoMoment moment, std::int32_t avatarId, std::int32_t powerupId = -1);

private:
    std::optional<std::string> rebuild();
    void                       apply(const DemoEntry& entry);
    // Every avatar is driven by the entries alone.
    static void steerByEntries();

    Demo                         demo;
    bool                         playing = false;
    std::size_t                  next    = 0;  // the frame to play next
    std::vector<bool>            taken;        // of the frame being played, by entry
    double                       played  = 0.0;
    double                       total   = 0.0;
    std::uint32_t                checked = 0;
    std::optional<std::uint32_t> differs;
};

// The playback of this process.
Replay& replay();
