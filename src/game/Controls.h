#pragma once

// What a player steers with: the keys bound to each action and a gamepad's
// buttons. The shell turns what is held into the action's specified key in
// `keys` (VK_LEFT for "left", VK_SPACE for "fire" ...), so the game reads
// its keys as it always has, whatever the player bound.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

enum ControlAction : int {
    action_left,
    action_right,
    action_up,
    action_down,
    action_fire,
    action_scoreboard,
    action_chat,
    ACTION_COUNT
};

struct ActionInfo {
    const char* name;          // in the settings file
    const char* label;         // in the options
    int         specifiedKey;  // the virtual-key code the game reads
};
const ActionInfo& actionInfo(ControlAction action);

// Two keys per action (virtual-key codes, 0 for none).
constexpr int BINDINGS_PER_ACTION = 2;
using KeyBindings                 = std::array<std::array<int, BINDINGS_PER_ACTION>, ACTION_COUNT>;

// The specified keys, and W, A, S, D as a second set for the directions.
KeyBindings defaultKeyBindings();

// Binds the key in the slot; a key bound elsewhere is taken from there, so
// one key never does two things.
void bindKey(KeyBindings& bindings, ControlAction action, int slot, int code);

bool isBoundTo(const KeyBindings& bindings, ControlAction action, int code);
// Whether the code is some action's specified key: its state in `keys` is
// the action's, not the key's.
bool isActionKey(int code);

// A gamepad button by SDL's GameController name ("a", "leftshoulder" ...).
struct GamepadButton {
    const char* name;
    const char* label;
};
constexpr std::array<GamepadButton, 8> GAMEPAD_BUTTONS = {{{"a", "A"},
                                                           {"b", "B"},
                                                           {"x", "X"},
                                                           {"y", "Y"},
                                                           {"leftshoulder", "Left shoulder"},
                                                           {"rightshoulder", "Right shoulder"},
                                                           {"back", "Back"},
                                                           {"start", "Start"}}};
bool                                   isGamepadButton(const std::string& name);

struct GamepadMapping {
    std::string fire       = "a";
    std::string scoreboard = "y";
};

// What the keyboard and a gamepad hold this frame, by action.
using HeldActions = std::array<bool, ACTION_COUNT>;

// Each action's specified key in `keys` becomes whether a key bound to it
// is held in `physical` (indexed by virtual-key code, as the keyboard holds
// them) or the gamepad holds it. Other keys are left alone.
void applyControls(const KeyBindings& bindings, const std::uint8_t* physical, const HeldActions& gamepad,
                   std::uint8_t* keys);

// The eight directions of a stick: an axis beyond the dead zone (SDL's axes
// run -32768 ... 32767) holds its direction.
HeldActions stickDirections(int x, int y);

// Key names in the settings file and the options: "Left", "Space", "A", "F5".
std::string        keyName(int code);  // "" for a key the game does not name
std::optional<int> keyNamed(const std::string& name);
