#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "Fixtures.h"
#include "persistence/HistoryDb.h"
#include "persistence/HistorySummary.h"

namespace pp {
namespace {

using test::TempFolder;

const QuizFingerprint kQuiz{"/home/a/quiz.kqd", 2304, 1700000000000000000, 0xfedcba9876543210ULL};

AnswerRecord answer(std::int32_t question, bool right, std::int32_t day = 20000) {
    return AnswerRecord{day, question, question % kGenreCount, static_cast<std::int16_t>(right ? 0 : 2), right, 120};
}

ReviewCard card(std::int32_t question, std::int32_t due) { return ReviewCard{question, 2.5, 5.0, 20000, due, 1, 0}; }

std::string bytesOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Fills a file with a few answers and one game and closes it.
void fill(const std::filesystem::path& file) {
    HistoryDb db(file);
    db.selectQuiz(kQuiz);
    db.recordAnswer(answer(3, false), card(3, 20001));
    db.recordAnswer(answer(3, true, 20001), card(3, 20004));
    db.recordAnswer(answer(5, false, 20001), card(5, 20002));
    db.recordGame(GameRecord{20001, "study", 170, {1, 0, 0, 0, 0, 0, 0, 0}, {2, 0, 0, 0, 0, 0, 0, 0}});
    ASSERT_EQ(db.takeProblem(), HistoryProblem::None);
}

TEST(HistoryDb, KeepsAnswersCardsAndGamesPerQuizAcrossRuns) {
    TempFolder folder;
    const auto file = folder.path() / "history.sqlite3";
    fill(file);

    HistoryDb db(file);
    EXPECT_EQ(db.foundVersion(), HistoryDb::kSchemaVersion);
    db.selectQuiz(kQuiz);
    EXPECT_EQ(db.answers().size(), 3u);
    ASSERT_EQ(db.cards().size(), 2u);
    EXPECT_EQ(db.cards()[0].dueDay, 20004);  // the later review replaced the earlier card
    ASSERT_EQ(db.games().size(), 1u);
    EXPECT_EQ(db.games()[0].mode, "study");
    EXPECT_EQ(db.games()[0].genreAnswered[0], 2);
    ASSERT_EQ(db.mostMissed(10).size(), 2u);
    EXPECT_EQ(db.mostMissed(10)[0].misses, 1);
    ASSERT_EQ(db.genreDays().size(), 2u);
    EXPECT_EQ(db.genreDays()[1].answered[3] + db.genreDays()[1].answered[5], 2);

    QuizFingerprint changed = kQuiz;
    changed.hash ^= 1;  // the same path with other contents starts afresh
    db.selectQuiz(changed);
    EXPECT_TRUE(db.answers().empty());
    EXPECT_TRUE(db.cards().empty());
}

TEST(HistoryDb, IsMadeByItsFirstWriteAndReadsAFileAnotherCopyMadeMeanwhile) {
    TempFolder folder;
    const auto file = folder.path() / "data" / "history.sqlite3";
    HistoryDb db(file);
    db.selectQuiz(kQuiz);
    EXPECT_TRUE(db.cards().empty());
    EXPECT_EQ(db.missedList(), std::vector<MissedAnswer>{});
    EXPECT_TRUE(db.usable());
    EXPECT_FALSE(std::filesystem::exists(file.parent_path()));  // a start that records nothing makes nothing

    HistoryDb other(file);
    other.selectQuiz(kQuiz);
    other.keepMissedList({{4, 2}});
    db.selectQuiz(kQuiz);
    EXPECT_EQ(db.missedList(), (std::vector<MissedAnswer>{{4, 2}}));  // found at the quiz's next opening

    HistoryDb late(folder.path() / "late.sqlite3");
    late.selectQuiz(kQuiz);
    late.recordAnswer(answer(3, false), card(3, 20001));
    EXPECT_EQ(late.takeProblem(), HistoryProblem::None);
    HistoryDb again(folder.path() / "late.sqlite3");
    again.selectQuiz(kQuiz);
    EXPECT_EQ(again.answers().size(), 1u);  // written under the quiz selected before the file was made

    // An older build's list file is taken in at once, though nothing was written yet.
    const auto oldStore = folder.path() / "missed.json";
    saveMissedList(oldStore, kQuiz, {MissedAnswer{7, 1}});
    HistoryDb upgraded(folder.path() / "upgraded.sqlite3", oldStore);
    upgraded.selectQuiz(kQuiz);
    EXPECT_EQ(upgraded.missedList(), (std::vector<MissedAnswer>{{7, 1}}));
}

TEST(HistoryDb, AFileOfTheFirstSchemaIsMigratedWithItsAnswers) {
    TempFolder folder;
    const auto file = folder.path() / "history.sqlite3";
    fill(file);
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "DROP INDEX answer_day; DROP TABLE missed; PRAGMA user_version=1", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);

