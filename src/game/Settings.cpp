#include "game/Settings.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

constexpr const char* SETTINGS_FOLDER = "quillstep";
constexpr const char* SETTINGS_FILE   = "settings.toml";

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
    } catch (const toml::parse_error& error) {
        std::ostringstream where;
        where << path << ":" << error.source().begin.line << ": " << error.description();
        loaded.problem = where.str();
    }
    return loaded;
}

bool saveSettings(const std::string& path, const Settings& settings) {
    std::error_code failed;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), failed);
    if (path.empty() || failed) {
        return false;
    }
    const toml::table table{
        {"name", settings.name},
        {"last_address", settings.lastAddress},
        {"screen", settings.fullscreen ? "fullscreen" : "window"},
        {"volume", settings.volume},
        {"password", settings.password},
    };
    // Written whole beside the old file and then put in its place.
    const std::string temporary = path + ".new";
    bool              written   = false;
    {
        std::ofstream file(temporary, std::ios::trunc);
        // It may hold a password: only the owner may read it, before a byte is written.
        std::filesystem::permissions(temporary,
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, failed);
        if (!failed) {
            file << "# Quillstep's settings; the game rewrites this file when they change.\n" << table << "\n";
            written = static_cast<bool>(file.flush());
        }
    }
    if (written) {
        std::filesystem::rename(temporary, path, failed);
    }
    if (!written || failed) {
        std::filesystem::remove(temporary, failed);
        return false;
    }
    return true;
}
