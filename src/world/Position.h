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
