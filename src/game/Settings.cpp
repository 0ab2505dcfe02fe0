#include "game/Settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <toml++/toml.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>

#include "platform/AtomicFile.h"

namespace {

constexpr const char* SETTINGS_FOLDER = "quillstep";
constexpr const char* SETTINGS_FILE   = "settings.toml";

// [keys]: each action's keys by name, up to two; a name the game does not
// know binds nothing. [gamepad]: the buttons that fire and show the board.
void readControls(const toml::table& table, Settings& s) {
    if (const toml::table* const keys = table["keys"].as_table()) {
        for (int action = 0; action < ACTION_COUNT; ++action) {
            const toml::array* const names = (*keys)[actionInfo(static_cast<ControlAction>(action)).name].as_array();
            if (names == nullptr) {
                continue;
            }
            auto& bound = s.keyBindings[static_cast<std::size_t>(action)];
            bound.fill(0);
            for (std::size_t slot = 0; slot < bound.size() && slot < names->size(); ++slot) {
                bound[slot] = keyNamed((*names)[slot].value_or(std::string())).value_or(0);
            }
        }
    }
    for (auto [field, name] :
         {std::pair{&GamepadMapping::fire, "fire"}, std::pair{&GamepadMapping::scoreboard, "scoreboard"}}) {
        const std::string button = table["gamepad"][name].value_or(std::string());
        if (isGamepadButton(button)) {
            s.gamepad.*field = button;
        }
    }
}

toml::table writeControls(const Settings& settings) {
    toml::table keys;
    for (int action = 0; action < ACTION_COUNT; ++action) {
        toml::array names;
        for (const int code : settings.keyBindings[static_cast<std::size_t>(action)]) {
            names.push_back(keyName(code));
        }
        keys.insert(actionInfo(static_cast<ControlAction>(action)).name, std::move(names));
    }
    return keys;
}

}  // namespace

std::string settingsPath() {
    const char* const configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome != nullptr && configHome[0] == '/') {
        return std::string(configHome) + "/" + SETTINGS_FOLDER + "/" + SETTINGS_FILE;
    }
    const char* const home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return std::string(home) + "/.config/" + SETTINGS_FOLDER + "/" + SETTINGS_FILE;
    }
    return {};
}

LoadedSettings loadSettings(const std::string& path) {
    LoadedSettings                     loaded;
    std::error_code                    failed;
    const std::filesystem::file_status status = std::filesystem::status(path, failed);
    if (!std::filesystem::exists(status)) {
        return loaded;  // not written yet
    }
    if (!std::filesystem::is_regular_file(status)) {
        loaded.problem = path + " is not a regular file";
        return loaded;
    }
    try {
        const toml::table table = toml::parse_file(path);
        Settings&         s     = loaded.settings;
        s.name                  = table["name"].value_or(std::string());
        s.lastAddress           = table["last_address"].value_or(std::string());
        s.fullscreen            = table["screen"].value_or(std::string("window")) == "fullscreen";
        s.volume   = static_cast<std::int32_t>(std::clamp<std::int64_t>(table["volume"].value_or(100), 0, 100));
        s.password = table["password"].value_or(std::string());
        s.botLevel = table["bot_level"].value_or(std::string("normal"));
        s.scoreLimit =
            static_cast<std::int32_t>(std::clamp<std::int64_t>(table["score_limit"].value_or(0), 0, 1000000));
        s.timeLimit     = static_cast<std::int32_t>(std::clamp<std::int64_t>(table["time_limit"].value_or(0), 0, 1440));
        s.adminPassword = table["admin_password"].value_or(std::string());
        readControls(table, s);
        if (const toml::array* const size = table["window_size"].as_array(); size != nullptr && size->size() == 2) {
            s.windowWidth  = static_cast<std::int32_t>(std::clamp<std::int64_t>((*size)[0].value_or(0), 0, 16384));
            s.windowHeight = static_cast<std::int32_t>(std::clamp<std::int64_t>((*size)[1].value_or(0), 0, 16384));
        }
        if (const toml::array* const maps = table["maps"].as_array()) {
            for (const toml::node& map : *maps) {
                if (const std::optional<std::string> name = map.value<std::string>()) {
                    s.maps.push_back(*name);
                }
            }
        }
    } catch (const toml::parse_error& error) {
        std::ostringstream where;
        where << path << ":" << error.source().begin.line << ": " << error.description();
        loaded.problem = where.str();
    }
    return loaded;
}

namespace {

// The file a save replaces: the settings file, or where it links to (a
// folder of dotfiles, say), so that the link stays a link.
std::string fileToReplace(const std::string& path) {
    std::error_code failed;
    if (!std::filesystem::is_symlink(path, failed)) {
        return path;
    }
    const std::filesystem::path target = std::filesystem::weakly_canonical(path, failed);
    return failed ? path : target.string();
}

}  // namespace

bool saveSettings(const std::string& path, const Settings& settings) {
    if (path.empty() || !makeFolders(std::filesystem::path(path).parent_path())) {
        return false;
    }
    toml::table table{
        {"name", settings.name},
        {"last_address", settings.lastAddress},
        {"screen", settings.fullscreen ? "fullscreen" : "window"},
        {"volume", settings.volume},
        {"password", settings.password},
        {"bot_level", settings.botLevel},
        {"score_limit", settings.scoreLimit},
        {"time_limit", settings.timeLimit},
        {"admin_password", settings.adminPassword},
    };
    toml::array maps;
    for (const std::string& map : settings.maps) {
        maps.push_back(map);
    }
    table.insert("maps", std::move(maps));
    table.insert("window_size", toml::array{settings.windowWidth, settings.windowHeight});
    table.insert("keys", writeControls(settings));
    table.insert("gamepad", toml::table{{"fire", settings.gamepad.fire}, {"scoreboard", settings.gamepad.scoreboard}});
    std::ostringstream text;
    text << "# Quillstep's settings; the game rewrites this file when they change.\n" << table << "\n";
    // Written whole beside the old file and then put in its place at once:
    // a reader, or another copy of the game saving too, sees one or the other.
    return replaceFile(fileToReplace(path), text.str());
}
