#include "world/Object.h"

std::int32_t nextObjectId = 0;
std::int32_t nextBulletId = -1;

CObject::CObject(const ObjectKind objectKind) : id(nextObjectId++), kind(objectKind) {}

CObject::CObject(const ObjectKind objectKind, const std::int32_t givenId) : id(givenId), kind(objectKind) {}

CObject::~CObject() = default;
