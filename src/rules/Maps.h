#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "rules/GameMessages.h"
#include "world/World.h"

// The maps a game is played on. A map's name is its file's without ".raw";
// the game's own maps are in the data folder's Levels/, and maps a host sent
// are kept in $XDG_DATA_HOME/quillstep/maps/ (~/.local/share/quillstep/maps/).

// The map played when no other is chosen, as the game always was.
constexpr const char* DEFAULT_MAP = "map2";

struct GameMap {
    std::string name;
    MapCells    cells{};
};

// Letters, digits, '-' and '_', at most MAX_MAP_NAME_BYTES: a name that is
// a file name in any folder and nothing else.
bool isMapName(const std::string& name);

// "Levels/NAME.raw", as the world message names it.
std::string levelsFileOf(const std::string& name);

// The name of the map a world message's file name points at, or nothing.
std::optional<std::string> mapNameOfFile(const std::string& fileName);

// Where maps received from hosts are kept; empty when there is no home.
std::string receivedMapsFolder();

// The game's own maps, by name, in order.
std::vector<std::string> shippedMapNames();

// The map by name: the game's own first, then one a host sent before.
// Either its cells, checked as every map is, or why it cannot be played.
std::variant<GameMap, std::string> findMap(const std::string& name);

// Makes a rotation begin with the map: turned round to it, or with it put in front.
void beginRotationWith(std::vector<std::string>& rotation, const std::string& first);

// The message that carries a map to a player.
MapMessage mapMessageOf(const GameMap& map);

// A map a host sent: its name, size, hash and cells checked. Either the map
// or why it is refused, in words that follow "cannot be played: ".
std::variant<GameMap, std::string> acceptMap(const MapMessage& message);

// Keeps a received map for next time, unless the game's own map or one
// kept before of that name holds the same cells. Never writes over the
// game's own maps, nor anywhere but the received maps' folder.
void keepReceivedMap(const GameMap& map);