    HistoryDb db(file);
    EXPECT_EQ(db.foundVersion(), 1);
    db.selectQuiz(kQuiz);
    EXPECT_EQ(db.answers().size(), 3u);
    HistoryDb again(file);
    EXPECT_EQ(again.foundVersion(), HistoryDb::kSchemaVersion);
}

TEST(HistoryDb, TakesTheOldListFileInOnceAndKeepsEachQuizsListInItsPlace) {
    TempFolder folder;
    const auto file = folder.path() / "history.sqlite3";
    const auto oldStore = folder.path() / "missed.json";
    const QuizFingerprint other{"/home/a/other.kqd", 99, 0, 7};
    saveMissedList(oldStore, other, {MissedAnswer{9, 1}});
    saveMissedList(oldStore, kQuiz, {MissedAnswer{4, 2}, MissedAnswer{1, kNoChoice}});
    fill(file);  // a history of the schema before the lists moved in
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "DROP TABLE missed; PRAGMA user_version=3", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);
    const std::string oldBytes = bytesOf(oldStore);
    {
        HistoryDb db(file, oldStore);
        EXPECT_EQ(db.foundVersion(), 3);
        db.selectQuiz(kQuiz);
        EXPECT_EQ(db.answers().size(), 3u);
        EXPECT_EQ(db.missedList(), (std::vector<MissedAnswer>{{4, 2}, {1, kNoChoice}}));
        db.selectQuiz(other);
        EXPECT_EQ(db.missedList(), (std::vector<MissedAnswer>{{9, 1}}));
        db.keepMissedList({});  // a game without a miss replaces the list
        EXPECT_EQ(db.missedList(), std::vector<MissedAnswer>{});
        EXPECT_EQ(db.takeProblem(), HistoryProblem::None);
    }
    EXPECT_EQ(bytesOf(oldStore), oldBytes);
    saveMissedList(oldStore, kQuiz, {MissedAnswer{0, 3}});  // an older build still writing it
    HistoryDb db(file, oldStore);
    db.selectQuiz(kQuiz);
    EXPECT_EQ(db.missedList(), (std::vector<MissedAnswer>{{4, 2}, {1, kNoChoice}}));
    // A choice no question has, edited in by hand, reads as a time-out.
    ASSERT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "UPDATE missed SET choice=9 WHERE question=4", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);
    EXPECT_EQ(db.missedList(), (std::vector<MissedAnswer>{{4, kNoChoice}, {1, kNoChoice}}));
}

TEST(HistoryDb, ADamagedOldListFileIsLeftAsItIsAndTakesNothingIn) {
    TempFolder folder;
    const auto oldStore = folder.path() / "missed.json";
    std::ofstream(oldStore, std::ios::binary) << "{\"version\":2,\"quizzes\":[";
    HistoryDb db(folder.path() / "history.sqlite3", oldStore);
    EXPECT_EQ(db.takeProblem(), HistoryProblem::None);
    db.selectQuiz(kQuiz);
    EXPECT_EQ(db.missedList(), std::vector<MissedAnswer>{});
    EXPECT_EQ(bytesOf(oldStore), "{\"version\":2,\"quizzes\":[");
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        EXPECT_FALSE(entry.path().filename().string().starts_with("missed.json.")) << "kept aside";
    }
}

TEST(HistoryDb, ADamagedFileIsToldOfAndNeverTouched) {
    TempFolder folder;
    const auto file = folder.path() / "history.sqlite3";
    {
        std::ofstream out(file, std::ios::binary);
        out << std::string(4096, '\x5a');
    }
    const std::string before = bytesOf(file);
    HistoryDb db(file);
    EXPECT_EQ(db.takeProblem(), HistoryProblem::Damaged);
    EXPECT_FALSE(db.usable());  // closed for good: nothing more is tried on it
    db.selectQuiz(kQuiz);
    db.recordAnswer(answer(1, true), card(1, 20003));
    EXPECT_TRUE(db.cards().empty());
    EXPECT_EQ(bytesOf(file), before);
}

