#pragma once

#include "rules/IArbiter.h"

// The rules on a joined player's machine decide nothing: they report this
// player's input and leaving to the host, and take bullets that strike
// another avatar off the screen at once. Everything else comes from the host.
class LocalArbiter : public IArbiter {
public:
    // The match's clocks run here as on the host; the host's messages set them.
    void update() override;
    void leaveGame() override;
    void avatarInputChanged(Avatar& avatar) override;
    void hitAvatar(Avatar& avatar, Bullet& bullet) override;
};

void createLocalArbiter();
