#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "authoring/QuizBuild.h"

namespace pp::kqd {

// A file that replaces `target` only once it is whole: it is written to a temporary file in
// the same folder, renamed over the target by commit(), and removed if never committed.
// Every failure names the target, as the user gave it, never the temporary file. A symbolic
// link is written through, so the link stays and its target gets the content; only a regular
// file is ever replaced: a folder, pipe, socket or device at the path is refused by open(),
// since a rename would turn it into a plain file (as root, even /dev/null).
class ReplacingFile {
public:
    explicit ReplacingFile(std::filesystem::path target);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the temporary file; the reason when it cannot.
    std::optional<std::string> open();

    // Writes `bytes` at `offset`; false after the first failure, which error() then names.
    bool writeAt(std::int64_t offset, std::string_view bytes);

    // Closes the file and puts it in place of the target; the reason when it cannot.
    std::optional<std::string> commit();

    [[nodiscard]] const std::optional<std::string>& error() const { return error_; }

private:
    void fail(const std::string& what, int code);

    std::filesystem::path target_;
    std::filesystem::path replaced_;  // the target at the end of its links
    std::string temporary_;
    int fd_ = -1;
    std::optional<std::string> error_;
};

// A spill in a temporary file beside `target` that has no name and goes with the process, so
// that a large quiz waits on disk rather than in memory.
class FileSpill : public Spill {
public:
    explicit FileSpill(std::filesystem::path target);
    ~FileSpill() override;
    FileSpill(const FileSpill&) = delete;
    FileSpill& operator=(const FileSpill&) = delete;

    // Creates the file; the reason, naming the target, when it cannot.
    std::optional<std::string> open();

    bool append(std::string_view bytes) override;
    bool replay(const std::function<bool(std::string_view)>& piece) override;

    [[nodiscard]] const std::optional<std::string>& error() const { return error_; }

private:
    bool flush();

    std::filesystem::path target_;
    int fd_ = -1;
    std::string pending_;
    std::int64_t size_ = 0;
    std::optional<std::string> error_;
};

// Whether two paths name the same file, through links or other spellings of the path.
bool isSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Writes `bytes` to `path` through a ReplacingFile; the reason when it cannot.
std::optional<std::string> writeFileReplacing(const std::filesystem::path& path, std::string_view bytes);

}  // namespace pp::kqd
