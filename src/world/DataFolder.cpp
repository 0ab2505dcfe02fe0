#include "world/DataFolder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

std::string dataFolder;

bool isRegularFile(const std::string& path) {
    std::error_code failed;
    return std::filesystem::is_regular_file(path, failed);
}

}  // namespace

std::vector<std::string> dataFolderCandidates(const std::string& executableFolder) {
    std::vector<std::string> candidates{"."};
    if (!executableFolder.empty()) {
        candidates.push_back(executableFolder);
        candidates.push_back(executableFolder + "/../share/quillstep");
    }
#ifdef QUILLSTEP_SOURCE_DIR
    candidates.emplace_back(QUILLSTEP_SOURCE_DIR);
#endif
#ifdef QUILLSTEP_DATA_DIR
    candidates.emplace_back(QUILLSTEP_DATA_DIR);
#endif
    std::vector<std::string> unique;
    for (const std::string& candidate : candidates) {
        if (std::find(unique.begin(), unique.end(), candidate) == unique.end()) {
            unique.push_back(candidate);
        }
    }
    return unique;
}

std::optional<std::string> findDataFolder(const std::vector<std::string>& candidates) {
    for (const std::string& candidate : candidates) {
        if (isRegularFile(candidate + "/" + GAME_MAP)) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::string executableFolder() {
    std::error_code             failed;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", failed);
    return failed ? std::string() : executable.parent_path().string();
}

void setDataFolder(const std::string& folder) {
    dataFolder = folder == "." ? std::string() : folder;
}

std::string dataPath(const std::string& relativePath) {
    if (dataFolder.empty() || relativePath.empty() || relativePath[0] == '/') {
        return relativePath;
    }
    return dataFolder + "/" + relativePath;
}

std::string keptDataFolder(const std::string& what) {
    const char* const dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') {
        return std::string(dataHome) + "/quillstep/" + what;
    }
    const char* const home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return std::string(home) + "/.local/share/quillstep/" + what;
    }
    return {};
}
