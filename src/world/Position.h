#pragma once

#include <cstdint>

// The map is MAPSIZE x MAPSIZE cells.
constexpr int MAPSIZE = 64;

// Inclusive range test.
#define BETWEEN(value, low, high) ((value) >= (low) && (value) <= (high))

// A cell: x is the column (growing right), y the row (row 0 is the first row
// of the map file and the top of the view).
struct Position {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

inline bool operator==(const Position a, const Position b) {
    return a.x == b.x && a.y == b.y;
}

inline bool operator!=(const Position a, const Position b) {
    return !(a == b);
}

// How many steps apart two cells are, for a mover that may step diagonally.
inline std::int32_t cellDistance(const Position a, const Position b) {
    const std::int32_t dx = a.x > b.x ? a.x - b.x : b.x - a.x;
    const std::int32_t dy = a.y > b.y ? a.y - b.y : b.y - a.y;
    return dx > dy ? dx : dy;
}
