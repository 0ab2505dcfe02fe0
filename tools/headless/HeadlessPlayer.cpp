// A player without a window: the same game, world, rules and network as the
// program, driven frame by frame by a script of plain commands read from
// standard input (or a file given as the only argument). Every command
// answers with one line on standard output; message boxes become lines
// "title: text" on standard error.
//
//   host                   host a game (as Game > Host Multiplayer)
//   join ADDRESS           join the game at an IPv4 address
//   spectate ADDRESS       join it to watch, with no avatar
//   record FOLDER [KEEP]   the host records each match to a demo in FOLDER,
//                          keeping the newest KEEP (50 unless given)
//   play FILE              play a demo back: frames and seconds run it on
//                          (unpaced), world shows it; the command that
//                          reaches its end answers whether it is the game
//                          that was played
//   press KEY, release KEY left, right, up, down, space, enter
//   frames N, seconds S    run frames of `frametime` seconds each
//   step                   run one frame and print the world
//   world                  print the world as one JSON line, with its digest
//   place X Y [AVATAR]     the host puts an avatar (its own unless given) on
//                          a cell and tells everyone (for setting up a scene)
//   exit                   Game > Exit Current Game
//   name NAME              the name this player joins or hosts with
//   bots N                 how many bots the host has, in its game or its next
//   botlevel LEVEL         how well they play: easy, normal or hard
//   fill N                 keep N players in the game with bots (0: no fill)
//   bots still             the host's bots let go of every key and stop
//                          thinking, so worlds can be compared
//   limits SCORE MINUTES   the host's score and time limits of each match (0: none)
//   maps A,B,C             the host's maps, a match each in turn
//   map NAME               the host's first map
//   say TEXT               says a line in the game's chat
//   password WORD          the word a private game asks for, to host or join
//   port PORT              the UDP port to host on or join at (default 9998)
//   lan                    the games hosted on the local network, found
//                          within one second, as one JSON line
//   pace on|off            whether frames keep to real time (default on)
//   frametime SECONDS      game time per frame (default 0.02)
//   quit                   end the program

#include <nlohmann/json.hpp>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "game/Game.h"
#include "game/ServerConsole.h"
#include "net/LanDiscovery.h"
#include "platform/FrameState.h"
#include "platform/Platform.h"
#include "platform/VirtualKeys.h"
#include "rules/Arbiter.h"
#include "rules/Chat.h"
#include "rules/Executor.h"
#include "rules/IArbiter.h"
#include "rules/LineFeed.h"
#include "rules/Maps.h"
#include "rules/Match.h"
#include "rules/Replay.h"
#include "world/Avatar.h"
#include "world/Bullet.h"
#include "world/DataFolder.h"
#include "world/Powerup.h"
#include "world/World.h"
#include "world/WorldDigest.h"

namespace {

// Message boxes go to standard error; the connect dialog answers with the
// address of the last `join`.
class HeadlessPlatform : public ConsolePlatform {
public:
    DialogResult runConnectDialog(ConnectDialogValues& values) override {
        values.serverAddress = joinAddress;
        return DialogResult::ok;
    }

