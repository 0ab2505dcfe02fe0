#include "world/Controller.h"

void Controller::update() {}

Controller::~Controller() = default;

bool Controller::isPlayer() const {
    return false;
}

void Controller::setAvatar(Avatar* const steered) {
    avatar = steered;
}
