#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "MapSource.h"
#include "TestSupport.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

const char* const SHIPPED_MAPS[] = {"map2", "arena", "corridors", "rooms", "duel", "maze", "islands"};

TEST(ShippedMaps, EachRawFileIsItsTextSourceEnclosedAndConnected) {
    for (const std::string name : SHIPPED_MAPS) {
        SCOPED_TRACE(name);
        const std::string levels = QUILLSTEP_SOURCE_DIR "/Levels/" + name;
        MapCells          cells{};
        std::string       error;
        ASSERT_TRUE(parseMapText(readFile(levels + ".txt"), cells, error)) << error;
        EXPECT_EQ(readFile(levels + ".raw"), std::string(cells.begin(), cells.end()))
            << "rebuild it: cmake --build build --target maps";
        EXPECT_FALSE(hasOpenEdge(cells));
        EXPECT_TRUE(isFloorConnected(cells));
        EXPECT_GT(floorShare(cells), 0.1) << "room for a game";
        EXPECT_LT(floorShare(cells), 0.95) << "walls give cover";
        CWorld world;
        EXPECT_TRUE(world.loadMap((levels + ".raw").c_str()));
    }
}

TEST(MapText, MalformedSourcesAreRefusedWithTheReason) {
    std::string rows;
    for (int i = 0; i < MAPSIZE; ++i) {
        rows += std::string(MAPSIZE, '#') + "\n";
    }
    MapCells    cells{};
    std::string error;
    EXPECT_TRUE(parseMapText(rows, cells, error));
    EXPECT_FALSE(parseMapText("#" + rows, cells, error));
    EXPECT_EQ(error, "line 1 has 65 characters, not 64");
    rows[70] = 'x';
    EXPECT_FALSE(parseMapText(rows, cells, error));
    EXPECT_EQ(error, "line 2 has 'x'; only '#' and '.' are allowed");
}

TEST(MapText, IslandsOfFloorAreNotConnected) {
    MapCells cells = enclosedMap();
    EXPECT_TRUE(isFloorConnected(cells));
    for (int y = 1; y < MAPSIZE - 1; ++y) {
        cells[static_cast<std::size_t>(y * MAPSIZE + 30)] = 1;
    }
    EXPECT_FALSE(isFloorConnected(cells));
}

TEST(MapCompiler, BuildsTheShippedMapAndRefusesAnOpenOne) {
    const std::string out = ::testing::TempDir() + "quillstep_mapc_out.raw";
    const std::string ok  = std::string(MAPC_PATH) + " " + QUILLSTEP_SOURCE_DIR "/Levels/map2.txt " + out;
    ASSERT_EQ(std::system(ok.c_str()), 0);
    EXPECT_EQ(readFile(out), readFile(QUILLSTEP_SOURCE_DIR "/Levels/map2.raw"));

    std::string open           = readFile(QUILLSTEP_SOURCE_DIR "/Levels/map2.txt");
    open[MAPSIZE + 1]          = '.';  // the first cell of row 1 is on the edge
    const std::string openPath = writeTempFile("open.txt", open);
    const std::string refused  = std::string(MAPC_PATH) + " " + openPath + " " + out + ".open 2>/dev/null";
    EXPECT_NE(std::system(refused.c_str()), 0);
    EXPECT_FALSE(std::ifstream(out + ".open").good()) << "nothing is written for a refused map";
}

}  // namespace
