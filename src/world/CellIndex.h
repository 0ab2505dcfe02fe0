#pragma once

#include <cstdint>
#include <vector>

#include "world/Position.h"

class CObject;

// The objects of one world update by cell, each with its place in the
// object list, so the update finds the objects sharing a cell with one
// object without looking at all the others. Within a cell, objects stay in
// list order, the order in which pairs are offered.
class CellIndex {
public:
    struct Entry {
        std::uint32_t order;
        CObject*      object;
    };

    // Forgets every object, keeping the memory for the next update.
    void clear();
    // Adds an object at its cell, later in the list than any added before.
    void add(CObject& object, std::uint32_t order);
    // The object moved from `from` to its current cell.
    void move(const CObject& object, std::uint32_t order, Position from);

    // The objects at the cell, in list order; those listed before `order`
    // and those that have left the cell since are the caller's to skip.
    const std::vector<Entry>& at(Position cell) const;

private:
    std::vector<Entry>&             bucketFor(Position cell);
    static void                     insertSorted(std::vector<Entry>& bucket, Entry entry);
    std::vector<std::vector<Entry>> buckets = std::vector<std::vector<Entry>>(std::size_t{MAPSIZE} * MAPSIZE);
    std::vector<std::size_t>        used;     // buckets holding something, for clear
    std::vector<Entry>              outside;  // objects off the grid, which no rule forbids
};
