#include "world/Bullet.h"

#include <GL/gl.h>

#include "platform/FrameState.h"
#include "world/World.h"

Position bulletStep(const std::int32_t direction) {
    static constexpr Position STEPS[8] = {
        {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}, {1, 0}, {1, 1},
    };
    return STEPS[direction];
}

Bullet::Bullet() : CObject(KIND, nextBulletId--) {}

void Bullet::update() {
    moveTimer -= frameTime;
    direction = (direction + 8) % 8;
    if (moveTimer > 0.0f) {
        return;
    }
    const Position delta = bulletStep(direction);
    pos.x += delta.x;
    pos.y += delta.y;
    if (CWorld::instance().isBlocked(pos)) {
        removed = true;
    } else {
        moveTimer = 1.0f / speed;
    }
}

void Bullet::draw() const {
    glColor3f(1.0f, 1.0f, 0.0f);
    glPushMatrix();
    glTranslatef(pos.x + 0.5f, pos.y + 0.5f, 0.0f);
    glRotatef(direction * 45.0f, 0.0f, 0.0f, 1.0f);
    glBegin(GL_LINES);
    glVertex2f(0.0f, -0.5f);
    glVertex2f(0.0f, 0.5f);
    glEnd();
    glPopMatrix();
}
