#include "game/Settings.h"

#include <sys/stat.h>
#include <toml++/toml.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

constexpr const char* SETTINGS_FOLDER = "quillstep";
constexpr const char* SETTINGS_FILE   = "settings.toml";

bool makeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
    }
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
    LoadedSettings loaded;
    struct stat    info {};
    if (path.empty() || stat(path.c_str(), &info) != 0) {
        return loaded;  // not written yet
    }
    if (!S_ISREG(info.st_mode)) {
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
    const std::size_t slash = path.rfind('/');
    if (path.empty() || slash == std::string::npos || !makeFolders(path.substr(0, slash))) {
        return false;
    }
    const toml::table table{
        {"name", settings.name},
        {"last_address", settings.lastAddress},
        {"screen", settings.fullscreen ? "fullscreen" : "window"},
        {"volume", settings.volume},
        {"password", settings.password},
    };
    const std::string temporary = path + ".new";
    {
        std::ofstream file(temporary, std::ios::trunc);
        file << "# Quillstep's settings; the game rewrites this file when they change.\n" << table << "\n";
        if (!file.flush()) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    chmod(temporary.c_str(), 0600);  // it may hold a password
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}
