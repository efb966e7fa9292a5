#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/Commands.h"
#include "engine/GameDriver.h"
#include "engine/Keys.h"
#include "engine/Messages.h"
#include "engine/ReviewSchedule.h"
#include "persistence/HistoryDb.h"
#include "screens/Painter.h"

namespace pp::test {
namespace {

constexpr Options kStudy{0, 0, 1, 0, 1};

std::string bytesOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Plays the whole study run on the open quiz, every other answer wrong, to its end screen.
void playStudyRun(GameDriver& driver, int questions) {
    for (int i = 0; i < questions; ++i) {
        driver.tickUntil(Screen::Answering);
        driver.answer(i % 2 == 0);
        driver.tick();
    }
    driver.tickUntil(Screen::GameOver);
}

TEST(StudyHistory, EveryAnswerAndTheGameAreKeptAndTheMissesFallDueTomorrow) {
    GameDriver driver(kStudy, [](GameDriver& d) {
        d.game.keepHistoryIn(std::make_unique<HistoryDb>(d.folder / std::string(kHistoryFileName)));
    });
    driver.open(driver.writeQuiz({1, 1, 1, 1}));
    playStudyRun(driver, 4);
    EXPECT_TRUE(driver.host.messages.empty());
    History& history = *driver.game.history();
    EXPECT_EQ(history.answers().size(), 4u);
    ASSERT_EQ(history.games().size(), 1u);
    EXPECT_EQ(history.games()[0].mode, "study");
    EXPECT_TRUE(driver.game.dueToday().empty());
    const std::int32_t tomorrow = localToday() + 1;
    EXPECT_EQ(dueQuestions(driver.game.reviewCards(), tomorrow).size(), 2u);  // the two misses
    EXPECT_EQ(driver.game.progress().dueByDay.at(1), 2);
}

TEST(StudyHistory, ADamagedFileIsToldOfOnceAndTheGamePlaysOnWithoutTouchingIt) {
    std::filesystem::path file;
    std::string before;
    GameDriver driver(kStudy, [&](GameDriver& d) {
        file = d.folder / std::string(kHistoryFileName);
        std::ofstream(file, std::ios::binary) << std::string(8192, '\x7f');
        before = bytesOf(file);
        d.game.keepHistoryIn(std::make_unique<HistoryDb>(file));
    });
    driver.open(driver.writeQuiz({1, 1, 1, 1}));
    playStudyRun(driver, 4);
    driver.open(driver.writeQuiz({1, 1, 1, 1}, "other.kqd"));
    ASSERT_EQ(driver.host.messages.size(), 1u);
    EXPECT_EQ(driver.host.messages[0].caption, kHistoryCaption);
    EXPECT_EQ(driver.host.messages[0].text, kHistoryDamagedText);
    EXPECT_EQ(bytesOf(file), before);
}

TEST(StudyHistory, AFullDiskIsToldOfOnceHoweverManyAnswersItLoses) {
    constexpr int kPages = 40;
    GameDriver driver(kStudy, [](GameDriver& d) {
        const auto file = d.folder / std::string(kHistoryFileName);
        {
            // Another quiz's answers fill the file up to the size the disk allows.
            HistoryDb filler(file);
            filler.selectQuiz(QuizFingerprint{"/other.kqd", 1, 1, 1});
            filler.limitPages(kPages);
            for (int i = 0; i < 100000 && filler.takeProblem() == HistoryProblem::None; ++i) {
                filler.recordAnswer(AnswerRecord{20000, i, 0, 0, true, 100}, ReviewCard{i, 1, 5, 20000, 20001, 1, 0});
            }
        }
        d.game.keepHistoryIn(std::make_unique<HistoryDb>(file));
        static_cast<HistoryDb*>(d.game.history())->limitPages(kPages);
    });
    driver.open(driver.writeQuiz({1, 1, 1, 1}));
    playStudyRun(driver, 4);
    ASSERT_EQ(driver.host.messages.size(), 1u);
    EXPECT_EQ(driver.host.messages[0].text, kHistoryFullText);
    EXPECT_EQ(driver.game.dueToday().size(), 0u);
    EXPECT_EQ(dueQuestions(driver.game.reviewCards(), localToday() + 1).size(), 2u);  // the schedule goes on
}

std::vector<std::u16string> textsOf(const RecordingSurface& surface) {
    std::vector<std::u16string> texts;
    for (const RecordingSurface::Call& call : surface.of(RecordingSurface::Kind::Text)) {
        texts.push_back(call.text);
    }
    return texts;
}

TEST(StudyHistory, TheTitleTellsOfTheQuestionsDueOnlyOnTheDaysSomeAre) {
    static constexpr std::int32_t kDay = 20000;
    GameDriver driver(kStudy, [](GameDriver& d) {
        d.host.day = kDay;
        d.game.keepHistoryIn(std::make_unique<HistoryDb>(":memory:"));
    });
    driver.open(driver.writeQuiz({1, 1, 1, 1}));
    playStudyRun(driver, 4);
    driver.key(key::kReturn);
    driver.tick();
    driver.key(key::kReturn);
    driver.tick();
    ASSERT_EQ(driver.state.screen, Screen::Title);
    RecordingSurface plain;
    paintScreen(driver.state, plain);
    const auto paintedOn = [&](std::int32_t day) {
        driver.host.day = day;
        driver.surface.clear();
        driver.game.paint(driver.surface);
        return textsOf(driver.surface);
    };
    EXPECT_EQ(paintedOn(kDay), textsOf(plain));  // nothing due yet: the title as ever
    EXPECT_EQ(paintedOn(kDay).front(), u"クイズ問題ファイルは");
    const std::vector<std::u16string> due = paintedOn(kDay + 1);
    ASSERT_EQ(due.size(), 3u);
    EXPECT_EQ(due[0], u"今日の復習: 2問");  // the two misses
    EXPECT_EQ(paintedOn(kDay + 365).front(), u"今日の復習: 4問");
}

// With a history the missed lists live in its file: the old list file is taken in once and left
// as it was, and a history that cannot be read still lists and reviews this sitting's misses.
TEST(StudyHistory, TakesTheMissedListsOverAndADamagedOneStillReviewsThisSitting) {
    TempDir data;
    const auto oldStore = data / std::string(kMissedListFileName);
    const auto historyFile = data / std::string(kHistoryFileName);
    const auto quiz = data / "quiz.kqd";
    writeBytes(quiz, quizBytes(labelledQuiz({1, 1, 1, 1})));
    saveMissedList(oldStore, fingerprintQuizFile(quiz).value(), {MissedAnswer{2, kNoChoice}});
    const std::string oldBytes = bytesOf(oldStore);
    auto sitting = [&] {
        return std::make_unique<GameDriver>(kStudy, [&](GameDriver& d) {
            d.host.rememberedQuizFile = quiz;
            d.game.keepHistoryIn(std::make_unique<HistoryDb>(historyFile, oldStore));
        });
    };
    {
        auto driver = sitting();
        EXPECT_EQ(driver->game.missedQuestions(), (std::vector<std::int32_t>{2}));  // taken in
        driver->key(key::kReturn);
        playStudyRun(*driver, 4);
    }
    EXPECT_EQ(bytesOf(oldStore), oldBytes);
    EXPECT_EQ(sitting()->game.missedQuestions(), (std::vector<std::int32_t>{1, 3}));

    std::filesystem::remove(historyFile.string() + "-wal");
    std::filesystem::remove(historyFile.string() + "-shm");
    writeBytes(historyFile, std::string(8192, 'x'));
    auto driver = sitting();
    EXPECT_TRUE(driver->game.missedQuestions().empty());  // the old list file is not read again
    driver->key(key::kReturn);
    playStudyRun(*driver, 4);
    driver->command(command::kReviewMissed);
    EXPECT_EQ(driver->state.reviewQuestions, (std::vector<std::int32_t>{1, 3}));
    driver->open(quiz);  // the same file again: the sitting's list stays
    EXPECT_EQ(driver->game.missedQuestions(), (std::vector<std::int32_t>{1, 3}));
    ASSERT_EQ(driver->host.messages.size(), 1u);
    EXPECT_EQ(driver->host.messages[0].text, kHistoryDamagedText);
}

TEST(StudyHistory, AQuizFileRewrittenUnderItsListsStartsItsScheduleAfresh) {
    GameDriver driver(kStudy, [](GameDriver& d) { d.game.keepHistoryIn(std::make_unique<HistoryDb>(":memory:")); });
    const auto quiz = driver.writeQuiz({1, 1, 1, 1});
    driver.open(quiz);
    playStudyRun(driver, 4);
    ASSERT_EQ(driver.game.reviewCards().size(), 4u);
    auto other = labelledQuiz({1, 1, 1, 1});
    other[0].questions[0].text = u"別0-0";
    writeBytes(quiz, quizBytes(other));
    driver.command(command::kMissedQuestions);
    EXPECT_EQ(driver.host.messages.back().text, kMissedStaleText);
    EXPECT_TRUE(driver.game.reviewCards().empty());  // the old cards number other questions now
}

TEST(StudyHistory, WithoutAHistoryNothingIsDueAndTheReviewCommandDoesNothing) {
    GameDriver driver(kStudy);
    driver.open(driver.writeQuiz({1, 1, 1, 1}));
    playStudyRun(driver, 4);
    driver.command(command::kReviewDue);
    EXPECT_EQ(driver.state.screen, Screen::GameOver);
    EXPECT_TRUE(driver.game.dueToday().empty());
}

// A recording names each day once, before the first event on it, so that a replay keeps every
// answer under the day it was given.
TEST(StudyHistory, AListenerHearsEachNewDayBeforeItsFirstEvent) {
    struct Days final : GameEvents {
        std::vector<std::string> heard;
        void listening(const GameState&, const std::filesystem::path&) override {}
        void keepsHistory(std::int32_t day) override { heard.push_back("start " + std::to_string(day)); }
        void dayChanged(std::int32_t day) override { heard.push_back("day " + std::to_string(day)); }
        void ticked() override { heard.push_back("tick"); }
        void keyPressed(int) override {}
        void tapped(int, int) override {}
        void opened(const std::filesystem::path&) override {}
        void commanded(int) override {}
        void settingsConfirmed(const Options&) override {}
        void noRepeatsSet(bool) override {}
        void screenEntered(const GameState&) override {}
        void nameAsked() override {}
        void nameEntered(std::u16string_view) override {}
    } days;
    GameDriver driver(kStudy, [](GameDriver& d) {
        d.game.keepHistoryIn(std::make_unique<HistoryDb>(d.folder / std::string(kHistoryFileName)));
    });
    driver.host.day = 100;
    driver.game.listen(&days);
    driver.tick();
    driver.host.day = 101;
    driver.tick(2);
    driver.game.listen(nullptr);
    EXPECT_EQ(days.heard, (std::vector<std::string>{"start 100", "tick", "day 101", "tick", "tick"}));
}

}  // namespace
}  // namespace pp::test
