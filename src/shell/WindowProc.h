#pragma once

#include <SDL.h>

#include <functional>

// Where the desktop's events meet the game: key states, the minimized flag,
// the view size, and the game commands of the menu, ENTER and the close box.

// False while the window is minimized: nothing is drawn and the game stands still.
extern bool active;
// False while another window has the keyboard or this one is hidden: the
// game draws only a few frames a second.
extern bool inFront;
// The player resized the window since the start: its size is worth saving.
extern bool windowResized;

// Where game commands go; the game's handleCommand unless a test listens.
extern std::function<void(int)> handleGameCommand;

// Queue a menu command or the quit message, to be handled in a later pass.
void postMenuCommand(int id);
void postQuitMessage(int exitCode);

// Handles one event. True when it was the quit message; `exitCode` then holds its code.
bool windowProc(const SDL_Event& event, int& exitCode);

// The Windows virtual-key code of an SDL key, or -1 for keys the game does not know.
int virtualKeyOf(SDL_Keycode key);
