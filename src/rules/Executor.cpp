#include "rules/Executor.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <string>

#include "net/IClient.h"
#include "net/IServer.h"
#include "platform/GameAssert.h"
#include "platform/Platform.h"
#include "rules/GameSession.h"
#include "rules/KillFeed.h"
#include "rules/PlayerName.h"
#include "world/Avatar.h"
#include "world/DataFolder.h"
#include "world/HumanController.h"
#include "world/MapFile.h"
#include "world/Powerup.h"
#include "world/World.h"

namespace {

constexpr float DEATH_COUNTDOWN = 5.0f;

bool isFlag(const std::int32_t value) {
    return value == 0 || value == 1;
}

bool isPowerupType(const std::int32_t type) {
    return type == powerup_ammo || type == powerup_health;
}

bool exists(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0;
}

// Every entry on the floor, ids unique, no more powerups than the host keeps.
bool isBuildable(const WorldSetupMessage& setup, const std::int32_t maxPowerups) {
    std::set<std::int32_t> ids;
    std::int32_t           powerups = 0;
    for (const WorldEntry& entry : setup.entries) {
        if (!isStandable(entry.pos) || !ids.insert(entry.id).second) {
            return false;
        }
        if (entry.kind == entry_powerup && (!isPowerupType(entry.type) || ++powerups > maxPowerups)) {
            return false;
        }
    }
    return true;
}

}  // namespace

Avatar* findAvatar(const std::int32_t id) {
    return objectAs<Avatar>(CWorld::instance().findObject(id));
}

Powerup* findPowerup(const std::int32_t id) {
    return objectAs<Powerup>(CWorld::instance().findObject(id));
}

bool isStandable(const Position pos) {
    return BETWEEN(pos.x, 0, MAPSIZE - 1) && BETWEEN(pos.y, 0, MAPSIZE - 1) && !CWorld::instance().isBlocked(pos);
}

bool isPlausibleState(const AvatarStateMessage& state) {
    return isFlag(state.left) && isFlag(state.right) && isFlag(state.up) && isFlag(state.down) && isFlag(state.fire) &&
           isStandable(state.pos);
}

Executor& Executor::instance() {
    static Executor executor;
    return executor;
}

Executor::~Executor() = default;

void Executor::processMessages() {
    // The client is looked up afresh for every message: applying one may end
    // the game and take the client with it.
    while (IClient* const client = gameSession().currentClient()) {
        const std::optional<MessageBuffer> message = client->incoming.pop();
        if (!message) {
            break;
        }
        apply(*message);
    }
}

