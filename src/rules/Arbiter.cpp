#include "rules/Arbiter.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "net/IClient.h"
#include "net/IServer.h"
#include "platform/FrameState.h"
#include "platform/GameAssert.h"
#include "platform/Platform.h"
#include "rules/Chat.h"
#include "rules/Executor.h"
#include "rules/GameSession.h"
#include "rules/LineFeed.h"
#include "rules/Match.h"
#include "rules/MessageCodec.h"
#include "rules/PlayerName.h"
#include "world/Avatar.h"
#include "world/BotController.h"
#include "world/Bullet.h"
#include "world/DataFolder.h"
#include "world/Powerup.h"
#include "world/World.h"

namespace {

constexpr float SPAWN_PERIOD = 4.0f;
// How often the host shares the players' round trips: a scoreboard needs no more.
constexpr float        ROUND_TRIP_PERIOD = 2.0f;
constexpr std::int32_t BULLET_DAMAGE     = 20;
constexpr std::int32_t KILL_SCORE        = 100;
constexpr float        SETTLE_SECONDS    = 1.0f;
// The player of a bot's avatar: none. Network ids are never 0.
constexpr std::uint32_t NO_PLAYER = 0;

}  // namespace

void createArbiter() {
    installArbiter(std::make_unique<Arbiter>());
}

Position randomFreeCell() {
    // The order of the draws is part of the rules. Maps are only loaded when
    // they have floor, so the search ends.
    Position cell;
    do {
        cell.x = std::rand() % MAPSIZE;
        cell.y = std::rand() % MAPSIZE;
    } while (CWorld::instance().isBlocked(cell));
    return cell;
}

std::uint32_t ownPlayerId() {
    const IClient* const client = gameSession().currentClient();
    return client != nullptr ? client->localPlayerId() : 0;
}

WorldSetupMessage describeWorld(const char* const mapName) {
    WorldSetupMessage setup;
    setup.mapName = mapName;
    for (const auto& object : CWorld::instance().getObjects()) {
        if (object->removed) {
            continue;
        }
        if (const auto* const powerup = objectAs<Powerup>(object.get())) {
            setup.entries.push_back({entry_powerup, powerup->pos, powerup->type, powerup->id});
        } else if (isExactly<Avatar>(*object)) {
            setup.entries.push_back({entry_avatar, object->pos, 0, object->id});
        }
    }
    return setup;
}

Arbiter::~Arbiter() {
    // The server may outlive these rules; its sends are no longer recorded here.
    if (IServer* const server = gameSession().currentServer()) {
        server->setListener(nullptr);
    }
}

bool Arbiter::newGame() {
    CWorld::instance().clearObjects();
    rotation.clear();
    rotationAt             = 0;
    const MatchRules rules = gameSession().matchRules();
    for (const std::string& name : rules.maps.empty() ? std::vector<std::string>{DEFAULT_MAP} : rules.maps) {
        const std::variant<GameMap, std::string> found = findMap(name);
        if (const auto* const reason = std::get_if<std::string>(&found)) {
            showError("The map \"" + levelsFileOf(name) + "\" cannot be played: " + *reason);
            return false;
        }
        rotation.push_back(std::get<GameMap>(found));
    }
    startMatch(1);
    return true;
}

