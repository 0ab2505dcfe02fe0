#pragma once

#include <optional>
#include <string>
#include <variant>

#include "world/World.h"

// Reading a map file without trusting it: it may be missing, a directory, a
// device or a FIFO that would block a read for good, or of any size.

// The folder the game's maps live in, relative to where the game runs.
constexpr const char* LEVELS_FOLDER = "Levels";

// The longest bare map file name accepted from the network.
constexpr std::size_t MAX_MAP_FILE_NAME = 64;

// The path of a map named by another machine: "NAME" or "Levels/NAME", where
// NAME is a bare file name (no '/', not starting with '.', printable ASCII,
// at most MAX_MAP_FILE_NAME bytes), in the levels folder. Nothing for any
// other name, so a peer cannot make this machine open a path of its choice.
std::optional<std::string> levelsPathFor(const std::string& mapName);

// Why a map file could not be read, in words that follow "cannot be played: ".
using MapReadResult = std::variant<MapCells, std::string>;

// Opens without blocking and reads exactly MAPSIZE x MAPSIZE bytes from a
// regular file of exactly that size.
MapReadResult readMapFile(const char* path);
