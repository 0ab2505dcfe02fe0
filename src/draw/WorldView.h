#pragma once

// The world as the game view shows it: the map's cells, its outline and
// every object, in world units (one cell per unit); the caller sets the view.

class CWorld;
class CObject;

void drawWorld(const CWorld& world);
void drawObject(const CObject& object);

// A new OpenGL context holds none of the lists drawing made in the old one.
void forgetWorldDrawing();

// Off, the map's quads are sent one by one every frame, as they once were;
// for measuring what the recorded map saves.
extern bool recordMapDrawing;