void Arbiter::startMatch(const std::int32_t number) {
    CWorld& world = CWorld::instance();
    world.clearObjects();
    gameSession().setKeyboardAvatar(nullptr);
    spawnTimer = 0.0f;
    playersInGame.clear();
    watchers.clear();
    allowances.clear();
    changedAt.clear();
    forwarding.clear();
    fireReleased.clear();
    firingAvatars.clear();
    respawnedUnheard.clear();
    world.useMap(currentMap().cells);
    for (std::int32_t i = 0; i < world.maxPowerups; ++i) {
        auto powerup = std::make_unique<Powerup>();
        powerup->pos = randomFreeCell();
        world.addObject(std::move(powerup));
    }

    const MatchRules rules = gameSession().matchRules();
    MatchState&      match = currentMatch();
    match                  = MatchState{};
    match.number           = number;
    match.scoreLimit       = rules.scoreLimit;
    match.timeLimit        = rules.timeLimit;
    match.timeLeft         = static_cast<float>(rules.timeLimit) * 60.0f;
    match.map              = currentMap().name;
    match.nextMap          = rotation[(rotationAt + 1) % rotation.size()].name;

    IServer* const server = gameSession().currentServer();
    if (server == nullptr) {
        // Alone: one avatar for the local player, steered by the keyboard.
        placeAvatar(0);
        Executor::instance().attachKeyboard(static_cast<Avatar&>(*world.getObjects().back()));
        return;
    }
    for (const ClientRecord& player : server->clientList()) {
        if (player.spectator) {
            watchers.insert(player.id);
        } else {
            placeAvatar(player.id);
        }
    }
    for (std::int32_t bots = 0; bots < botsWanted(); ++bots) {
        placeBot();
    }
    sendNewGame(describeWorld(levelsFileOf(currentMap().name).c_str()));
    for (const std::uint32_t watcher : watchers) {
        sendWorldTo(watcher, std::nullopt);
    }
    server->setListener(
        [this](const std::uint8_t* const message, const std::size_t size) { recorder.record(message, size); });
    recorder.begin(gameSession().demoSettings(), currentMap(), number);
    sendWorldTo(DEMO_RECORDER_ID, std::nullopt);
}

void Arbiter::endFrame() {
    recorder.endFrame(frameTime);
}

void Arbiter::restartMatch() {
    startMatch(currentMatch().number + 1);
}

void Arbiter::nextMatch() {
    rotationAt = (rotationAt + 1) % rotation.size();
    startMatch(currentMatch().number + 1);
}

std::optional<std::string> Arbiter::playMap(const std::string& name) {
    std::variant<GameMap, std::string> found = findMap(name);
    if (const auto* const reason = std::get_if<std::string>(&found)) {
        return *reason;
    }
    // Played now, and then the rotation goes on from where it was.
    rotation.insert(rotation.begin() + static_cast<std::ptrdiff_t>(rotationAt) + 1, std::get<GameMap>(found));
    nextMatch();
    return std::nullopt;
}

float Arbiter::idleSeconds(const std::uint32_t playerId) const {
    const auto found = lastInput.find(playerId);
    return found == lastInput.end() ? 0.0f : hostTime - found->second;
}

bool Arbiter::announcesMatch() const {
    const MatchState& match = currentMatch();
    return match.number > 1 || match.hasLimits() || rotation.size() > 1 || match.map != DEFAULT_MAP;
}

void Arbiter::checkLimits() {
    const MatchState& match = currentMatch();
    if (!match.hasLimits() || match.isOver()) {
        return;
    }
    const std::vector<BoardLine> board = currentBoard();
    if (board.empty()) {
        return;
    }
    // A tie goes on until one score leads.
    const bool leads        = board.size() == 1 || board[0].score > board[1].score;
    const bool scoreReached = match.scoreLimit > 0 && board[0].score >= match.scoreLimit;
    const bool timeIsUp     = match.timeLimit > 0 && match.timeLeft <= 0.0f;
    if (leads && (scoreReached || timeIsUp)) {
        endMatch(board);
    }
}

void Arbiter::endMatch(const std::vector<BoardLine>& board) {
    MatchState& match = currentMatch();
    match.phase       = match_over;
    match.nextIn      = END_SCREEN_SECONDS;
    match.winner      = board[0].name;
    match.board       = board;
    stopEveryone();
    // Everyone stops where the host has them, and sees the same board.
    broadcast(matchMessageOf(match));
    for (const auto& object : CWorld::instance().getObjects()) {
        if (const auto* const avatar = objectAs<Avatar>(object.get()); avatar != nullptr && !avatar->removed) {
            broadcast(stateOf(*avatar));
            broadcast(statusOf(*avatar));
        }
    }
}

void Arbiter::placeAvatar(const std::uint32_t playerId) {
    lastInput[playerId] = hostTime;
    auto avatar         = std::make_unique<Avatar>();
    avatar->setPosition(randomFreeCell());
    avatar->playerId = playerId;
    avatar->name     = uniquePlayerName(cleanPlayerName(nameOf(playerId)), avatarNames());
    CWorld::instance().addObject(std::move(avatar));
    playersInGame.insert(playerId);
}

