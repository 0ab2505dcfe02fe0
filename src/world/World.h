#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>

#include "world/CellIndex.h"
#include "world/Object.h"
#include "world/Position.h"

using MapCells = std::array<std::uint8_t, std::size_t{MAPSIZE} * MAPSIZE>;

// A map can be played when it has floor and every floor cell is enclosed by
// walls: movers only ever ask about cells next to the one they stand on.
bool hasFloor(const MapCells& cells);
bool hasOpenEdge(const MapCells& cells);
// Why the cells make no map to play on, in words that follow "cannot be
// played: "; nothing when they do.
std::optional<std::string> whyUnplayable(const MapCells& cells);

// The one world of a process: the cell map and every object in play, in the
// order they were made.
class CWorld {
public:
    static CWorld& instance();

    CWorld();
    virtual ~CWorld();
    CWorld(const CWorld&)            = delete;
    CWorld& operator=(const CWorld&) = delete;

    // Reads the MAPSIZE x MAPSIZE cell bytes of a map file. A file that
    // cannot be read (missing, not a regular file, another size) or a map
    // that could not be played (an open edge, no floor) is refused with a
    // message naming the reason and leaves the cells as they were; the caller
    // must not start a game on it.
    bool loadMap(const char* fileName);
    // Plays on cells already checked with whyUnplayable.
    void useMap(const MapCells& playable);

    // Whether the cell is a wall; objects never block. Asking about a cell
    // outside the map is a broken precondition.
    bool isBlocked(Position pos) const;

    // The first object in play with the id, or null.
    CObject* findObject(std::int32_t id) const;

    // Appends the object; the world owns it from now on.
    CObject* addObject(std::unique_ptr<CObject> object);

    void clearObjects();

    std::int32_t countPowerups() const;

    // One frame: advances every object in play, asks the arbiter to bring
    // back avatars whose countdown ran out, offers each pair sharing a cell to
    // the arbiter, then deletes what left play.
    void update();
    // Deletes what left play; the end of every update.
    void deleteRemoved();

    // Where the update stands, for whoever notes when in a frame a change
    // came about: whether objects are moving, which one moves now (null
    // between objects), and how many updates have ended.
    bool           isWalking() const { return walking; }
    const CObject* updating() const { return updatingObject; }
    unsigned       walks() const { return walksDone; }

    // Whether the cell at column x, row y (both inside the map) is a wall.
    bool isWall(int x, int y) const { return cells[static_cast<std::size_t>(y) * MAPSIZE + x] != 0; }
    // Changes whenever a map loads, so whoever keeps something made from the
    // cells knows to make it again.
    unsigned mapVersion() const { return loadedMaps; }

    using ObjectList = std::list<std::unique_ptr<CObject>>;
    const ObjectList& getObjects() const { return objects; }

    // How many powerups the host keeps on the map.
    const std::int32_t maxPowerups = 10;

private:
    void offerPairs(CObject& a, std::uint32_t order);

    MapCells       cells{};
    unsigned       loadedMaps = 0;
    ObjectList     objects;
    CellIndex      cellIndex;
    bool           walking        = false;
    const CObject* updatingObject = nullptr;
    unsigned       walksDone      = 0;
};
