#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "game/ServerConsole.h"
#include "game/Settings.h"
#include "net/IClient.h"
#include "net/IServer.h"
#include "net/LanDiscovery.h"
#include "rules/GameSession.h"
#include "world/Position.h"

class Avatar;

// Text that one thread writes and another reads.
class SharedText {
public:
    void set(const std::string& text) {
        const std::lock_guard<std::mutex> guard(lock);
        value = text;
    }
    std::string get() const {
        const std::lock_guard<std::mutex> guard(lock);
        return value;
    }

private:
    mutable std::mutex lock;
    std::string        value;
};

// The point of the world at the centre of the game view, in cells. It glides
// after the local avatar and keeps its place between games.
struct Camera {
    float x = 0.0f;
    float y = 0.0f;

    // Moves part of the way to the cell: the longer the frame, the further.
    void follow(Position cell, float seconds);
};

enum GameState : std::int32_t {
    state_start      = 0,  // no game
    state_running    = 1,  // a game runs on this machine
    state_hosting    = 2,  // the host waits for players; ENTER starts
    state_connecting = 3,  // a joining player's connection is under way
    state_connected  = 4,  // joined, waiting for the host to start
    state_creating   = 5,  // the host's server is being made
    state_playback   = 6,  // a demo plays in place of a game
};

enum GameCommand : std::int32_t {
    cmd_new_single_player = 0,
    cmd_exit_game         = 1,
    cmd_host_game         = 2,
    cmd_join_game         = 3,
    cmd_enter_key         = 4,
    cmd_client_connected  = 5,
    cmd_game_started      = 6,
    cmd_add_bot           = 7,  // on the host, waiting or playing
    cmd_remove_bot        = 8,
    cmd_host_dedicated    = 9,   // host without a player of this machine's own
    cmd_next_bot_level    = 10,  // the host's bots play the next level up, hard back to easy
    cmd_next_score_limit  = 11,  // on the host's waiting screen: the next score limit, none after the highest
    cmd_next_time_limit   = 12,  // the next time limit
    cmd_next_map          = 13,  // the next map to begin with
    cmd_open_chat         = 14,  // T: a chat line to type in, in a game or waiting for one
};

// How long the view's edge shows red after the own avatar is hit.
constexpr float HIT_FLASH_SECONDS = 0.3f;

// The steps the waiting screen's keys go through; 0 is none.
constexpr std::int32_t SCORE_LIMIT_STEPS[] = {0, 500, 1000, 2000, 3000, 5000};
constexpr std::int32_t TIME_LIMIT_STEPS[]  = {0, 5, 10, 15, 20, 30};

// Where a spectator's view goes: after a player, or free.
struct SpectatorView {
    bool         free     = false;
    std::int32_t followed = -1;  // the avatar's id; -1: the first there is
};

// How a demo plays: its speed, and whether it stands still.
struct PlaybackControl {
    float speed  = 1.0f;  // 0.25 to 4
    bool  paused = false;
    // Where playback stands, in the demo's seconds: between two of its frames
    // as often as not, so the short frames of a window add up.
    double clock = 0.0;
};

// The speeds playback steps through.
constexpr float PLAYBACK_SPEEDS[] = {0.25f, 0.5f, 1.0f, 2.0f, 4.0f};
// How far a seek key goes, in seconds.
constexpr double PLAYBACK_SEEK_SECONDS = 10.0;

// The one game of the process: which phase it is in, the network objects of
// the current game and the avatar this machine steers. The rules reach it as
// their session.
class CGame : public IGameSession {
public:
    static CGame& instance();
    ~CGame() override;
    CGame(const CGame&)            = delete;
    CGame& operator=(const CGame&) = delete;

    void handleCommand(std::int32_t command);
    // One frame of the game: the rules, the received messages, the world,
    // the camera. Whatever ends a game takes effect here, between frames.
    void update();
    // Makes the server a host command asked for, now rather than in the next
    // frame, for a program with no screen to show "Creating server" on.
    void finishHosting();
    // Ends the current game's world and network; keeps state and rules.
    void closeSession();
    void setConnectParams(const std::string& address, std::int32_t newPort, const std::string& name);
    // Joins the game at a dotted IPv4 address without asking (the command line's --connect).
    void joinAt(const std::string& address);
    // The chat line: typed text (UTF-8) goes in, Backspace takes the last
    // character out, ENTER says it and Esc drops it; both close the line.
    void typeInChat(const std::string& text);
    void eraseInChat();
    void closeChat(bool sayIt);
    // Page Up and Page Down while Tab is held: older or newer chat lines.
    void scrollChat(int lines);
    // Writes the settings to their file, when there is one.
    void rememberSettings() const;

    // Plays the demo in place of a game; why not, when it cannot be played.
    std::optional<std::string> startPlayback(const std::string& path);
    // Runs the demo on by that much of its time, or to that second of it.
    void stepPlayback(double seconds);
    void seekPlayback(double seconds);
    // One of the host's frames of the demo.
    void playbackFrame();
    // The avatar a spectator's (or a demo's) view follows, or null.
    const Avatar* followedAvatar() const;

