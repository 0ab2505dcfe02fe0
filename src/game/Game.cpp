#include "game/Game.h"

#include <unistd.h>

#include <algorithm>

#include "net/Client.h"
#include "net/Server.h"
#include "platform/FrameState.h"
#include "platform/GameAssert.h"
#include "platform/Platform.h"
#include "platform/TextCleaning.h"
#include "platform/VirtualKeys.h"
#include "rules/Arbiter.h"
#include "rules/Chat.h"
#include "rules/Executor.h"
#include "rules/LineFeed.h"
#include "rules/LocalArbiter.h"
#include "rules/Maps.h"
#include "rules/Match.h"
#include "rules/PackedForm.h"
#include "rules/PlayerName.h"
#include "rules/Replay.h"
#include "world/Avatar.h"
#include "world/DataFolder.h"
#include "world/World.h"

namespace {

constexpr const char* SESSION_NAME       = "bogus game";
constexpr const char* LOOPBACK_ADDRESS   = "127.0.0.1";
constexpr float       CONNECT_TIME_LIMIT = 20.0f;
constexpr float       CAMERA_RATE        = 1.5f;
constexpr const char* HOST_ENDED         = "The host ended the game.";

}  // namespace

void Camera::follow(const Position cell, const float seconds) {
    x = x + (static_cast<float>(cell.x) - x) * seconds * CAMERA_RATE;
    y = y + (static_cast<float>(cell.y) - y) * seconds * CAMERA_RATE;
}

CGame& CGame::instance() {
    static CGame game;
    return game;
}

CGame::CGame()
    : makeServer([] { return std::make_unique<Server>(APPLICATION_GUID, gameWireForm()); }),
      makeClient([] { return std::make_unique<Client>(APPLICATION_GUID, gameWireForm()); }) {
    // Made first, what a session keeps is destroyed after the game, whose
    // destructor still ends the session in it.
    CWorld::instance();
    Executor::instance();
    killFeed();
    chatFeed();
    farewell();
    lobby();
    currentMatch();
    replay();
    setGameSession(this);
}

CGame::~CGame() {
    closeSession();
    setGameSession(nullptr);
}

IServer* CGame::currentServer() {
    return server.get();
}

IClient* CGame::currentClient() {
    return client.get();
}

Avatar* CGame::keyboardAvatar() {
    return localAvatar;
}

void CGame::setKeyboardAvatar(Avatar* const avatar) {
    localAvatar = avatar;
}

std::string CGame::localPlayerName() const {
    return playerName.empty() ? loginName() : cleanPlayerName(playerName);
}

std::int32_t CGame::botCount() const {
    return bots;
}

std::int32_t CGame::fill() const {
    return fillTo;
}

BotLevel CGame::botLevel() const {
    return level;
}

MatchRules CGame::matchRules() const {
    return matchSetup;
}

std::string CGame::mapName() const {
    if (!currentMatch().map.empty()) {
        return currentMatch().map;
    }
    return matchSetup.maps.empty() ? DEFAULT_MAP : matchSetup.maps.front();
}

DemoSettings CGame::demoSettings() const {
    DemoSettings settings = demos;
    settings.serverName   = shownServerName();
    return settings;
}

