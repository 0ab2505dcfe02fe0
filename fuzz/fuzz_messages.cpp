// Every game-message decoder on arbitrary bytes; whatever decodes must
// encode back to a message that decodes to the same fields.

#include <cstdlib>

#include "rules/GameMessages.h"

namespace {

template <class Message, class Decode, class Encode>
void roundTrip(const MessageBuffer& bytes, Decode decode, Encode encode) {
    if (const std::optional<Message> first = decode(bytes)) {
        const std::optional<Message> second = decode(encode(*first));
        if (!second || encode(*second) != encode(*first)) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* const data, const std::size_t size) {
    const MessageBuffer bytes(data, data + size);
    messageId(bytes);
    roundTrip<std::int32_t>(bytes, decodeYourAvatar, encodeYourAvatar);
    roundTrip<WorldSetupMessage>(bytes, decodeWorldSetup, encodeWorldSetup);
    roundTrip<AvatarStateMessage>(bytes, decodeAvatarState, encodeAvatarState);
    roundTrip<std::int32_t>(bytes, decodeAvatarRemove, encodeAvatarRemove);
    roundTrip<AvatarRespawnMessage>(bytes, decodeAvatarRespawn, encodeAvatarRespawn);
    roundTrip<AvatarHpMessage>(bytes, decodeAvatarHp, encodeAvatarHp);
    roundTrip<ScoreMessage>(bytes, decodeScore, encodeScore);
    roundTrip<PowerupTakenMessage>(bytes, decodePowerupTaken, encodePowerupTaken);
    roundTrip<PowerupSpawnMessage>(bytes, decodePowerupSpawn, encodePowerupSpawn);
    roundTrip<AvatarStatusMessage>(bytes, decodeAvatarStatus, encodeAvatarStatus);
    roundTrip<AvatarAddMessage>(bytes, decodeAvatarAdd, encodeAvatarAdd);
    roundTrip<AvatarNameMessage>(bytes, decodeAvatarName, encodeAvatarName);
    roundTrip<KillMessage>(bytes, decodeKill, encodeKill);
    roundTrip<std::vector<RoundTrip>>(bytes, decodeRoundTrips, encodeRoundTrips);
    return 0;
}
