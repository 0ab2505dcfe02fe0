#include "shell/ConnectDialog.h"

#include <GL/gl.h>
#include <SDL.h>
#include <backends/imgui_impl_opengl2.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "net/LanDiscovery.h"
#include "shell/Mainfile.h"
#include "shell/Menu.h"
#include "shell/Window.h"

namespace {

constexpr int IDLE_WAIT_MS = 15;

// An IPv4 address typed as four fields of 0 ... 255, digits only. A dot or a
// third digit moves on to the next field, as the desktop's address field does.
class AddressField {
public:
    explicit AddressField(const std::string& address) { set(address); }

    void set(const std::string& address) {
        int values[4] = {127, 0, 0, 1};
        std::sscanf(address.c_str(), "%d.%d.%d.%d", &values[0], &values[1], &values[2], &values[3]);
        for (int i = 0; i < 4; ++i) {
            std::snprintf(octets[static_cast<std::size_t>(i)].data(), 4, "%d", values[i] & 0xFF);
        }
    }

    void draw() {
        for (int i = 0; i < 4; ++i) {
            if (i > 0) {
                ImGui::SameLine(0.0f, 2.0f);
                ImGui::TextUnformatted(".");
                ImGui::SameLine(0.0f, 2.0f);
            }
            if (focusField == i) {
                ImGui::SetKeyboardFocusHere();
                focusField  = -1;
                quietFrames = 2;
            }
            ImGui::PushID(i);
            ImGui::SetNextItemWidth(ImGui::CalcTextSize("0000").x);
            current = i;
            ImGui::InputText("##octet", octets[static_cast<std::size_t>(i)].data(), 4,
                             ImGuiInputTextFlags_CharsDecimal | ImGuiInputTextFlags_AutoSelectAll |
                                 ImGuiInputTextFlags_CallbackCharFilter | ImGuiInputTextFlags_CallbackEdit,
                             &AddressField::onInput, this);
            ImGui::PopID();
        }
    }

    // While focus moves to another field, typed characters wait: the field
    // takes focus in one frame and reads characters from the next one on.
    bool isMovingFocus() {
        if (quietFrames > 0) {
            --quietFrames;
            return true;
        }
        return focusField >= 0;
    }

    std::string text() const {
        std::string address;
        for (std::size_t i = 0; i < octets.size(); ++i) {
            address += (i > 0 ? "." : "") + std::to_string(octets[i][0] != '\0' ? std::atoi(octets[i].data()) : 0);
        }
        return address;
    }

private:
    static int onInput(ImGuiInputTextCallbackData* const data) {
        auto* const field = static_cast<AddressField*>(data->UserData);
        if (data->EventFlag == ImGuiInputTextFlags_CallbackCharFilter) {
            if (data->EventChar == '.') {
                // After a full field moved on by itself, the dot that follows is not a second move.
                if (field->typedHere) {
                    field->moveOn();
                }
                return 1;
            }
            const bool digit = data->EventChar >= '0' && data->EventChar <= '9';
            field->typedHere = field->typedHere || digit;
            return digit ? 0 : 1;
        }
        // Edited: no field holds more than 255, and a full field moves on.
        if (std::atoi(data->Buf) > 255) {
            data->DeleteChars(0, data->BufTextLen);
            data->InsertChars(0, "255");
        }
        if (data->BufTextLen == 3 && data->CursorPos == 3) {
            field->moveOn();
        }
        return 0;
    }

    void moveOn() {
        if (current < 3) {
            focusField = current + 1;
            typedHere  = false;
        }
    }

    std::array<std::array<char, 4>, 4> octets{};
    int                                focusField  = 0;
    int                                quietFrames = 0;
    int                                current     = 0;
    bool                               typedHere   = false;
};

void labelAt(const char* const label, const float column) {
    ImGui::SetCursorPosX(column - ImGui::CalcTextSize(label).x - 6.0f);
    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted(label);
    ImGui::SameLine(column);
}

// A line of text as typed: the player's name (cleaned by the game when it
// is used), or a password, shown masked.
struct TextField {
    TextField(const char* const id, const std::string& text, const bool masked) : id(id), masked(masked) {
        std::snprintf(buffer.data(), buffer.size(), "%s", text.c_str());
    }

    void draw() {
        ImGui::SetNextItemWidth(ImGui::CalcTextSize("Guest Guest Guest").x);
        ImGui::InputText(id, buffer.data(), buffer.size(), masked ? ImGuiInputTextFlags_Password : 0);
    }
    std::string text() const { return buffer.data(); }

