#include "persistence/FolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pp {

FolderLock::FolderLock(const std::filesystem::path& folder) : file_(folder / std::string(kFileName)) { retry(); }

FolderLock::~FolderLock() {
    if (fd_ >= 0) {
        ::close(fd_);  // closing the last descriptor releases the lock
    }
}

FolderLock::Outcome FolderLock::retry() {
    if (outcome_ == Outcome::Taken) {
        return outcome_;
    }
    if (fd_ < 0) {
        // Never through a link, and never blocking on a pipe someone left at the name.
        fd_ = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0644);
        struct stat info {};
        if (fd_ >= 0 && (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode))) {
            ::close(fd_);
            fd_ = -1;
        }
        if (fd_ < 0) {
            outcome_ = Outcome::Unavailable;
            return outcome_;
        }
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        outcome_ = Outcome::Taken;
    } else {
        outcome_ = errno == EWOULDBLOCK ? Outcome::HeldElsewhere : Outcome::Unavailable;
    }
    return outcome_;
}

}  // namespace pp
