#include "world/Object.h"

std::int32_t nextObjectId = 0;

CObject::CObject() : id(nextObjectId++) {}

CObject::~CObject() = default;
