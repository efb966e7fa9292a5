#include "persistence/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace pp {
namespace {

// Reads until the end of the file or `limit` bytes; nothing when a read fails.
std::optional<std::string> readUpTo(int fd, std::size_t limit) {
    std::string bytes(limit, '\0');
    std::size_t filled = 0;
    while (filled < limit) {
        const ssize_t got = ::read(fd, bytes.data() + filled, limit - filled);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return bytes;
}

// Writes all of `bytes`, going on after short writes and interruptions.
bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Writes the temporary file and flushes it to the disk; false when any step failed.
bool writeDurably(const std::filesystem::path& file, std::string_view bytes) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        return false;
    }
    const bool flushed = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    return flushed && closed;
}

// Flushes the folder's entry for the renamed file, so the rename itself survives a power cut.
// Some file systems refuse to sync a folder; the data is already safe then, so this is best effort.
void syncFolder(const std::filesystem::path& folder) {
    const std::filesystem::path open = folder.empty() ? std::filesystem::path(".") : folder;
    const int fd = ::open(open.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        (void)::close(fd);
    }
}

}  // namespace

std::optional<std::string> readFileHead(const std::filesystem::path& path, std::size_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    std::optional<std::string> bytes;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        bytes = readUpTo(fd, limit);
    }
    (void)::close(fd);
    return bytes;
}

std::filesystem::path temporaryPathFor(const std::filesystem::path& target) {
    std::filesystem::path temporary = target;
    temporary += ".tmp";
    return temporary;
}

bool replaceFileContents(const std::filesystem::path& target, std::string_view bytes,
                         const BeforeReplace& beforeReplace) {
    const std::filesystem::path temporary = temporaryPathFor(target);
    const bool ready = writeDurably(temporary, bytes) && (!beforeReplace || beforeReplace(temporary));
    if (!ready || std::rename(temporary.c_str(), target.c_str()) != 0) {
        (void)::unlink(temporary.c_str());
        return false;
    }
    syncFolder(target.parent_path());
    return true;
}

}  // namespace pp