    std::unique_ptr<IServer>      server;                 // on the host only
    std::unique_ptr<IClient>      client;                 // on every network player, the host included
    std::unique_ptr<LanAnnouncer> announcer;              // on the host: answers players looking for games
    std::shared_ptr<SharedText>   announcedMap;           // the map its answers name
    Avatar*                       localAvatar = nullptr;  // owned by the world
    std::int32_t                  state       = state_start;
    Camera                        camera;
    std::string                   playerName;
    std::string                   serverAddress;
    std::int32_t                  port         = 0;
    float                         connectTimer = 0.0f;
    std::int32_t                  bots         = 0;  // in the hosted game, now and next; kept for the session
    std::int32_t                  fillTo       = 0;  // people and bots to keep in the game; 0: no fill
    BotLevel                      level        = BotLevel::normal;
    MatchRules                    matchSetup;                 // the host's limits and maps
    std::string                   password;                   // a private game's, to host or join with
    std::uint16_t                 gamePort      = GAME_PORT;  // to host on, or where the host listens
    std::size_t                   maxPerAddress = DEFAULT_MAX_PER_ADDRESS;
    std::size_t                   maxPlayers    = 255;
    std::string                   serverName;     // for the LAN list and waiting screens; empty: the machine's name
    std::string                   motd;           // said to each player who joins
    std::string                   adminPassword;  // empty: chat commands are nobody's
    AdminDesk                     adminDesk;
    float                         idleKick      = 0.0f;  // seconds without input before a player is moved out; 0: never
    bool                          dedicated     = false;  // the host has no player of its own
    bool                          spectate      = false;  // join to watch, with no avatar
    std::size_t                   maxSpectators = DEFAULT_MAX_SPECTATORS;
    bool                          spectatorChat = true;  // whether those who watch may chat
    DemoSettings                  demos;                 // how the host records matches; no folder: not at all
    SpectatorView                 view;
    PlaybackControl               playback;
    bool                          chatOpen = false;  // a chat line is being typed: keys type, not play
    std::string                   chatDraft;
    float                         hitFlash   = 0.0f;  // seconds the view's edge shows red yet
    std::size_t                   chatScroll = 0;     // with Tab held, how many of the newest lines are scrolled past
    Settings                      settings;
    std::string                   settingsFile;  // where settings are remembered; empty: nowhere

    // How the network objects are made; tests put their own in.
    std::function<std::unique_ptr<IServer>()> makeServer;
    std::function<std::unique_ptr<IClient>()> makeClient;

    IServer*     currentServer() override;
    IClient*     currentClient() override;
    Avatar*      keyboardAvatar() override;
    void         setKeyboardAvatar(Avatar* avatar) override;
    bool         isWaitingForWorld() const override;
    std::string  localPlayerName() const override;
    std::int32_t botCount() const override;
    std::int32_t fill() const override;
    BotLevel     botLevel() const override;
    MatchRules   matchRules() const override;
    std::string  welcomeLine() const override { return motd; }
    bool         spectatorsMayChat() const override { return spectatorChat; }
    DemoSettings demoSettings() const override;
    // The map the game is, or would be, played on.
    std::string mapName() const;
    // What the LAN list, the waiting screens and demos call this host: the
    // name given, or the machine's.
    std::string shownServerName() const;

private:
    CGame();

    void startSinglePlayer();
    void exitGame();
    // The screen says "Creating server, please wait..." for a frame; the
    // server is made in the next.
    void beginHosting(bool withOwnPlayer);
    void joinGame();
    void connectToHost();
    // Lets players on the local network find this host's game.
    void announceGame();
    void startHostedGame();
    bool ownPlayerIsListed() const;
    // The host's waiting screen: chat, and who is there for the players' screens.
    void updateWaitingRoom();
    void updateConnecting();
    // Why the game ended, as the host told it, or what a lost connection says.
    std::string farewellOr(const std::string& lost) const;
    void        updateRunning();
    // A view without an avatar of its own: it follows someone, or goes where
    // the arrow keys take it; `seconds` of real time.
    void updateView(float seconds);
    void updatePlayback(float seconds);
    // Runs the demo, then ages the lines on screen by the demo's time it ran.
    template <class Run>
    void runPlayback(Run run);
    void updateConnected();

    // Steps the waiting screen's limits and map, and remembers them.
    void stepMatchSetup(std::int32_t command);

    // Shows the hit flash when the own avatar's hit points drop.
    void          watchOwnHitPoints();
    const Avatar* watchedAvatar = nullptr;
    std::int32_t  watchedHp     = 0;

    bool         hostWithOwnPlayer = true;
    float        lobbyTimer        = 0.0f;
    std::int32_t creatingFrames    = 0;
};

// One line of the scoreboard shown while Tab is held.
struct ScoreLine {
    std::string  name;
    std::int32_t score     = 0;
    bool         alive     = true;
    int          roundTrip = -1;  // milliseconds to the host; -1 where this machine cannot know
    bool         own       = false;
};

// Every avatar in play, best score first (then by name).
std::vector<ScoreLine> scoreboardLines(const CGame& game);
