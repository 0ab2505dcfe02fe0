#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "game/Controls.h"

// What the game remembers between runs, in settings.toml under
// $XDG_CONFIG_HOME/quillstep/ (~/.config/quillstep/ by default). Unknown
// keys are ignored and missing ones keep their defaults.
struct Settings {
    std::string              name;         // empty: the login name
    std::string              lastAddress;  // the last game joined; the connect dialog's default
    bool                     fullscreen = false;
    std::int32_t             volume     = 100;       // percent
    std::string              password;               // for hosting a private game and joining one
    std::string              botLevel   = "normal";  // easy, normal or hard
    std::int32_t             scoreLimit = 0;         // a match ends at this score; 0: never
    std::int32_t             timeLimit  = 0;         // or after this many minutes; 0: never
    std::vector<std::string> maps;                   // the maps in turn, by name; none: the shipped map alone
    std::string              adminPassword;          // for /admin in chat; empty: no admin
    KeyBindings              keyBindings = defaultKeyBindings();
    GamepadMapping           gamepad;
    std::int32_t             windowWidth  = 0;  // the window's last size; 0: the first start's
    std::int32_t             windowHeight = 0;
};

// The settings file's path; empty when neither $XDG_CONFIG_HOME nor $HOME is set.
std::string settingsPath();

struct LoadedSettings {
    Settings settings;
    // Why the file could not be read, in one line; nothing when it was read
    // or is not there yet. A broken file is never written over.
    std::optional<std::string> problem;
};

LoadedSettings loadSettings(const std::string& path);

// Writes the whole file at once (through a temporary file), making its
// folder as needed; false when it could not be written.
bool saveSettings(const std::string& path, const Settings& settings);
