#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <vector>

namespace pp::kqd {

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
    std::string pattern = target_.string() + ".tmp-XXXXXX";
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
    while (!error_ && !bytes.empty()) {
        const ssize_t wrote = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            fail("cannot write", wrote < 0 ? errno : ENOSPC);
            break;
        }
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
        offset += wrote;
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
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        fail("cannot replace", errno);
        return error_;
    }
    temporary_.clear();
    return std::nullopt;
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
