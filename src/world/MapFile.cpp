#include "world/MapFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

bool isBareFileName(const std::string& name) {
    if (name.empty() || name.size() > MAX_MAP_FILE_NAME || name[0] == '.') {
        return false;
    }
    for (const char c : name) {
        if (c == '/' || c < ' ' || c > '~') {
            return false;
        }
    }
    return true;
}

// Closes the descriptor on every way out.
class FileDescriptor {
public:
    explicit FileDescriptor(const int fd) : fd(fd) {}
    ~FileDescriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    FileDescriptor(const FileDescriptor&)            = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd; }

private:
    int fd;
};

}  // namespace

std::optional<std::string> levelsPathFor(const std::string& mapName) {
    const std::string prefix = std::string(LEVELS_FOLDER) + "/";
    const std::string bare   = mapName.compare(0, prefix.size(), prefix) == 0 ? mapName.substr(prefix.size()) : mapName;
    if (!isBareFileName(bare)) {
        return std::nullopt;
    }
    return prefix + bare;
}

MapReadResult readMapFile(const char* const path) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const FileDescriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::string("it is missing.");
        }
        return std::string("it cannot be opened (") + std::strerror(errno) + ").";
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::string("it is not a regular file.");
    }
    MapCells cells{};
    if (status.st_size != static_cast<off_t>(cells.size())) {
        return "it is " + std::to_string(status.st_size) + " bytes long, not " + std::to_string(cells.size()) + ".";
    }
    std::size_t done = 0;
    while (done < cells.size()) {
        const ssize_t got = ::read(file.get(), cells.data() + done, cells.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return std::string("it could not be read.");
        }
        done += static_cast<std::size_t>(got);
    }
    return cells;
}
