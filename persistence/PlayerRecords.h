#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "persistence/MissedList.h"
#include "record/GameState.h"

namespace pp {

// Where a study or review run stood when the program ended, so that the next start can go on
// from the same question with the same counts. Ranked games are never kept: their clock and
// score belong to one sitting.
struct ResumePoint {
    QuizFingerprint quiz;
    std::vector<std::int32_t> reviewQuestions;  // empty for a study run over the whole file
    std::int32_t questionIndex = 0;             // the next question to ask
    std::int16_t score = 0;
    std::array<std::int32_t, kGenreCount> genreCorrect{};
    std::array<std::int32_t, kGenreCount> genreAnswered{};

    friend bool operator==(const ResumePoint&, const ResumePoint&) = default;
};

// The file's name in the user's data folder.
inline constexpr std::string_view kResumeFileName = "resume.json";

// The point as JSON text, and back; nothing when the text is not that shape.
std::string encodeResumePoint(const ResumePoint& point);
std::optional<ResumePoint> decodeResumePoint(std::string_view text);

// The point kept in `file`; nothing when there is none or it cannot be read (then kept aside).
std::optional<ResumePoint> loadResumePoint(const std::filesystem::path& file);
// Keeps `point` in `file` (made with its folder), or with nothing removes the file.
FileStatus saveResumePoint(const std::filesystem::path& file, const std::optional<ResumePoint>& point);

// The ten best games on one quiz file, beside the overall ranking the settings file keeps.
struct FileRanking {
    QuizFingerprint quiz;
    std::array<RankEntry, kRankingRows> rows{};
};

// The file's name in the user's data folder.
inline constexpr std::string_view kFileRankingsName = "rankings.json";

// How many quiz files keep a ranking; the files played longest ago drop out first.
inline constexpr std::size_t kRankedFiles = 64;

// The rankings as JSON text, newest first, and back; nothing when the text is not that shape.
std::string encodeFileRankings(const std::vector<FileRanking>& rankings);
std::optional<std::vector<FileRanking>> decodeFileRankings(std::string_view text);

// The ranking kept in `file` for `quiz`: empty rows when there is none or the quiz file changed
// since. A damaged `file` is kept aside, never written over.
std::array<RankEntry, kRankingRows> loadFileRanking(const std::filesystem::path& file, const QuizFingerprint& quiz);
// Keeps `rows` as the ranking of `quiz` in `file`, in place of any earlier one, at the front.
FileStatus saveFileRanking(const std::filesystem::path& file, const QuizFingerprint& quiz,
                           const std::array<RankEntry, kRankingRows>& rows);

}  // namespace pp
