#include "shell/WindowProc.h"

#include <backends/imgui_impl_sdl.h>

#include "game/Controls.h"
#include "game/Game.h"
#include "platform/FrameState.h"
#include "platform/VirtualKeys.h"
#include "shell/Gamepads.h"
#include "shell/Menu.h"
#include "shell/Options.h"
#include "shell/Window.h"

bool active        = true;
bool inFront       = true;
bool windowResized = false;

std::function<void(int)> handleGameCommand = [](const int command) { CGame::instance().handleCommand(command); };

namespace {

enum UserEventCode : Sint32 { EVENT_MENU_COMMAND = 1, EVENT_QUIT = 2 };

void postUserEvent(const Sint32 code, const int value) {
    SDL_Event event{};
    event.type       = SDL_USEREVENT;
    event.user.code  = code;
    event.user.data1 = reinterpret_cast<void*>(static_cast<intptr_t>(value));
    SDL_PushEvent(&event);
}

// Alt combinations and F10 are the desktop's, not the game's.
bool isSystemKey(const SDL_Keysym& key) {
    return (key.mod & KMOD_ALT) != 0 || key.sym == SDLK_F10 || key.sym == SDLK_LALT || key.sym == SDLK_RALT;
}

// While a chat line is open, keys type into it and play no part in the game.
bool typeInChat(const SDL_Keysym& key) {
    CGame& game = CGame::instance();
    if (!game.chatOpen) {
        return false;
    }
    if (key.sym == SDLK_RETURN || key.sym == SDLK_KP_ENTER) {
        game.closeChat(true);
    } else if (key.sym == SDLK_ESCAPE) {
        game.closeChat(false);
    } else if (key.sym == SDLK_BACKSPACE) {
        game.eraseInChat();
    }
    return true;
}

// The text that the chat key's own key-down brings is not typed into the line it opens.
Uint32 chatOpenedAt = 0;

// The keys as the keyboard holds them; `keys` holds each action's state
// under its specified key instead (game/Controls.h).
std::uint8_t physicalKeys[KEY_COUNT] = {};

void refreshControls() {
    const CGame& game = CGame::instance();
    applyControls(game.settings.keyBindings, physicalKeys, gamepadHeld(game.settings.gamepad), keys);
}

// Esc closes whatever is open over the game, and otherwise opens the options.
bool onEscapeOrOptions(const SDL_Keysym& key, const int code) {
    if (isOptionsOpen()) {
        if (!(code >= 0 && takeKeyForBinding(code)) && key.sym == SDLK_ESCAPE) {
            closeOptions();
        }
        return true;  // the options have the keyboard
    }
    if (key.sym == SDLK_ESCAPE && !CGame::instance().chatOpen) {
        openOptions();
        return true;
    }
    return false;
}

void onKeyDown(const SDL_Keysym& key) {
    if (isSystemKey(key)) {
        if ((key.mod & KMOD_ALT) != 0 && key.sym == SDLK_g) {
            openGameMenu();
        }
        return;
    }
    if (isGameMenuOpen()) {
        return;
    }
    const int code = virtualKeyOf(key.sym);
    if (onEscapeOrOptions(key, code) || typeInChat(key) || code < 0) {
        return;
    }
    CGame& game = CGame::instance();
    if ((code == VK_PRIOR || code == VK_NEXT) && keys[VK_TAB] != 0) {
        game.scrollChat(code == VK_PRIOR ? 3 : -3);
    }
    if (isBoundTo(game.settings.keyBindings, action_chat, code)) {
        handleGameCommand(cmd_open_chat);
        chatOpenedAt = SDL_GetTicks();
        if (game.chatOpen) {
            return;
        }
    }
    physicalKeys[code] = 1;
    if (!isActionKey(code)) {
        keys[code] = 1;
    }
    refreshControls();
    // ENTER on every key-down, repeats included; the host's keys for bots,
    // limits and maps, which the game takes only where they apply.
    static constexpr struct {
        int         code;
        GameCommand command;
    } COMMAND_KEYS[] = {
        {VK_RETURN, cmd_enter_key},    {VK_ADD, cmd_add_bot},          {VK_OEM_PLUS, cmd_add_bot},
        {VK_SUBTRACT, cmd_remove_bot}, {VK_OEM_MINUS, cmd_remove_bot}, {'L', cmd_next_bot_level},
        {'S', cmd_next_score_limit},   {'D', cmd_next_time_limit},     {'M', cmd_next_map},
    };
    for (const auto& key : COMMAND_KEYS) {
        if (key.code == code) {
            handleGameCommand(key.command);
        }
    }
}

void onKeyUp(const SDL_Keysym& key) {
    // Releases are always recorded, so no key stays down behind a menu or an Alt.
    const int code = virtualKeyOf(key.sym);
    if (code >= 0) {
        physicalKeys[code] = 0;
        if (!isActionKey(code)) {
            keys[code] = 0;
        }
        refreshControls();
    }
}

void closeBox() {
    handleGameCommand(cmd_exit_game);
    postQuitMessage(0);
}

// Until told otherwise the window is taken to be in front.
bool hasFocus = true;
bool shown    = true;

void onWindowEvent(const SDL_WindowEvent& event) {
    switch (event.event) {
        case SDL_WINDOWEVENT_MINIMIZED:
            active = false;
            break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
        case SDL_WINDOWEVENT_SHOWN:
            active = true;
            shown  = true;
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            resizeView(event.data1, event.data2 - menuBarHeight());
            if (!fullscreen && (windowResized || openedSize().x != event.data1 || openedSize().y != event.data2)) {
                // The player's size: the next start opens the window so.
                Settings& settings    = CGame::instance().settings;
                windowResized         = true;
                settings.windowWidth  = event.data1;
                settings.windowHeight = event.data2;
            }
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            hasFocus = true;
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            hasFocus = false;
            break;
        case SDL_WINDOWEVENT_HIDDEN:
            shown = false;
            break;
        case SDL_WINDOWEVENT_CLOSE:
            closeBox();
            break;
        default:
            break;
    }
    inFront = hasFocus && shown;
}

void onMenuCommand(const int id) {
    switch (id) {
        case ID_NEW_SINGLE_PLAYER:
            handleGameCommand(cmd_new_single_player);
            break;
        case ID_HOST_MULTIPLAYER:
            handleGameCommand(cmd_host_game);
            break;
        case ID_JOIN_MULTIPLAYER:
            handleGameCommand(cmd_join_game);
            break;
        case ID_EXIT_CURRENT_GAME:
            handleGameCommand(cmd_exit_game);
            break;
        case ID_QUIT:
            handleGameCommand(cmd_exit_game);
            postQuitMessage(0);
            break;
        default:
            break;
    }
}

}  // namespace

