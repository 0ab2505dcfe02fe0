#pragma once

#include <SDL.h>

// The one game window and its OpenGL context.

// The window was made full screen with a changed display mode.
extern bool fullscreen;

// Makes the window and its context; on failure says why and releases what
// it had made.
bool openWindow(const char* title, int width, int height, int bits, bool fullscreenRequested);
void closeWindow();
// The drawing area below the menu bar changed size.
void resizeView(int width, int height);
bool initRenderState();
void attachGameMenu();

SDL_Window* gameWindow();
void swapWindowBuffers();
