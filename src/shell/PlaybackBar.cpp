#include "shell/PlaybackBar.h"

#include <imgui.h>

#include <cstdio>
#include <iterator>

#include "game/Game.h"
#include "rules/Match.h"
#include "rules/Replay.h"

namespace {

constexpr float BAR_SECONDS = 3.0f;

}  // namespace

void drawPlaybackBar() {
    CGame& game = CGame::instance();
    if (game.state != state_playback) {
        return;
    }
    const ImGuiIO& io = ImGui::GetIO();
    // As a video player's: out of the way of the lines at the bottom of the
    // view while the demo plays untouched, back while paused or when the
    // mouse moves.
    static float shownFor = BAR_SECONDS;
    const bool   moved    = io.MouseDelta.x != 0.0f || io.MouseDelta.y != 0.0f;
    const bool   near     = io.MousePos.y >= io.DisplaySize.y - 3.0f * ImGui::GetFrameHeight();
    shownFor              = moved || near || game.playback.paused ? BAR_SECONDS : shownFor - io.DeltaTime;
    if (shownFor <= 0.0f) {
        return;
    }
    ImGui::SetNextWindowPos(ImVec2(0.0f, io.DisplaySize.y), ImGuiCond_Always, ImVec2(0.0f, 1.0f));
    ImGui::SetNextWindowSize(ImVec2(io.DisplaySize.x, 0.0f), ImGuiCond_Always);
    ImGui::SetNextWindowBgAlpha(0.6f);
    constexpr ImGuiWindowFlags FLAGS = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                                       ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoFocusOnAppearing;
    if (ImGui::Begin("##playback", nullptr, FLAGS)) {
        if (ImGui::Button(game.playback.paused ? "Play" : "Pause")) {
            game.playback.paused = !game.playback.paused;
        }
        ImGui::SameLine();
        char speed[16];
        std::snprintf(speed, sizeof speed, "x%g", static_cast<double>(game.playback.speed));
        ImGui::SetNextItemWidth(ImGui::CalcTextSize("x0.25").x + 30.0f);
        if (ImGui::BeginCombo("##speed", speed)) {
            for (const float choice : PLAYBACK_SPEEDS) {
                std::snprintf(speed, sizeof speed, "x%g", static_cast<double>(choice));
                if (ImGui::Selectable(speed, choice == game.playback.speed)) {
                    game.playback.speed = choice;
                }
            }
            ImGui::EndCombo();
        }
        ImGui::SameLine();
        const Replay&     played = replay();
        const std::string shown =
            clockText(static_cast<int>(played.elapsed())) + " / " + clockText(static_cast<int>(played.length()));
        auto at = static_cast<float>(played.elapsed());
        ImGui::SetNextItemWidth(-1.0f);
        if (ImGui::SliderFloat("##at", &at, 0.0f, static_cast<float>(played.length()), shown.c_str())) {
            game.seekPlayback(static_cast<double>(at));
        }
    }
    ImGui::End();
}
