#include "rules/Match.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "world/Avatar.h"
#include "world/World.h"

MatchState& currentMatch() {
    static MatchState match;
    return match;
}

MatchMessage matchMessageOf(const MatchState& match) {
    const auto toMs = [](const float seconds, const FieldRange range) {
        return std::clamp(static_cast<std::int32_t>(std::lround(seconds * 1000.0f)), range.min, range.max);
    };
    return {std::max(match.number, 1),
            match.phase,
            match.scoreLimit,
            match.timeLimit,
            toMs(match.timeLeft, TIME_LEFT_MS),
            toMs(match.nextIn, END_SCREEN_MS),
            match.map,
            match.nextMap,
            match.winner,
            match.board};
}

MatchState matchStateOf(const MatchMessage& message) {
    MatchState match;
    match.number     = message.number;
    match.phase      = message.phase;
    match.scoreLimit = message.scoreLimit;
    match.timeLimit  = message.timeLimit;
    match.timeLeft   = static_cast<float>(message.timeLeftMs) / 1000.0f;
    match.nextIn     = static_cast<float>(message.nextInMs) / 1000.0f;
    match.map        = message.map;
    match.nextMap    = message.nextMap;
    match.winner     = message.winner;
    match.board      = message.board;
    return match;
}

void tickMatch(MatchState& match, const float seconds) {
    if (match.isOver()) {
        match.nextIn = std::max(0.0f, match.nextIn - seconds);
    } else if (match.timeLimit > 0) {
        match.timeLeft = std::max(0.0f, match.timeLeft - seconds);
    }
}

void stopEveryone() {
    CWorld& world = CWorld::instance();
    for (const auto& object : world.getObjects()) {
        if (auto* const avatar = objectAs<Avatar>(object.get())) {
            avatar->setControls(0, 0, 0, 0, 0);
        } else if (object->kind == ObjectKind::bullet) {
            object->removed = true;
        }
    }
    world.deleteRemoved();
}

std::vector<BoardLine> currentBoard() {
    std::vector<BoardLine> board;
    for (const auto& object : CWorld::instance().getObjects()) {
        if (const auto* const avatar = objectAs<Avatar>(object.get()); avatar != nullptr && !avatar->removed) {
            board.push_back({avatar->id, avatar->name, avatar->score, avatar->kills, avatar->deaths});
        }
    }
    std::stable_sort(board.begin(), board.end(), [](const BoardLine& a, const BoardLine& b) {
        if (a.score != b.score) {
            return a.score > b.score;
        }
        return a.deaths != b.deaths ? a.deaths < b.deaths : a.name < b.name;
    });
    return board;
}

std::string clockText(const int seconds) {
    char text[16];
    std::snprintf(text, sizeof text, "%d:%02d", seconds / 60, seconds % 60);
    return text;
}

std::uint64_t matchDigest(std::uint64_t digest, const MatchState& match) {
    const auto mix = [&digest](const std::string& bytes) {
        for (const char c : bytes) {
            digest ^= static_cast<unsigned char>(c);
            digest *= 0x100000001b3ull;
        }
        digest ^= 0xff;  // ends each field, so "ab" + "c" is not "a" + "bc"
        digest *= 0x100000001b3ull;
    };
    mix(std::to_string(match.phase) + " " + std::to_string(match.scoreLimit) + " " + std::to_string(match.timeLimit));
    mix(match.map);
    mix(match.winner);
    return digest;
}
