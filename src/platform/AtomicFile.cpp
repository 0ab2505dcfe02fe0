#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>

namespace {

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

// Owner-only at once: made any wider and narrowed afterwards, another user
// could open it in between and read on.
bool writeNewOwnerOnlyFile(const std::string& path, const std::string& bytes) {
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (file < 0) {
        return false;
    }
    const bool written = writeAll(file, bytes) && ::fsync(file) == 0;
    return ::close(file) == 0 && written;
}

}  // namespace

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

bool replaceFile(const std::string& target, const std::string& bytes) {
    const std::string temporary = temporaryNameFor(target);
    const bool saved = writeNewOwnerOnlyFile(temporary, bytes) && std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!saved) {
        ::unlink(temporary.c_str());
    }
    return saved;
}
