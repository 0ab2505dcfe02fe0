// A joined player's executor fed arbitrary messages from its host, with
// frames of the world in between: whatever arrives, the player must not
// crash, assert or hang. Runs from the source folder (Levels/).

#include "FuzzSupport.h"
#include "platform/FrameState.h"
#include "rules/Executor.h"
#include "rules/IArbiter.h"
#include "rules/LocalArbiter.h"
#include "world/Object.h"
#include "world/World.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* const data, const std::size_t size) {
    static SilentPlatform platform;
    static FuzzSession    session;
    setPlatform(&platform);
    setGameSession(&session);
    createLocalArbiter();

    CWorld& world = CWorld::instance();
    world.clearObjects();
    session.avatar  = nullptr;
    session.waiting = true;
    nextBulletId    = -1;
    frameTime       = 0.02f;
    for (const Piece& piece : splitInput(data, size, false)) {
        session.client.incoming.push(piece.bytes);
        // As the game flow takes the outcome: a refused world leaves nothing behind.
        switch (Executor::instance().processMessages()) {
            case MessagesOutcome::worldBuilt:
                session.waiting = false;
                break;
            case MessagesOutcome::worldRefused:
                world.clearObjects();
                session.avatar = nullptr;
                break;
            case MessagesOutcome::applied:
                break;
        }
        if (!session.waiting && !world.getObjects().empty()) {
            world.update();
        }
    }
    world.clearObjects();
    return 0;
}
