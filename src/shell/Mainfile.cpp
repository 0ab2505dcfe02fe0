#include "shell/Mainfile.h"

#include <GL/gl.h>
#include <SDL.h>
#include <backends/imgui_impl_opengl2.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "draw/GameScreen.h"
#include "game/Game.h"
#include "game/Launch.h"
#include "net/NetTypes.h"
#include "platform/FrameState.h"
#include "platform/Platform.h"
#include "platform/VirtualKeys.h"
#include "rules/Replay.h"
#include "shell/Gamepads.h"
#include "shell/Menu.h"
#include "shell/Options.h"
#include "shell/PlaybackBar.h"
#include "shell/SdlPlatform.h"
#include "shell/Sound.h"
#include "shell/Window.h"
#include "shell/WindowProc.h"

namespace {

constexpr const char* TITLE        = "Quillstep";
constexpr int         COLOUR_BITS  = 32;
constexpr float       FPS_INTERVAL = 2.0f;

Uint32 loopStart    = 0;
Uint32 lastPass     = 0;
int    fpsFrames    = 0;
float  fpsCountdown = FPS_INTERVAL;
int    quitCode     = 0;

// SDL falls back to drawing off screen when there is no display; a game
// nobody can see is an error, unless a driver was asked for by name.
bool videoAvailable() {
    if (SDL_getenv("SDL_VIDEODRIVER") == nullptr) {
        const bool waylandOnly = SDL_getenv("DISPLAY") == nullptr && SDL_getenv("WAYLAND_DISPLAY") != nullptr;
        SDL_SetHint(SDL_HINT_VIDEODRIVER, waylandOnly ? "wayland" : "x11");
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return false;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return true;
}

void drawMenu() {
    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    drawMenuBar();
    drawOptions();
    drawPlaybackBar();
    ImGui::Render();
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
}

void resetMatrices() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
}

// The window as the player last left it, or the first start's size.
void windowSize(const int firstWidth, const int firstHeight) {
    const Settings& settings = CGame::instance().settings;
    const bool      known    = settings.windowWidth > 0 && settings.windowHeight > 0;
    screenWidth              = known ? settings.windowWidth : firstWidth;
    screenHeight             = known ? settings.windowHeight : firstHeight;
}

// F2: a full screen near 1024 x 768, or back to the window (640 x 480 until
// the player resizes it).
bool toggleFullscreen() {
    keys[VK_F2] = 0;
    closeWindow();
    fullscreen = !fullscreen;
    if (fullscreen) {
        screenWidth  = 1024;
        screenHeight = 768;
    } else {
        windowSize(640, 480);
    }
    const bool opened        = openWindow(TITLE, screenWidth, screenHeight, COLOUR_BITS, fullscreen);
    CGame&     game          = CGame::instance();
    game.settings.fullscreen = fullscreen;  // the next start opens the same way
    game.rememberSettings();
    return opened;
}

// A window out of sight draws this often; the game's time still follows the clock.
constexpr Uint32 BEHIND_PACING_MS = 100;

// Without vsync, a frame waits out the rest of its refresh, unless an event
// arrives: the loop takes one event a pass, and events must not queue up.
void waitForNextFrame(const Uint32 passStart) {
    const Uint32 pacing = inFront ? framePacingMs() : BEHIND_PACING_MS;
    const Uint32 spent  = SDL_GetTicks() - passStart;
    if (pacing == 0 || spent >= pacing) {
        return;
    }
    SDL_WaitEventTimeout(nullptr, static_cast<int>(pacing - spent));
}

}  // namespace

