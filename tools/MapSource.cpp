#include "MapSource.h"

#include <algorithm>
#include <sstream>
#include <vector>

bool parseMapText(const std::string& text, MapCells& cells, std::string& error) {
    std::istringstream lines(text);
    std::string        line;
    int                row = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (row == MAPSIZE) {
            error = "more than " + std::to_string(MAPSIZE) + " lines";
            return false;
        }
        if (line.size() != MAPSIZE) {
            error = "line " + std::to_string(row + 1) + " has " + std::to_string(line.size()) + " characters, not " +
                    std::to_string(MAPSIZE);
            return false;
        }
        for (int x = 0; x < MAPSIZE; ++x) {
            const char c = line[static_cast<std::size_t>(x)];
            if (c != '#' && c != '.') {
                error = "line " + std::to_string(row + 1) + " has '" + std::string(1, c) +
                        "'; only '#' and '.' are allowed";
                return false;
            }
            cells[static_cast<std::size_t>(row) * MAPSIZE + static_cast<std::size_t>(x)] = c == '#' ? WALL_BYTE : 0;
        }
        ++row;
    }
    if (row != MAPSIZE) {
        error = "only " + std::to_string(row) + " lines, not " + std::to_string(MAPSIZE);
        return false;
    }
    return true;
}

bool isFloorConnected(const MapCells& cells) {
    const auto firstFloor = std::find(cells.begin(), cells.end(), 0);
    if (firstFloor == cells.end()) {
        return true;
    }
    std::vector<bool> reached(cells.size(), false);
    std::vector<int>  pending{static_cast<int>(firstFloor - cells.begin())};
    reached[static_cast<std::size_t>(pending.back())] = true;
    std::size_t reachedCount                          = 1;
    while (!pending.empty()) {
        const int index = pending.back();
        pending.pop_back();
        const int x                = index % MAPSIZE;
        const int y                = index / MAPSIZE;
        const int neighbours[4][2] = {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}};
        for (const auto& n : neighbours) {
            if (!BETWEEN(n[0], 0, MAPSIZE - 1) || !BETWEEN(n[1], 0, MAPSIZE - 1)) {
                continue;
            }
            const auto next = static_cast<std::size_t>(n[1]) * MAPSIZE + static_cast<std::size_t>(n[0]);
            if (cells[next] == 0 && !reached[next]) {
                reached[next] = true;
                ++reachedCount;
                pending.push_back(static_cast<int>(next));
            }
        }
    }
    return reachedCount == static_cast<std::size_t>(std::count(cells.begin(), cells.end(), 0));
}

double floorShare(const MapCells& cells) {
    return static_cast<double>(std::count(cells.begin(), cells.end(), 0)) / static_cast<double>(cells.size());
}
