#include "world/DataFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>

namespace {

std::string dataFolder;

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
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
    std::array<char, 4096> path{};
    const ssize_t          length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0) {
        return {};
    }
    const std::string executable(path.data(), static_cast<std::size_t>(length));
    const std::size_t slash = executable.rfind('/');
    return slash == std::string::npos ? std::string() : executable.substr(0, std::max<std::size_t>(slash, 1));
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
