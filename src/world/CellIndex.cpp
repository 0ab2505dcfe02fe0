#include "world/CellIndex.h"

#include <algorithm>

#include "world/Object.h"

namespace {

bool onGrid(const Position cell) {
    return cell.x >= 0 && cell.x < MAPSIZE && cell.y >= 0 && cell.y < MAPSIZE;
}

std::size_t bucketNumber(const Position cell) {
    return static_cast<std::size_t>(cell.y) * MAPSIZE + static_cast<std::size_t>(cell.x);
}

}  // namespace

void CellIndex::clear() {
    for (const std::size_t number : used) {
        buckets[number].clear();
    }
    used.clear();
    outside.clear();
}

std::vector<CellIndex::Entry>& CellIndex::bucketFor(const Position cell) {
    if (!onGrid(cell)) {
        return outside;
    }
    std::vector<Entry>& bucket = buckets[bucketNumber(cell)];
    if (bucket.empty()) {
        used.push_back(bucketNumber(cell));
    }
    return bucket;
}

void CellIndex::insertSorted(std::vector<Entry>& bucket, const Entry entry) {
    const auto place = std::upper_bound(bucket.begin(), bucket.end(), entry.order,
                                        [](const std::uint32_t order, const Entry& e) { return order < e.order; });
    bucket.insert(place, entry);
}

void CellIndex::add(CObject& object, const std::uint32_t order) {
    bucketFor(object.pos).push_back({order, &object});
}

void CellIndex::move(const CObject& object, const std::uint32_t order, const Position from) {
    std::vector<Entry>& old   = bucketFor(from);
    const auto          found = std::find_if(old.begin(), old.end(), [&](const Entry& e) { return e.order == order; });
    if (found == old.end()) {
        return;
    }
    const Entry entry = *found;
    old.erase(found);
    insertSorted(bucketFor(object.pos), entry);
}

const std::vector<CellIndex::Entry>& CellIndex::at(const Position cell) const {
    return onGrid(cell) ? buckets[bucketNumber(cell)] : outside;
}
