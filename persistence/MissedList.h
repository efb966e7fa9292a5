#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "persistence/SafeFile.h"

namespace pp {

// The choice of a question that timed out with nothing highlighted.
inline constexpr std::int16_t kNoChoice = -1;

// A question answered wrong: its number in the quiz file and the stored choice judged (1..4,
// choice 0 being the right one), or kNoChoice.
struct MissedAnswer {
    std::int32_t question = 0;
    std::int16_t choice = kNoChoice;

    friend bool operator==(const MissedAnswer&, const MissedAnswer&) = default;
};

// What identifies a quiz file's content: the path's bytes, the size and a hash of the bytes. A
// list kept for a file applies only while all three still match.
struct QuizFingerprint {
    std::string path;  // the path's bytes, as the file system names the file
    std::int64_t size = 0;
    std::uint64_t hash = 0;  // FNV-1a over the whole file

    friend bool operator==(const QuizFingerprint&, const QuizFingerprint&) = default;
};

// Reads the whole file at `path` (absolute or not, it is kept as given); nothing when it cannot.
std::optional<QuizFingerprint> fingerprintQuizFile(const std::filesystem::path& path);

// The missed list of the last finished game on one quiz file.
struct MissedListEntry {
    QuizFingerprint quiz;
    std::vector<MissedAnswer> missed;

    friend bool operator==(const MissedListEntry&, const MissedListEntry&) = default;
};

// The file's name in the user's data folder.
inline constexpr std::string_view kMissedListFileName = "missed.json";

// How many quiz files keep a list; the files played longest ago drop out first.
inline constexpr std::size_t kMissedListFiles = 64;

// The lists as the file's JSON text, newest first:
//   {"version":1,"quizzes":[{"path":"/home/a/quiz.kqd","size":2304,"hash":"0123456789abcdef",
//                             "missed":[{"question":3,"choice":2},{"question":7,"choice":-1}]}]}
// Path bytes other than printable ASCII, and '%', '"' and '\', are written as %XX.
std::string encodeMissedLists(const std::vector<MissedListEntry>& entries);

// Reads that text back; nothing when it is not the shape above. Entries with values out of range
// are skipped rather than refused.
std::optional<std::vector<MissedListEntry>> decodeMissedLists(std::string_view text);

// The list kept in `file` for `quiz`: empty when there is none, or when the quiz file has changed
// since (another size or hash), in which case the stale list is also dropped from `file`.
std::vector<MissedAnswer> loadMissedList(const std::filesystem::path& file, const QuizFingerprint& quiz);

// Keeps `missed` as the list of `quiz` in `file` (made with its folder when missing), in place of
// any earlier one, and moves it to the front. An unreadable `file` is started afresh.
FileStatus saveMissedList(const std::filesystem::path& file, const QuizFingerprint& quiz,
                          const std::vector<MissedAnswer>& missed);

}  // namespace pp
