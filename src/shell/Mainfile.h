#pragma once

// The program: start-up, the frame loop and the drawing of one frame.

struct Launch;
class IPlatform;

// The whole program, start to end, as start-up settled it; hosts at once
// when asked to. Returns the exit code: 1 when there is no window, or no
// game could be hosted.
int runGame(const Launch& launch, bool hostAtOnce);

// Start-up up to the first pass: the random seed, the desktop, the window.
// False when the window could not be made (the player has been told).
// The desktop's message boxes and dialog are SDL's unless one is given.
bool startGame(IPlatform* desktop = nullptr);

// One pass of the frame loop: time, at most one event, a frame, F2. False
// once the quit message was taken or the window could not be made again.
bool runPass();

// Closes the window; the exit code of the quit message.
int endGame();

// Draws and shows one frame, advancing the game by one frame.
bool drawFrame();

// Everything drawFrame draws, before the buffers are swapped.
void renderFrame();

// The game's picture as it stands, advancing nothing: the backdrop of a dialog.
void drawStillFrame();