Avatar& Arbiter::placeBot() {
    auto avatar = std::make_unique<Avatar>();
    avatar->setPosition(randomFreeCell());
    avatar->playerId = NO_PLAYER;
    avatar->name     = uniquePlayerName("Bot " + std::to_string(botsInGame().size() + 1), avatarNames());
    auto bot         = std::make_unique<BotController>(gameSession().botLevel());
    bot->setAvatar(avatar.get());
    avatar->setController(std::move(bot));
    return static_cast<Avatar&>(*CWorld::instance().addObject(std::move(avatar)));
}

std::vector<Avatar*> Arbiter::botsInGame() {
    std::vector<Avatar*> bots;
    for (const auto& object : CWorld::instance().getObjects()) {
        auto* const avatar = objectAs<Avatar>(object.get());
        if (avatar != nullptr && !avatar->removed && avatar->playerId == NO_PLAYER && avatar->controller &&
            !avatar->controller->isPlayer()) {
            bots.push_back(avatar);
        }
    }
    return bots;
}

std::int32_t Arbiter::botsWanted() const {
    const IGameSession& session = gameSession();
    if (session.fill() <= 0) {
        return std::clamp(session.botCount(), 0, MAX_BOTS);
    }
    // People in the game: the players with an avatar, the host's own among them.
    IServer* const     server = gameSession().currentServer();
    const std::int32_t people = server != nullptr ? server->playerCount() : 1;
    return std::clamp(session.fill() - people, 0, MAX_BOTS);
}

void Arbiter::followBotWishes() {
    // Bots come and go while the game runs: a new one is placed as a player
    // who joins late is, one that leaves is removed everywhere. The newest
    // leaves first, so the bots that have played longest keep their scores.
    std::vector<Avatar*> bots = botsInGame();
    if (static_cast<std::int32_t>(bots.size()) < botsWanted()) {
        const Avatar& added = placeBot();
        broadcast(AvatarAddMessage{added.id, added.pos});
        broadcast(AvatarNameMessage{added.id, added.name});
        notify(added.name + " joined");
    } else if (static_cast<std::int32_t>(bots.size()) > botsWanted()) {
        notify(bots.back()->name + " left");
        removeAvatar(bots.back()->id, NO_PLAYER);
    }
    for (Avatar* const bot : bots) {
        auto* const controller = static_cast<BotController*>(bot->controller.get());
        if (controller->level() != gameSession().botLevel()) {
            auto replaced = std::make_unique<BotController>(gameSession().botLevel());
            replaced->setAvatar(bot);
            bot->setController(std::move(replaced));
        }
    }
}

void Arbiter::relocate(Avatar& avatar, const Position cell) {
    avatar.setPosition(cell);
    broadcast(stateOf(avatar));
}

void Arbiter::holdBots() {
    botsHeld = true;
    for (const auto& object : CWorld::instance().getObjects()) {
        auto* const avatar = objectAs<Avatar>(object.get());
        if (avatar == nullptr || avatar->removed || avatar->playerId != NO_PLAYER) {
            continue;
        }
        avatar->setController(std::make_unique<Controller>());
        avatar->setControls(0, 0, 0, 0, 0);
        avatarInputChanged(*avatar);
    }
}

std::string Arbiter::nameOf(const std::uint32_t playerId) const {
    IServer* const server = gameSession().currentServer();
    if (server == nullptr || playerId == ownPlayerId()) {
        return gameSession().localPlayerName();
    }
    const std::optional<ClientRecord> record = server->findClient(playerId);
    return record ? record->name : std::string();
}

std::vector<std::string> Arbiter::avatarNames() {
    std::vector<std::string> names;
    for (const auto& object : CWorld::instance().getObjects()) {
        if (const auto* const avatar = objectAs<Avatar>(object.get()); avatar != nullptr && !avatar->removed) {
            names.push_back(avatar->name);
        }
    }
    return names;
}

void Arbiter::sendNames(const std::uint32_t playerId) const {
    for (const auto& object : CWorld::instance().getObjects()) {
        if (const auto* const avatar = objectAs<Avatar>(object.get()); avatar != nullptr && !avatar->removed) {
            sendTo(playerId, AvatarNameMessage{avatar->id, avatar->name});
        }
    }
}