bool startGame(IPlatform* const desktop) {
    if (fullscreen) {
        screenWidth  = 1024;
        screenHeight = 768;
    } else {
        windowSize(400, 300);
    }
    std::memset(keys, 0, sizeof keys);
    std::memset(prevKeys, 0, sizeof prevKeys);
    elapsedTime = 0.0f;
    frameTime   = 0.0f;
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    fps = 0.0f;

    static SdlPlatform sdlDesktop;
    setPlatform(desktop != nullptr ? desktop : &sdlDesktop);
    // The close box ends the game itself, in the order the game wants.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0");
    if (!videoAvailable()) {
        std::fprintf(stderr, "quillstep: no display to open a window on (%s); set DISPLAY, or host with --dedicated\n",
                     SDL_GetError());
        return false;
    }
    if (ImGui::GetCurrentContext() == nullptr) {
        createMenuContext();
    }
    if (!openWindow(TITLE, screenWidth, screenHeight, COLOUR_BITS, fullscreen)) {
        PlatformMessage message;
        message.text  = "The window could not be created.";
        message.title = "Initialization error";
        message.icon  = MessageIcon::exclamation;
        platform().showMessage(message);
        std::fprintf(stderr, "quillstep: the game's window could not be created (%s)\n", SDL_GetError());
        return false;
    }
    SDL_DisableScreenSaver();
    startGamepads();
    loopStart = SDL_GetTicks();
    lastPass  = loopStart;
    return true;
}

bool runPass() {
    // Unsigned differences stay right when the millisecond clock wraps.
    const Uint32 now = SDL_GetTicks();
    elapsedTime      = static_cast<float>(static_cast<Uint32>(now - loopStart)) * 0.001f;
    setFrameTime(static_cast<float>(static_cast<Uint32>(now - lastPass)) * 0.001f);
    lastPass = now;

    bool      quit = false;
    SDL_Event event;
    if (SDL_PollEvent(&event) != 0) {
        quit = windowProc(event, quitCode);
    }
    if (active) {
        drawFrame();
    }
    waitForNextFrame(now);
    if ((keys[VK_F2] != 0 || takeFullscreenRequest()) && !toggleFullscreen()) {
        quitCode = 0;
        return false;
    }
    return !quit;
}

int endGame() {
    if (windowResized) {
        // Only then: another copy of the game may have saved since this one started.
        CGame::instance().rememberSettings();
    }
    stopGamepads();
    closeWindow();
    setPlatform(nullptr);
    return quitCode;
}

int runGame(const Launch& launch, const bool hostAtOnce) {
    fullscreen = launch.fullscreen;
    Sound::setVolume(launch.volume);
    if (!startGame()) {
        return 1;
    }
    CGame& game = CGame::instance();
    if (hostAtOnce) {
        game.handleCommand(cmd_host_game);
        game.finishHosting();
        if (game.state != state_hosting) {
            std::fprintf(stderr, "quillstep: no game could be hosted on UDP port %u\n", game.gamePort);
            endGame();
            return 1;
        }
    } else if (launch.connectAddress) {
        game.joinAt(*launch.connectAddress);
    } else if (launch.playFile) {
        if (const std::optional<std::string> why = game.startPlayback(*launch.playFile)) {
            showError("The demo cannot be played: " + *why);
        }
    }
    while (runPass()) {
    }
    return endGame();
}

void renderFrame() {
    resetMatrices();
    CGame& game = CGame::instance();
    game.update();
    drawGame(game);
    drawMenu();
    // What playing a demo to its end proved, for whoever started it.
    static bool told = false;
    if (game.state == state_playback && replay().atEnd() && !told) {
        told = true;
        std::printf("%s\n", replay().verdict().c_str());
        std::fflush(stdout);
    }
}

bool drawFrame() {
    renderFrame();
    swapWindowBuffers();
    fpsCountdown -= frameTime;
    ++fpsFrames;
    std::memcpy(prevKeys, keys, sizeof keys);
    if (fpsCountdown <= 0.0f) {
        fps          = static_cast<float>(fpsFrames) * 0.5f;
        fpsFrames    = 0;
        fpsCountdown = FPS_INTERVAL;
    }
    return true;
}

void drawStillFrame() {
    resetMatrices();
    drawGame(CGame::instance());
}