std::string CGame::shownServerName() const {
    if (!serverName.empty()) {
        return serverName;
    }
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

bool CGame::isWaitingForWorld() const {
    return state == state_connected;
}

void CGame::closeSession() {
    CWorld::instance().clearObjects();
    killFeed().clear();
    chatFeed().clear();
    farewell().clear();
    adminDesk      = AdminDesk{};
    lobby()        = LobbyMessage{};
    currentMatch() = MatchState{};
    Executor::instance().forgetGame();
    if (replay().isPlaying()) {
        replay().stop();
    }
    view     = SpectatorView{};
    playback = PlaybackControl{};
    // The player leaves first, while the host's service thread still answers
    // it; the other way round, it would wait out its leave time-out.
    client.reset();
    announcer.reset();
    announcedMap.reset();
    if (server) {
        server->close();
        server.reset();
    }
    localAvatar   = nullptr;
    watchedAvatar = nullptr;
    hitFlash      = 0.0f;
    chatOpen      = false;
    chatScroll    = 0;
    chatDraft.clear();
}

void CGame::rememberSettings() const {
    if (!settingsFile.empty()) {
        saveSettings(settingsFile, settings);
    }
}

void CGame::setConnectParams(const std::string& address, const std::int32_t newPort, const std::string& name) {
    serverAddress = address;
    port          = newPort;
    playerName    = name;
}

void CGame::handleCommand(const std::int32_t command) {
    switch (command) {
        case cmd_new_single_player:
            startSinglePlayer();
            break;
        case cmd_exit_game:
            exitGame();
            break;
        case cmd_host_game:
            beginHosting(true);
            break;
        case cmd_host_dedicated:
            beginHosting(false);
            break;
        case cmd_join_game:
            joinGame();
            break;
        case cmd_enter_key:
            if (state == state_hosting && ownPlayerIsListed()) {
                startHostedGame();
            }
            break;
        case cmd_add_bot:
        case cmd_remove_bot:
            // With a fill, a key changes how many the game keeps; else how
            // many bots: the host's rules follow it, while it waits or plays.
            if (server && (state == state_hosting || state == state_running)) {
                std::int32_t& count = fillTo > 0 ? fillTo : bots;
                count = std::clamp(count + (command == cmd_add_bot ? 1 : -1), fillTo > 0 ? 1 : 0, MAX_BOTS);
            }
            break;
        case cmd_next_bot_level:
            if (server && state == state_hosting) {
                level             = static_cast<BotLevel>((static_cast<int>(level) + 1) % 3);
                settings.botLevel = botLevelName(level);  // the next start plays the same
                rememberSettings();
            }
            break;
        case cmd_next_score_limit:
        case cmd_next_time_limit:
        case cmd_next_map:
            if (server && state == state_hosting) {
                stepMatchSetup(command);
            }
            break;
        case cmd_open_chat:
            if (client && (state == state_running || state == state_hosting || state == state_connected)) {
                chatOpen = true;
                chatDraft.clear();
                std::fill(std::begin(keys), std::end(keys), 0);  // the avatar stops while its player types
            }
            break;
        case cmd_client_connected:
            state = state_connected;
            createLocalArbiter();
            break;
        case cmd_game_started:
            state = state_running;
            break;
        default:
            break;
    }
}

namespace {

// The first step above the value, or the first step (none) after the last.
template <std::size_t N>
std::int32_t nextStep(const std::int32_t (&steps)[N], const std::int32_t value) {
    for (const std::int32_t step : steps) {
        if (step > value) {
            return step;
        }
    }
    return steps[0];
}

}  // namespace

void CGame::stepMatchSetup(const std::int32_t command) {
    if (command == cmd_next_score_limit) {
        matchSetup.scoreLimit = nextStep(SCORE_LIMIT_STEPS, matchSetup.scoreLimit);
        settings.scoreLimit   = matchSetup.scoreLimit;
    } else if (command == cmd_next_time_limit) {
        matchSetup.timeLimit = nextStep(TIME_LIMIT_STEPS, matchSetup.timeLimit);
        settings.timeLimit   = matchSetup.timeLimit;
    } else {
        // The first map steps through the game's own maps; the rest of a rotation stays.
        const std::vector<std::string> shipped = shippedMapNames();
        if (shipped.empty()) {
            return;
        }
        const auto        at   = std::find(shipped.begin(), shipped.end(), mapName());
        const std::string next = at == shipped.end() || at + 1 == shipped.end() ? shipped.front() : *(at + 1);
        if (matchSetup.maps.empty()) {
            matchSetup.maps.push_back(next);
        } else {
            matchSetup.maps.front() = next;
        }
        settings.maps = matchSetup.maps;
    }
    rememberSettings();
}

void CGame::typeInChat(const std::string& text) {
    // What cleaning would change, or what goes over the length, is not typed
    // (the mark after it keeps a space at the end from being trimmed).
    const std::string typed = chatDraft + text + "|";
    if (chatOpen && cleanText(typed, MAX_CHAT_CHARACTERS + 1) == typed) {
        chatDraft += text;
    }
}

void CGame::eraseInChat() {
    // One character: back over UTF-8 continuation bytes to its first byte.
    while (!chatDraft.empty() && (static_cast<unsigned char>(chatDraft.back()) & 0xC0) == 0x80) {
        chatDraft.pop_back();
    }
    if (!chatDraft.empty()) {
        chatDraft.pop_back();
    }
}

void CGame::closeChat(const bool sayIt) {
    if (chatOpen && sayIt) {
        say(chatDraft);
    }
    chatOpen = false;
    chatDraft.clear();
}

void CGame::scrollChat(const int lines) {
    const auto kept = static_cast<int>(chatFeed().history().size());
    chatScroll = static_cast<std::size_t>(std::clamp(static_cast<int>(chatScroll) + lines, 0, std::max(0, kept - 1)));
}

void CGame::watchOwnHitPoints() {
    if (localAvatar != watchedAvatar) {
        watchedAvatar = localAvatar;
        watchedHp     = localAvatar != nullptr ? localAvatar->hp : 0;
    }
    hitFlash = std::max(0.0f, hitFlash - frameTime);
    if (localAvatar != nullptr) {
        if (localAvatar->hp < watchedHp) {
            hitFlash = HIT_FLASH_SECONDS;
        }
        watchedHp = localAvatar->hp;
    }
}

void CGame::startSinglePlayer() {
    closeSession();
    GAME_ASSERT(state==state_start, SITE_SINGLE_PLAYER_START);
    createArbiter();
    if (!getArbiter()->newGame()) {
        exitGame();
        return;
    }
    state = state_running;
}

void CGame::exitGame() {
    if (client && !server && getArbiter() != nullptr && localAvatar != nullptr) {
        getArbiter()->leaveGame();  // the host takes this player's avatar out of every world
    }
    closeSession();
    state     = state_start;
    dedicated = false;
    destroyArbiter();
}

void CGame::beginHosting(const bool withOwnPlayer) {
    state = state_creating;
    closeSession();
    hostWithOwnPlayer = withOwnPlayer;
    creatingFrames    = 0;
}

void CGame::finishHosting() {
    if (state != state_creating) {
        return;
    }
    const bool withOwnPlayer = hostWithOwnPlayer;
    server                   = makeServer();
    server->setPassword(password);
    server->setPort(gamePort);
    server->setMaxPerAddress(maxPerAddress);
    server->setMaxPlayers(maxPlayers);
    server->setMaxSpectators(maxSpectators);
    if (server->host(SESSION_NAME) != 0) {
        exitGame();
        return;
    }
    announceGame();
    dedicated = !withOwnPlayer;
    if (dedicated) {
        state = state_hosting;
        return;
    }
    client = makeClient();
    client->setPassword(password);
    client->setPlayerName(localPlayerName());
    client->setPort(gamePort);
    client->connect(LOOPBACK_ADDRESS);
    state = state_hosting;
}

void CGame::joinGame() {
    closeSession();
    ConnectDialogValues values;
    values.playerName = localPlayerName();  // remembered for the session
    values.password   = password;
    values.port       = gamePort;  // another only when the player picks a game listed on it
    values.spectate   = spectate;
    if (!settings.lastAddress.empty()) {
        values.serverAddress = settings.lastAddress;
    }
    if (platform().runConnectDialog(values) != DialogResult::ok) {
        exitGame();  // Cancel and the close box alike
        return;
    }
    setConnectParams(values.serverAddress, static_cast<std::int32_t>(values.port), values.playerName);
    spectate = values.spectate;
    if (values.port >= 1 && values.port <= 65535 && values.port != gamePort) {
        serverAddress += ":" + std::to_string(values.port);  // a game listed on another port
    }
    password             = values.password;
    settings.name        = values.playerName;
    settings.lastAddress = values.serverAddress;
    rememberSettings();
    connectToHost();
}

void CGame::announceGame() {
    IServer* const    hosted    = server.get();
    const bool        isPrivate = !password.empty();
    const std::string shownName = shownServerName();
    // Read on the announcer's thread; this game's frames change it.
    auto shownMap = std::make_shared<SharedText>();
    announcedMap  = shownMap;
    announcedMap->set(mapName());
    const std::uint16_t hostedOn = gamePort;
    announcer                    = std::make_unique<LanAnnouncer>([hosted, isPrivate, shownMap, shownName, hostedOn] {
        LanGame game;
        game.hostName   = shownName;
        game.port       = hostedOn;
        game.players    = hosted->playerCount();
        game.spectators = hosted->spectatorCount();
        game.map        = shownMap->get();
        game.isPrivate  = isPrivate;
        return game;
    });
}

void CGame::joinAt(const std::string& address) {
    closeSession();
    serverAddress = address;
    connectToHost();
}

void CGame::connectToHost() {
    // "ADDRESS:PORT" joins a host on another port than the game's own.
    const std::optional<HostAndPort> where = splitHostPort(serverAddress, gamePort);
    client                                 = makeClient();
    client->setPlayerName(localPlayerName());
    client->setPassword(password);
    client->setSpectator(spectate);
    client->setPort(where ? where->port : gamePort);
    client->connect(where ? where->host.c_str() : serverAddress.c_str());
    connectTimer = 0.0f;
    state        = state_connecting;
}

bool CGame::ownPlayerIsListed() const {
    // Until the host's own player has joined its own session there is no
    // avatar to give it, so ENTER waits for that (a few milliseconds at most).
    return client && client->connected && server && server->findClient(client->localPlayerId()).has_value();
}

void CGame::startHostedGame() {
    state = state_running;
    createArbiter();
    if (!getArbiter()->newGame()) {
        exitGame();
    }
}

void CGame::update() {
    // A demo plays its own frame times; the view and the feeds go by the clock's.
    const float realSeconds = frameTime;
    // The frame that first finds the state drawn shows the text; the next makes the server.
    if (state == state_creating && creatingFrames++ > 0) {
        finishHosting();
    }
    if (state == state_hosting && server) {
        updateWaitingRoom();
        // Without a player of its own, the host starts for the first player
        // who joins, or at once for its bots.
        if (dedicated && (server->playerCount() > 0 || bots > 0 || fillTo > 0)) {
            startHostedGame();
        }
    }
    if (state == state_connecting) {
        updateConnecting();
    }
    if (state == state_running) {
        updateRunning();
    }
    if (state == state_connected) {
        updateConnected();
    }
    if (state == state_playback) {
        updatePlayback(realSeconds);
    }
    if (server) {
        while (const std::optional<ChatRelay::Command> command = chatRelay().takeCommand()) {
            runChatCommand(*this, *command);
        }
        moveOutIdlers(*this);
    }
    if (announcedMap) {
        announcedMap->set(mapName());
    }
    if (state != state_playback) {
        killFeed().age(frameTime);
        chatFeed().age(frameTime);
    }
    if (server && state == state_running) {
        currentArbiter().endFrame();  // everything this frame said has been said
    }
    // What this frame sent leaves together.
    if (server) {
        server->flush();
    }
    if (client) {
        client->flush();
    }
}

void CGame::updateWaitingRoom() {
    // Before the game starts only chat means anything; the rest, unread,
    // would pile up for as long as the host waits.
    while (const std::optional<ServerMessage> entry = server->incoming.pop()) {
        if (messageId(entry->data) == NET_PLAYER_CREATED) {
            welcomePlayer(*server, entry->playerId);
        } else if (const std::optional<ChatMessage> said = decode<ChatMessage>(entry->data);
                   said && mayChat(*server, entry->playerId)) {
            const std::optional<ClientRecord> record = server->findClient(entry->playerId);
            chatRelay().relay(*server, entry->playerId, cleanPlayerName(record ? record->name : ""), *said);
        }
    }
    Executor::instance().processMessages();  // the host's own player hears the chat too
    // Each second, who is there, for the players' waiting screens.
    lobbyTimer += frameTime;
    if (lobbyTimer < 1.0f) {
        return;
    }
    lobbyTimer = 0.0f;
    LobbyMessage waiting{{},
                         0,
                         matchSetup.scoreLimit,
                         matchSetup.timeLimit,
                         mapName(),
                         cleanText(shownServerName(), MAX_SERVER_NAME_CHARACTERS)};
    for (const ClientRecord& player : server->clientList()) {
        if (player.spectator) {
            continue;  // the list is of those who will play
        }
        waiting.players.push_back(
            {player.id == (client ? client->localPlayerId() : 0) ? localPlayerName() : cleanPlayerName(player.name)});
    }
    waiting.bots = fillTo > 0 ? std::max(0, fillTo - static_cast<std::int32_t>(waiting.players.size())) : bots;
    const MessageBuffer bytes = encode(waiting);
    server->sendToPlayers(static_cast<std::uint32_t>(bytes.size()), bytes.data(), LobbyMessage::KIND.flags,
                          [](std::uint32_t /*player*/) { return true; });
}

std::string CGame::farewellOr(const std::string& lost) const {
    if (!farewell().empty()) {
        return farewell();
    }
    switch (client->endedWith()) {
        case DISCONNECT_HOST_ENDED:
            return HOST_ENDED;
        case DISCONNECT_BANNED:
            return "You are banned from this game.";
        case DISCONNECT_FULL:
            return "The game is full.";
        default:
            return lost;  // as the connection ended, say it as it always was
    }
}

void CGame::updateConnecting() {
    GAME_ASSERT(client, SITE_CONNECTING_CLIENT);
    connectTimer += frameTime;
    if (client->endedWith() == DISCONNECT_BANNED || client->endedWith() == DISCONNECT_FULL) {
        showError(farewellOr(""), MessageIcon::none);
        handleCommand(cmd_exit_game);
        return;
    }
    if (client->wrongPassword() || client->heldOff()) {
        showError(client->heldOff() ? "Too many wrong passwords: this game waits a while before it takes another try."
                                    : "Wrong password: this game is private.",
                  MessageIcon::none);
        handleCommand(cmd_exit_game);
        return;
    }
    if (connectTimer > CONNECT_TIME_LIMIT) {
        showError("Connection timed out.", MessageIcon::none);
        handleCommand(cmd_exit_game);
        return;
    }
    if (client->connected) {
        handleCommand(cmd_client_connected);
    }
}

void CGame::updateRunning() {
    currentArbiter().update();
    if (Executor::instance().processMessages() == MessagesOutcome::worldRefused) {
        handleCommand(cmd_exit_game);  // the next match's world: the player has been told why
        return;
    }
    CWorld& world = CWorld::instance();
    // Between matches the world stands still under the end screen.
    if (!world.getObjects().empty() && !currentMatch().isOver()) {
        world.update();
    }
    watchOwnHitPoints();
    // Until the host's own world message has named its avatar, the view holds still.
    if (localAvatar != nullptr) {
        camera.follow(localAvatar->pos, frameTime);
    } else if (client && !server) {
        updateView(frameTime);  // watching
    }
    if (client && !client->connected) {
        showError(farewellOr("Disconnected from server."), MessageIcon::none, true);
        handleCommand(cmd_exit_game);
    }
}

void CGame::updateConnected() {
    if (!client->connected) {
        // Why the host sent this player away came before the connection went.
        Executor::instance().processMessages();
        showError(farewellOr("Server disconnected."), MessageIcon::none);
        handleCommand(cmd_exit_game);
        return;
    }
    // The messages after the world wait for the next frame, when the game runs.
    switch (Executor::instance().processMessages()) {
        case MessagesOutcome::worldBuilt:
            handleCommand(cmd_game_started);
            break;
        case MessagesOutcome::worldRefused:
            handleCommand(cmd_exit_game);
            break;
        case MessagesOutcome::applied:
            break;
    }
}

std::vector<ScoreLine> scoreboardLines(const CGame& game) {
    std::vector<ScoreLine> lines;
    for (const auto& object : CWorld::instance().getObjects()) {
        const auto* const avatar = objectAs<Avatar>(object.get());
        if (avatar == nullptr || avatar->removed) {
            continue;
        }
        lines.push_back({avatar->name, avatar->score, avatar->hp > 0, avatar->roundTripMs, avatar == game.localAvatar});
    }
    std::stable_sort(lines.begin(), lines.end(), [](const ScoreLine& a, const ScoreLine& b) {
        return a.score != b.score ? a.score > b.score : a.name < b.name;
    });
    return lines;
}

namespace {

bool pressed(const int key) {
    return keys[key] != 0 && prevKeys[key] == 0;
}

}  // namespace

const Avatar* CGame::followedAvatar() const {
    if (localAvatar != nullptr || view.free) {
        return nullptr;
    }
    const Avatar* first = nullptr;
    for (const auto& object : CWorld::instance().getObjects()) {
        const auto* const avatar = objectAs<Avatar>(object.get());
        if (avatar == nullptr || avatar->removed) {
            continue;
        }
        if (avatar->id == view.followed) {
            return avatar;
        }
        first = first != nullptr ? first : avatar;
    }
    return first;
}

void CGame::updateView(const float seconds) {
    constexpr float FREE_VIEW_CELLS_PER_SECOND = 24.0f;
    if (chatOpen) {
        return;  // the keys type
    }
    if (pressed('F')) {
        view.free = !view.free;
    }
    if (view.free) {
        const float step = FREE_VIEW_CELLS_PER_SECOND * seconds;
        camera.x         = std::clamp(camera.x + step * static_cast<float>(keys[VK_RIGHT] - keys[VK_LEFT]), 0.0f,
                                      static_cast<float>(MAPSIZE - 1));
        camera.y         = std::clamp(camera.y + step * static_cast<float>(keys[VK_DOWN] - keys[VK_UP]), 0.0f,
                                      static_cast<float>(MAPSIZE - 1));
        return;
    }
    const Avatar* shown = followedAvatar();
    if (shown == nullptr) {
        return;
    }
    // Left and Right go through the avatars in play, in the world's order.
    if (const int step = pressed(VK_RIGHT) ? 1 : pressed(VK_LEFT) ? -1 : 0; step != 0) {
        std::vector<const Avatar*> avatars;
        for (const auto& object : CWorld::instance().getObjects()) {
            if (const auto* const avatar = objectAs<Avatar>(object.get()); avatar != nullptr && !avatar->removed) {
                avatars.push_back(avatar);
            }
        }
        const auto at    = std::find(avatars.begin(), avatars.end(), shown) - avatars.begin();
        const auto count = static_cast<std::ptrdiff_t>(avatars.size());
        shown            = avatars[static_cast<std::size_t>(((at + step) % count + count) % count)];
    }
    view.followed = shown->id;
    camera.follow(shown->pos, seconds);
}

std::optional<std::string> CGame::startPlayback(const std::string& path) {
    std::variant<Demo, std::string> read = readDemoFile(path);
    if (const auto* const reason = std::get_if<std::string>(&read)) {
        return *reason;
    }
    closeSession();
    if (std::optional<std::string> why = replay().start(std::move(std::get<Demo>(read)))) {
        return why;
    }
    state = state_playback;
    return std::nullopt;
}

void CGame::stepPlayback(const double seconds) {
    seekPlayback(playback.clock + seconds);
}

template <class Run>
void CGame::runPlayback(const Run run) {
    Replay&      played = replay();
    const double from   = played.elapsed();
    const float  clock  = frameTime;
    run(played);
    frameTime = clock;
    // The lines on screen age with the demo's time; after a seek back they start anew.
    if (played.elapsed() >= from) {
        killFeed().age(static_cast<float>(played.elapsed() - from));
        chatFeed().age(static_cast<float>(played.elapsed() - from));
    }
}

void CGame::seekPlayback(const double seconds) {
    playback.clock = std::clamp(seconds, 0.0, replay().length());
    runPlayback([this](Replay& played) { played.seek(playback.clock); });
}

void CGame::playbackFrame() {
    runPlayback([](Replay& played) { played.stepFrame(); });
    playback.clock = replay().elapsed();
}

void CGame::updatePlayback(const float seconds) {
    if (!chatOpen) {
        if (pressed(VK_SPACE)) {
            playback.paused = !playback.paused;
        }
        const auto speeds = std::begin(PLAYBACK_SPEEDS);
        const auto at     = std::find(speeds, std::end(PLAYBACK_SPEEDS), playback.speed);
        if ((pressed(VK_ADD) || pressed(VK_OEM_PLUS)) && at + 1 < std::end(PLAYBACK_SPEEDS)) {
            playback.speed = *(at + 1);
        }
        if ((pressed(VK_SUBTRACT) || pressed(VK_OEM_MINUS)) && at != speeds) {
            playback.speed = *(at - 1);
        }
        if (pressed(VK_OEM_COMMA) || pressed(VK_OEM_PERIOD)) {
            const double by = pressed(VK_OEM_COMMA) ? -PLAYBACK_SEEK_SECONDS : PLAYBACK_SEEK_SECONDS;
            seekPlayback(playback.clock + by);
        }
    }
    if (!playback.paused) {
        stepPlayback(static_cast<double>(seconds) * playback.speed);
    }
    updateView(seconds);
}
