#include "world/HumanController.h"

#include "platform/FrameState.h"
#include "platform/VirtualKeys.h"
#include "rules/IArbiter.h"
#include "world/Avatar.h"

HumanController::HumanController()
    : keyLeft(VK_LEFT), keyRight(VK_RIGHT), keyUp(VK_UP), keyDown(VK_DOWN), keyFire(VK_SPACE) {}

namespace {

using FlagSetter = void (Avatar::*)(std::int32_t);

// Applies a press or release of one key to its flag; tells whether it changed anything.
bool followKey(Avatar& avatar, const std::int32_t key, const FlagSetter setFlag) {
    const bool isDown  = keys[key] != 0;
    const bool wasDown = prevKeys[key] != 0;
    if (isDown == wasDown) {
        return false;
    }
    (avatar.*setFlag)(isDown ? 1 : 0);
    return true;
}

}  // namespace

bool HumanController::isPlayer() const {
    return true;
}

void HumanController::update() {
    if (avatar == nullptr) {
        return;
    }
    bool changed = false;
    changed |= followKey(*avatar, keyUp, &Avatar::setUp);
    changed |= followKey(*avatar, keyDown, &Avatar::setDown);
    changed |= followKey(*avatar, keyLeft, &Avatar::setLeft);
    changed |= followKey(*avatar, keyRight, &Avatar::setRight);
    changed |= followKey(*avatar, keyFire, &Avatar::setFire);
    if (changed) {
        currentArbiter().avatarInputChanged(*avatar);
    }
}