void Arbiter::sendNewGame(const WorldSetupMessage& worldSetup) const {
    const MessageBuffer setup = encode(worldSetup);  // the same bytes for everyone
    for (const auto& object : CWorld::instance().getObjects()) {
        const auto* const avatar = objectAs<Avatar>(object.get());
        if (avatar == nullptr || avatar->playerId == NO_PLAYER) {
            continue;
        }
        if (announcesMatch()) {
            sendTo(avatar->playerId, matchMessageOf(currentMatch()));
        }
        sendTo(avatar->playerId, YourAvatarMessage{avatar->id});
        if (announcesMatch()) {
            sendTo(avatar->playerId, mapMessageOf(currentMap()));
        }
        sendBytesTo(avatar->playerId, setup, WorldSetupMessage::KIND.flags);
        if (avatar->playerId != ownPlayerId()) {
            sendNames(avatar->playerId);
        }
    }
}

void Arbiter::sendBytesTo(const std::uint32_t playerId, const MessageBuffer& message, const std::uint32_t flags) const {
    if (playerId == DEMO_RECORDER_ID) {
        recorder.addOpening(message);
        return;
    }
    if (IServer* const server = gameSession().currentServer()) {
        server->sendTo(playerId, static_cast<std::uint32_t>(message.size()), message.data(), flags);
    }
}

void Arbiter::broadcastBytes(const MessageBuffer& message, const std::uint32_t flags,
                             const std::uint32_t excluded) const {
    IServer* const server = gameSession().currentServer();
    if (server == nullptr) {
        return;
    }
    const std::uint32_t own = ownPlayerId();
    server->sendToPlayers(
        static_cast<std::uint32_t>(message.size()), message.data(), flags, [&](const std::uint32_t id) {
            return id != own && id != excluded &&
                   (playersInGame.count(id) != 0 || watchers.count(id) != 0 || id == DEMO_RECORDER_ID);
        });
}

void Arbiter::update() {
    MatchState& match = currentMatch();
    tickMatch(match, frameTime);
    spawnTimer += frameTime;
    hostTime += frameTime;
    if (gameSession().currentServer() != nullptr && !botsHeld && !match.isOver()) {
        followBotWishes();
    }
    if (IServer* const server = gameSession().currentServer()) {
        while (const std::optional<ServerMessage> entry = server->incoming.pop()) {
            receiveFrom(entry->playerId, entry->data);
        }
        forwardStates();
    }
    if (match.isOver()) {
        if (match.nextIn <= 0.0f) {
            rotationAt = (rotationAt + 1) % rotation.size();
            startMatch(match.number + 1);
        }
        return;
    }
    settleChanges();
    roundTripTimer += frameTime;
    if (roundTripTimer >= ROUND_TRIP_PERIOD) {
        roundTripTimer = 0.0f;
        shareRoundTrips();
    }
    if (spawnTimer >= SPAWN_PERIOD) {
        spawnTimer = 0.0f;
        trySpawnPowerup();
    }
    checkLimits();
}

void Arbiter::shareRoundTrips() {
    IServer* const server = gameSession().currentServer();
    if (server == nullptr) {
        return;
    }
    std::vector<RoundTrip> trips;
    for (const auto& object : CWorld::instance().getObjects()) {
        auto* const avatar = objectAs<Avatar>(object.get());
        if (avatar == nullptr || avatar->removed) {
            continue;
        }
        const std::optional<ClientRecord> record = server->findClient(avatar->playerId);
        avatar->roundTripMs = record && record->avgRtt >= 0.0f ? static_cast<std::int32_t>(record->avgRtt) : -1;
        trips.push_back({avatar->id, avatar->roundTripMs});
    }
    broadcast(RoundTripsMessage{trips});
}

void Arbiter::avatarInputChanged(Avatar& avatar) {
    // Changed by its own controller as it moves: played back at that point.
    std::optional<DemoRecorder::Event> moving;
    if (CWorld::instance().updating() == &avatar) {
        moving.emplace(recorder, DemoMoment::control, avatar.id);
    }
    markChanged(avatar);
    broadcast(stateOf(avatar), avatar.playerId);
    const bool wasFiring = firingAvatars.count(avatar.id) != 0;
    if (avatar.fire != 0) {
        firingAvatars.insert(avatar.id);
    } else {
        firingAvatars.erase(avatar.id);
    }
    if (wasFiring && avatar.fire == 0) {
        sendStatus(avatar);
    }
}

