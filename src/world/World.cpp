#include "world/World.h"

#include <algorithm>
#include <string>

#include "platform/GameAssert.h"
#include "platform/Platform.h"
#include "rules/IArbiter.h"
#include "world/Avatar.h"
#include "world/DataFolder.h"
#include "world/MapFile.h"
#include "world/Powerup.h"

std::int32_t nextObjectId = 0;
std::int32_t nextBulletId = -1;

CObject::CObject(const ObjectKind objectKind) : id(nextObjectId++), kind(objectKind) {}

CObject::CObject(const ObjectKind objectKind, const std::int32_t givenId) : id(givenId), kind(objectKind) {}

CObject::~CObject() = default;

namespace {

constexpr std::uint8_t FLOOR = 0;

std::uint8_t cellAt(const MapCells& cells, const int x, const int y) {
    return cells[static_cast<std::size_t>(y) * MAPSIZE + static_cast<std::size_t>(x)];
}

void refuseMap(const char* const fileName, const char* const reason) {
    showError(std::string("The map \"") + fileName + "\" cannot be played: " + reason);
}

}  // namespace

bool hasFloor(const MapCells& cells) {
    return std::find(cells.begin(), cells.end(), FLOOR) != cells.end();
}

bool hasOpenEdge(const MapCells& cells) {
    for (int i = 0; i < MAPSIZE; ++i) {
        const int last = MAPSIZE - 1;
        if (cellAt(cells, i, 0) == FLOOR || cellAt(cells, i, last) == FLOOR || cellAt(cells, 0, i) == FLOOR ||
            cellAt(cells, last, i) == FLOOR) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> whyUnplayable(const MapCells& cells) {
    if (!hasFloor(cells)) {
        return "it has no floor.";
    }
    if (hasOpenEdge(cells)) {
        return "its outer edge must be all wall.";
    }
    return std::nullopt;
}

CWorld& CWorld::instance() {
    static CWorld world;
    return world;
}

CWorld::CWorld() = default;

CWorld::~CWorld() {
    clearObjects();
}

bool CWorld::loadMap(const char* const fileName) {
    const MapReadResult read = readMapFile(dataPath(fileName).c_str());
    if (const auto* const reason = std::get_if<std::string>(&read)) {
        refuseMap(fileName, reason->c_str());
        return false;
    }
    const MapCells& loaded = std::get<MapCells>(read);
    if (const std::optional<std::string> reason = whyUnplayable(loaded)) {
        refuseMap(fileName, reason->c_str());
        return false;
    }
    useMap(loaded);
    return true;
}

void CWorld::useMap(const MapCells& playable) {
    cells = playable;
    ++loadedMaps;
}

bool CWorld::isBlocked(const Position pos) const {
    GAME_ASSERT(BETWEEN(pos.x,0,MAPSIZE-1) && BETWEEN(pos.y,0,MAPSIZE-1), SITE_CELL_IN_GRID);
    return cellAt(cells, pos.x, pos.y) != FLOOR;
}

CObject* CWorld::findObject(const std::int32_t id) const {
    for (const auto& object : objects) {
        if (object->id == id && !object->removed) {
            return object.get();
        }
    }
    return nullptr;
}

CObject* CWorld::addObject(std::unique_ptr<CObject> object) {
    objects.push_back(std::move(object));
    return objects.back().get();
}

void CWorld::clearObjects() {
    // Objects go in list order, like everything else the world does.
    while (!objects.empty()) {
        objects.pop_front();
    }
}

std::int32_t CWorld::countPowerups() const {
    return static_cast<std::int32_t>(std::count_if(
        objects.begin(), objects.end(),
        [](const std::unique_ptr<CObject>& object) { return !object->removed && isExactly<Powerup>(*object); }));
}

void CWorld::update() {
    GAME_ASSERT(objects.size()>0, SITE_WORLD_NOT_EMPTY);

    // Bullets fired during this walk are appended behind it and reached in
    // the same walk, so a bullet takes its first step in the frame it is fired.
    cellIndex.clear();
    std::uint32_t order       = 0;
    auto          lastIndexed = objects.end();
    const auto    indexNew    = [&] {
        for (auto next = lastIndexed == objects.end() ? objects.begin() : std::next(lastIndexed); next != objects.end();
             lastIndexed = next++) {
            cellIndex.add(**next, order++);
        }
    };
    indexNew();
    walking              = true;
    std::uint32_t walked = 0;
    for (auto entry = objects.begin(); entry != objects.end(); ++entry, ++walked) {
        CObject& object = **entry;
        if (object.removed) {
            continue;
        }
        const Position before = object.pos;
        updatingObject        = &object;
        object.update();
        updatingObject = nullptr;
        if (Avatar* const avatar = objectAs<Avatar>(&object);
            avatar != nullptr && avatar->hp == 0 && !(avatar->releaseTimer > 0.0f)) {
            currentArbiter().respawnAvatar(*avatar);
        }
        if (!(object.pos == before)) {
            cellIndex.move(object, walked, before);
        }
        indexNew();
        offerPairs(object, walked);
    }
    walking = false;
    ++walksDone;
    deleteRemoved();
}

void CWorld::deleteRemoved() {
    objects.remove_if([](const std::unique_ptr<CObject>& object) { return object->removed; });
}

void CWorld::offerPairs(CObject& a, const std::uint32_t order) {
    // Only objects listed from `a` on: each pair is offered once per frame,
    // the earlier-listed object first. An object taken out of play by one
    // pair takes part in no further pair.
    const std::vector<CellIndex::Entry>& here = cellIndex.at(a.pos);
    for (std::size_t i = 0; i < here.size() && !a.removed; ++i) {
        if (here[i].order < order) {
            continue;
        }
        CObject& b = *here[i].object;
        if (b.id != a.id && !b.removed && b.pos == a.pos) {
            currentArbiter().collide(a, b);
        }
    }
}
