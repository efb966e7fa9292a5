#pragma once

#include <filesystem>
#include <string_view>

namespace pp {

// An exclusive lock on a file in a folder, held from construction for the life of the object.
// The game holds the one of its settings folder while it runs, so that two copies never both
// write there; flock also holds across machines on a home shared over NFS with locking on.
class FolderLock {
public:
    enum class Outcome {
        Taken,          // this object holds the lock
        HeldElsewhere,  // another process holds it
        Unavailable,    // no lock can be had here (a read-only folder, a folder at the lock's path)
    };

    // The lock file's name in the folder.
    static constexpr std::string_view kFileName = ".pocketperna.lock";

    // Tries once, without waiting.
    explicit FolderLock(const std::filesystem::path& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Tries again when the lock is held elsewhere (its holder may have ended since).
    Outcome retry();

    [[nodiscard]] Outcome outcome() const { return outcome_; }
    [[nodiscard]] bool held() const { return outcome_ == Outcome::Taken; }

private:
    std::filesystem::path file_;
    int fd_ = -1;
    Outcome outcome_ = Outcome::Unavailable;
};

}  // namespace pp