void Arbiter::sendStatus(const Avatar& avatar) const {
    broadcast(statusOf(avatar));
}

void Arbiter::receiveFrom(const std::uint32_t sender, const MessageBuffer& message) {
    switch (messageId(message)) {
        case NET_PLAYER_CREATED:
            handlePlayerJoined(sender);
            break;
        case NET_PLAYER_DESTROYED:
            handlePlayerLeft(sender);
            break;
        default:
            dispatchMessage(message, [&](const auto& decoded) { receive(sender, decoded); });
            break;
    }
}

void Arbiter::receive(const std::uint32_t sender, const AvatarStateMessage& state) {
    // A player steers its own avatar only, and only onto the map's floor.
    const Avatar* const avatar = findAvatar(state.avatarId);
    if (avatar == nullptr || avatar->playerId != sender || !isPlausibleState(state) || currentMatch().isOver()) {
        return;  // nobody moves between matches
    }
    // Reports that left before the player heard of its respawn belong to the
    // life before: taken, their flags would drive the new life here and on
    // every other machine while the player's own respawn let go of them. The
    // first report sent since names the cell the host put it on, as it
    // stands there until its keys move it.
    if (respawnedUnheard.count(avatar->id) != 0) {
        if (state.pos != avatar->pos) {
            return;
        }
        respawnedUnheard.erase(avatar->id);
    }
    // The dead lie where they fell: a move the owner sent before it learned
    // of its death changes nothing, on this machine or any other.
    AvatarStateMessage applied = state;
    if (avatar->hp <= 0) {
        applied.pos = avatar->pos;
    }
    // Nor does anyone go further than the stepping rule takes them: the
    // host keeps its own cell and tells the player as well as the others.
    const bool reachable = avatar->hp <= 0 || isReachable(*avatar, state.pos);
    if (!reachable) {
        applied.pos = avatar->pos;
    }
    const bool wasFiring = avatar->fire != 0;
    lastInput[sender]    = hostTime;
    Executor::instance().applyAvatarState(applied);
    forwarding[applied.avatarId] = {applied, sender};
    markChanged(*avatar);
    if (!reachable) {
        sendTo(sender, applied);
    }
    if (wasFiring && applied.fire == 0) {
        fireReleased.insert(avatar->id);
    }
}

void Arbiter::markChanged(const Avatar& avatar) {
    changedAt[avatar.id] = hostTime;
}

void Arbiter::settleChanges() {
    // A second after an avatar last changed, every player, its owner
    // included, hears how it stands on the host. Whatever went astray on the
    // way, no machine keeps another world for longer.
    for (auto entry = changedAt.begin(); entry != changedAt.end();) {
        const Avatar* const avatar = findAvatar(entry->first);
        // A count of shots taken while the avatar still fires would be late
        // on arrival: that one waits for the fire key to be let go.
        if (avatar != nullptr && (hostTime - entry->second < SETTLE_SECONDS || avatar->fire != 0)) {
            ++entry;
            continue;
        }
        if (avatar != nullptr) {
            broadcast(stateOf(*avatar));
            broadcast(statusOf(*avatar));
        }
        entry = changedAt.erase(entry);
    }
}

void Arbiter::forwardStates() {
    // One report per avatar and frame, the latest: what the host sends stays
    // bounded by its players and its frame rate, whatever one player sends.
    for (const auto& [avatarId, report] : forwarding) {
        const Avatar* const avatar = findAvatar(avatarId);
        if (avatar == nullptr) {
            continue;
        }
        broadcast(report.state, report.sender);
        // Each machine counted the shots on its own clock; the host's count
        // stands once fire is let go. It follows the report that lets go, or
        // the others would go on firing by the old flags after taking the
        // count. Pressed again within the frame, the count waits for the
        // next release, as a settled avatar's does.
        if (fireReleased.count(avatarId) != 0 && report.state.fire == 0) {
            sendStatus(*avatar);
        }
    }
    forwarding.clear();
    fireReleased.clear();
}