TEST(HistoryDb, AReadOnlyFileStillGivesItsScheduleAndKeepsEveryAnswer) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes to read-only files";
    }
    TempFolder folder;
    const auto file = folder.path() / "history.sqlite3";
    fill(file);
    ::chmod(file.c_str(), 0444);
    ::chmod(folder.path().c_str(), 0555);
    {
        HistoryDb db(file);
        db.selectQuiz(kQuiz);
        EXPECT_EQ(db.cards().size(), 2u);
        db.recordAnswer(answer(7, true), card(7, 20009));
        EXPECT_EQ(db.takeProblem(), HistoryProblem::ReadOnly);
    }
    ::chmod(folder.path().c_str(), 0755);
    ::chmod(file.c_str(), 0644);
    HistoryDb db(file);
    db.selectQuiz(kQuiz);
    EXPECT_EQ(db.answers().size(), 3u);
}

TEST(HistoryDb, AFileAnotherCopyHoldsIsToldOfAndLosesNothing) {
    TempFolder folder;
    const auto file = folder.path() / "history.sqlite3";
    fill(file);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    {
        HistoryDb db(file);
        db.selectQuiz(kQuiz);
        db.recordAnswer(answer(7, true), card(7, 20009));
        EXPECT_EQ(db.takeProblem(), HistoryProblem::Locked);
    }
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    HistoryDb db(file);
    db.selectQuiz(kQuiz);
    EXPECT_EQ(db.answers().size(), 3u);
}

TEST(HistoryDb, AFullDiskKeepsWhatWasStoredAndSaysSo) {
    TempFolder folder;
    const auto file = folder.path() / "history.sqlite3";
    fill(file);
    {
        HistoryDb db(file);
        db.selectQuiz(kQuiz);
        db.limitPages(1);
        for (int i = 0; i < 200; ++i) {
            db.recordAnswer(answer(10 + i, true), card(10 + i, 20009));
        }
        EXPECT_EQ(db.takeProblem(), HistoryProblem::Full);
    }
    HistoryDb db(file);
    db.selectQuiz(kQuiz);
    EXPECT_GE(db.answers().size(), 3u);
    EXPECT_EQ(db.answers().size(), db.cards().size() + 1);  // each answer with its card, or neither
}

// The page works its summaries out from plain rows: they must be the database's to the number,
// ties and a genre out of range included.
TEST(HistoryDb, SummariesFromPlainRowsMatchTheQueries) {
    TempFolder folder;
    HistoryDb db(folder.path() / "history.sqlite");
    db.selectQuiz(kQuiz);
    std::vector<AnswerRecord> answers;
    std::uint32_t draw = 12345;
    const auto next = [&draw](std::uint32_t below) {
        draw = draw * 1103515245u + 12345u;
        return static_cast<std::int32_t>((draw >> 8) % below);
    };
    for (int i = 0; i < 400; ++i) {
        AnswerRecord row = answer(next(30), next(3) == 0, 20000 + next(6));
        row.genre = next(9);  // 8 stands for a genre the quiz does not have
        answers.push_back(row);
        db.recordAnswer(row, card(row.question, row.day + 1));
    }
    // A question never missed is never among the most missed.
    for (int i = 0; i < 2; ++i) {
        answers.push_back(answer(99, true));
        db.recordAnswer(answers.back(), card(99, 20004));
    }
    const std::vector<GenreDay> days = db.genreDays();
    const std::vector<GenreDay> summed = genreDaysOf(answers);
    ASSERT_EQ(summed.size(), days.size());
    for (std::size_t i = 0; i < days.size(); ++i) {
        EXPECT_EQ(summed[i].day, days[i].day);
        EXPECT_EQ(summed[i].right, days[i].right);
        EXPECT_EQ(summed[i].answered, days[i].answered);
    }
    for (const int count : {10, 0, 100}) {
        const std::vector<MissCount> missed = db.mostMissed(count);
        const std::vector<MissCount> counted = mostMissedOf(answers, count);
        ASSERT_EQ(counted.size(), missed.size()) << count;
        for (std::size_t i = 0; i < missed.size(); ++i) {
            EXPECT_EQ(counted[i].question, missed[i].question) << i;
            EXPECT_EQ(counted[i].misses, missed[i].misses) << i;
            EXPECT_EQ(counted[i].answers, missed[i].answers) << i;
        }
    }
}

}  // namespace
}  // namespace pp
