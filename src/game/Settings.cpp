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
        s.botLevel = table["bot_level"].value_or(std::string("normal"));
    } catch (const toml::parse_error& error) {
        std::ostringstream where;
        where << path << ":" << error.source().begin.line << ": " << error.description();
        loaded.problem = where.str();
    }
    return loaded;
}

namespace {

// Folders made here are the owner's alone, like the file; folders that are
// already there are left as they are.
bool makeFolders(const std::filesystem::path& folder) {
    std::error_code failed;
    if (folder.empty() || std::filesystem::is_directory(folder, failed)) {
        return true;
    }
    if (!makeFolders(folder.parent_path())) {
        return false;
    }
    return ::mkdir(folder.c_str(), 0700) == 0 || (errno == EEXIST && std::filesystem::is_directory(folder, failed));
}

// Writes all the bytes, however the kernel splits or interrupts the writes.
bool writeAll(const int file, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(file, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// A name beside the file that no other save uses, in this process or another.
std::string temporaryNameFor(const std::string& path) {
    static std::atomic<unsigned> saves{0};
    static const unsigned        SALT = std::random_device()();
    return path + "." + std::to_string(::getpid()) + "-" + std::to_string(SALT) + "-" + std::to_string(++saves) +
           ".new";
}

// It may hold a password, so it is owner-only from the call that creates it:
// made any wider and narrowed afterwards, another user could open it in
// between and read on. A new file every time, never one that someone left
// there or a link they planted; and on the disk before it replaces the old.
bool writeOwnerOnlyFile(const std::string& path, const std::string& bytes) {
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (file < 0) {
        return false;
    }
    const bool written = writeAll(file, bytes) && ::fsync(file) == 0;
    return ::close(file) == 0 && written;
}

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
    const toml::table table{
        {"name", settings.name},
        {"last_address", settings.lastAddress},
        {"screen", settings.fullscreen ? "fullscreen" : "window"},
        {"volume", settings.volume},
        {"password", settings.password},
        {"bot_level", settings.botLevel},
    };
    std::ostringstream text;
    text << "# Quillstep's settings; the game rewrites this file when they change.\n" << table << "\n";
    // Written whole beside the old file and then put in its place at once:
    // a reader, or another copy of the game saving too, sees one or the other.
    const std::string target    = fileToReplace(path);
    const std::string temporary = temporaryNameFor(target);
    const bool saved = writeOwnerOnlyFile(temporary, text.str()) && std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!saved) {
        ::unlink(temporary.c_str());
    }
    return saved;
}