bool Arbiter::isReachable(const Avatar& avatar, const Position reported) {
    // A report waits for its sender's network: meanwhile the host moves the
    // avatar on by the flags it had, and the report brings it back. The
    // allowance refills at twice the avatar's pace, up to a second's steps.
    // Steps are counted the way the avatar takes them, round walls: a cell
    // close by on the other side of a wall is as far as the way round.
    const float most = avatar.speed + 1.0f;
    Allowance&  left = allowances.try_emplace(avatar.id, Allowance{most, hostTime}).first->second;
    left.cells       = std::min(most, left.cells + (hostTime - left.since) * 2.0f * avatar.speed);
    left.since       = hostTime;
    const std::optional<std::int32_t> steps =
        stepsWithin(CWorld::instance(), avatar.pos, reported, static_cast<std::int32_t>(left.cells));
    if (!steps) {
        return false;
    }
    left.cells -= static_cast<float>(*steps);
    return true;
}

void Arbiter::receive(const std::uint32_t sender, const AvatarRemoveMessage& remove) {
    const Avatar* const avatar = findAvatar(remove.avatarId);
    if (avatar != nullptr && avatar->playerId == sender) {
        notify(avatar->name + " left", sender);
        removeAvatar(remove.avatarId, sender);
    }
}

void Arbiter::receive(const std::uint32_t sender, const ChatMessage& said) {
    IServer* const server = gameSession().currentServer();
    if (server == nullptr) {
        return;
    }
    if (!mayChat(*server, sender)) {
        return;
    }
    // Players are known by their avatars' names, which are one each.
    std::string speaker = cleanPlayerName(nameOf(sender));
    for (const auto& object : CWorld::instance().getObjects()) {
        if (const auto* const avatar = objectAs<Avatar>(object.get());
            avatar != nullptr && !avatar->removed && avatar->playerId == sender) {
            speaker = avatar->name;
        }
    }
    chatRelay().relay(*server, sender, speaker, said);
}

void Arbiter::notify(const std::string& line, const std::uint32_t excluded) const {
    killFeed().add(line, false);
    broadcast(ChatMessage{chat_notice, "", line}, excluded);
}

void Arbiter::handlePlayerJoined(const std::uint32_t playerId) {
    // A player who joins a running game gets an avatar at once, the world as
    // it stands, and then every message the others get.
    IServer* const server = gameSession().currentServer();
    if (server == nullptr || playersInGame.count(playerId) != 0 || watchers.count(playerId) != 0 ||
        playerId == ownPlayerId()) {
        return;
    }
    if (const std::optional<ClientRecord> record = server->findClient(playerId); record && record->spectator) {
        handleSpectatorJoined(playerId, cleanPlayerName(record->name));
        return;
    }
    placeAvatar(playerId);
    const auto& added = static_cast<const Avatar&>(*CWorld::instance().getObjects().back());
    broadcast(AvatarAddMessage{added.id, added.pos}, playerId);
    broadcast(AvatarNameMessage{added.id, added.name}, playerId);
    notify(added.name + " joined", playerId);
    sendWorldTo(playerId, added.id);
    welcomePlayer(*server, playerId);
}

void Arbiter::handleSpectatorJoined(const std::uint32_t playerId, const std::string& name) {
    watchers.insert(playerId);
    notify((name.empty() ? std::string("Someone") : name) + " is watching", playerId);
    sendWorldTo(playerId, std::nullopt);
    welcomePlayer(*gameSession().currentServer(), playerId);
}

void Arbiter::sendWorldTo(const std::uint32_t playerId, const std::optional<std::int32_t> avatarId) const {
    // A spectator holds the host's very world, kills and deaths included,
    // which only the match message carries; a player who joins a game
    // without limits or maps gets what it always got.
    const bool watching = !avatarId && playerId != DEMO_RECORDER_ID;
    if (announcesMatch() || watching) {
        MatchMessage match = matchMessageOf(currentMatch());
        if (!currentMatch().isOver()) {
            match.board = currentBoard();  // the kills and deaths so far
        }
        sendTo(playerId, match);
    }
    if (avatarId) {
        sendTo(playerId, YourAvatarMessage{*avatarId});
    }
    // A demo carries its map itself.
    if (announcesMatch() && playerId != DEMO_RECORDER_ID) {
        sendTo(playerId, mapMessageOf(currentMap()));
    }
    sendTo(playerId, describeWorld(levelsFileOf(currentMap().name).c_str()));
    for (const auto& object : CWorld::instance().getObjects()) {
        if (const auto* const avatar = objectAs<Avatar>(object.get()); avatar != nullptr && !avatar->removed) {
            sendTo(playerId, stateOf(*avatar));
            sendTo(playerId, statusOf(*avatar));
        }
    }
    sendNames(playerId);
}

