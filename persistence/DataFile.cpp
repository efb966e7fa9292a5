#include "persistence/DataFile.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <ctime>

#include "persistence/SafeFile.h"

namespace pp {
namespace {

// Enough for every second's name to be taken a few times over.
constexpr int kMostKeptAsideNames = 100;

DataFileRead keptAsideResult(const std::filesystem::path& path) {
    DataFileRead result;
    result.keptAs = keepAside(path);
    result.state = result.keptAs.empty() ? DataFileState::CannotKeepAside : DataFileState::KeptAside;
    return result;
}

}  // namespace

std::filesystem::path keepAside(const std::filesystem::path& path) {
    const std::filesystem::path file = replacedFileFor(path);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = file.filename().native() + ".damaged-" + stamp;
    for (int n = 1; n <= kMostKeptAsideNames; ++n) {
        const std::filesystem::path aside = file.parent_path() / (n == 1 ? base : base + "-" + std::to_string(n));
        struct stat info {};
        if (::lstat(aside.c_str(), &info) == 0) {
            continue;
        }
        return std::rename(file.c_str(), aside.c_str()) == 0 ? aside : std::filesystem::path();
    }
    return {};
}

DataFileRead checkDataFile(const std::filesystem::path& path, std::size_t limit) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        // Nothing there (or a link to nothing): a save creates it, or says why it cannot.
        return {};
    }
    if (!S_ISREG(info.st_mode)) {
        return {DataFileState::NotAFile, {}, {}};
    }
    if (static_cast<std::uint64_t>(info.st_size) > limit) {
        return keptAsideResult(path);  // never read whole: it is no file of ours
    }
    return {DataFileState::Read, {}, {}};
}

DataFileRead readDataFile(const std::filesystem::path& path, std::size_t limit, const DataFileCheck& check) {
    DataFileRead result = checkDataFile(path, limit);
    if (result.state != DataFileState::Read) {
        return result;
    }
    FileHead head = readFileHead(path, limit + 1);
    if (!head.bytes) {
        return head.missing ? DataFileRead{} : keptAsideResult(path);  // gone since, or unreadable
    }
    if (head.bytes->size() > limit || (check && !check(*head.bytes))) {
        return keptAsideResult(path);
    }
    result.bytes = std::move(*head.bytes);
    return result;
}

}  // namespace pp
