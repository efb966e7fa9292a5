#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "persistence/History.h"
#include "record/GameState.h"

namespace pp {

// A question missed often, with the texts the progress window shows.
struct OftenMissed {
    std::int32_t question = 0;
    std::int32_t misses = 0;
    std::int32_t answers = 0;
    std::u16string text;
    std::u16string right;
};

// What the progress window charts, for the quiz file opened last.
struct Progress {
    std::vector<GameRecord> games;     // the latest games, oldest first
    std::vector<GenreDay> genreDays;   // right answers per genre, day by day
    std::vector<int> dueByDay;         // questions due on each of the next days, today first
    std::vector<OftenMissed> mostMissed;
};

inline constexpr int kProgressGames = 50;
inline constexpr int kProgressDays = 14;
inline constexpr int kProgressMissed = 10;
// The genre chart's days: the latest ones answered on, so a long history stays readable.
inline constexpr std::size_t kProgressGenreDays = 60;

// The answers as CSV text (UTF-8 with a byte order mark, so spreadsheets read the Japanese):
// one row per answer, oldest first.
std::string historyCsv(const std::vector<AnswerRecord>& answers);

// The game's side of the history: it keeps every judged answer and finished game of the quiz
// file opened last, with each question's review card brought up to date, and says which
// questions are due. Without a History it keeps nothing and nothing is ever due.
class StudyHistory {
public:
    void keepIn(std::unique_ptr<History> history) { history_ = std::move(history); }
    [[nodiscard]] bool inUse() const { return history_ != nullptr; }
    [[nodiscard]] History* store() { return history_.get(); }

    // A quiz file was opened (or is the one to start again on): its cards are read.
    void quizOpened(const std::filesystem::path& path);
    void quizLost();

    // The Judging screen's verdict on the question in `state`, on `day`.
    void judged(const GameState& state, std::int32_t day);
    // The game in `state` ended on `day`.
    void gameFinished(const GameState& state, std::int32_t day);

    // The questions due on `day`, hardest first.
    [[nodiscard]] std::vector<std::int32_t> due(std::int32_t day) const;
    [[nodiscard]] int dueCount(std::int32_t day) const;
    // The figures of the progress window on `day`, with texts read from the quiz file at `path`.
    [[nodiscard]] Progress progress(const std::filesystem::path& path, std::int32_t day);
    [[nodiscard]] std::vector<ReviewCard> cards() const;

    // A problem the player has not been told of yet; each kind is told once in a run.
    std::optional<HistoryProblem> takeNotice();
    // Looks for a problem the store met in calls made on it from elsewhere (the missed lists).
    void checkStore() {
        if (history_) {
            noteProblem();
        }
    }

private:
    void noteProblem();

    std::unique_ptr<History> history_;
    bool quizSelected_ = false;
    std::map<std::int32_t, ReviewCard> cards_;
    std::optional<HistoryProblem> notice_;
    std::uint32_t toldProblems_ = 0;
};

// The mode a finished game is kept under: "review", "study" or "game".
const char* gameMode(const GameState& state);

}  // namespace pp
