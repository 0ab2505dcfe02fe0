#include "shell/Menu.h"

#include <SDL.h>
#include <imgui.h>

#include <cstring>
#include <string>

#include "draw/Text.h"
#include "shell/WindowProc.h"

namespace {

constexpr float MENU_FONT_SIZE = 15.0f;

struct MenuItem {
    int          id;  // 0: a separator
    const char*  label;
    int          mnemonic;  // index of the underlined letter
    SDL_Scancode key;
    bool         enabled;
};

// The program never enables "New Single Player".
constexpr MenuItem GAME_MENU[] = {
    {ID_NEW_SINGLE_PLAYER, "New Single Player", 4, SDL_SCANCODE_S, false},
    {ID_HOST_MULTIPLAYER, "Host Multiplayer", 0, SDL_SCANCODE_H, true},
    {ID_JOIN_MULTIPLAYER, "Join Multiplayer Game", 0, SDL_SCANCODE_J, true},
    {ID_EXIT_CURRENT_GAME, "Exit Current Game", 0, SDL_SCANCODE_E, true},
    {0, nullptr, 0, SDL_SCANCODE_UNKNOWN, false},
    {ID_QUIT, "Quit", 0, SDL_SCANCODE_Q, true},
};

bool openRequested = false;
bool menuOpen      = false;

// Underlines the letter that chooses an item whose text starts at `text`.
void underlineMnemonic(ImDrawList* const drawList, const ImVec2 text, const char* const label, const int index) {
    const float start = text.x + ImGui::CalcTextSize(label, label + index).x;
    const float width = ImGui::CalcTextSize(label + index, label + index + 1).x;
    const float y     = text.y + ImGui::GetFontSize();
    drawList->AddLine(ImVec2(start, y), ImVec2(start + width, y),
                      ImGui::GetColorU32(ImGuiCol_Text, ImGui::GetStyle().Alpha));
}

// The text of the menu item just drawn starts half an item spacing in, centred in height.
ImVec2 menuItemText() {
    const ImVec2 min = ImGui::GetItemRectMin();
    const ImVec2 max = ImGui::GetItemRectMax();
    return ImVec2(min.x + ImGui::GetStyle().ItemSpacing.x * 0.5f,
                  min.y + (max.y - min.y - ImGui::GetFontSize()) * 0.5f);
}

void drawGameMenuItems() {
    for (const MenuItem& item : GAME_MENU) {
        if (item.id == 0) {
            ImGui::Separator();
            continue;
        }
        bool chosen = ImGui::MenuItem(item.label, nullptr, false, item.enabled);
        underlineMnemonic(ImGui::GetWindowDrawList(), menuItemText(), item.label, item.mnemonic);
        chosen = chosen || (item.enabled && ImGui::IsKeyPressed(item.key, false));
        if (chosen) {
            postMenuCommand(item.id);
            ImGui::CloseCurrentPopup();
        }
    }
    if (ImGui::IsKeyPressed(SDL_SCANCODE_ESCAPE, false)) {
        ImGui::CloseCurrentPopup();
    }
}

}  // namespace

void createMenuContext() {
    ImGui::CreateContext();
    ImGuiIO& io            = ImGui::GetIO();
    io.IniFilename         = nullptr;  // nothing of the menu is kept between runs
    const std::string font = defaultFontFile();
    if (font.empty() || io.Fonts->AddFontFromFileTTF(font.c_str(), MENU_FONT_SIZE) == nullptr) {
        io.Fonts->AddFontDefault();
    }
    ImGui::StyleColorsLight();
}

void destroyMenuContext() {
    ImGui::DestroyContext();
}

int menuBarHeight() {
    // The font's own size is only known once the atlas is built; its request is known at once.
    const ImGuiIO& io       = ImGui::GetIO();
    const float    fontSize = io.Fonts->ConfigData.empty() ? 13.0f : io.Fonts->ConfigData[0].SizePixels;
    return static_cast<int>(fontSize + ImGui::GetStyle().FramePadding.y * 2.0f);
}

void drawMenuBar(const bool enabled) {
    if (!enabled) {
        ImGui::BeginDisabled();
    }
    if (ImGui::BeginMainMenuBar()) {
        if (openRequested && enabled) {
            ImGui::OpenPopup("Game");
        }
        openRequested = false;
        // A menu bar title starts half an item spacing to the right of the cursor.
        const ImVec2 cursor = ImGui::GetCursorScreenPos();
        underlineMnemonic(
            ImGui::GetWindowDrawList(),
            ImVec2(cursor.x + static_cast<float>(static_cast<int>(ImGui::GetStyle().ItemSpacing.x * 0.5f)), cursor.y),
            "Game", 0);
        menuOpen = ImGui::BeginMenu("Game");
        if (menuOpen) {
            drawGameMenuItems();
            ImGui::EndMenu();
        }
        ImGui::EndMainMenuBar();
    }
    if (!enabled) {
        ImGui::EndDisabled();
    }
}

void openGameMenu() {
    openRequested = true;
}

bool isGameMenuOpen() {
    return menuOpen;
}