    std::string joinAddress;
};

const char* stateName(const std::int32_t state) {
    switch (state) {
        case state_start:
            return "start";
        case state_running:
            return "running";
        case state_hosting:
            return "hosting";
        case state_connecting:
            return "connecting";
        case state_connected:
            return "connected";
        case state_creating:
            return "creating";
        case state_playback:
            return "playback";
        default:
            return "unknown";
    }
}

// Sets a count of bots from a word, 0 to MAX_BOTS; the command's answer.
std::string setBotCount(const std::string& command, const std::string& amount, std::int32_t& count) {
    const bool number =
        !amount.empty() && amount.size() <= 3 && amount.find_first_not_of("0123456789") == std::string::npos;
    if (!number || std::atoi(amount.c_str()) > MAX_BOTS) {
        return "error " + command + " takes 0 to " + std::to_string(MAX_BOTS);
    }
    count = std::atoi(amount.c_str());
    return "ok";
}

int keyNamed(const std::string& name) {
    if (name == "left")
        return VK_LEFT;
    if (name == "right")
        return VK_RIGHT;
    if (name == "up")
        return VK_UP;
    if (name == "down")
        return VK_DOWN;
    if (name == "space")
        return VK_SPACE;
    if (name == "enter")
        return VK_RETURN;
    return -1;
}

nlohmann::ordered_json describeObject(const CObject& object) {
    nlohmann::ordered_json entry;
    if (const auto* const avatar = objectAs<Avatar>(const_cast<CObject*>(&object))) {
        entry = {{"class", "Avatar"},
                 {"id", avatar->id},
                 {"x", avatar->pos.x},
                 {"y", avatar->pos.y},
                 {"hp", avatar->hp},
                 {"ammo", avatar->ammo},
                 {"score", avatar->score},
                 {"kills", avatar->kills},
                 {"deaths", avatar->deaths},
                 {"playerId", avatar->playerId},
                 {"direction", avatar->direction},
                 {"name", avatar->name}};
    } else if (const auto* const powerup = objectAs<Powerup>(const_cast<CObject*>(&object))) {
        entry = {{"class", "Powerup"},
                 {"id", powerup->id},
                 {"x", powerup->pos.x},
                 {"y", powerup->pos.y},
                 {"type", powerup->type}};
    } else {
        entry = {{"class", "Bullet"}, {"id", object.id}, {"x", object.pos.x}, {"y", object.pos.y}};
    }
    return entry;
}

nlohmann::ordered_json describeMatch(const CGame& game) {
    const MatchState& match = currentMatch();
    using json              = nlohmann::ordered_json;
    return {{"state", match.isOver() ? "over" : "playing"},
            {"map", game.mapName()},
            {"secondsLeft", match.timeLimit > 0 ? json(std::round(match.timeLeft * 10.0f) / 10.0) : json()},
            {"scoreLimit", match.scoreLimit},
            {"timeLimit", match.timeLimit},
            {"winner", match.isOver() ? json(match.winner) : json()}};
}

// What a joined player's waiting screen shows.
nlohmann::ordered_json describeLobby() {
    nlohmann::ordered_json players = nlohmann::ordered_json::array();
    for (const LobbyName& player : lobby().players) {
        players.push_back(player.name);
    }
    return {{"players", players}, {"bots", lobby().bots}, {"map", lobby().map}, {"serverName", lobby().serverName}};
}

// Where a demo being played stands; null when none is.
nlohmann::ordered_json describePlayback(const CGame& game) {
    if (game.state != state_playback) {
        return nullptr;
    }
    const Replay& played = replay();
    return {{"seconds", std::round(played.elapsed() * 100.0) / 100.0},
            {"length", std::round(played.length() * 100.0) / 100.0},
            {"checked", played.secondsChecked()},
            {"differsAt",
             played.firstDifference() ? nlohmann::ordered_json(*played.firstDifference()) : nlohmann::ordered_json()},
            {"ended", played.atEnd()}};
}

// The last lines of a feed, oldest first.
nlohmann::ordered_json describeLines(const LineFeed& feed) {
    constexpr std::size_t  LAST  = 10;
    nlohmann::ordered_json lines = nlohmann::ordered_json::array();
    const auto&            kept  = feed.history();
    for (std::size_t i = kept.size() > LAST ? kept.size() - LAST : 0; i < kept.size(); ++i) {
        lines.push_back(kept[i].text);
    }
    return lines;
}

std::string describeWorld(const double gameTime) {
    const CGame&           game    = CGame::instance();
    nlohmann::ordered_json objects = nlohmann::ordered_json::array();
    for (const auto& object : CWorld::instance().getObjects()) {
        if (!object->removed) {
            objects.push_back(describeObject(*object));
        }
    }
    const nlohmann::ordered_json world = {
        {"state", stateName(game.state)},
        {"time", gameTime},
        {"playerId", game.client ? game.client->localPlayerId() : 0},
        {"clients", game.server ? game.server->clientCount() : 0},
        {"spectators", game.server ? game.server->spectatorCount() : 0},
        {"localAvatar",
         game.localAvatar != nullptr ? nlohmann::ordered_json(game.localAvatar->id) : nlohmann::ordered_json()},
        {"digest", digestText(matchDigest(worldDigest(CWorld::instance()), currentMatch()))},
        {"match", describeMatch(game)},
        {"chat", describeLines(chatFeed())},
        {"notices", describeLines(killFeed())},
        {"lobby", describeLobby()},
        {"playback", describePlayback(game)},
        {"objects", std::move(objects)},
    };
    return world.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

class HeadlessPlayer {
public:
    HeadlessPlayer() { setPlatform(&desktop); }
    ~HeadlessPlayer() { setPlatform(nullptr); }

    // Carries out one command; false once the script asked to quit.
    bool run(const std::string& line) {
        std::istringstream words(line);
        std::string        command;
        words >> command;
        if (command.empty() || command[0] == '#') {
            return true;
        }
        if (command == "quit") {
            answer("ok");
            return false;
        }
        answer(carryOut(command, words));
        return true;
    }

private:
    std::string carryOut(const std::string& command, std::istringstream& words) {
        CGame& game = CGame::instance();
        if (command == "host") {
            game.handleCommand(cmd_host_game);
            game.finishHosting();
        } else if (command == "join" || command == "spectate") {
            words >> desktop.joinAddress;
            game.spectate = command == "spectate";
            game.handleCommand(cmd_join_game);
        } else if (command == "record") {
            std::string folder;
            long        keep = static_cast<long>(DEFAULT_KEPT_DEMOS);
            words >> folder >> keep;
            if (folder.empty() || keep < 0) {
                return "error record takes a folder and how many demos to keep";
            }
            game.demos = {folder, static_cast<std::size_t>(keep), {}};
        } else if (command == "play") {
            std::string file;
            std::getline(words >> std::ws, file);
            if (const std::optional<std::string> why = game.startPlayback(file)) {
                return "error the demo cannot be played: " + *why;
            }
            return "ok " + replay().recording().header.map.name + ", " +
                   std::to_string(static_cast<long>(std::lround(replay().length()))) + " s";
        } else if (command == "press" || command == "release") {
            std::string name;
            words >> name;
            const int code = keyNamed(name);
            if (code < 0) {
                return "error unknown key " + name;
            }
            keys[code] = command == "press" ? 1 : 0;
            if (command == "press" && code == VK_RETURN) {
                game.handleCommand(cmd_enter_key);
            }
        } else if (game.state == state_playback && (command == "frames" || command == "seconds")) {
            // A demo runs unpaced, by its own frames.
            double amount = 0.0;
            words >> amount;
            const bool ended = replay().atEnd();
            if (command == "seconds") {
                game.stepPlayback(amount);
            } else {
                for (long i = 0; i < std::lround(amount); ++i) {
                    game.playbackFrame();
                }
            }
            return !ended && replay().atEnd() ? replay().verdict() : "ok";
        } else if (command == "frames" || command == "seconds") {
            double amount = 0.0;
            words >> amount;
            const long count = command == "frames" ? std::lround(amount) : std::lround(std::ceil(amount / frameLength));
            for (long i = 0; i < count; ++i) {
                frame();
            }
        } else if (command == "step") {
            frame();
            return describeWorld(gameTime);
        } else if (command == "world") {
            return describeWorld(gameTime);
        } else if (command == "place") {
            Position cell;
            words >> cell.x >> cell.y;
            std::int32_t id = game.localAvatar != nullptr ? game.localAvatar->id : -1;
            words >> id;
            auto* const   rules  = dynamic_cast<Arbiter*>(getArbiter());
            Avatar* const avatar = findAvatar(id);
            if (rules == nullptr || avatar == nullptr || game.state != state_running) {
                return "error only the host places an avatar in play";
            }
            if (!BETWEEN(cell.x, 0, MAPSIZE - 1) || !BETWEEN(cell.y, 0, MAPSIZE - 1) ||
                CWorld::instance().isBlocked(cell)) {
                return "error not a floor cell";
            }
            rules->relocate(*avatar, cell);
        } else if (command == "exit") {
            game.handleCommand(cmd_exit_game);
        } else if (command == "name") {
            std::string name;
            std::getline(words >> std::ws, name);
            game.playerName = name;
        } else if (command == "bots") {
            std::string amount;
            words >> amount;
            if (amount == "still") {
                auto* const rules = dynamic_cast<Arbiter*>(getArbiter());
                if (rules == nullptr || game.state != state_running) {
                    return "error not hosting a game";
                }
                rules->holdBots();
                return "ok";
            }
            return setBotCount(command, amount, game.bots);
        } else if (command == "fill") {
            std::string amount;
            words >> amount;
            return setBotCount(command, amount, game.fillTo);
        } else if (command == "botlevel" || command == "limits") {
            // As the server's console sets them, for the game this player hosts.
            std::string rest;
            std::getline(words, rest);
            bool              quit   = false;
            const std::string answer = runConsoleLine(game, command + rest, quit);
            return answer.rfind("error", 0) == 0 ? answer : "ok";
        } else if (command == "maps" || command == "map") {
            std::string list;
            words >> list;
            std::vector<std::string> maps;
            std::istringstream       names(list);
            for (std::string name; std::getline(names, name, ',');) {
                const std::variant<GameMap, std::string> found = findMap(name);
                if (const auto* const reason = std::get_if<std::string>(&found)) {
                    return "error the map " + name + " cannot be played: " + *reason;
                }
                maps.push_back(name);
            }
            if (maps.empty() || (command == "map" && maps.size() != 1)) {
                return "error " + command + " takes " + (command == "map" ? "one map's name" : "maps' names, A,B,C");
            }
            if (command == "map") {
                beginRotationWith(game.matchSetup.maps, maps[0]);
            } else {
                game.matchSetup.maps = maps;
            }
        } else if (command == "say") {
            std::string text;
            std::getline(words >> std::ws, text);
            if (game.client == nullptr) {
                return "error not in a game";
            }
            say(text);
        } else if (command == "password") {
            words >> game.password;
        } else if (command == "port") {
            int port = 0;
            if (!(words >> port) || port < 1 || port > 65535) {
                return "error port takes 1 to 65535";
            }
            game.gamePort = static_cast<std::uint16_t>(port);
        } else if (command == "lan") {
            nlohmann::ordered_json games = nlohmann::ordered_json::array();
            for (const LanGame& found : findLanGames(std::chrono::seconds(1))) {
                games.push_back({{"address", found.address},
                                 {"port", found.port},
                                 {"host", found.hostName},
                                 {"players", found.players},
                                 {"spectators", found.spectators},
                                 {"map", found.map},
                                 {"private", found.isPrivate}});
            }
            return games.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
        } else if (command == "pace") {
            std::string setting;
            words >> setting;
            paced = setting != "off";
        } else if (command == "frametime") {
            words >> frameLength;
        } else {
            return "error unknown command " + command;
        }
        return "ok";
    }

    // One frame as the program runs it, without the drawing.
    void frame() {
        frameTime = frameLength;
        gameTime += frameLength;
        elapsedTime = static_cast<float>(gameTime);
        CGame::instance().update();
        std::memcpy(prevKeys, keys, sizeof keys);
        if (paced) {
            nextFrame += std::chrono::microseconds(static_cast<long>(frameLength * 1e6));
            const auto now = std::chrono::steady_clock::now();
            if (nextFrame > now) {
                std::this_thread::sleep_until(nextFrame);
            } else {
                nextFrame = now;  // running late: do not try to catch up
            }
        }
    }

    static void answer(const std::string& line) {
        std::fputs(line.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }

    HeadlessPlatform                      desktop;
    float                                 frameLength = 0.02f;
    double                                gameTime    = 0.0;
    bool                                  paced       = true;
    std::chrono::steady_clock::time_point nextFrame   = std::chrono::steady_clock::now();
};

}  // namespace

int main(const int argc, char** const argv) {
    std::ifstream file;
    if (argc > 1) {
        file.open(argv[1]);
        if (!file) {
            std::fprintf(stderr, "cannot read %s\n", argv[1]);
            return 2;
        }
    }
    std::istream& script = argc > 1 ? static_cast<std::istream&>(file) : std::cin;
    std::srand(static_cast<unsigned>(std::time(nullptr)));  // as the program seeds the rules
    // The map, wherever this player was started from, as the program finds it.
    setDataFolder(findDataFolder(dataFolderCandidates(executableFolder())).value_or(""));
    HeadlessPlayer player;
    std::string    line;
    while (std::getline(script, line)) {
        if (!player.run(line)) {
            break;
        }
    }
    CGame::instance().handleCommand(cmd_exit_game);
    return 0;
}