void postMenuCommand(const int id) {
    postUserEvent(EVENT_MENU_COMMAND, id);
}

void postQuitMessage(const int exitCode) {
    postUserEvent(EVENT_QUIT, exitCode);
}

bool windowProc(const SDL_Event& event, int& exitCode) {
    ImGui_ImplSDL2_ProcessEvent(&event);
    switch (event.type) {
        case SDL_KEYDOWN:
            onKeyDown(event.key.keysym);
            break;
        case SDL_KEYUP:
            onKeyUp(event.key.keysym);
            break;
        case SDL_TEXTINPUT:
            if (SDL_GetTicks() - chatOpenedAt > 50) {
                CGame::instance().typeInChat(event.text.text);
            }
            break;
        case SDL_WINDOWEVENT:
            onWindowEvent(event.window);
            break;
        case SDL_CONTROLLERDEVICEADDED:
        case SDL_CONTROLLERDEVICEREMOVED:
        case SDL_CONTROLLERAXISMOTION:
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            onGamepadEvent(event);
            if (!isOptionsOpen() && !CGame::instance().chatOpen) {
                refreshControls();
            }
            break;
        case SDL_QUIT:  // asked to end from outside, as by the close box
            closeBox();
            break;
        case SDL_USEREVENT: {
            const int value = static_cast<int>(reinterpret_cast<intptr_t>(event.user.data1));
            if (event.user.code == EVENT_QUIT) {
                exitCode = value;
                return true;
            }
            if (event.user.code == EVENT_MENU_COMMAND) {
                onMenuCommand(value);
            }
            break;
        }
        default:
            break;  // the mouse plays no part in the game
    }
    return false;
}

int virtualKeyOf(const SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) {
        return 'A' + (key - SDLK_a);
    }
    if (key >= SDLK_0 && key <= SDLK_9) {
        return '0' + (key - SDLK_0);
    }
    if (key >= SDLK_F1 && key <= SDLK_F12) {
        return 112 + (key - SDLK_F1);
    }
    switch (key) {
        case SDLK_BACKSPACE:
            return 8;
        case SDLK_TAB:
            return VK_TAB;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return VK_RETURN;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return 16;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return 17;
        case SDLK_PAUSE:
            return 19;
        case SDLK_CAPSLOCK:
            return 20;
        case SDLK_ESCAPE:
            return 27;
        case SDLK_SPACE:
            return VK_SPACE;
        case SDLK_PAGEUP:
            return VK_PRIOR;
        case SDLK_PAGEDOWN:
            return VK_NEXT;
        case SDLK_END:
            return 35;
        case SDLK_HOME:
            return 36;
        case SDLK_LEFT:
            return VK_LEFT;
        case SDLK_UP:
            return VK_UP;
        case SDLK_RIGHT:
            return VK_RIGHT;
        case SDLK_DOWN:
            return VK_DOWN;
        case SDLK_INSERT:
            return 45;
        case SDLK_DELETE:
            return 46;
        case SDLK_KP_PLUS:
            return VK_ADD;
        case SDLK_KP_MINUS:
            return VK_SUBTRACT;
        case SDLK_PLUS:
        case SDLK_EQUALS:  // plus without Shift on most layouts
            return VK_OEM_PLUS;
        case SDLK_MINUS:
            return VK_OEM_MINUS;
        case SDLK_COMMA:
            return VK_OEM_COMMA;
        case SDLK_PERIOD:
            return VK_OEM_PERIOD;
        default:
            return -1;
    }
}
