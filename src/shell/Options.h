#pragma once

// The options window Esc opens over the game: the player's name, the
// volume, full screen, the keys and the gamepad, and the ways out. Every
// change is saved in the settings file at once. The game goes on beneath
// it: a network game cannot wait for one player.

void openOptions();
void closeOptions();
bool isOptionsOpen();

// The options wait for a key to bind to the action's slot (its button was clicked).
void bindNextKey(int action, int slot);
// A key pressed while the options wait for one to bind (a virtual-key
// code): taken, and true. Esc keeps the old binding, Delete clears it.
bool takeKeyForBinding(int code);

// Builds the window in this ImGui frame, when open.
void drawOptions();

// The full-screen box asked for the other mode; the frame loop switches.
bool takeFullscreenRequest();
