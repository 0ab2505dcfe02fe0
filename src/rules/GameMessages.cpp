#include "rules/GameMessages.h"

#include <algorithm>
#include <cstring>

#include "net/ByteCodec.h"
#include "rules/PlayerName.h"
#include "world/Avatar.h"

namespace {

constexpr std::size_t POWERUP_ENTRY_SIZE = 20;
constexpr std::size_t AVATAR_ENTRY_SIZE  = 16;

// Game messages are runs of little-endian int32 fields after their id.
class MessageWriter {
public:
    explicit MessageWriter(const GameMessage id) { put(id); }

    MessageWriter& put(const std::int32_t value) {
        writer.putI32(value);
        return *this;
    }
    MessageWriter& put(const Position pos) { return put(pos.x).put(pos.y); }
    MessageWriter& putBytes(const void* const data, const std::size_t size) {
        writer.putBytes(data, size);
        return *this;
    }
    MessageBuffer bytes() { return writer.takeBytes(); }

private:
    ByteWriter writer;
};

class MessageReader : public ByteReader {
public:
    explicit MessageReader(const MessageBuffer& message) : ByteReader(message) {}

    std::int32_t get() { return getI32(); }
    Position     getPosition() {
            const std::int32_t x = get();
            return {x, get()};
    }
};

// A reader positioned after the id, when the message has this id and at least this size.
std::optional<MessageReader> readerFor(const MessageBuffer& message, const GameMessage id, const std::size_t size) {
    if (message.size() < size || messageId(message) != id) {
        return std::nullopt;
    }
    MessageReader reader(message);
    reader.get();
    return reader;
}

}  // namespace

AvatarStateMessage stateOf(const Avatar& avatar) {
    return {avatar.id, avatar.left, avatar.right, avatar.up, avatar.down, avatar.fire, avatar.pos};
}

AvatarStatusMessage statusOf(const Avatar& avatar) {
    return {avatar.id, avatar.pos, avatar.hp, avatar.score, avatar.ammo};
}

std::int32_t messageId(const MessageBuffer& message) {
    if (message.size() < 4) {
        return -1;
    }
    return MessageReader(message).get();
}

MessageBuffer encodeYourAvatar(const std::int32_t avatarId) {
    return MessageWriter(MSG_YOUR_AVATAR).put(avatarId).bytes();
}

MessageBuffer encodeWorldSetup(const WorldSetupMessage& setup) {
    const auto    nameLength = static_cast<std::int32_t>(setup.mapName.size() + 1);
    MessageWriter writer(MSG_WORLD_SETUP);
    writer.put(nameLength).putBytes(setup.mapName.c_str(), static_cast<std::size_t>(nameLength));
    writer.put(static_cast<std::int32_t>(setup.entries.size()));
    for (const WorldEntry& entry : setup.entries) {
        writer.put(entry.kind).put(entry.pos);
        if (entry.kind == entry_powerup) {
            writer.put(entry.type);
        }
        writer.put(entry.id);
    }
    return writer.bytes();
}

MessageBuffer encodeAvatarState(const AvatarStateMessage& state) {
    return MessageWriter(MSG_AVATAR_STATE)
        .put(state.avatarId)
        .put(state.left)
        .put(state.right)
        .put(state.up)
        .put(state.down)
        .put(state.fire)
        .put(state.pos)
        .bytes();
}

MessageBuffer encodeAvatarRemove(const std::int32_t avatarId) {
    return MessageWriter(MSG_AVATAR_REMOVE).put(avatarId).bytes();
}

MessageBuffer encodeAvatarRespawn(const AvatarRespawnMessage& respawn) {
    return MessageWriter(MSG_AVATAR_RESPAWN).put(respawn.avatarId).put(respawn.pos).bytes();
}

MessageBuffer encodeAvatarHp(const AvatarHpMessage& hp) {
    return MessageWriter(MSG_AVATAR_HP).put(hp.avatarId).put(hp.hp).bytes();
}

MessageBuffer encodeScore(const ScoreMessage& score) {
    return MessageWriter(MSG_SCORE).put(score.avatarId).put(score.score).bytes();
}

MessageBuffer encodePowerupTaken(const PowerupTakenMessage& taken) {
    return MessageWriter(MSG_POWERUP_TAKEN).put(taken.avatarId).put(taken.powerupId).bytes();
}

