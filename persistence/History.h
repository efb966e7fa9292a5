#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "persistence/MissedList.h"
#include "record/GameState.h"

namespace pp {

// One judged answer, as the history keeps it. `day` counts days since 1970-01-01 (local date).
struct AnswerRecord {
    std::int32_t day = 0;
    std::int32_t question = 0;  // the question's number in the quiz file
    std::int32_t genre = 0;
    std::int16_t choice = kNoChoice;  // the stored choice judged (0 is the right one), or kNoChoice
    bool right = false;
    std::int32_t timeLeftTicks = 0;
};

// One finished game: "game", "study" or "review", its score and its per-genre counts.
struct GameRecord {
    std::int32_t day = 0;
    std::string mode;
    std::int32_t score = 0;
    std::array<std::int32_t, kGenreCount> genreCorrect{};
    std::array<std::int32_t, kGenreCount> genreAnswered{};
};

// A question's review schedule: its memory (stability in days, difficulty 1..10) and the days of
// its last review and of the next one. reps == 0 means it was never reviewed.
struct ReviewCard {
    std::int32_t question = 0;
    double stability = 0;
    double difficulty = 0;
    std::int32_t lastDay = 0;
    std::int32_t dueDay = 0;
    std::int32_t reps = 0;
    std::int32_t lapses = 0;
};

// Why the history could not keep or read something; each is told to the player once.
enum class HistoryProblem : int { None = 0, Damaged, Locked, ReadOnly, Full, Unavailable };

// A question missed most often, for the progress window.
struct MissCount {
    std::int32_t question = 0;
    std::int32_t misses = 0;
    std::int32_t answers = 0;
};

// Right answers per genre over the answers of one day.
struct GenreDay {
    std::int32_t day = 0;
    std::array<std::int32_t, kGenreCount> right{};
    std::array<std::int32_t, kGenreCount> answered{};
};

// The player's history across days, per quiz file: the port the game records every answer and
// every finished game through. The desktop keeps it in SQLite (HistoryDb), tests in memory.
// A failure never throws: the call does what it can, and the problem waits in takeProblem().
class History {
public:
    virtual ~History() = default;

    // The quiz file the next calls are about, known by its fingerprint.
    virtual void selectQuiz(const QuizFingerprint& quiz) = 0;
    // The review card of every question of the selected quiz answered so far.
    virtual std::vector<ReviewCard> cards() = 0;
    // Keeps the answer and the question's new card together: both or neither.
    virtual void recordAnswer(const AnswerRecord& answer, const ReviewCard& card) = 0;
    virtual void recordGame(const GameRecord& game) = 0;

    // For the progress window and the export, of the selected quiz.
    virtual std::vector<GameRecord> games() = 0;
    virtual std::vector<GenreDay> genreDays() = 0;
    virtual std::vector<MissCount> mostMissed(int count) = 0;
    virtual std::vector<AnswerRecord> answers() = 0;

    // Whether this history keeps the missed-question lists too; one that does not leaves them to
    // the game's own list file.
    [[nodiscard]] virtual bool keepsMissedLists() const { return false; }
    // The missed list of the selected quiz's last finished game (empty when it has none), or
    // nothing when it could not be read.
    virtual std::optional<std::vector<MissedAnswer>> missedList() { return std::nullopt; }
    // Keeps `missed` as the selected quiz's list, in place of the one before.
    virtual void keepMissedList(const std::vector<MissedAnswer>& missed) { (void)missed; }

    // The first problem since the last call, if any.
    virtual HistoryProblem takeProblem() = 0;
};

}  // namespace pp
