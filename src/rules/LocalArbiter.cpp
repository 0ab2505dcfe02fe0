#include "rules/LocalArbiter.h"

#include <memory>

#include "net/IClient.h"
#include "platform/FrameState.h"
#include "rules/GameSession.h"
#include "rules/Match.h"
#include "rules/MessageCodec.h"
#include "world/Avatar.h"
#include "world/Bullet.h"

namespace {

template <class Message>
void sendToHost(const Message& message) {
    // The outcome of a send does not matter here: a lost report is repaired by the next.
    if (IClient* const client = gameSession().currentClient()) {
        const MessageBuffer bytes = encode(message);
        client->send(static_cast<std::uint32_t>(bytes.size()), bytes.data(), Message::KIND.flagsToHost);
    }
}

}  // namespace

void createLocalArbiter() {
    installArbiter(std::make_unique<LocalArbiter>());
}

void LocalArbiter::update() {
    tickMatch(currentMatch(), frameTime);
}

void LocalArbiter::leaveGame() {
    if (const Avatar* const avatar = gameSession().keyboardAvatar()) {
        sendToHost(AvatarRemoveMessage{avatar->id});
    }
}

void LocalArbiter::avatarInputChanged(Avatar& avatar) {
    sendToHost(stateOf(avatar));
}

void LocalArbiter::hitAvatar(Avatar& avatar, Bullet& bullet) {
    if (bullet.owner != avatar.id) {
        bullet.removed = true;
    }
}
