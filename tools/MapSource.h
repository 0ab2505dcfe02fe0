#pragma once

#include <string>

#include "world/World.h"

// Maps are written as MAPSIZE lines of MAPSIZE characters: '#' for a wall,
// '.' for floor. This is the form people edit; the game reads raw cell bytes.

constexpr std::uint8_t WALL_BYTE = 1;

// Parses the text form; on failure returns false and says why in `error`.
bool parseMapText(const std::string& text, MapCells& cells, std::string& error);

// Whether every floor cell can be walked to from every other, stepping
// between cells that share a side.
bool isFloorConnected(const MapCells& cells);

// The share of cells that are floor, 0 ... 1.
double floorShare(const MapCells& cells);
