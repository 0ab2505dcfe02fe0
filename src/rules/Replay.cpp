#include "rules/Replay.h"

#include <cmath>
#include <memory>

#include "platform/FrameState.h"
#include "rules/Executor.h"
#include "rules/LineFeed.h"
#include "rules/LocalArbiter.h"
#include "rules/Match.h"
#include "world/Avatar.h"
#include "world/Bullet.h"
#include "world/World.h"
#include "world/WorldDigest.h"

namespace {

// Takes the entries of its avatar's own control changes at the point of
// its frame where the host's controller made them: before it steps.
class ReplayController : public Controller {
public:
    void update() override { replay().takeEvent(DemoMoment::control, avatar->id); }
};

// The playback's rules decide nothing: each outcome comes from the demo,
// taken where the world meets the event the host decided it on. Bullets go
// as the host's went: a live avatar hit by another's bullet stops it.
class ReplayArbiter : public LocalArbiter {
public:
    void avatarInputChanged(Avatar& /*avatar*/) override {}
    void leaveGame() override {}
    void hitAvatar(Avatar& avatar, Bullet& bullet) override {
        if (avatar.hp < 1 || bullet.owner == avatar.id) {
            return;
        }
        replay().takeEvent(DemoMoment::hit, avatar.id);
        bullet.removed = true;
    }
    void pickPowerup(Avatar& avatar, Powerup& powerup) override {
        replay().takeEvent(DemoMoment::pickup, avatar.id, powerup.id);
    }
    void respawnAvatar(Avatar& avatar) override { replay().takeEvent(DemoMoment::respawn, avatar.id); }
};

}  // namespace

Replay& replay() {
    static Replay theReplay;
    return theReplay;
}

std::optional<std::string> Replay::start(Demo played) {
    demo  = std::move(played);
    total = 0.0;
    for (const DemoFrame& frame : demo.frames) {
        total += frame.seconds;
    }
    return rebuild();
}

std::optional<std::string> Replay::rebuild() {
    stop();
    installArbiter(std::make_unique<ReplayArbiter>());
    Executor& executor = Executor::instance();
    executor.awaitWorld(demo.header.map);
    bool built = false;
    for (const MessageBuffer& message : demo.opening) {
        built = executor.apply(message) == MessagesOutcome::worldBuilt || built;
    }
    if (!built) {
        stop();
        return std::string("its opening sets up no world");
    }
    playing = true;
    return std::nullopt;
}

void Replay::stop() {
    CWorld::instance().clearObjects();
    killFeed().clear();
    chatFeed().clear();
    currentMatch() = MatchState{};
    Executor::instance().forgetGame();
    destroyArbiter();
    playing = false;
    next    = 0;
    played  = 0.0;
    checked = 0;
    differs.reset();
}

void Replay::apply(const DemoEntry& entry) {
    Executor::instance().apply(entry.message);
}

bool Replay::takeEvent(const DemoMoment moment, const std::int32_t avatarId, const std::int32_t powerupId) {
    if (!playing || next >= demo.frames.size()) {
        return false;
    }
    const std::vector<DemoEntry>& entries = demo.frames[next].entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const DemoEntry& first = entries[i];
        if (taken[i] || first.moment != moment || first.avatarId != avatarId ||
            (moment == DemoMoment::pickup && first.powerupId != powerupId)) {
            continue;
        }
        for (std::size_t j = i; j < entries.size(); ++j) {
            if (!taken[j] && entries[j].moment == moment && entries[j].event == first.event) {
                taken[j] = true;
                apply(entries[j]);
            }
        }
        return true;
    }
    return false;
}

void Replay::steerByEntries() {
    for (const auto& object : CWorld::instance().getObjects()) {
        auto* const avatar = objectAs<Avatar>(object.get());
        if (avatar != nullptr && !avatar->controller) {
            auto controller = std::make_unique<ReplayController>();
            controller->setAvatar(avatar);
            avatar->setController(std::move(controller));
        }
    }
}

void Replay::stepFrame() {
    if (!playing || atEnd()) {
        return;
    }
    const DemoFrame& frame = demo.frames[next];
    frameTime              = frame.seconds;
    taken.assign(frame.entries.size(), false);
    for (std::size_t i = 0; i < frame.entries.size(); ++i) {
        if (frame.entries[i].moment == DemoMoment::beforeWalk) {
            taken[i] = true;
            apply(frame.entries[i]);
        }
    }
    currentArbiter().update();
    CWorld& world = CWorld::instance();
    if (!world.getObjects().empty() && !currentMatch().isOver()) {
        steerByEntries();
        world.update();
    }
    // After the walk, and whatever the walk did not meet as the host's did.
    for (std::size_t i = 0; i < frame.entries.size(); ++i) {
        if (!taken[i]) {
            taken[i] = true;
            apply(frame.entries[i]);
        }
    }
    played += frame.seconds;
    if (frame.digest) {
        ++checked;
        if (!differs && matchDigest(worldDigest(world), currentMatch()) != *frame.digest) {
            differs = checked;
        }
    }
    ++next;
}

void Replay::seek(const double seconds) {
    if (seconds < played) {
        if (rebuild()) {
            return;
        }
    }
    while (!atEnd() && played + demo.frames[next].seconds <= seconds + 1e-6) {
        stepFrame();
    }
}

std::string Replay::verdict() const {
    if (differs) {
        return "not the same game: it differs from second " + std::to_string(*differs);
    }
    return "verified: the same game";
}