void Arbiter::handlePlayerLeft(const std::uint32_t playerId) {
    chatRelay().forget(playerId);
    watchers.erase(playerId);
    // A player whose connection ended without saying goodbye leaves no avatar behind.
    if (playersInGame.count(playerId) == 0) {
        return;
    }
    for (const auto& object : CWorld::instance().getObjects()) {
        const auto* const avatar = objectAs<Avatar>(object.get());
        if (avatar != nullptr && !avatar->removed && avatar->playerId == playerId) {
            // Gone without the goodbye a player leaving sends.
            notify(avatar->name + " timed out", playerId);
            removeAvatar(avatar->id, playerId);
            return;
        }
    }
}

void Arbiter::removeAvatar(const std::int32_t avatarId, const std::uint32_t sender) {
    Executor::instance().removeObject(avatarId);
    respawnedUnheard.erase(avatarId);
    broadcast(AvatarRemoveMessage{avatarId}, sender);
    playersInGame.erase(sender);
}

void Arbiter::respawnAvatar(Avatar& avatar) {
    const DemoRecorder::Event recorded(recorder, DemoMoment::respawn, avatar.id);
    const Position            cell = randomFreeCell();
    Executor::instance().applyRespawn(avatar.id, cell);
    if (avatar.playerId != NO_PLAYER) {
        respawnedUnheard.insert(avatar.id);
    }
    markChanged(avatar);
    broadcast(AvatarRespawnMessage{avatar.id, cell});
}

void Arbiter::trySpawnPowerup() {
    const CWorld&      world = CWorld::instance();
    const std::int32_t count = world.countPowerups();
    const std::int32_t max   = world.maxPowerups;
    if (count >= max) {
        return;
    }
    if (std::rand() % 100 >= (max - count) * 100 / max) {
        return;
    }
    const Position     cell = randomFreeCell();
    const std::int32_t type = std::rand() % 2 == 0 ? powerup_health : powerup_ammo;
    const std::int32_t id   = Executor::instance().addPowerup(cell, type);
    broadcast(PowerupSpawnMessage{cell, type, id});
}

void Arbiter::pickPowerup(Avatar& avatar, Powerup& powerup) {
    const DemoRecorder::Event recorded(recorder, DemoMoment::pickup, avatar.id, powerup.id);
    Executor::instance().applyPowerupTaken(avatar.id, powerup.id);
    markChanged(avatar);
    broadcast(PowerupTakenMessage{avatar.id, powerup.id});
}

void Arbiter::hitAvatar(Avatar& avatar, Bullet& bullet) {
    if (avatar.hp < 1 || bullet.owner == avatar.id) {
        return;  // the dead are not hit, nor anyone by their own bullet: it flies on
    }
    const DemoRecorder::Event recorded(recorder, DemoMoment::hit, avatar.id);
    const std::int32_t        newHp = avatar.hp - BULLET_DAMAGE;
    if (Avatar* const shooter = findAvatar(bullet.owner)) {
        ++shooter->hitsLanded;  // a bot's sign that it is not stuck
    }
    markChanged(avatar);
    broadcast(AvatarHpMessage{avatar.id, newHp});
    bullet.removed = true;
    if (newHp <= 0) {
        // The shooter may have left the game while its bullet flew: the hit
        // still counts, but nobody scores.
        if (const Avatar* const killer = findAvatar(bullet.owner)) {
            const std::int32_t newScore = killer->score + KILL_SCORE;
            Executor::instance().applyScore(bullet.owner, newScore);
            broadcast(ScoreMessage{bullet.owner, newScore});
        }
    }
    Executor::instance().applyHp(avatar.id, newHp);
    if (newHp <= 0) {
        // Every machine stops the dead avatar where it has it; the host's cell stands.
        sendStatus(avatar);
        Executor::instance().applyKill(avatar.id, bullet.owner);
        broadcast(KillMessage{avatar.id, findAvatar(bullet.owner) != nullptr ? bullet.owner : -1});
    }
}
