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
#include "rules/Chat.h"
#include "rules/GameSession.h"
#include "rules/IArbiter.h"
#include "rules/LineFeed.h"
#include "rules/Match.h"
#include "rules/MessageCodec.h"
#include "rules/PlayerName.h"
#include "world/Avatar.h"
#include "world/DataFolder.h"
#include "world/HumanController.h"
#include "world/MapFile.h"
#include "world/Powerup.h"
#include "world/World.h"

namespace {

constexpr float DEATH_COUNTDOWN = 5.0f;

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
        if (entry.kind == entry_powerup && ++powerups > maxPowerups) {
            return false;
        }
    }
    return true;
}

}  // namespace

namespace {

void takeKillsAndDeaths(const std::vector<BoardLine>& board) {
    for (const BoardLine& line : board) {
        if (Avatar* const avatar = findAvatar(line.avatarId)) {
            avatar->kills  = line.kills;
            avatar->deaths = line.deaths;
        }
    }
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
    return isStandable(state.pos);
}

Executor& Executor::instance() {
    static Executor executor;
    return executor;
}

Executor::~Executor() = default;

MessagesOutcome Executor::processMessages() {
    IClient* const client = gameSession().currentClient();
    if (client == nullptr) {
        return MessagesOutcome::applied;
    }
    while (const std::optional<MessageBuffer> message = client->incoming.pop()) {
        const MessagesOutcome applied = apply(*message);
        if (applied != MessagesOutcome::applied) {
            return applied;
        }
    }
    return MessagesOutcome::applied;
}

MessagesOutcome Executor::apply(const MessageBuffer& message) {
    outcome                 = MessagesOutcome::applied;
    const Dispatch received = dispatchMessage(message, [this](const auto& decoded) { receive(decoded); });
    if (received == Dispatch::refused && messageId(message) == MSG_WORLD_SETUP &&
        gameSession().currentServer() == nullptr && gameSession().isWaitingForWorld()) {
        showError("The host sent a world this game cannot set up.");
        return MessagesOutcome::worldRefused;
    }
    return outcome;  // other ids, and the network's own notices, change nothing
}

void Executor::receive(const YourAvatarMessage& message) {
    localAvatarId = message.avatarId;
}

void Executor::receive(const WorldSetupMessage& message) {
    outcome = setupWorld(message);
}

void Executor::receive(const AvatarStateMessage& message) {
    Avatar* const avatar = findAvatar(message.avatarId);
    if (avatar == nullptr || !isPlausibleState(message)) {
        return;
    }
    if (avatar == gameSession().keyboardAvatar()) {
        // How the host has this player's avatar. Its flags are the keys'
        // here: when the host's differ, it missed a change and hears it
        // again. Standing still, the avatar is where the host says.
        const AvatarStateMessage own = stateOf(*avatar);
        if (own.left != message.left || own.right != message.right || own.up != message.up ||
            own.down != message.down || own.fire != message.fire) {
            currentArbiter().avatarInputChanged(*avatar);
        } else if ((own.left | own.right | own.up | own.down | own.fire) == 0) {
            avatar->setPosition(message.pos);
        }
        return;
    }
    applyAvatarState(message);
}

void Executor::receive(const AvatarRemoveMessage& message) {
    if (CWorld::instance().findObject(message.avatarId) != nullptr) {
        removeObject(message.avatarId);
    }
}

void Executor::receive(const AvatarRespawnMessage& message) {
    if (findAvatar(message.avatarId) != nullptr && isStandable(message.pos)) {
        applyRespawn(message.avatarId, message.pos);
    }
}

void Executor::receive(const AvatarHpMessage& message) {
    if (findAvatar(message.avatarId) != nullptr) {
        applyHp(message.avatarId, message.hp);
    }
}

void Executor::receive(const ScoreMessage& message) {
    if (findAvatar(message.avatarId) != nullptr) {
        applyScore(message.avatarId, message.score);
    }
}

void Executor::receive(const PowerupTakenMessage& message) {
    if (findAvatar(message.avatarId) != nullptr && findPowerup(message.powerupId) != nullptr) {
        applyPowerupTaken(message.avatarId, message.powerupId);
    }
}

void Executor::receive(const PowerupSpawnMessage& message) {
    const CWorld& world = CWorld::instance();
    if (isStandable(message.pos) && world.findObject(message.powerupId) == nullptr &&
        world.countPowerups() < world.maxPowerups) {
        addPowerupWithId(message.pos, message.type, message.powerupId);
    }
}

void Executor::receive(const AvatarStatusMessage& message) {
    if (findAvatar(message.avatarId) != nullptr && isStandable(message.pos)) {
        applyAvatarStatus(message);
    }
}

void Executor::receive(const AvatarAddMessage& message) {
    if (CWorld::instance().findObject(message.avatarId) == nullptr && isStandable(message.pos)) {
        auto avatar = std::make_unique<Avatar>();
        avatar->id  = message.avatarId;
        avatar->pos = message.pos;
        CWorld::instance().addObject(std::move(avatar));
    }
}

void Executor::receive(const AvatarNameMessage& message) {
    if (Avatar* const avatar = findAvatar(message.avatarId)) {
        avatar->name = cleanPlayerName(message.name);  // cleaned again: the host may not be ours
    }
}

void Executor::receive(const KillMessage& message) {
    if (findAvatar(message.victimId) != nullptr) {
        applyKill(message.victimId, message.killerId);
    }
}

void Executor::receive(const RoundTripsMessage& message) {
    for (const RoundTrip& trip : message.trips) {
        if (Avatar* const avatar = findAvatar(trip.avatarId)) {
            avatar->roundTripMs = trip.ms;
        }
    }
}

void Executor::receive(const MatchMessage& message) {
    if (gameSession().currentServer() != nullptr) {
        return;  // the host's own rules keep the match
    }
    MatchState&      match = currentMatch();
    const MatchState next  = matchStateOf(message);
    if (next.number != match.number && !next.isOver() && !isAwaitingWorld()) {
        nextMatch = next;
        return;
    }
    if (next.isOver() && !match.isOver()) {
        stopEveryone();
    }
    match = next;
    takeKillsAndDeaths(match.board);
}

void Executor::receive(const MapMessage& message) {
    if (gameSession().currentServer() != nullptr) {
        return;
    }
    std::variant<GameMap, std::string> accepted = acceptMap(message);
    if (const auto* const reason = std::get_if<std::string>(&accepted)) {
        showError("The host's map cannot be played: " + *reason);
        receivedMap.reset();
        outcome = MessagesOutcome::worldRefused;
        return;
    }
    receivedMap = std::move(std::get<GameMap>(accepted));
    keepReceivedMap(*receivedMap);
}

void Executor::receive(const ChatMessage& message) {
    // Cleaned again: the host may not be ours.
    const std::string text = cleanChatText(message.text);
    if (text.empty()) {
        return;
    }
    if (message.kind == chat_notice) {
        killFeed().add(text);
    } else if (message.kind == chat_farewell) {
        farewell() = text;
    } else {
        chatFeed().add(cleanPlayerName(message.from) + ": " + text);
    }
}

void Executor::receive(const LobbyMessage& message) {
    if (gameSession().currentServer() == nullptr) {
        lobby() = message;
    }
}

void Executor::forgetGame() {
    localAvatarId = -1;  // until the host names one: a spectator never gets one
    nextMatch.reset();
    receivedMap.reset();
    awaitingDemoWorld = false;
}

void Executor::awaitWorld(const GameMap& map) {
    forgetGame();
    receivedMap       = map;
    awaitingDemoWorld = true;
}

bool Executor::isAwaitingWorld() const {
    return awaitingDemoWorld || gameSession().isWaitingForWorld();
}

MessagesOutcome Executor::setupWorld(const WorldSetupMessage& setup) {
    IGameSession& session = gameSession();
    if (session.currentServer() != nullptr) {
        // The host's world is set up already; only the keyboard is missing.
        if (Avatar* const avatar = findAvatar(localAvatarId)) {
            attachKeyboard(*avatar);
        }
        return MessagesOutcome::applied;
    }
    if (nextMatch) {
        // The next match: a new world on the map that came with it.
        currentMatch() = *nextMatch;
        nextMatch.reset();
        CWorld::instance().clearObjects();
        session.setKeyboardAvatar(nullptr);
        killFeed().clear();
        return buildWorld(setup) ? MessagesOutcome::applied : MessagesOutcome::worldRefused;
    }
    if (!isAwaitingWorld()) {
        return MessagesOutcome::applied;  // one world per match
    }
    awaitingDemoWorld = false;
    return buildWorld(setup) ? MessagesOutcome::worldBuilt : MessagesOutcome::worldRefused;
}

bool Executor::loadMapOf(const WorldSetupMessage& setup) {
    CWorld&                          world = CWorld::instance();
    const std::optional<std::string> name  = mapNameOfFile(setup.mapName);
    if (receivedMap && name == receivedMap->name) {
        world.useMap(receivedMap->cells);
        return true;
    }
    const std::optional<std::string> path = levelsPathFor(setup.mapName);
    if (!path) {
        showError("The host named a map this game does not accept.");
        return false;
    }
    if (!exists(dataPath(*path))) {
        // Perhaps a map a host sent before.
        const std::variant<GameMap, std::string> kept =
            name ? findMap(*name) : std::variant<GameMap, std::string>(std::string());
        if (const auto* const found = std::get_if<GameMap>(&kept)) {
            world.useMap(found->cells);
            return true;
        }
        showError("The host's map \"" + setup.mapName + "\" is not on this machine.");
        return false;
    }
    return world.loadMap(path->c_str());  // on failure it told the player why
}

bool Executor::buildWorld(const WorldSetupMessage& setup) {
    CWorld& world = CWorld::instance();
    if (!loadMapOf(setup)) {
        return false;
    }
    if (currentMatch().map.empty()) {
        currentMatch().map = mapNameOfFile(setup.mapName).value_or(setup.mapName);  // no match was announced
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
    takeKillsAndDeaths(currentMatch().board);  // of a match joined late
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
    avatar->hp = hp;
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
    Avatar* const killer = findAvatar(killerId);
    victim->killedBy     = killer != nullptr ? killer->name : std::string();
    ++victim->deaths;
    if (killer != nullptr && killer != victim) {
        ++killer->kills;
    }
    killFeed().add(killer != nullptr ? killer->name + " shot " + victim->name : victim->name + " was shot");
}

void Executor::applyAvatarStatus(const AvatarStatusMessage& status) {
    Avatar* const avatar = findAvatar(status.avatarId);
    if (avatar == nullptr) {
        return;
    }
    // A live avatar steered here goes where its keys take it: this machine
    // has moved it on since the host counted, and its next report says where.
    if (avatar != gameSession().keyboardAvatar() || status.hp <= 0 || currentMatch().isOver()) {
        avatar->pos = status.pos;
    }
    if ((status.hp <= 0) != (avatar->hp <= 0)) {
        applyHp(status.avatarId, status.hp);  // a death or a life this machine has not seen
    } else if (status.hp > 0) {
        avatar->hp = status.hp;
    }
    avatar->score = status.score;
    // While it fires here, the host's count lags behind this machine's; the
    // count that stands comes when the fire key is let go, or at its death.
    if (avatar != gameSession().keyboardAvatar() || avatar->fire == 0 || status.hp <= 0) {
        avatar->ammo = status.ammo;
    }
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