void Executor::apply(const MessageBuffer& message) {
    switch (messageId(message)) {
        case MSG_YOUR_AVATAR:
            if (const auto avatarId = decodeYourAvatar(message)) {
                setLocalAvatarId(*avatarId);
            }
            break;
        case MSG_WORLD_SETUP:
            if (const auto setup = decodeWorldSetup(message)) {
                setupWorld(*setup);
            }
            break;
        case MSG_AVATAR_STATE:
            if (const auto state = decodeAvatarState(message);
                state && findAvatar(state->avatarId) && isPlausibleState(*state)) {
                applyAvatarState(*state);
            }
            break;
        case MSG_AVATAR_REMOVE:
            if (const auto id = decodeAvatarRemove(message); id && CWorld::instance().findObject(*id)) {
                removeObject(*id);
            }
            break;
        case MSG_AVATAR_RESPAWN:
            if (const auto respawn = decodeAvatarRespawn(message);
                respawn && findAvatar(respawn->avatarId) && isStandable(respawn->pos)) {
                applyRespawn(respawn->avatarId, respawn->pos);
            }
            break;
        case MSG_AVATAR_HP:
            if (const auto hp = decodeAvatarHp(message); hp && findAvatar(hp->avatarId)) {
                applyHp(hp->avatarId, hp->hp);
            }
            break;
        case MSG_SCORE:
            if (const auto score = decodeScore(message); score && findAvatar(score->avatarId)) {
                applyScore(score->avatarId, score->score);
            }
            break;
        case MSG_POWERUP_TAKEN:
            if (const auto taken = decodePowerupTaken(message);
                taken && findAvatar(taken->avatarId) && findPowerup(taken->powerupId)) {
                applyPowerupTaken(taken->avatarId, taken->powerupId);
            }
            break;
        case MSG_POWERUP_SPAWN:
            if (const auto spawn = decodePowerupSpawn(message);
                spawn && isPowerupType(spawn->type) && isStandable(spawn->pos) &&
                CWorld::instance().findObject(spawn->powerupId) == nullptr &&
                CWorld::instance().countPowerups() < CWorld::instance().maxPowerups) {
                addPowerupWithId(spawn->pos, spawn->type, spawn->powerupId);
            }
            break;
        case MSG_AVATAR_ADD:
            if (const auto add = decodeAvatarAdd(message);
                add && CWorld::instance().findObject(add->avatarId) == nullptr && isStandable(add->pos)) {
                auto avatar = std::make_unique<Avatar>();
                avatar->id  = add->avatarId;
                avatar->pos = add->pos;
                CWorld::instance().addObject(std::move(avatar));
            }
            break;
        case MSG_ROUND_TRIPS:
            for (const RoundTrip& trip : decodeRoundTrips(message).value_or(std::vector<RoundTrip>{})) {
                if (Avatar* const avatar = findAvatar(trip.avatarId)) {
                    avatar->roundTripMs = std::clamp(trip.ms, -1, 99999);
                }
            }
            break;
        case MSG_KILL:
            if (const auto kill = decodeKill(message); kill && findAvatar(kill->victimId)) {
                applyKill(kill->victimId, kill->killerId);
            }
            break;
        case MSG_AVATAR_NAME:
            if (const auto name = decodeAvatarName(message)) {
                if (Avatar* const avatar = findAvatar(name->avatarId)) {
                    avatar->name = cleanPlayerName(name->name);  // cleaned again: the host may not be ours
                }
            }
            break;
        case MSG_AVATAR_STATUS:
            if (const auto status = decodeAvatarStatus(message);
                status && findAvatar(status->avatarId) && isStandable(status->pos)) {
                applyAvatarStatus(*status);
            }
            break;
        default:
            break;  // other ids, and the network's own notices
    }
}

void Executor::setLocalAvatarId(const std::int32_t avatarId) {
    localAvatarId = avatarId;
}

void Executor::setupWorld(const WorldSetupMessage& setup) {
    IGameSession& session = gameSession();
    if (session.currentServer() != nullptr) {
        // The host's world is set up already; only the keyboard is missing.
        if (Avatar* const avatar = findAvatar(localAvatarId)) {
            attachKeyboard(*avatar);
        }
        return;
    }
    if (!session.isWaitingForWorld()) {
        return;  // one world per game
    }
    if (!buildWorld(setup)) {
        session.abandonGame();
        return;
    }
    session.worldArrived();
}

bool Executor::buildWorld(const WorldSetupMessage& setup) {
    CWorld&                          world = CWorld::instance();
    const std::optional<std::string> path  = levelsPathFor(setup.mapName);
    if (!path) {
        showError("The host named a map this game does not accept.");
        return false;
    }
    if (!exists(dataPath(*path))) {
        showError("The host's map \"" + setup.mapName + "\" is not on this machine.");
        return false;
    }
    if (!world.loadMap(path->c_str())) {
        return false;  // loadMap told the player why
    }
    if (!isBuildable(setup, world.maxPowerups)) {
        showError("The host sent a world this game cannot set up.");
        return false;
    }
    for (const WorldEntry& entry : setup.entries) {
        if (entry.kind == entry_powerup) {
            addPowerupWithId(entry.pos, entry.type, entry.id);
            continue;
        }
        auto avatar   = std::make_unique<Avatar>();
        avatar->pos   = entry.pos;
        avatar->id    = entry.id;
        Avatar& added = static_cast<Avatar&>(*world.addObject(std::move(avatar)));
        if (added.id == localAvatarId) {
            attachKeyboard(added);
        }
    }
    return true;
}

void Executor::attachKeyboard(Avatar& avatar) {
    auto keyboard = std::make_unique<HumanController>();
    keyboard->setAvatar(&avatar);
    avatar.setController(std::move(keyboard));
    gameSession().setKeyboardAvatar(&avatar);
}

void Executor::applyAvatarState(const AvatarStateMessage& state) {
    Avatar* const a = findAvatar(state.avatarId);
    GAME_ASSERT(a, SITE_STATE_AVATAR);
    a->setControls(state.left, state.right, state.up, state.down, state.fire);
    a->setPosition(state.pos);
}

