#pragma once

// The menu "Game" above the game view. Its commands are posted to the
// window procedure and carried out in a later pass, as menu commands are.

constexpr int ID_NEW_SINGLE_PLAYER = 40001;
constexpr int ID_HOST_MULTIPLAYER  = 40002;
constexpr int ID_QUIT              = 40003;
constexpr int ID_EXIT_CURRENT_GAME = 40004;
constexpr int ID_JOIN_MULTIPLAYER  = 40005;

// Sets up Dear ImGui for the whole process; once, before the first window.
void createMenuContext();
void destroyMenuContext();

// The height of the menu bar in pixels.
int menuBarHeight();

// Builds and draws the menu bar for this frame. A disabled bar shows but
// does not answer (while a dialog is up).
void drawMenuBar(bool enabled = true);

// Alt+G.
void openGameMenu();

// While the menu is open, key presses belong to it.
bool isGameMenuOpen();
