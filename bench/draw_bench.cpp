// Frames per second of a running single-player game in the real window, the
// map recorded in a display list against its quads sent one by one, in
// alternating blocks of one run so both meet the same machine. Needs a
// display: make bench runs it on a private Xvfb at 400 x 300.
//   draw_bench [FRAMES_PER_BLOCK] [BLOCKS]

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "draw/WorldView.h"
#include "game/Game.h"
#include "platform/FrameState.h"
#include "platform/Platform.h"
#include "shell/Mainfile.h"
#include "world/World.h"

int main(int argc, char** argv) {
    const int framesPerBlock = argc > 1 ? std::atoi(argv[1]) : 300;
    const int blocks         = argc > 2 ? std::atoi(argv[2]) : 6;
    IPlatform quiet;  // a refused screen mode must not wait for a click
    if (!startGame(&quiet)) {
        std::fprintf(stderr, "draw_bench: no window\n");
        return 1;
    }
    std::srand(7);
    CGame::instance().handleCommand(cmd_new_single_player);
    double seconds[2] = {0.0, 0.0};
    for (int block = 0; block < blocks; ++block) {
        const bool recorded = block % 2 == 0;
        recordMapDrawing    = recorded;
        const auto start    = std::chrono::steady_clock::now();
        for (int frame = 0; frame < framesPerBlock; ++frame) {
            frameTime = 0.016f;
            drawFrame();
        }
        seconds[recorded ? 1 : 0] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double frames = static_cast<double>(framesPerBlock) * blocks / 2;
    std::printf("window %dx%d: quads sent one by one %.0f fps, recorded map %.0f fps (%.2fx)\n", screenWidth,
                screenHeight, frames / seconds[0], frames / seconds[1], seconds[0] / seconds[1]);
    endGame();
    return 0;
}
