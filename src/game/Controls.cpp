#include "game/Controls.h"

#include <algorithm>

#include "platform/VirtualKeys.h"

namespace {

constexpr std::array<ActionInfo, ACTION_COUNT> ACTIONS = {{
    {"left", "Move left", VK_LEFT},
    {"right", "Move right", VK_RIGHT},
    {"up", "Move up", VK_UP},
    {"down", "Move down", VK_DOWN},
    {"fire", "Fire", VK_SPACE},
    {"scoreboard", "Scoreboard (hold)", VK_TAB},
    {"chat", "Chat", 'T'},
}};

// A quarter of the stick's way: a resting stick that drifts a little holds nothing.
constexpr int STICK_DEAD_ZONE = 8000;

struct NamedKey {
    int         code;
    const char* name;
};

// The keys with names other than their letter or digit.
constexpr NamedKey NAMED_KEYS[] = {
    {8, "Backspace"},
    {VK_TAB, "Tab"},
    {VK_RETURN, "Enter"},
    {16, "Shift"},
    {17, "Ctrl"},
    {19, "Pause"},
    {20, "CapsLock"},
    {VK_SPACE, "Space"},
    {VK_PRIOR, "PageUp"},
    {VK_NEXT, "PageDown"},
    {35, "End"},
    {36, "Home"},
    {VK_LEFT, "Left"},
    {VK_UP, "Up"},
    {VK_RIGHT, "Right"},
    {VK_DOWN, "Down"},
    {45, "Insert"},
    {46, "Delete"},
    {VK_ADD, "KeypadPlus"},
    {VK_SUBTRACT, "KeypadMinus"},
    {VK_OEM_PLUS, "Plus"},
    {VK_OEM_MINUS, "Minus"},
};

}  // namespace

const ActionInfo& actionInfo(const ControlAction action) {
    return ACTIONS[static_cast<std::size_t>(action)];
}

KeyBindings defaultKeyBindings() {
    KeyBindings bindings{};
    for (int action = 0; action < ACTION_COUNT; ++action) {
        bindings[static_cast<std::size_t>(action)] = {ACTIONS[static_cast<std::size_t>(action)].specifiedKey, 0};
    }
    bindings[action_left][1]  = 'A';
    bindings[action_right][1] = 'D';
    bindings[action_up][1]    = 'W';
    bindings[action_down][1]  = 'S';
    return bindings;
}

void bindKey(KeyBindings& bindings, const ControlAction action, const int slot, const int code) {
    if (slot < 0 || slot >= BINDINGS_PER_ACTION) {
        return;
    }
    if (code != 0) {
        for (auto& keysOfAction : bindings) {
            std::replace(keysOfAction.begin(), keysOfAction.end(), code, 0);
        }
    }
    bindings[static_cast<std::size_t>(action)][static_cast<std::size_t>(slot)] = code;
}

bool isBoundTo(const KeyBindings& bindings, const ControlAction action, const int code) {
    const auto& bound = bindings[static_cast<std::size_t>(action)];
    return code != 0 && std::find(bound.begin(), bound.end(), code) != bound.end();
}

bool isActionKey(const int code) {
    return std::any_of(ACTIONS.begin(), ACTIONS.end(),
                       [code](const ActionInfo& action) { return action.specifiedKey == code; });
}

bool isGamepadButton(const std::string& name) {
    return std::any_of(GAMEPAD_BUTTONS.begin(), GAMEPAD_BUTTONS.end(),
                       [&](const GamepadButton& button) { return name == button.name; });
}

void applyControls(const KeyBindings& bindings, const std::uint8_t* const physical, const HeldActions& gamepad,
                   std::uint8_t* const keys) {
    for (std::size_t action = 0; action < ACTION_COUNT; ++action) {
        bool held = gamepad[action];
        for (const int code : bindings[action]) {
            held = held || (code > 0 && code < 256 && physical[code] != 0);
        }
        keys[ACTIONS[action].specifiedKey] = held ? 1 : 0;
    }
}

HeldActions stickDirections(const int x, const int y) {
    HeldActions held{};
    held[action_left]  = x < -STICK_DEAD_ZONE;
    held[action_right] = x > STICK_DEAD_ZONE;
    held[action_up]    = y < -STICK_DEAD_ZONE;
    held[action_down]  = y > STICK_DEAD_ZONE;
    return held;
}

std::string keyName(const int code) {
    if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9')) {
        return std::string(1, static_cast<char>(code));
    }
    if (code >= 112 && code <= 123) {
        return "F" + std::to_string(code - 111);
    }
    for (const NamedKey& key : NAMED_KEYS) {
        if (key.code == code) {
            return key.name;
        }
    }
    return {};
}

std::optional<int> keyNamed(const std::string& name) {
    for (int code = 1; code < 256; ++code) {
        if (!name.empty() && keyName(code) == name) {
            return code;
        }
    }
    return std::nullopt;
}
