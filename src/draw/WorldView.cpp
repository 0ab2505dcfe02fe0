#include "draw/WorldView.h"

#include <GL/gl.h>

#include "platform/FrameState.h"
#include "world/Avatar.h"
#include "world/Bullet.h"
#include "world/Powerup.h"
#include "world/World.h"

bool recordMapDrawing = true;

namespace {

// The map's quads as an OpenGL display list, recorded at the first draw of
// each map the world loads.
struct MapList {
    unsigned list    = 0;
    unsigned version = 0;
    bool     ready   = false;
};
MapList mapList;

void setGrey(const bool wall) {
    const float grey = wall ? 1.0f : 0.2f;
    glColor3f(grey, grey, grey);
}

void sendCellQuads(const CWorld& world) {
    glBegin(GL_QUADS);
    for (int y = 0; y < MAPSIZE; ++y) {
        for (int x = 0; x < MAPSIZE; ++x) {
            setGrey(world.isWall(x, y));
            glVertex2i(x, y);
            glVertex2i(x, y + 1);
            glVertex2i(x + 1, y + 1);
            glVertex2i(x + 1, y);
        }
    }
    glEnd();
}

// Each run of like cells along a row as one quad: the same pixels as its
// cells one by one (adjacent quads share their edges exactly), a sixth of
// the vertices on the shipped map.
void sendCellRuns(const CWorld& world) {
    glBegin(GL_QUADS);
    for (int y = 0; y < MAPSIZE; ++y) {
        int x = 0;
        while (x < MAPSIZE) {
            const bool wall = world.isWall(x, y);
            int        end  = x + 1;
            while (end < MAPSIZE && world.isWall(end, y) == wall) {
                ++end;
            }
            setGrey(wall);
            glVertex2i(x, y);
            glVertex2i(x, y + 1);
            glVertex2i(end, y + 1);
            glVertex2i(end, y);
            x = end;
        }
    }
    glEnd();
}

// The map changes only when one loads, so its quads are recorded once and
// replayed each frame.
void drawCells(const CWorld& world) {
    if (!recordMapDrawing) {
        sendCellQuads(world);
        return;
    }
    if (!mapList.ready || mapList.version != world.mapVersion()) {
        if (mapList.list == 0) {
            mapList.list = glGenLists(1);
        }
        if (mapList.list == 0) {
            sendCellQuads(world);  // no list to be had: draw them directly
            return;
        }
        glNewList(mapList.list, GL_COMPILE);
        sendCellRuns(world);
        glEndList();
        mapList.version = world.mapVersion();
        mapList.ready   = true;
    }
    glCallList(mapList.list);
}

void unitQuad() {
    glBegin(GL_QUADS);
    glVertex2f(-0.5f, -0.5f);
    glVertex2f(-0.5f, 0.5f);
    glVertex2f(0.5f, 0.5f);
    glVertex2f(0.5f, -0.5f);
    glEnd();
}

void drawAvatar(const Avatar& avatar) {
    if (avatar.isOwn()) {
        glColor3ub(9, 225, 9);
    } else {
        glColor3f(0.8f, 0.1f, 0.0f);
    }
    if (avatar.hp <= 0) {
        glColor3ub(120, 16, 73);
    }
    glPushMatrix();
    glTranslatef(avatar.pos.x + 0.5f, avatar.pos.y + 0.5f, 0.0f);
    unitQuad();
    glRotatef(avatar.direction * 45.0f, 0.0f, 0.0f, 1.0f);
    glBegin(GL_TRIANGLES);
    glVertex2f(-0.3f, 1.3f);
    glVertex2f(0.3f, 1.3f);
    glVertex2f(0.0f, -0.5f);
    glEnd();
    glPopMatrix();
}

void drawBullet(const Bullet& bullet) {
    glColor3f(1.0f, 1.0f, 0.0f);
    glPushMatrix();
    glTranslatef(bullet.pos.x + 0.5f, bullet.pos.y + 0.5f, 0.0f);
    glRotatef(bullet.direction * 45.0f, 0.0f, 0.0f, 1.0f);
    glBegin(GL_LINES);
    glVertex2f(0.0f, -0.5f);
    glVertex2f(0.0f, 0.5f);
    glEnd();
    glPopMatrix();
}

void drawPowerup(const Powerup& powerup) {
    const float angle = powerup.id * 30 + elapsedTime * 72.0f;
    glPushMatrix();
    glTranslatef(powerup.pos.x + 0.5f, powerup.pos.y + 0.5f, 0.0f);
    if (powerup.type == powerup_ammo) {
        glColor3ub(255, 255, 0);
        glRotatef(angle, 0.0f, 1.0f, 0.0f);
    } else if (powerup.type == powerup_health) {
        glColor3ub(128, 220, 255);
        glRotatef(angle, 0.0f, 0.0f, 1.0f);
    }
    unitQuad();
    glPopMatrix();
}

}  // namespace

void drawObject(const CObject& object) {
    switch (object.kind) {
        case ObjectKind::avatar:
            drawAvatar(static_cast<const Avatar&>(object));
            break;
        case ObjectKind::bullet:
            drawBullet(static_cast<const Bullet&>(object));
            break;
        case ObjectKind::powerup:
            drawPowerup(static_cast<const Powerup&>(object));
            break;
    }
}

void drawWorld(const CWorld& world) {
    drawCells(world);

    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_LINE_LOOP);
    glVertex2i(0, 0);
    glVertex2i(0, MAPSIZE);
    glVertex2i(MAPSIZE, MAPSIZE);
    glVertex2i(MAPSIZE, 0);
    glEnd();

    for (const auto& object : world.getObjects()) {
        drawObject(*object);
    }
}

void forgetWorldDrawing() {
    mapList = MapList{};
}