MessageBuffer encodePowerupSpawn(const PowerupSpawnMessage& spawn) {
    return MessageWriter(MSG_POWERUP_SPAWN).put(spawn.pos).put(spawn.type).put(spawn.powerupId).bytes();
}

MessageBuffer encodeAvatarStatus(const AvatarStatusMessage& status) {
    return MessageWriter(MSG_AVATAR_STATUS)
        .put(status.avatarId)
        .put(status.pos)
        .put(status.hp)
        .put(status.score)
        .put(status.ammo)
        .bytes();
}

MessageBuffer encodeAvatarAdd(const AvatarAddMessage& add) {
    return MessageWriter(MSG_AVATAR_ADD).put(add.avatarId).put(add.pos).bytes();
}

MessageBuffer encodeAvatarName(const AvatarNameMessage& name) {
    const std::size_t length = std::min(name.name.size(), MAX_NAME_BYTES);
    return MessageWriter(MSG_AVATAR_NAME)
        .put(name.avatarId)
        .put(static_cast<std::int32_t>(length))
        .putBytes(name.name.data(), length)
        .bytes();
}

MessageBuffer encodeKill(const KillMessage& kill) {
    return MessageWriter(MSG_KILL).put(kill.victimId).put(kill.killerId).bytes();
}

MessageBuffer encodeRoundTrips(const std::vector<RoundTrip>& trips) {
    const auto    count = static_cast<std::int32_t>(std::min<std::size_t>(trips.size(), MAX_ROUND_TRIPS));
    MessageWriter writer(MSG_ROUND_TRIPS);
    writer.put(count);
    for (std::int32_t i = 0; i < count; ++i) {
        writer.put(trips[static_cast<std::size_t>(i)].avatarId).put(trips[static_cast<std::size_t>(i)].ms);
    }
    return writer.bytes();
}

std::optional<std::int32_t> decodeYourAvatar(const MessageBuffer& message) {
    auto reader = readerFor(message, MSG_YOUR_AVATAR, YOUR_AVATAR_SIZE);
    if (!reader) {
        return std::nullopt;
    }
    return reader->get();
}

std::optional<WorldSetupMessage> decodeWorldSetup(const MessageBuffer& message) {
    auto reader = readerFor(message, MSG_WORLD_SETUP, 12);
    if (!reader) {
        return std::nullopt;
    }
    const std::int32_t nameLength = reader->get();
    if (nameLength < 0 || nameLength > MAX_MAP_NAME_LENGTH || !reader->has(static_cast<std::size_t>(nameLength))) {
        return std::nullopt;
    }
    WorldSetupMessage setup;
    const auto* const name = reinterpret_cast<const char*>(reader->here());
    setup.mapName.assign(name, strnlen(name, static_cast<std::size_t>(nameLength)));
    reader->skip(static_cast<std::size_t>(nameLength));

    const std::int32_t count = reader->get();
    if (!reader->ok() || count < 0) {
        return std::nullopt;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        WorldEntry entry{};
        entry.kind = reader->get();
        if (!reader->has(entry.kind == entry_powerup ? POWERUP_ENTRY_SIZE - 4 : AVATAR_ENTRY_SIZE - 4)) {
            return std::nullopt;
        }
        entry.pos = reader->getPosition();
        if (entry.kind == entry_powerup) {
            entry.type = reader->get();
        }
        entry.id = reader->get();
        setup.entries.push_back(entry);
    }
    return setup;
}

std::optional<AvatarStateMessage> decodeAvatarState(const MessageBuffer& message) {
    auto reader = readerFor(message, MSG_AVATAR_STATE, AVATAR_STATE_SIZE);
    if (!reader) {
        return std::nullopt;
    }
    AvatarStateMessage state{};
    state.avatarId = reader->get();
    state.left     = reader->get();
    state.right    = reader->get();
    state.up       = reader->get();
    state.down     = reader->get();
    state.fire     = reader->get();
    state.pos      = reader->getPosition();
    return state;
}

std::optional<std::int32_t> decodeAvatarRemove(const MessageBuffer& message) {
    auto reader = readerFor(message, MSG_AVATAR_REMOVE, AVATAR_REMOVE_SIZE);
    if (!reader) {
        return std::nullopt;
    }
    return reader->get();
}

std::optional<AvatarRespawnMessage> decodeAvatarRespawn(const MessageBuffer& message) {
    auto reader = readerFor(message, MSG_AVATAR_RESPAWN, AVATAR_RESPAWN_SIZE);
    if (!reader) {
        return std::nullopt;
    }
    const std::int32_t avatarId = reader->get();
    return AvatarRespawnMessage{avatarId, reader->getPosition()};
}

