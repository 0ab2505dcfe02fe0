#include <cstdio>

// The window, the frame loop and the menus come next; until then the program
// only says so.
int main() {
    std::puts("Quillstep: the game window is not built yet, so the game is not playable yet.");
    return 0;
}