    const char*          id;
    bool                 masked;
    std::array<char, 64> buffer{};
};

struct DialogFields {
    AddressField        address;
    TextField           name;
    TextField           password;
    std::array<char, 6> port{};  // typed, or a listed game's
    bool                spectate = false;
};

void setPort(DialogFields& fields, const std::uint32_t port) {
    std::snprintf(fields.port.data(), fields.port.size(), "%u", static_cast<unsigned>(port));
}

// The games hosted on this network as the browser last found them;
// choosing one fills in its address and port.
void drawLanGames(const LanBrowser& browser, DialogFields& fields) {
    AddressField& address = fields.address;
    ImGui::TextUnformatted("Games on this network:");
    const std::vector<LanGame> games = browser.games();
    if (games.empty()) {
        ImGui::TextDisabled("  looking...");
        return;
    }
    // However many answer, the list scrolls in a few lines of its own and
    // the buttons below stay in view.
    const float height =
        ImGui::GetTextLineHeightWithSpacing() * static_cast<float>(std::min<std::size_t>(games.size(), 6));
    ImGui::BeginChild("##games", ImVec2(ImGui::CalcTextSize("0").x * 60.0f, height + 4.0f));
    for (const LanGame& game : games) {
        char line[160];
        char watching[24] = "";
        if (game.spectators > 0) {
            std::snprintf(watching, sizeof watching, ", %d watching", static_cast<int>(game.spectators));
        }
        std::snprintf(line, sizeof line, "%s:%u  %s  %d playing%s  %s%s", game.address.c_str(),
                      static_cast<unsigned>(game.port), game.hostName.c_str(), static_cast<int>(game.players), watching,
                      game.map.c_str(), game.isPrivate ? "  (private)" : "");
        if (ImGui::Selectable(line,
                              address.text() == game.address && std::to_string(game.port) == fields.port.data())) {
            address.set(game.address);
            setPort(fields, game.port);
        }
    }
    ImGui::EndChild();
}

// Draws the dialog; tells how it ended, once it has: a button, or the close box.
std::optional<DialogResult> drawDialog(DialogFields& fields, const LanBrowser& browser) {
    AddressField&  address = fields.address;
    bool           open    = true;
    const ImGuiIO& io      = ImGui::GetIO();
    ImGui::SetNextWindowPos(ImVec2(io.DisplaySize.x * 0.5f, io.DisplaySize.y * 0.5f), ImGuiCond_Always,
                            ImVec2(0.5f, 0.5f));
    ImGui::Begin("Connect to Server", &open,
                 ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings |
                     ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoMove);
    const float column = ImGui::CalcTextSize("Player Name:").x + 14.0f;
    labelAt("Server IP:", column);
    address.draw();
    labelAt("Port:", column);
    ImGui::SetNextItemWidth(ImGui::CalcTextSize("000000").x);
    ImGui::InputText("##port", fields.port.data(), fields.port.size(), ImGuiInputTextFlags_CharsDecimal);
    labelAt("Player Name:", column);
    fields.name.draw();
    labelAt("Password:", column);
    fields.password.draw();
    ImGui::Dummy(ImVec2(column - ImGui::GetStyle().ItemSpacing.x, 0.0f));
    ImGui::SameLine();
    ImGui::Checkbox("Watch as a spectator", &fields.spectate);
    ImGui::Spacing();
    drawLanGames(browser, fields);
    ImGui::Spacing();

    std::optional<DialogResult> ending;
    // OK is the default button: it wears the accent colour.
    ImGui::PushStyleColor(ImGuiCol_Button, ImGui::GetStyleColorVec4(ImGuiCol_ButtonHovered));
    if (ImGui::Button("OK", ImVec2(80.0f, 0.0f))) {
        ending = DialogResult::ok;
    }
    ImGui::PopStyleColor();
    ImGui::SameLine(ImGui::GetWindowContentRegionMax().x - 80.0f);
    if (ImGui::Button("Cancel", ImVec2(80.0f, 0.0f))) {
        ending = DialogResult::cancel;
    }
    ImGui::End();
    if (!open) {
        ending = DialogResult::closed;
    }
    return ending;
}

void takeValues(const DialogFields& fields, ConnectDialogValues& values) {
    values.serverAddress = fields.address.text();
    values.playerName    = fields.name.text();
    values.password      = fields.password.text();
    values.spectate      = fields.spectate;
    // A port out of range keeps the one the dialog began with.
    const unsigned long port = std::strtoul(fields.port.data(), nullptr, 10);
    if (port >= 1 && port <= 65535) {
        values.port = static_cast<std::uint32_t>(port);
    }
}

}  // namespace

DialogResult runConnectDialog(ConnectDialogValues& values) {
    DialogFields fields{AddressField(values.serverAddress), TextField("##name", values.playerName, false),
                        TextField("##password", values.password, true)};
    setPort(fields, values.port);
    fields.spectate          = values.spectate;
    AddressField&    address = fields.address;
    const LanBrowser browser;  // looks for games while the dialog is open
    for (;;) {
        SDL_Event event;
        // One event per frame: the menu library sees each key press in a frame of its own.
        if (!address.isMovingFocus() && SDL_WaitEventTimeout(&event, IDLE_WAIT_MS) != 0) {
            const bool closing = event.type == SDL_QUIT ||
                                 (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE);
            if (closing) {
                return DialogResult::closed;  // the game window waits behind its dialog
            }
            ImGui_ImplSDL2_ProcessEvent(&event);
            if (event.type == SDL_KEYDOWN) {
                const SDL_Keycode key = event.key.keysym.sym;
                if (key == SDLK_RETURN || key == SDLK_KP_ENTER) {
                    takeValues(fields, values);
                    return DialogResult::ok;
                }
                if (key == SDLK_ESCAPE) {
                    return DialogResult::cancel;
                }
            }
        }

        drawStillFrame();
        ImGui_ImplOpenGL2_NewFrame();
        ImGui_ImplSDL2_NewFrame();
        ImGui::NewFrame();
        drawMenuBar(false);
        const std::optional<DialogResult> ending = drawDialog(fields, browser);
        ImGui::Render();
        ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
        swapWindowBuffers();

        if (ending) {
            if (*ending == DialogResult::ok) {
                takeValues(fields, values);
            }
            return *ending;
        }
    }
}
