#include "shell/Gamepads.h"

namespace {

SDL_GameController* pad = nullptr;

void openFirstPad() {
    for (int index = 0; index < SDL_NumJoysticks() && pad == nullptr; ++index) {
        if (SDL_IsGameController(index)) {
            pad = SDL_GameControllerOpen(index);
        }
    }
}

bool held(const SDL_GameControllerButton button) {
    return button != SDL_CONTROLLER_BUTTON_INVALID && SDL_GameControllerGetButton(pad, button) != 0;
}

bool held(const std::string& name) {
    return held(SDL_GameControllerGetButtonFromString(name.c_str()));
}

}  // namespace

void startGamepads() {
    SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void stopGamepads() {
    if (pad != nullptr) {
        SDL_GameControllerClose(pad);
        pad = nullptr;
    }
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

bool onGamepadEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_CONTROLLERDEVICEADDED:
            openFirstPad();
            return true;
        case SDL_CONTROLLERDEVICEREMOVED:
            if (pad != nullptr && SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)) == event.cdevice.which) {
                SDL_GameControllerClose(pad);
                pad = nullptr;
                openFirstPad();  // another may take over
            }
            return true;
        case SDL_CONTROLLERAXISMOTION:
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            return true;
        default:
            return false;
    }
}

HeldActions gamepadHeld(const GamepadMapping& mapping) {
    if (pad == nullptr) {
        return {};
    }
    HeldActions actions        = stickDirections(SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX),
                                                 SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY));
    actions[action_left]       = actions[action_left] || held(SDL_CONTROLLER_BUTTON_DPAD_LEFT);
    actions[action_right]      = actions[action_right] || held(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
    actions[action_up]         = actions[action_up] || held(SDL_CONTROLLER_BUTTON_DPAD_UP);
    actions[action_down]       = actions[action_down] || held(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    actions[action_fire]       = held(mapping.fire);
    actions[action_scoreboard] = held(mapping.scoreboard);
    return actions;
}

std::string gamepadName() {
    const char* const name = pad != nullptr ? SDL_GameControllerName(pad) : nullptr;
    return pad == nullptr ? std::string() : name != nullptr ? name : "Gamepad";
}
