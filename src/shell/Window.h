#pragma once

#include <SDL.h>

#include <functional>

// The one game window and its OpenGL context.

// The window was made full screen with a changed display mode.
extern bool fullscreen;

// How a full screen near this size can be made: in the display's closest
// mode at least as large (filled in), at the desktop's own size (the view
// scales), or not at all. The display's own answer unless a test gives another.
enum class FullscreenWay { displayMode, desktop, none };
extern std::function<FullscreenWay(int width, int height, SDL_DisplayMode& mode)> fullscreenWay;

// Makes the window and its context; on failure says why and releases what
// it had made.
bool openWindow(const char* title, int width, int height, int bits, bool fullscreenRequested);
void closeWindow();
// The size the window was last opened with; a size event of another is the player's doing.
SDL_Point openedSize();
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
