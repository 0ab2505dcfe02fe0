// The host's arbiter fed arbitrary messages from arbitrary players, with
// frames of the world in between. Runs from the source folder (Levels/).

#include <cstdlib>

#include "FuzzSupport.h"
#include "platform/FrameState.h"
#include "rules/Arbiter.h"
#include "world/Object.h"
#include "world/World.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* const data, const std::size_t size) {
    static SilentPlatform platform;
    static FuzzSession    session;
    setPlatform(&platform);
    setGameSession(&session);
    session.server = std::make_unique<NowhereServer>();
    // Fresh numbering each run: powerups 0 to 9, then the avatars of
    // players 1, 2 and 3 as 10, 11 and 12, so inputs can name them.
    nextObjectId = 0;
    nextBulletId = -1;
    std::srand(1);
    createArbiter();
    if (!currentArbiter().newGame()) {
        std::abort();  // the shipped map must load
    }
    frameTime = 0.02f;
    for (const Piece& piece : splitInput(data, size, true)) {
        session.server->incoming.push({piece.sender % 5u, piece.bytes});
        currentArbiter().update();
        CWorld::instance().update();
    }
    destroyArbiter();
    CWorld::instance().clearObjects();
    return 0;
}
