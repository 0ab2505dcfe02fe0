#pragma once

// The point of the world at the centre of the game view, in cells. It glides
// after the local avatar and keeps its place between games.
struct Camera {
    float x = 0.0f;
    float y = 0.0f;
};

extern Camera camera;

// One swinging cog wheel of the menu backdrop: n teeth around (cx, cy).
void drawCog(int n, float cx, float cy, float inner, float outer, float phase, float speed);
void drawBackground();
void drawDeathScreen(float releaseTimer);
