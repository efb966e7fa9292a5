#include "persistence/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

namespace pp {
namespace {

// More links than this in a row are a loop; the save then fails on the last one like any other.
constexpr int kMostLinksFollowed = 40;
constexpr mode_t kNewFileMode = 0666;

// A temporary file this old belongs to a save that was killed before its rename: a save in
// progress holds its file for well under a second.
constexpr auto kAbandonedAfter = std::chrono::hours(1);

FileStatus statusForError(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return FileStatus::NoFolder;
        case EACCES:
        case EPERM:
        case EROFS:
            return FileStatus::ReadOnly;
        case ENOSPC:
        case EDQUOT:
            return FileStatus::NoSpace;
        default:
            return FileStatus::Failed;
    }
}

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

// Writes all of `bytes`, going on after short writes and interruptions; errno tells a failure.
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

// The permissions the new file gets: those of the file it replaces, or what a plain create would
// give. mkstemp alone would leave the file readable by its owner only.
mode_t modeFor(const std::filesystem::path& replaced) {
    struct stat info {};
    if (::stat(replaced.c_str(), &info) == 0) {
        return info.st_mode & 07777;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return kNewFileMode & ~mask;
}

// Fills the open temporary file, flushes it to the disk and closes it.
FileStatus writeDurably(int fd, std::string_view bytes, mode_t mode) {
    (void)::fchmod(fd, mode);  // best effort: the content matters more than its permissions
    FileStatus status = FileStatus::Ok;
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0) {
        status = statusForError(errno);
    }
    if (::close(fd) != 0 && status == FileStatus::Ok) {
        status = statusForError(errno);  // NFS and quotas may report a full disk only here
    }
    return status;
}

// Flushes the folder's entry for the renamed file, so the rename itself survives a power cut.
// Some file systems refuse to sync a folder; the data is already safe then, so this is best effort.
void syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        (void)::close(fd);
    }
}

// Removes the temporary files of `replaced` that saves killed before their rename left behind
// (the same name pattern, a regular file, untouched for an hour), so a game killed mid-save
// does not litter the player's folder for good.
void removeAbandonedTemporaries(const std::filesystem::path& folder, const std::filesystem::path& replaced,
                                std::filesystem::file_time_type cutoff) {
    const std::string prefix = "." + replaced.filename().native() + ".";
    std::error_code error;
    for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().native();
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix) || !entry.is_regular_file(error) ||
            entry.is_symlink(error)) {
            continue;
        }
        const auto modified = entry.last_write_time(error);
        if (!error && modified < cutoff) {
            (void)::unlink(entry.path().c_str());
        }
    }
}

}  // namespace

FileHead readFileHead(const std::filesystem::path& path, std::size_t limit) {
    FileHead head;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        head.missing = errno == ENOENT || errno == ENOTDIR;
        return head;
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        head.bytes = readUpTo(fd, limit);
    }
    (void)::close(fd);
    return head;
}

std::filesystem::path replacedFileFor(const std::filesystem::path& target) {
    std::filesystem::path current = target;
    for (int link = 0; link < kMostLinksFollowed; ++link) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(current, error))) {
            break;
        }
        const std::filesystem::path next = std::filesystem::read_symlink(current, error);
        if (error) {
            break;
        }
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return current;
}

FileStatus replaceFileContents(const std::filesystem::path& target, std::string_view bytes,
                               const BeforeReplace& beforeReplace) {
    const std::filesystem::path replaced = replacedFileFor(target);
    const std::filesystem::path folder =
        replaced.has_parent_path() ? replaced.parent_path() : std::filesystem::path(".");
    // A rename over a device node or a pipe would turn it into a plain file (as root, even /dev/null).
    if (struct stat info {}; ::lstat(replaced.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        return FileStatus::NotAFile;
    }
    // A unique name, so that nothing left at a fixed name (a file, a folder) can block the save.
    std::string pattern = (folder / ("." + replaced.filename().native() + ".XXXXXX")).native();
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        return statusForError(errno);
    }
    const std::filesystem::path temporary(pattern);
    FileStatus status = writeDurably(fd, bytes, modeFor(replaced));
    if (status == FileStatus::Ok && beforeReplace && !beforeReplace(temporary)) {
        status = FileStatus::Failed;
    }
    if (status == FileStatus::Ok && std::rename(temporary.c_str(), replaced.c_str()) != 0) {
        status = statusForError(errno);
    }
    if (status != FileStatus::Ok) {
        (void)::unlink(temporary.c_str());
        return status;
    }
    syncFolder(folder);
    removeAbandonedTemporaries(folder, replaced, std::filesystem::file_time_type::clock::now() - kAbandonedAfter);
    return FileStatus::Ok;
}

void removeLeftoverTemporaries(const std::filesystem::path& target) {
    const std::filesystem::path replaced = replacedFileFor(target);
    const std::filesystem::path folder =
        replaced.has_parent_path() ? replaced.parent_path() : std::filesystem::path(".");
    removeAbandonedTemporaries(folder, replaced, std::filesystem::file_time_type::max());
}

}  // namespace pp
