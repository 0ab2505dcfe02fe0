#pragma once

#include <SDL.h>

#include <functional>

// The one game window and its OpenGL context.

// The window was made full screen with a changed display mode.
extern bool fullscreen;

// Whether the display can change to a full-screen mode of this size; fills
// in the mode. The display's own answer unless a test gives another.
extern std::function<bool(int width, int height, SDL_DisplayMode& mode)> fullscreenModeAvailable;

// Makes the window and its context; on failure says why and releases what
// it had made.
bool openWindow(const char* title, int width, int height, int bits, bool fullscreenRequested);
void closeWindow();
// The drawing area below the menu bar changed size.
void resizeView(int width, int height);
bool initRenderState();
void attachGameMenu();

SDL_Window* gameWindow();
// How long a frame should take when the driver does not wait for the
// display's refresh: one refresh at the display's rate (60 Hz when it does
// not say); 0 when the buffer swap already waits for it.
Uint32 framePacingMs();
void   swapWindowBuffers();
