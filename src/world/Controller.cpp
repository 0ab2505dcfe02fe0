#include "world/Controller.h"

void Controller::update() {}

Controller::~Controller() = default;

void Controller::setAvatar(Avatar* const steered) {
    avatar = steered;
}
