#include "shell/Options.h"

#include <SDL.h>
#include <imgui.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "game/Controls.h"
#include "game/Game.h"
#include "platform/Platform.h"
#include "platform/VirtualKeys.h"
#include "shell/Gamepads.h"
#include "shell/Sound.h"
#include "shell/Window.h"
#include "shell/WindowProc.h"

namespace {

constexpr int  VK_ESCAPE = 27;
constexpr int  VK_DELETE = 46;
constexpr char TITLE[]   = "Options";
// A volume change is heard, but a slider dragged across does not rattle.
constexpr Uint32 VOLUME_SOUND_GAP_MS = 150;

bool   open              = false;
bool   fullscreenAsked   = false;
int    bindingAction     = -1;  // waiting for a key for this action and slot
int    bindingSlot       = 0;
char   nameBuffer[64]    = "";
Uint32 lastVolumeSoundAt = 0;

void save() {
    CGame::instance().rememberSettings();
}

void drawName(CGame& game) {
    ImGui::InputText("Player name", nameBuffer, sizeof nameBuffer);
    if (ImGui::IsItemDeactivatedAfterEdit()) {
        game.settings.name = nameBuffer;
        game.playerName    = nameBuffer;  // the next game joined or hosted goes by it
        save();
    }
}

void drawVolume(CGame& game) {
    int volume = game.settings.volume;
    if (ImGui::SliderInt("Sound volume", &volume, 0, 100, "%d %%")) {
        game.settings.volume = volume;
        Sound::setVolume(volume);
        if (SDL_GetTicks() - lastVolumeSoundAt > VOLUME_SOUND_GAP_MS) {
            lastVolumeSoundAt = SDL_GetTicks();
            platform().playSound(SoundEffect::pickup);
        }
    }
    if (ImGui::IsItemDeactivatedAfterEdit()) {
        save();
    }
}

void drawKeys(CGame& game) {
    ImGui::TextUnformatted("Keys (click one, then press the new key; Delete clears it)");
    ImGui::Columns(3, "keys", false);
    for (int action = 0; action < ACTION_COUNT; ++action) {
        ImGui::TextUnformatted(actionInfo(static_cast<ControlAction>(action)).label);
        ImGui::NextColumn();
        for (int slot = 0; slot < BINDINGS_PER_ACTION; ++slot) {
            const bool waiting = bindingAction == action && bindingSlot == slot;
            const int  code =
                game.settings.keyBindings[static_cast<std::size_t>(action)][static_cast<std::size_t>(slot)];
            std::string label = waiting ? "press a key..." : code == 0 ? "-" : keyName(code);
            label += "##" + std::to_string(action * BINDINGS_PER_ACTION + slot);
            if (ImGui::Button(label.c_str(), ImVec2(110.0f, 0.0f))) {
                bindNextKey(action, slot);
            }
            ImGui::NextColumn();
        }
    }
    ImGui::Columns(1);
}

bool buttonCombo(const char* const label, std::string& chosen) {
    bool changed = false;
    auto current = std::find_if(GAMEPAD_BUTTONS.begin(), GAMEPAD_BUTTONS.end(),
                                [&](const GamepadButton& button) { return chosen == button.name; });
    if (ImGui::BeginCombo(label, current != GAMEPAD_BUTTONS.end() ? current->label : "")) {
        for (const GamepadButton& button : GAMEPAD_BUTTONS) {
            if (ImGui::Selectable(button.label, chosen == button.name)) {
                chosen  = button.name;
                changed = true;
            }
        }
        ImGui::EndCombo();
    }
    return changed;
}

void drawGamepad(CGame& game) {
    const std::string name = gamepadName();
    ImGui::Text("Gamepad: %s", name.empty() ? "none plugged in" : name.c_str());
    ImGui::TextUnformatted("The left stick or the d-pad moves.");
    ImGui::SetNextItemWidth(160.0f);
    bool changed = buttonCombo("Fires", game.settings.gamepad.fire);
    ImGui::SameLine();
    ImGui::SetNextItemWidth(160.0f);
    changed = buttonCombo("Shows the scoreboard", game.settings.gamepad.scoreboard) || changed;
    if (changed) {
        save();
    }
}

}  // namespace

void openOptions() {
    open                    = true;
    bindingAction           = -1;
    const std::string& name = CGame::instance().settings.name;
    std::snprintf(nameBuffer, sizeof nameBuffer, "%s", name.c_str());
}

void closeOptions() {
    open          = false;
    bindingAction = -1;
}

bool isOptionsOpen() {
    return open;
}

void bindNextKey(const int action, const int slot) {
    bindingAction = action;
    bindingSlot   = slot;
}

bool takeKeyForBinding(const int code) {
    if (!open || bindingAction < 0) {
        return false;
    }
    CGame& game = CGame::instance();
    if (code == VK_DELETE) {
        bindKey(game.settings.keyBindings, static_cast<ControlAction>(bindingAction), bindingSlot, 0);
        save();
    } else if (code != VK_ESCAPE && !keyName(code).empty()) {
        bindKey(game.settings.keyBindings, static_cast<ControlAction>(bindingAction), bindingSlot, code);
        save();
    }
    bindingAction = -1;
    return true;
}

bool takeFullscreenRequest() {
    const bool asked = fullscreenAsked;
    fullscreenAsked  = false;
    return asked;
}

void drawOptions() {
    if (!open) {
        return;
    }
    CGame& game = CGame::instance();
    ImGui::SetNextWindowPos(ImVec2(ImGui::GetIO().DisplaySize.x * 0.5f, ImGui::GetIO().DisplaySize.y * 0.5f),
                            ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(ImVec2(480.0f, 0.0f), ImGuiCond_Appearing);
    bool stillOpen = true;
    if (ImGui::Begin(TITLE, &stillOpen, ImGuiWindowFlags_NoCollapse)) {
        drawName(game);
        drawVolume(game);
        bool wantFullscreen = fullscreen;
        if (ImGui::Checkbox("Full screen (F2)", &wantFullscreen)) {
            fullscreenAsked = true;
        }
        ImGui::Separator();
        drawKeys(game);
        ImGui::Separator();
        drawGamepad(game);
        ImGui::Separator();
        const bool inAGame = game.state != state_start;
        if (!inAGame) {
            ImGui::BeginDisabled();
        }
        if (ImGui::Button("Leave the game")) {
            handleGameCommand(cmd_exit_game);
            stillOpen = false;
        }
        if (!inAGame) {
            ImGui::EndDisabled();
        }
        ImGui::SameLine();
        if (ImGui::Button("Quit")) {
            handleGameCommand(cmd_exit_game);
            postQuitMessage(0);
        }
        ImGui::SameLine();
        if (ImGui::Button("Close")) {
            stillOpen = false;
        }
    }
    ImGui::End();
    if (!stillOpen) {
        closeOptions();
    }
}
