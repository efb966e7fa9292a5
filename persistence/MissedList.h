#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "persistence/DataFile.h"
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

// What identifies a quiz file's content: the path's bytes, the size and a hash of every byte. A
// list kept for a file applies only while all of them still match.
struct QuizFingerprint {
    std::string path;  // the path's bytes, as the file system names the file
    std::int64_t size = 0;
    std::int64_t modified = 0;  // 0: the contents alone decide (earlier prints held a time here)
    std::uint64_t hash = 0;     // FNV-1a over the whole file

    friend bool operator==(const QuizFingerprint&, const QuizFingerprint&) = default;
};

// Fingerprints the regular file at `path` (absolute or not, it is kept as given) by reading it
// whole; nothing for anything but a regular file, which is checked before it is opened, so that
// a pipe or a device never stalls the game, nor for a file larger than any quiz (256 MiB).
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
//   {"version":2,"quizzes":[{"path":"/home/a/quiz.kqd","size":2304,"modified":1700000000000000000,
//                             "hash":"0123456789abcdef",
//                             "missed":[{"question":3,"choice":2},{"question":7,"choice":-1}]}]}
// Path bytes other than printable ASCII, and '%', '"' and '\', are written as %XX.
std::string encodeMissedLists(const std::vector<MissedListEntry>& entries);

// Reads that text back; nothing when it is not the shape above or of a newer version. Entries with
// values out of range are skipped rather than refused; the fingerprints of version 1 (a hash of
// the whole file) match no file now, so such a text reads as no lists.
std::optional<std::vector<MissedListEntry>> decodeMissedLists(std::string_view text);

// The largest `file` read; a larger one is kept aside unread.
inline constexpr std::size_t kLargestMissedListFile = 4 * 1024 * 1024;

// The lists in `file` as they stand, for bringing them over into the history once: none when it
// is missing, not a regular file, too large or not a list file of a known version. The file is
// only read, never renamed or written, whatever it holds.
std::vector<MissedListEntry> readMissedLists(const std::filesystem::path& file);

// What became of `file` when it could not be used as it was, for the player to be told.
struct MissedListNotice {
    DataFileState state = DataFileState::Read;  // KeptAside, NotAFile or CannotKeepAside when worth telling
    std::filesystem::path keptAs;

    [[nodiscard]] bool worthTelling() const {
        return state == DataFileState::KeptAside || state == DataFileState::NotAFile ||
               state == DataFileState::CannotKeepAside;
    }
};

// The list kept in `file` for `quiz`: empty when there is none, or when the quiz file has changed
// since (another size, time or hash), in which case the stale list is also dropped from `file`.
// A `file` that cannot be read, is damaged, newer or too large is renamed aside, never written over.
std::vector<MissedAnswer> loadMissedList(const std::filesystem::path& file, const QuizFingerprint& quiz,
                                         MissedListNotice* notice = nullptr);

// Keeps `missed` as the list of `quiz` in `file` (made with its folder when missing), in place of
// any earlier one, and moves it to the front. A `file` that cannot be read is first kept aside as
// loadMissedList does; where nothing can be kept aside, or no file can stand, nothing is written.
FileStatus saveMissedList(const std::filesystem::path& file, const QuizFingerprint& quiz,
                          const std::vector<MissedAnswer>& missed, MissedListNotice* notice = nullptr);

}  // namespace pp
