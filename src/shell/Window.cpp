#include "shell/Window.h"

#include <GL/gl.h>
#include <backends/imgui_impl_opengl2.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include "draw/Text.h"
#include "draw/WorldView.h"
#include "platform/FrameState.h"
#include "platform/Platform.h"
#include "shell/Menu.h"

bool fullscreen = false;

std::function<FullscreenWay(int, int, SDL_DisplayMode&)> fullscreenWay = [](const int width, const int height,
                                                                            SDL_DisplayMode& mode) {
    const SDL_DisplayMode wanted{SDL_PIXELFORMAT_RGB888, width, height, 0, nullptr};
    if (SDL_GetClosestDisplayMode(0, &wanted, &mode) != nullptr) {
        return FullscreenWay::displayMode;
    }
    // Every mode is smaller (or the display lists none): the desktop as it is.
    return SDL_GetDesktopDisplayMode(0, &mode) == 0 ? FullscreenWay::desktop : FullscreenWay::none;
};

namespace {

SDL_Window*   window = nullptr;
SDL_Point     opened{0, 0};
SDL_GLContext context      = nullptr;
bool          videoStarted = false;
bool          menuAttached = false;

void showWindowError(const char* const text, const char* const title, const MessageIcon icon,
                     const MessageButtons buttons = MessageButtons::ok) {
    PlatformMessage message;
    message.text    = text;
    message.title   = title;
    message.icon    = icon;
    message.buttons = buttons;
    platform().showMessage(message);
}

void failOpening(const char* const text) {
    closeWindow();
    showWindowError(text, "ERROR", MessageIcon::exclamation);
}

void reportShutdownError(const char* const text) {
    showWindowError(text, "SHUTDOWN ERROR", MessageIcon::information);
}

// The pixel format: double-buffered RGB with a 16-bit depth buffer, and the
// old immediate-mode OpenGL the game draws with.
bool choosePixelFormat(const int bits) {
    const int channel = bits >= 24 ? 8 : 5;
    return SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1) == 0 && SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel) == 0 &&
           SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel) == 0 &&
           SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel) == 0 && SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0) == 0 &&
           SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16) == 0 && SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0) == 0 &&
           SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY) == 0 &&
           SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2) == 0 &&
           SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1) == 0;
}

}  // namespace

SDL_Point openedSize() {
    return opened;
}

SDL_Window* gameWindow() {
    return window;
}

void swapWindowBuffers() {
    SDL_GL_SwapWindow(window);
}

namespace {

Uint32 pacingMs = 0;

// Vsync where the driver offers it; otherwise frames are held to the
// display's refresh rate by the frame loop.
void pickFramePacing() {
    if (SDL_GL_SetSwapInterval(1) == 0) {
        pacingMs = 0;
        return;
    }
    SDL_DisplayMode mode{};
    const int       display = SDL_GetWindowDisplayIndex(window);
    const int       refresh = SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &mode) == 0 && mode.refresh_rate > 0
                                  ? mode.refresh_rate
                                  : 60;
    pacingMs                = static_cast<Uint32>(1000 / refresh);
}

}  // namespace

Uint32 framePacingMs() {
    return pacingMs;
}

// Each step that can fail says so in the words players have always seen:
// starting the video system is the window class, loading the GL library the
// device context, the GL attributes the pixel format. SDL chooses and sets
// the pixel format together with the window, so that step has no failure of
// its own here.
bool openWindow(const char* const title, const int width, const int height, const int bits,
                const bool fullscreenRequested) {
    fullscreen = fullscreenRequested;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        showWindowError("Failed To Register The Window Class.", "ERROR", MessageIcon::exclamation);
        return false;
    }
    videoStarted = true;

    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
        desktop.w = width;
        desktop.h = height;
    }
    const int left = (desktop.w - width) / 2;
    const int top  = (desktop.h - height) / 2;

    SDL_DisplayMode     mode{};
    const FullscreenWay way = fullscreen ? fullscreenWay(width, height, mode) : FullscreenWay::none;
    if (fullscreen && way == FullscreenWay::none) {
        PlatformMessage question;
        question.text =
            "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?";
        question.title   = "Problem";
        question.icon    = MessageIcon::exclamation;
        question.buttons = MessageButtons::yesNo;
        if (platform().showMessage(question) != MessageAnswer::yes) {
            showWindowError("Program Will Now Close.", "ERROR", MessageIcon::stop);
            return false;
        }
        fullscreen = false;
    }

    if (SDL_GL_LoadLibrary(nullptr) != 0) {
        failOpening("Can't Create A GL Device Context.");
        return false;
    }
    if (!choosePixelFormat(bits)) {
        failOpening("Can't Find A Suitable PixelFormat.");
        return false;
    }
    const Uint32 screenFlag   = !fullscreen                         ? SDL_WINDOW_RESIZABLE
                                : way == FullscreenWay::displayMode ? SDL_WINDOW_FULLSCREEN
                                                                    : SDL_WINDOW_FULLSCREEN_DESKTOP;
    const int    windowWidth  = way == FullscreenWay::displayMode ? mode.w : width;
    const int    windowHeight = way == FullscreenWay::displayMode ? mode.h : height;
    window = SDL_CreateWindow(title, fullscreen ? 0 : left, fullscreen ? 0 : top, windowWidth, windowHeight,
                              SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | screenFlag);
    if (window == nullptr) {
        failOpening("Window Creation Error.");
        return false;
    }
    opened = {windowWidth, windowHeight};
    if (way == FullscreenWay::displayMode) {
        SDL_SetWindowDisplayMode(window, &mode);  // the display really changes mode once shown
    }
    context = SDL_GL_CreateContext(window);
    if (context == nullptr) {
        failOpening("Can't Create A GL Rendering Context.");
        return false;
    }
    if (SDL_GL_MakeCurrent(window, context) != 0) {
        failOpening("Can't Activate The GL Rendering Context.");
        return false;
    }

    pickFramePacing();
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
    SDL_SetWindowInputFocus(window);
    resizeView(width, height);
    if (!initRenderState()) {
        failOpening("Initialization Failed.");
        return false;
    }
    attachGameMenu();
    return true;
}

void closeWindow() {
    if (menuAttached) {
        ImGui_ImplOpenGL2_Shutdown();
        ImGui_ImplSDL2_Shutdown();
        menuAttached = false;
    }
    if (fullscreen && window != nullptr) {
        SDL_SetWindowFullscreen(window, 0);  // the desktop's own mode comes back
    }
    if (context != nullptr) {
        if (SDL_GL_MakeCurrent(window, nullptr) != 0) {
            reportShutdownError("Release Of DC And RC Failed.");
        }
        SDL_GL_DeleteContext(context);
        context = nullptr;
    }
    if (window != nullptr) {
        SDL_DestroyWindow(window);
        window = nullptr;
    }
    if (videoStarted) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        videoStarted = false;
    }
}

void resizeView(const int width, const int height) {
    glViewport(0, 0, width, height);
    screenWidth  = width;
    screenHeight = height;
    if (width > 0) {
        aspect = static_cast<float>(height) / static_cast<float>(width);
    }
}

bool initRenderState() {
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glDisable(GL_DEPTH_TEST);
    createFontLists();
    forgetWorldDrawing();
    return true;
}

void attachGameMenu() {
    ImGui_ImplSDL2_InitForOpenGL(window, context);
    ImGui_ImplOpenGL2_Init();
    menuAttached = true;
    // The menu bar takes its height from the drawing area, as a window menu does.
    int width  = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    resizeView(width, height - menuBarHeight());
}
