#include "rules/GameMessages.h"

#include "net/ByteCodec.h"
#include "world/Avatar.h"

namespace {

template <class... Messages>
constexpr bool idsAscend(MessageList<Messages...> /*all*/) {
    const std::int32_t ids[] = {Messages::KIND.id...};
    for (std::size_t i = 1; i < sizeof...(Messages); ++i) {
        if (ids[i] <= ids[i - 1]) {
            return false;
        }
    }
    return true;
}

// A receiver finds a message's kind by its id alone.
static_assert(idsAscend(GameMessages{}), "every game message has an id of its own, listed in order");

}  // namespace

AvatarStateMessage stateOf(const Avatar& avatar) {
    return {avatar.id, avatar.left, avatar.right, avatar.up, avatar.down, avatar.fire, avatar.pos};
}

AvatarStatusMessage statusOf(const Avatar& avatar) {
    return {avatar.id, avatar.pos, avatar.hp, avatar.score, avatar.ammo};
}

std::int32_t messageId(const MessageBuffer& message) {
    ByteReader         reader(message);
    const std::int32_t id = reader.getI32();
    return reader.ok() ? id : -1;
}
