#pragma once

#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "record/GameState.h"

namespace pp::test {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "perna-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The names of the files in `folder`, to see that nothing was left behind.
inline std::vector<std::string> fileNamesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// The exit status a child of inChildProcess gives when it could not set up its test.
inline constexpr int kChildCannotSetUp = 77;

// Runs `body` in a child process and returns its exit status. With `unprivileged`, a child of
// root first becomes the user "nobody", since root reads and writes past file permissions;
// nothing when there is no such user (the caller skips its test then).
inline std::optional<int> inChildProcess(const std::function<int()>& body, bool unprivileged = false) {
    const passwd* nobody = ::getpwnam("nobody");
    const bool switchUser = unprivileged && ::geteuid() == 0;
    if (switchUser && nobody == nullptr) {
        return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        if (switchUser && (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)) {
            ::_exit(kChildCannotSetUp);
        }
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return std::nullopt;
    }
    return WEXITSTATUS(status);
}

// A ranking row; spelled out because a string literal does not convert to a name in braces.
inline RankEntry rankEntry(std::u16string_view name, int score) {
    RankEntry entry;
    entry.name = name;
    entry.score = static_cast<std::int16_t>(score);
    return entry;
}

}  // namespace pp::test

namespace pp {

// Lets GoogleTest show a name in a failure as text rather than as the buffer's bytes.
template <std::size_t Capacity>
void PrintTo(const FixedText<Capacity>& text, std::ostream* out) {
    *out << '"';
    for (char16_t unit : text.view()) {
        if (unit >= 0x20 && unit < 0x7F) {
            *out << static_cast<char>(unit);
        } else {
            *out << "\\u" << std::hex << static_cast<unsigned>(unit) << std::dec;
        }
    }
    *out << '"';
}

}  // namespace pp