std::optional<AvatarHpMessage> decodeAvatarHp(const MessageBuffer& message) {
    auto reader = readerFor(message, MSG_AVATAR_HP, AVATAR_HP_SIZE);
    if (!reader) {
        return std::nullopt;
    }
    const std::int32_t avatarId = reader->get();
    return AvatarHpMessage{avatarId, reader->get()};
}

std::optional<ScoreMessage> decodeScore(const MessageBuffer& message) {
    auto reader = readerFor(message, MSG_SCORE, SCORE_SIZE);
    if (!reader) {
        return std::nullopt;
    }
    const std::int32_t avatarId = reader->get();
    return ScoreMessage{avatarId, reader->get()};
}

std::optional<PowerupTakenMessage> decodePowerupTaken(const MessageBuffer& message) {
    auto reader = readerFor(message, MSG_POWERUP_TAKEN, POWERUP_TAKEN_SIZE);
    if (!reader) {
        return std::nullopt;
    }
    const std::int32_t avatarId = reader->get();
    return PowerupTakenMessage{avatarId, reader->get()};
}

std::optional<PowerupSpawnMessage> decodePowerupSpawn(const MessageBuffer& message) {
    auto reader = readerFor(message, MSG_POWERUP_SPAWN, POWERUP_SPAWN_SIZE);
    if (!reader) {
        return std::nullopt;
    }
    PowerupSpawnMessage spawn{};
    spawn.pos       = reader->getPosition();
    spawn.type      = reader->get();
    spawn.powerupId = reader->get();
    return spawn;
}

std::optional<AvatarStatusMessage> decodeAvatarStatus(const MessageBuffer& message) {
    auto reader = readerFor(message, MSG_AVATAR_STATUS, AVATAR_STATUS_SIZE);
    if (!reader) {
        return std::nullopt;
    }
    AvatarStatusMessage status{};
    status.avatarId = reader->get();
    status.pos      = reader->getPosition();
    status.hp       = reader->get();
    status.score    = reader->get();
    status.ammo     = reader->get();
    return status;
}

std::optional<AvatarAddMessage> decodeAvatarAdd(const MessageBuffer& message) {
    auto reader = readerFor(message, MSG_AVATAR_ADD, AVATAR_ADD_SIZE);
    if (!reader) {
        return std::nullopt;
    }
    const std::int32_t avatarId = reader->get();
    return AvatarAddMessage{avatarId, reader->getPosition()};
}

std::optional<AvatarNameMessage> decodeAvatarName(const MessageBuffer& message) {
    auto reader = readerFor(message, MSG_AVATAR_NAME, AVATAR_NAME_HEAD);
    if (!reader) {
        return std::nullopt;
    }
    AvatarNameMessage name;
    name.avatarId             = reader->get();
    const std::int32_t length = reader->get();
    if (length < 0 || static_cast<std::size_t>(length) > MAX_NAME_BYTES ||
        message.size() != AVATAR_NAME_HEAD + static_cast<std::size_t>(length)) {
        return std::nullopt;
    }
    name.name.assign(reinterpret_cast<const char*>(reader->here()), static_cast<std::size_t>(length));
    return name;
}

std::optional<KillMessage> decodeKill(const MessageBuffer& message) {
    auto reader = readerFor(message, MSG_KILL, KILL_SIZE);
    if (!reader) {
        return std::nullopt;
    }
    const std::int32_t victimId = reader->get();
    return KillMessage{victimId, reader->get()};
}

std::optional<std::vector<RoundTrip>> decodeRoundTrips(const MessageBuffer& message) {
    auto reader = readerFor(message, MSG_ROUND_TRIPS, ROUND_TRIPS_HEAD);
    if (!reader) {
        return std::nullopt;
    }
    const std::int32_t count = reader->get();
    if (count < 0 || count > MAX_ROUND_TRIPS ||
        message.size() != ROUND_TRIPS_HEAD + static_cast<std::size_t>(count) * 8) {
        return std::nullopt;
    }
    std::vector<RoundTrip> trips(static_cast<std::size_t>(count));
    for (RoundTrip& trip : trips) {
        trip.avatarId = reader->get();
        trip.ms       = reader->get();
    }
    return trips;
}
