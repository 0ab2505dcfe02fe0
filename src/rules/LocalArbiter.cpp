#include "rules/LocalArbiter.h"

#include <memory>

#include "net/IClient.h"
#include "rules/GameMessages.h"
#include "rules/GameSession.h"
#include "world/Avatar.h"
#include "world/Bullet.h"

namespace {

void sendToHost(const MessageBuffer& message, const std::uint32_t flags) {
    // The outcome of a send does not matter here: a lost report is repaired by the next.
    if (IClient* const client = gameSession().currentClient()) {
        client->send(static_cast<std::uint32_t>(message.size()), message.data(), flags);
    }
}

}  // namespace

void createLocalArbiter() {
    installArbiter(std::make_unique<LocalArbiter>());
}

void LocalArbiter::leaveGame() {
    if (const Avatar* const avatar = gameSession().keyboardAvatar()) {
        sendToHost(encodeAvatarRemove(avatar->id), SEND_AVATAR_REMOVE);
    }
}

void LocalArbiter::avatarInputChanged(Avatar& avatar) {
    sendToHost(encodeAvatarState(stateOf(avatar)), SEND_STATE_TO_HOST);
}

void LocalArbiter::hitAvatar(Avatar& avatar, Bullet& bullet) {
    if (bullet.owner != avatar.id) {
        bullet.removed = true;
    }
}
