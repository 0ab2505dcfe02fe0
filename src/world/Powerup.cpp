#include "world/Powerup.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>

#include "platform/FrameState.h"
#include "platform/GameAssert.h"
#include "world/Avatar.h"

namespace {

constexpr std::int32_t AMMO_GAIN   = 20;
constexpr std::int32_t HEALTH_GAIN = 25;

}  // namespace

Powerup::Powerup() : CObject(KIND), type(std::rand() % 2) {}

void Powerup::update() {}

void Powerup::applyTo(Avatar& avatar) const {
    switch (type) {
        case powerup_ammo:
            avatar.ammo = std::min(avatar.ammo + AMMO_GAIN, AMMO_CAP);
            break;
        case powerup_health:
            avatar.hp = std::min(avatar.hp + HEALTH_GAIN, HEALTH_CAP);
            break;
        default:
            reportAssertionFailure("(\"invalid powerup type\",false)", SITE_POWERUP_TYPE);
    }
}

void Powerup::draw() const {
    const float angle = id * 30 + elapsedTime * 72.0f;
    glPushMatrix();
    glTranslatef(pos.x + 0.5f, pos.y + 0.5f, 0.0f);
    if (type == powerup_ammo) {
        glColor3ub(255, 255, 0);
        glRotatef(angle, 0.0f, 1.0f, 0.0f);
    } else if (type == powerup_health) {
        glColor3ub(128, 220, 255);
        glRotatef(angle, 0.0f, 0.0f, 1.0f);
    }
    glBegin(GL_QUADS);
    glVertex2f(-0.5f, -0.5f);
    glVertex2f(-0.5f, 0.5f);
    glVertex2f(0.5f, 0.5f);
    glVertex2f(0.5f, -0.5f);
    glEnd();
    glPopMatrix();
}
