#pragma once

class Avatar;

// Steers one avatar on the machine where it runs. The base kind steers nothing.
class Controller {
public:
    virtual void update() {}
    virtual ~Controller() = default;
    // True when this machine's player steers through it, not the machine itself.
    virtual bool isPlayer() const { return false; }

    void setAvatar(Avatar* const steered) { avatar = steered; }

protected:
    Avatar* avatar = nullptr;  // not owned: the avatar owns its controller
};
