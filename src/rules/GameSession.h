#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "world/BotController.h"

class Avatar;
class IClient;

// What the host's matches are played to, and on which maps.
struct MatchRules {
    std::int32_t             scoreLimit = 0;  // 0: none
    std::int32_t             timeLimit  = 0;  // minutes; 0: none
    std::vector<std::string> maps;            // in turn; none: the game's own map alone
};

// Where and how many demos the host records; no folder: none.
struct DemoSettings {
    std::string folder;
    std::size_t keep = 50;  // the newest; 0: none recorded
    std::string serverName;
};

class IServer;

// What the rules need from the game they run in: its network objects, the
// avatar this machine steers, and whether it waits for the host's world.
// The game installs itself; until then a session with no network,
// no avatar and no flow stands in, so the rules never meet a null.
class IGameSession {
public:
    virtual ~IGameSession();

    // The host's server, or null on every other machine.
    virtual IServer* currentServer();
    // This machine's network player, the host's own included, or null alone.
    virtual IClient* currentClient();

    // The avatar the keyboard steers, or null; the world owns it.
    virtual Avatar* keyboardAvatar();
    virtual void    setKeyboardAvatar(Avatar* avatar);

    // The name this machine's player goes by (cleaned by the rules).
    virtual std::string localPlayerName() const;
    // How many bots the host wants in its game, now and in the next: with
    // `fill`, as many as make that many players with the people there are.
    virtual std::int32_t botCount() const;
    virtual std::int32_t fill() const;
    // How well they play.
    virtual BotLevel botLevel() const;
    // The limits and maps of the host's matches.
    virtual MatchRules matchRules() const;
    // What the host says to each player who joins; empty: nothing.
    virtual std::string welcomeLine() const;
    // Whether those who watch may chat (the host may keep them quiet).
    virtual bool spectatorsMayChat() const;
    // How the host records its matches.
    virtual DemoSettings demoSettings() const;

    // True while a joined player waits for the host's world.
    virtual bool isWaitingForWorld() const;
};

// The session in use; never null.
IGameSession& gameSession();

// Installs a session that outlives its use; null brings back the empty one.
void setGameSession(IGameSession* session);
