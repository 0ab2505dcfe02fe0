#include "rules/Maps.h"

#include <sodium.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/AtomicFile.h"
#include "world/DataFolder.h"
#include "world/MapFile.h"

namespace {

constexpr const char* MAP_SUFFIX = ".raw";

std::string hashOf(const MapCells& cells) {
    std::string hash(MAP_HASH_BYTES, '\0');
    if (sodium_init() < 0) {
        return {};  // a hash of no bytes, which acceptMap never takes
    }
    crypto_generichash(reinterpret_cast<unsigned char*>(hash.data()), hash.size(), cells.data(), cells.size(), nullptr,
                       0);
    return hash;
}

std::string receivedFileOf(const std::string& name) {
    const std::string folder = receivedMapsFolder();
    return folder.empty() ? std::string() : folder + "/" + name + MAP_SUFFIX;
}

// The checked cells of a map file, or why they cannot be played.
std::variant<GameMap, std::string> readMap(const std::string& name, const std::string& path) {
    const MapReadResult read = readMapFile(path.c_str());
    if (const auto* const reason = std::get_if<std::string>(&read)) {
        return *reason;
    }
    GameMap map{name, std::get<MapCells>(read)};
    if (const std::optional<std::string> reason = whyUnplayable(map.cells)) {
        return *reason;
    }
    return map;
}

bool holdsCells(const std::string& path, const MapCells& cells) {
    const MapReadResult read = readMapFile(path.c_str());
    return std::holds_alternative<MapCells>(read) && std::get<MapCells>(read) == cells;
}

}  // namespace

bool isMapName(const std::string& name) {
    return !name.empty() && name.size() <= static_cast<std::size_t>(MAX_MAP_NAME_BYTES) &&
           std::all_of(name.begin(), name.end(), [](const char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                      c == '_';
           });
}

std::string levelsFileOf(const std::string& name) {
    return std::string(LEVELS_FOLDER) + "/" + name + MAP_SUFFIX;
}

std::optional<std::string> mapNameOfFile(const std::string& fileName) {
    const std::optional<std::string> path = levelsPathFor(fileName);
    if (!path) {
        return std::nullopt;
    }
    const std::string file = std::filesystem::path(*path).filename().string();
    const std::size_t cut  = file.size() >= 4 ? file.size() - 4 : 0;
    if (file.compare(cut, std::string::npos, MAP_SUFFIX) != 0 || !isMapName(file.substr(0, cut))) {
        return std::nullopt;
    }
    return file.substr(0, cut);
}

std::string receivedMapsFolder() {
    return keptDataFolder("maps");
}

std::vector<std::string> shippedMapNames() {
    std::vector<std::string> names;
    std::error_code          failed;
    for (const auto& entry : std::filesystem::directory_iterator(dataPath(LEVELS_FOLDER), failed)) {
        const std::filesystem::path& path = entry.path();
        if (path.extension() == MAP_SUFFIX && isMapName(path.stem().string())) {
            names.push_back(path.stem().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::variant<GameMap, std::string> findMap(const std::string& name) {
    if (!isMapName(name)) {
        return std::string("that is no map's name.");
    }
    const std::string shipped  = dataPath(levelsFileOf(name));
    const std::string received = receivedFileOf(name);
    std::error_code   failed;
    const bool        kept = !received.empty() && std::filesystem::exists(received, failed);
    return readMap(name, kept && !std::filesystem::exists(shipped, failed) ? received : shipped);
}

void beginRotationWith(std::vector<std::string>& rotation, const std::string& first) {
    const auto at = std::find(rotation.begin(), rotation.end(), first);
    if (at == rotation.end()) {
        rotation.insert(rotation.begin(), first);
    } else {
        std::rotate(rotation.begin(), at, rotation.end());
    }
}

MapMessage mapMessageOf(const GameMap& map) {
    return {map.name, hashOf(map.cells), std::string(map.cells.begin(), map.cells.end())};
}

std::variant<GameMap, std::string> acceptMap(const MapMessage& message) {
    if (!isMapName(message.name)) {
        return std::string("its name is not a map's name.");
    }
    GameMap map{message.name, {}};
    if (message.cells.size() != map.cells.size()) {
        return std::string("it is not a whole map.");
    }
    std::copy(message.cells.begin(), message.cells.end(), map.cells.begin());
    if (message.hash.size() != static_cast<std::size_t>(MAP_HASH_BYTES) || message.hash != hashOf(map.cells)) {
        return std::string("it did not arrive as it was sent.");
    }
    if (const std::optional<std::string> reason = whyUnplayable(map.cells)) {
        return *reason;
    }
    return map;
}

void keepReceivedMap(const GameMap& map) {
    const std::string received = receivedFileOf(map.name);
    if (received.empty() || holdsCells(dataPath(levelsFileOf(map.name)), map.cells) ||
        holdsCells(received, map.cells)) {
        return;
    }
    // Kept for next time only: the game is played from the cells in hand,
    // so a folder that cannot be written costs nothing now.
    if (makeFolders(std::filesystem::path(received).parent_path())) {
        replaceFile(received, std::string(map.cells.begin(), map.cells.end()));
    }
}
