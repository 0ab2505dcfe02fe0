#include "world/Object.h"

std::int32_t nextObjectId = 0;
std::int32_t nextBulletId = -1;

CObject::CObject() : id(nextObjectId++) {}

CObject::CObject(const std::int32_t givenId) : id(givenId) {}

CObject::~CObject() = default;
