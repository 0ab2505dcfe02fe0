#pragma once

#include <memory>

class Avatar;
class Bullet;
class CObject;
class Powerup;

// The rules as the world, the keyboard and the game flow see them. The host
// runs the deciding arbiter; every joined player runs one that only reports.
// Every operation of the base class does nothing.
class IArbiter {
public:
    virtual void trySpawnPowerup();
    virtual void respawnAvatar(Avatar& avatar);
    virtual void leaveGame();
    virtual void avatarInputChanged(Avatar& avatar);
    virtual void update();
    // Sets up a new game; false when none could be set up (the player has
    // been told why).
    virtual bool newGame();
    virtual ~IArbiter();
    virtual void pickPowerup(Avatar& avatar, Powerup& powerup);
    virtual void hitAvatar(Avatar& avatar, Bullet& bullet);
    // The end of the game flow's frame, when everything it sends has been said.
    virtual void endFrame();

    // Hands a pair of objects that share a cell to the operation their
    // classes call for: an avatar with a powerup or with a bullet. Any other
    // pair does nothing.
    void collide(CObject& a, CObject& b);
};

// The arbiter of the game set up in this process, or null when there is none.
IArbiter* getArbiter();

// The arbiter in use, or one that does nothing when no game is set up, for
// callers that only ever run inside a game.
IArbiter& currentArbiter();

// Makes the arbiter the one in use, owned by the process; a previous one is
// destroyed.
void installArbiter(std::unique_ptr<IArbiter> arbiter);

// Destroys the arbiter in use, if any.
void destroyArbiter();
