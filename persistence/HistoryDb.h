#pragma once

#include <filesystem>
#include <string_view>

#include "persistence/History.h"

struct sqlite3;

namespace pp {

// The history file's name in the user's data folder, beside the missed lists.
inline constexpr std::string_view kHistoryFileName = "history.sqlite3";

// The history in an SQLite file (WAL journal, so a kill during a write loses at most that write).
// A file that is damaged, of a newer schema, locked by another copy for too long, read-only or on
// a full disk is never deleted or rewritten: the calls that cannot be done do nothing and report
// why through takeProblem(), and the game plays on.
class HistoryDb final : public History {
public:
    // Opens the file at `path`; ":memory:" keeps it in memory. A missing file is made by the first
    // write, so a start that records nothing leaves no file behind; one that another copy made
    // meanwhile is opened when a quiz is next selected. When the file first takes the
    // missed lists, those of the older list file `oldMissedLists` are brought in; that file is only
    // read, and never again once they are in.
    explicit HistoryDb(const std::filesystem::path& path, std::filesystem::path oldMissedLists = {});
    HistoryDb(const HistoryDb&) = delete;
    HistoryDb& operator=(const HistoryDb&) = delete;
    ~HistoryDb() override;

    // The schema version this build writes; a file at a later one is only ever read.
    static constexpr int kSchemaVersion = 4;

    [[nodiscard]] bool usable() const { return db_ != nullptr || unmade_; }
    // The file's schema version as found (before any migration), 0 for a new file.
    [[nodiscard]] int foundVersion() const { return foundVersion_; }
    // Caps the file at `pages` pages of its page size, so tests can fill the disk.
    void limitPages(int pages);

    void selectQuiz(const QuizFingerprint& quiz) override;
    std::vector<ReviewCard> cards() override;
    void recordAnswer(const AnswerRecord& answer, const ReviewCard& card) override;
    void recordGame(const GameRecord& game) override;
    std::vector<GameRecord> games() override;
    std::vector<GenreDay> genreDays() override;
    std::vector<MissCount> mostMissed(int count) override;
    std::vector<AnswerRecord> answers() override;
    HistoryProblem takeProblem() override;
    [[nodiscard]] bool keepsMissedLists() const override { return true; }
    std::optional<std::vector<MissedAnswer>> missedList() override;
    void keepMissedList(const std::vector<MissedAnswer>& missed) override;

private:
    // Opens a file left unmade at construction once it is needed: for a write, or for a quiz's
    // selection once another copy has made it. False while there is nothing open.
    bool openWhenMade(bool forWrite);
    void openOrCreate();
    bool open(const std::filesystem::path& path);
    bool openReadOnly(const std::filesystem::path& path);
    bool readVersion();
    bool migrate();
    // Within the migration's transaction: the lists of the old list file, each under its quiz.
    bool importMissedLists();
    // The id of the quiz row of `quiz`, added when missing; -1 when it cannot be.
    long long quizRow(const QuizFingerprint& quiz);
    bool writeMissedList(long long quiz, const std::vector<MissedAnswer>& missed);
    bool writable();
    bool exec(const char* sql);
    // Notes the problem behind SQLite's result `code`; a damaged file is closed for good.
    void fail(int code);

    std::filesystem::path path_;
    std::filesystem::path oldMissedLists_;
    sqlite3* db_ = nullptr;
    bool unmade_ = false;
    std::optional<QuizFingerprint> selected_;
    bool readOnly_ = false;
    int foundVersion_ = 0;
    long long quizId_ = -1;
    HistoryProblem problem_ = HistoryProblem::None;
};

}  // namespace pp
