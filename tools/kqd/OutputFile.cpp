#include "tools/kqd/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <vector>

#include "persistence/SafeFile.h"

namespace pp::kqd {

namespace {

constexpr std::size_t kSpillPiece = 1 << 20;

// Writes all of `bytes` at `offset`; the error number, or 0.
int writeAllAt(int fd, std::string_view bytes, std::int64_t offset) {
    while (!bytes.empty()) {
        const ssize_t wrote = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return wrote < 0 ? errno : ENOSPC;
        }
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
        offset += wrote;
    }
    return 0;
}

// Why the file at `path` must not be replaced: something other than a regular file stands
// there. Nothing when the path is free or holds a regular file.
std::optional<std::string> notReplaceable(const std::filesystem::path& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || S_ISREG(status.st_mode)) {
        return std::nullopt;  // a missing file is made; any other trouble shows when it is written
    }
    if (S_ISDIR(status.st_mode)) {
        return "it is a folder";
    }
    if (S_ISLNK(status.st_mode)) {
        return "too many levels of symbolic links";
    }
    return "not a regular file (a pipe, socket or device), which kqd never replaces";
}

}  // namespace

ReplacingFile::ReplacingFile(std::filesystem::path target) : target_(std::move(target)) {}

ReplacingFile::~ReplacingFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
    }
}

void ReplacingFile::fail(const std::string& what, int code) {
    if (!error_) {
        error_ = what + " " + target_.string() + ": " + std::strerror(code);
    }
}

std::optional<std::string> ReplacingFile::open() {
    replaced_ = replacedFileFor(target_);
    if (auto problem = notReplaceable(replaced_)) {
        error_ = "cannot write " + target_.string() + ": " + *problem;
        return error_;
    }
    std::string pattern = replaced_.string() + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) {
        fail("cannot write", errno);
        return error_;
    }
    temporary_ = name.data();
    // mkstemp makes the file private; a quiz file gets the permissions any new file gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
    return std::nullopt;
}

bool ReplacingFile::writeAt(std::int64_t offset, std::string_view bytes) {
    if (error_) {
        return false;
    }
    if (const int code = writeAllAt(fd_, bytes, offset); code != 0) {
        fail("cannot write", code);
    }
    return !error_;
}

std::optional<std::string> ReplacingFile::commit() {
    if (error_) {
        return error_;
    }
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) {
        fail("cannot write", errno);
        return error_;
    }
    if (::rename(temporary_.c_str(), replaced_.c_str()) != 0) {
        fail("cannot replace", errno);
        return error_;
    }
    temporary_.clear();
    return std::nullopt;
}

FileSpill::FileSpill(std::filesystem::path target) : target_(std::move(target)) {}

FileSpill::~FileSpill() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::optional<std::string> FileSpill::open() {
    std::filesystem::path folder = target_.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR, 0600);
    if (fd_ < 0) {  // a file system without unnamed files: name one and unlink it at once
        std::string pattern = target_.string() + ".spill-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        fd_ = ::mkstemp(name.data());
        if (fd_ >= 0) {
            ::unlink(name.data());
        }
    }
    if (fd_ < 0) {
        error_ = "cannot write " + target_.string() + ": " + std::strerror(errno);
    }
    return error_;
}

bool FileSpill::flush() {
    if (const int code = writeAllAt(fd_, pending_, size_); code != 0) {
        error_ = "cannot write " + target_.string() + ": " + std::strerror(code);
        return false;
    }
    size_ += static_cast<std::int64_t>(pending_.size());
    pending_.clear();
    return true;
}

bool FileSpill::append(std::string_view bytes) {
    pending_ += bytes;
    return pending_.size() < kSpillPiece || flush();
}

bool FileSpill::replay(const std::function<bool(std::string_view)>& piece) {
    if (!flush()) {
        return false;
    }
    std::string buffer(kSpillPiece, '\0');
    for (std::int64_t offset = 0; offset < size_;) {
        const ssize_t got = ::pread(fd_, buffer.data(), buffer.size(), static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            error_ = "cannot write " + target_.string() + ": " + std::strerror(got < 0 ? errno : EIO);
            return false;
        }
        offset += got;
        if (!piece(std::string_view(buffer.data(), static_cast<std::size_t>(got)))) {
            return false;
        }
    }
    return true;
}

bool isSameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

std::optional<std::string> writeFileReplacing(const std::filesystem::path& path, std::string_view bytes) {
    ReplacingFile file(path);
    if (auto error = file.open()) {
        return error;
    }
    file.writeAt(0, bytes);
    return file.commit();
}

}  // namespace pp::kqd
