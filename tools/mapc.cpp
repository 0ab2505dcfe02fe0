// Turns a map's text form into the raw cell bytes the game reads, refusing a
// map that players could not use.
//
//   mapc Levels/map2.txt Levels/map2.raw

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "MapSource.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s MAP.txt MAP.raw\n", argv[0]);
        return 2;
    }
    std::ifstream source(argv[1], std::ios::binary);
    if (!source) {
        std::fprintf(stderr, "mapc: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::string text{std::istreambuf_iterator<char>(source), std::istreambuf_iterator<char>()};

    MapCells    cells{};
    std::string error;
    if (!parseMapText(text, cells, error)) {
        std::fprintf(stderr, "mapc: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    if (const std::optional<std::string> reason = whyUnplayable(cells)) {
        std::fprintf(stderr, "mapc: %s cannot be played: %s\n", argv[1], reason->c_str());
        return 1;
    }
    if (!isFloorConnected(cells)) {
        std::fprintf(stderr, "mapc: %s: some floor cannot be reached from the rest\n", argv[1]);
        return 1;
    }

    std::ofstream raw(argv[2], std::ios::binary | std::ios::trunc);
    raw.write(reinterpret_cast<const char*>(cells.data()), static_cast<std::streamsize>(cells.size()));
    if (!raw.flush()) {
        std::fprintf(stderr, "mapc: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
