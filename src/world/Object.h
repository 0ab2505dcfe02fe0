#pragma once

#include <cstdint>

#include "world/Position.h"

// Avatars and powerups take the counter's value as their id and advance it.
// The counter is never reset, so ids keep growing across games.
extern std::int32_t nextObjectId;

// Bullets never travel over the network; each machine numbers its own,
// downwards from -1, so a local bullet never shares an id with an avatar or
// powerup that the host numbered.
extern std::int32_t nextBulletId;

// The exact class of an object, so the rules tell objects apart without
// run-time type names.
enum class ObjectKind : std::uint8_t { avatar, bullet, powerup };

// Anything that stands on a cell of the map. The world owns every object.
class CObject {
public:
    explicit CObject(ObjectKind kind);
    CObject(ObjectKind kind, std::int32_t givenId);
    virtual void update() = 0;
    virtual ~CObject();

    CObject(const CObject&)            = delete;
    CObject& operator=(const CObject&) = delete;

    Position pos;
    // Set once the object is out of play; the world deletes it at the end of
    // its update. Never cleared again.
    bool             removed = false;
    std::int32_t     id;
    const ObjectKind kind;
};

// The rules tell objects apart by their exact class; each class names its kind.
template <class T>
bool isExactly(const CObject& object) {
    return object.kind == T::KIND;
}

// The object as a T when it is exactly a T, else null.
template <class T>
T* objectAs(CObject* const object) {
    return object != nullptr && isExactly<T>(*object) ? static_cast<T*>(object) : nullptr;
}
