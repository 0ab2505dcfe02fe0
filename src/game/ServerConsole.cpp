#include "game/ServerConsole.h"

#include <cmath>
#include <cstdio>
#include <sstream>
#include <vector>

#include "game/Game.h"
#include "net/WireProtocol.h"
#include "rules/Arbiter.h"
#include "rules/Chat.h"
#include "rules/LineFeed.h"
#include "rules/Maps.h"
#include "rules/Match.h"
#include "rules/MessageCodec.h"
#include "rules/PlayerName.h"
#include "world/Avatar.h"
#include "world/World.h"

namespace {

struct Command {
    const char* name                                           = nullptr;
    const char* usage                                          = nullptr;
    std::string (*run)(CGame& game, std::istringstream& words) = nullptr;
    bool needsServer                                           = true;  // else it sets what the next hosted game takes
};

std::string restOf(std::istringstream& words) {
    std::string rest;
    std::getline(words >> std::ws, rest);
    return rest;
}

bool readNumber(std::istringstream& words, long& value, const long least, const long most) {
    std::string word;
    if (!(words >> word) || word.size() > 9 || word.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    value = std::stol(word);
    return value >= least && value <= most;
}

Arbiter* hostRules(const CGame& game) {
    return game.state == state_running ? dynamic_cast<Arbiter*>(getArbiter()) : nullptr;
}

// The player the next word (an id or a name) stands for: its record, or why none.
std::optional<ClientRecord> findPlayer(const CGame& game, std::istringstream& words, std::string& why) {
    std::string who;
    words >> who;
    const std::vector<ClientRecord> players = game.server->clientList();
    std::vector<ClientRecord>       named;
    for (const ClientRecord& player : players) {
        if (std::to_string(player.id) == who) {
            return player;
        }
        if (cleanPlayerName(player.name) == who) {
            named.push_back(player);
        }
    }
    why = named.empty() ? "no player is called " + who : who + " names more than one player: use an id";
    if (named.size() == 1) {
        return named[0];
    }
    return std::nullopt;
}

// The player's game ends with a last word from the host.
void sendAway(CGame& game, const ClientRecord& player, const std::string& why, const std::uint32_t code) {
    const MessageBuffer words = encode(ChatMessage{chat_farewell, "", why});
    game.server->sendTo(player.id, static_cast<std::uint32_t>(words.size()), words.data(), SEND_CHAT);
    game.server->disconnect(player.id, code);
}

std::string bareAddress(const std::string& address) {
    return address.substr(0, address.find(':'));
}

std::string status(CGame& game, std::istringstream& /*words*/) {
    const MatchState& match = currentMatch();
    std::string       table = "map " + game.mapName();
    if (game.state != state_running) {
        table += ", waiting for the first player";
    } else {
        table += ", match " + std::to_string(match.number) + (match.isOver() ? " over" : " playing");
        if (match.timeLimit > 0 && !match.isOver()) {
            table += ", " + clockText(static_cast<int>(std::ceil(match.timeLeft))) + " left";
        }
    }
    table += "\nid    name             address                score   rtt  idle";
    const Arbiter* const rules = hostRules(game);
    for (const ClientRecord& player : game.server->clientList()) {
        int score = 0;
        for (const auto& object : CWorld::instance().getObjects()) {
            if (const auto* const avatar = objectAs<Avatar>(object.get());
                avatar != nullptr && !avatar->removed && avatar->playerId == player.id) {
                score = avatar->score;
            }
        }
        char line[160];
        std::snprintf(line, sizeof line, "\n%-5u %-16s %-22s %5d %5d %5.0f%s", player.id,
                      cleanPlayerName(player.name).c_str(), player.address.c_str(), score,
                      static_cast<int>(player.avgRtt), rules != nullptr ? rules->idleSeconds(player.id) : 0.0f,
                      player.spectator ? "  watching" : "");
        table += line;
    }
    return table + "\nbots: " + std::to_string(game.bots) + ", " + botLevelName(game.level);
}

std::string kick(CGame& game, std::istringstream& words) {
    std::string                       why;
    const std::optional<ClientRecord> player = findPlayer(game, words, why);
    if (!player) {
        return "error " + why;
    }
    const std::string reason = cleanChatText(restOf(words));
    sendAway(game, *player, "You were kicked: " + (reason.empty() ? std::string("no reason given") : reason),
             DISCONNECT_KICKED);
    return "kicked " + cleanPlayerName(player->name);
}

std::string ban(CGame& game, std::istringstream& words) {
    std::string                       why;
    const std::optional<ClientRecord> player = findPlayer(game, words, why);
    if (!player) {
        return "error " + why;
    }
    long minutes = 0;
    if (!words.eof() && !(words >> std::ws).eof() && !readNumber(words, minutes, 0, 525600)) {
        return "error ban takes a player and 0 to 525600 minutes";
    }
    const std::string address = bareAddress(player->address);
    game.server->ban(address, static_cast<std::uint32_t>(minutes));
    sendAway(game, *player, "You are banned from this game.", DISCONNECT_BANNED);
    return "banned " + address +
           (minutes == 0 ? " until the server stops" : " for " + std::to_string(minutes) + " minutes");
}

std::string bans(CGame& game, std::istringstream& /*words*/) {
    std::string lines;
    for (const std::string& line : game.server->bans()) {
        lines += (lines.empty() ? "" : "\n") + line;
    }
    return lines.empty() ? "no bans" : lines;
}

std::string unban(CGame& game, std::istringstream& words) {
    std::string address;
    words >> address;
    return game.server->unban(address) ? "unbanned " + address : "error " + address + " is not banned";
}

std::string sayAsServer(CGame& game, std::istringstream& words) {
    const std::string text = cleanChatText(restOf(words));
    if (text.empty()) {
        return "error say takes a line to say";
    }
    chatRelay().pass(*game.server, "Server", text);  // logged as the players' lines are
    return "said";
}

std::string map(CGame& game, std::istringstream& words) {
    std::string name;
    words >> name;
    Arbiter* const rules = hostRules(game);
    if (rules == nullptr) {
        const std::variant<GameMap, std::string> found = findMap(name);
        if (const auto* const reason = std::get_if<std::string>(&found)) {
            return "error the map " + name + " cannot be played: " + *reason;
        }
        beginRotationWith(game.matchSetup.maps, name);
        return "the game begins on " + name;
    }
    if (const std::optional<std::string> reason = rules->playMap(name)) {
        return "error the map " + name + " cannot be played: " + *reason;
    }
    return "playing " + name;
}

std::string next(CGame& game, std::istringstream& /*words*/) {
    Arbiter* const rules = hostRules(game);
    if (rules == nullptr) {
        return "error no game is running";
    }
    rules->nextMatch();
    return "playing " + currentMatch().map;
}

std::string restart(CGame& game, std::istringstream& /*words*/) {
    Arbiter* const rules = hostRules(game);
    if (rules == nullptr) {
        return "error no game is running";
    }
    rules->restartMatch();
    return "restarted on " + currentMatch().map;
}

std::string bots(CGame& game, std::istringstream& words) {
    long count = 0;
    if (!readNumber(words, count, 0, MAX_BOTS)) {
        return "error bots takes 0 to " + std::to_string(MAX_BOTS);
    }
    game.bots = static_cast<std::int32_t>(count);
    return "bots " + std::to_string(count);
}

std::string botLevel(CGame& game, std::istringstream& words) {
    std::string name;
    words >> name;
    const std::optional<BotLevel> level = botLevelNamed(name);
    if (!level) {
        return "error botlevel takes easy, normal or hard";
    }
    game.level = *level;
    return "bot level " + name;
}

std::string limits(CGame& game, std::istringstream& words) {
    long score   = 0;
    long minutes = 0;
    if (!readNumber(words, score, SCORE_LIMIT.min, SCORE_LIMIT.max) ||
        !readNumber(words, minutes, TIME_LIMIT_MINUTES.min, TIME_LIMIT_MINUTES.max)) {
        return "error limits takes a score of 0 to 1000000 and 0 to 1440 minutes";
    }
    game.matchSetup.scoreLimit = static_cast<std::int32_t>(score);
    game.matchSetup.timeLimit  = static_cast<std::int32_t>(minutes);
    return "limits " + std::to_string(score) + " points, " + std::to_string(minutes) + " minutes, from the next match";
}

std::string password(CGame& game, std::istringstream& words) {
    std::string word;
    words >> word;
    if (word.empty()) {
        return "error password takes a word, or off";
    }
    game.password = word == "off" ? "" : word;
    game.server->setPassword(game.password);
    return word == "off" ? "the game is open" : "the game is private";  // never the word itself
}

std::string help(CGame& game, std::istringstream& words);

const Command COMMANDS[] = {
    {"status", "status", status},
    {"kick", "kick PLAYER [REASON]", kick},
    {"ban", "ban PLAYER [MINUTES]", ban},
    {"bans", "bans", bans},
    {"unban", "unban ADDRESS", unban},
    {"say", "say TEXT", sayAsServer},
    {"map", "map NAME", map},
    {"next", "next", next},
    {"restart", "restart", restart},
    {"bots", "bots N", bots},
    {"botlevel", "botlevel LEVEL", botLevel, false},
    {"limits", "limits SCORE MINUTES", limits, false},
    {"password", "password WORD|off", password},
    {"help", "help", help},
    {"quit", "quit", nullptr},
};

std::string help(CGame& /*game*/, std::istringstream& /*words*/) {
    std::string usage;
    for (const Command& command : COMMANDS) {
        usage += (usage.empty() ? "" : ", ") + std::string(command.usage);
    }
    return "commands: " + usage;
}

}  // namespace

std::string runConsoleLine(CGame& game, const std::string& line, bool& quit) {
    std::istringstream words(line);
    std::string        name;
    words >> name;
    if (name.empty()) {
        return "";
    }
    for (const Command& command : COMMANDS) {
        if (name != command.name) {
            continue;
        }
        if (command.needsServer && !game.server) {
            return "error not hosting";
        }
        if (command.run == nullptr) {
            quit = true;
            return "quitting";
        }
        return command.run(game, words);
    }
    return "error unknown command " + cleanChatText(name) + " (try help)";
}

namespace {

// Says a line to one player, as a notice.
void tell(CGame& game, const std::uint32_t player, const std::string& line) {
    const MessageBuffer words = encode(ChatMessage{chat_notice, "", line});
    game.server->sendTo(player, static_cast<std::uint32_t>(words.size()), words.data(), SEND_CHAT);
}

// A command as the log keeps it: the words of /admin and /password left out.
std::string loggedCommand(const std::string& line) {
    std::istringstream words(line);
    std::string        name;
    words >> name;
    return "/" + (name == "admin" || name == "password" ? name : line);
}

// What everyone is told an admin did: never a password.
std::string deed(const std::string& admin, const std::string& line) {
    std::istringstream words(line);
    std::string        name;
    words >> name;
    if (name == "kick" || name == "ban") {
        std::string who;
        words >> who;
        return admin + (name == "kick" ? " kicked " : " banned ") + who;
    }
    return admin + " used " + loggedCommand(line);
}

void logDesk(const CGame& game, const std::string& line) {
    if (game.adminDesk.log) {
        game.adminDesk.log(line);
    }
}

}  // namespace

void runChatCommand(CGame& game, const ChatRelay::Command& command) {
    if (!game.server) {
        return;
    }
    AdminDesk&         desk = game.adminDesk;
    std::istringstream words(command.line);
    std::string        name;
    words >> name;
    const std::optional<ClientRecord> player  = game.server->findClient(command.sender);
    const std::string                 address = player ? player->address : std::string();
    const std::string                 who     = "Admin command from " + command.speaker + " (" + address + ")";
    const std::string                 said    = ": " + loggedCommand(command.line);
    const auto refused = [&](const std::string& why) { logDesk(game, who + " refused (" + why + ")" + said); };
    if (name == "admin") {
        std::string word;
        words >> word;
        AdminDesk::Tries& tried = desk.tries[address];
        if (game.adminPassword.empty()) {
            refused("the game has no admin");
            tell(game, command.sender, "This game has no admin.");
        } else if (AdminDesk::Clock::now() < tried.lockedUntil) {
            refused("locked out");
            tell(game, command.sender, "Too many wrong admin passwords: wait a minute.");
        } else if (word == game.adminPassword) {
            tried = {};
            desk.admins.insert(command.sender);
            logDesk(game, who + said);
            tell(game, command.sender, "You are an admin: the console's commands work here, as /kick Bob.");
        } else {
            // Three wrong from one address lock it out for a minute.
            if (++tried.wrong >= 3) {
                tried = {0, AdminDesk::Clock::now() + std::chrono::seconds(60)};
            }
            refused("wrong password");
            killFeed().add("Wrong admin password from " + address);
            tell(game, command.sender, "Wrong admin password.");
        }
        return;
    }
    if (desk.admins.count(command.sender) == 0) {
        refused("not an admin");
        tell(game, command.sender, "Only an admin can do that: /admin PASSWORD first.");
        return;
    }
    if (name == "quit") {
        refused("only from the console");
        tell(game, command.sender, "error quit is for the server's own console");
        return;
    }
    bool              quit   = false;
    const std::string answer = runConsoleLine(game, command.line, quit);
    tell(game, command.sender, answer.substr(0, MAX_CHAT_CHARACTERS));
    const bool failed = answer.rfind("error ", 0) == 0;
    if (failed) {
        refused(answer.substr(6));
    } else {
        logDesk(game, who + said);
    }
    if (!failed && name != "status" && name != "help" && name != "bans") {
        const std::string line = deed(command.speaker, command.line);
        killFeed().add(line);
        const MessageBuffer notice = encode(ChatMessage{chat_notice, "", line});
        game.server->sendToPlayers(static_cast<std::uint32_t>(notice.size()), notice.data(), SEND_CHAT,
                                   [&](const std::uint32_t id) { return id != command.sender; });
    }
}

void moveOutIdlers(CGame& game) {
    const auto* const rules = game.server && game.idleKick > 0.0f ? hostRules(game) : nullptr;
    if (rules == nullptr) {
        return;
    }
    constexpr float WARNING_SECONDS = 10.0f;
    for (const ClientRecord& player : game.server->clientList()) {
        if ((game.client && player.id == game.client->localPlayerId()) || player.spectator) {
            continue;  // never the host's own player, nor one who only watches
        }
        const float idle  = rules->idleSeconds(player.id);
        int&        noted = game.adminDesk.idleNotes[player.id];
        if (idle >= game.idleKick && noted < 2) {
            noted = 2;
            logDesk(game, cleanPlayerName(player.name) + " kicked for idling: no input for " +
                              std::to_string(static_cast<int>(game.idleKick)) + " s");
            sendAway(game, player,
                     "You were kicked: no input for " + std::to_string(static_cast<int>(game.idleKick)) + " s",
                     DISCONNECT_KICKED);
        } else if (idle >= game.idleKick - WARNING_SECONDS && noted < 1) {
            noted = 1;
            tell(game, player.id, "No input: you will be moved out in 10 s.");
        } else if (idle < game.idleKick - WARNING_SECONDS) {
            noted = 0;
        }
    }
}