void Executor::removeObject(const std::int32_t id) {
    CObject* const a = CWorld::instance().findObject(id);
    GAME_ASSERT(a, SITE_REMOVE_OBJECT);
    a->removed            = true;
    IGameSession& session = gameSession();
    if (session.keyboardAvatar() == a) {
        session.setKeyboardAvatar(nullptr);  // the world deletes it at the end of its update
    }
}

void Executor::applyRespawn(const std::int32_t avatarId, const Position pos) {
    Avatar* const avatar = findAvatar(avatarId);
    if (avatar == nullptr) {
        return;
    }
    avatar->releaseTimer = 0.0f;
    avatar->direction    = 0;
    avatar->hp           = 100;
    avatar->ammo         = 50;
    avatar->pos          = pos;
    avatar->setControls(0, 0, 0, 0, 0);
    if (avatar == gameSession().keyboardAvatar()) {
        platform().playSound(SoundEffect::respawn);
    }
}

void Executor::applyHp(const std::int32_t avatarId, const std::int32_t hp) {
    Avatar* const avatar = findAvatar(avatarId);
    GAME_ASSERT(avatar, SITE_HP_AVATAR);
    if (avatar == gameSession().keyboardAvatar() && hp < avatar->hp && avatar->hp > 0) {
        platform().playSound(hp > 0 ? SoundEffect::hit : SoundEffect::death);
    }
    // Values from the network may be anything; within the caps every rule's
    // arithmetic stays far from overflow.
    avatar->hp = std::min(hp, HEALTH_CAP);
    if (hp <= 0) {
        avatar->hp           = 0;
        avatar->releaseTimer = DEATH_COUNTDOWN;
    }
}

void Executor::applyKill(const std::int32_t victimId, const std::int32_t killerId) {
    Avatar* const victim = findAvatar(victimId);
    if (victim == nullptr) {
        return;
    }
    const Avatar* const killer = findAvatar(killerId);
    victim->killedBy           = killer != nullptr ? killer->name : std::string();
    killFeed().add(killer != nullptr ? killer->name + " shot " + victim->name : victim->name + " was shot");
}

void Executor::applyAvatarStatus(const AvatarStatusMessage& status) {
    Avatar* const avatar = findAvatar(status.avatarId);
    if (avatar == nullptr) {
        return;
    }
    // A live avatar steered here goes where its keys take it: this machine
    // has moved it on since the host counted, and its next report says where.
    if (avatar != gameSession().keyboardAvatar() || status.hp <= 0) {
        avatar->pos = status.pos;
    }
    if ((status.hp <= 0) != (avatar->hp <= 0)) {
        applyHp(status.avatarId, status.hp);  // a death or a life this machine has not seen
    } else if (status.hp > 0) {
        avatar->hp = std::min(status.hp, HEALTH_CAP);
    }
    avatar->score = status.score;
    avatar->ammo  = std::clamp(status.ammo, 0, AMMO_CAP);
}

void Executor::applyScore(const std::int32_t avatarId, const std::int32_t score) {
    Avatar* const killer = findAvatar(avatarId);
    GAME_ASSERT(killer, SITE_SCORE_KILLER);
    killer->score = score;
}

void Executor::applyPowerupTaken(const std::int32_t avatarId, const std::int32_t powerupId) {
    Avatar* const avatar = findAvatar(avatarId);
    GAME_ASSERT(avatar, SITE_PICKUP_AVATAR);
    Powerup* const powerup = findPowerup(powerupId);
    GAME_ASSERT(powerup, SITE_PICKUP_POWERUP);
    powerup->applyTo(*avatar);
    powerup->removed = true;
    if (avatar == gameSession().keyboardAvatar()) {
        platform().playSound(SoundEffect::pickup);
    }
}

std::int32_t Executor::addPowerup(const Position pos, const std::int32_t type) {
    auto powerup  = std::make_unique<Powerup>();
    powerup->pos  = pos;
    powerup->type = type;
    return CWorld::instance().addObject(std::move(powerup))->id;
}

void Executor::addPowerupWithId(const Position pos, const std::int32_t type, const std::int32_t id) {
    auto powerup  = std::make_unique<Powerup>();
    powerup->pos  = pos;
    powerup->type = type;
    powerup->id   = id;
    CWorld::instance().addObject(std::move(powerup));
}
