// Leaving a game under way (back to the title, another file), keeping a study run's place across
// runs, and each quiz file's own ranking beside the overall one.

#include <gtest/gtest.h>

#include "GameDriver.h"
#include "engine/Commands.h"
#include "engine/Input.h"
#include "persistence/PlayerRecords.h"

namespace pp {
namespace {

using test::GameDriver;
using test::withOptions;

const std::vector<int> kSmallQuiz{2, 2, 2, 0, 0, 0, 0, 0};
const Options kStudy = withOptions(0, 0, 1, 0, 1);
const Options kRanked = withOptions(0, 0, 1, 0, 0);

TEST(GameControl, BackToTitleAsksOnlyWhileAGameIsUnderWayAndNoKeepsTheGame) {
    GameDriver game(kRanked);
    game.open(game.writeQuiz(kSmallQuiz));
    game.tickUntil(Screen::Answering);
    const std::uint32_t entry = game.state.screenEntry;

    game.command(command::kBackToTitle);  // answered No
    ASSERT_EQ(game.host.leaveQuestions, std::vector<LeaveReason>{LeaveReason::BackToTitle});
    EXPECT_EQ(game.state.screen, Screen::Answering);
    EXPECT_EQ(game.state.screenEntry, entry);

    game.host.leaveChosen = true;
    game.command(command::kBackToTitle);
    EXPECT_EQ(game.state.screen, Screen::Title);
    EXPECT_EQ(game.state.score, 0);
    EXPECT_FALSE(game.game.hasMissedQuestions());

    game.command(command::kBackToTitle);  // on the title: nothing to ask
    EXPECT_EQ(game.host.leaveQuestions.size(), 2u);
}

TEST(GameControl, AnotherFileDuringAGameAsksFirstOnlyWhenTheFrontendWantsIt) {
    GameDriver game(kRanked);
    const auto first = game.writeQuiz(kSmallQuiz, "first.kqd");
    const auto second = game.writeQuiz({1, 1, 0, 0, 0, 0, 0, 0}, "second.kqd");
    game.open(first);
    game.tickUntil(Screen::Answering);

    game.open(second);  // the handheld's way: at once
    EXPECT_TRUE(game.host.leaveQuestions.empty());
    EXPECT_EQ(game.state.quizPath, second);

    game.game.setAskBeforeOpening(true);
    game.tickUntil(Screen::Answering);
    game.open(first);  // answered No
    EXPECT_EQ(game.host.leaveQuestions, std::vector<LeaveReason>{LeaveReason::OpenFile});
    EXPECT_EQ(game.state.quizPath, second);
    EXPECT_EQ(game.state.screen, Screen::Answering);

    game.open(game.folder / "missing.kqd");  // refused anyway: the load error, no question
    EXPECT_EQ(game.host.leaveQuestions.size(), 1u);
    EXPECT_EQ(game.host.messages.size(), 1u);
    EXPECT_EQ(game.state.screen, Screen::Answering);

    game.host.leaveChosen = true;
    game.open(first);
    EXPECT_EQ(game.state.quizPath, first);
    EXPECT_EQ(game.state.screen, Screen::QuestionIntro);

    game.host.leaveChosen = false;
    game.tickUntil(Screen::Answering);
    game.command(command::kBackToTitle);
    game.host.leaveChosen = true;
    game.command(command::kBackToTitle);
    game.open(second);  // from the title nothing is lost: no question
    EXPECT_EQ(game.host.leaveQuestions.size(), 4u);
    EXPECT_EQ(game.state.quizPath, second);
}

// Plays `count` questions of a study run: the first right, the others left to time out.
void playStudyQuestions(GameDriver& game, int count) {
    for (int i = 0; i < count; ++i) {
        game.tickUntil(Screen::Answering);
        if (i == 0) {
            game.answer(true);
        }
        game.tickUntil(Screen::QuestionIntro);
    }
}

struct KeptRun {
    test::TempDir records;
    std::unique_ptr<GameDriver> first;
    std::filesystem::path quiz;

    // A second run of the program on the same records folder, with the first one's options.
    std::unique_ptr<GameDriver> restart(bool resume, const Options& options = kStudy) {
        auto next = std::make_unique<GameDriver>(options, [&](GameDriver& driver) {
            std::filesystem::copy_file(first->settingsPath(), driver.settingsPath(),
                                       std::filesystem::copy_options::overwrite_existing);
            driver.game.keepPlayerRecordsIn(records.path());
            driver.host.resumeChosen = resume;
        });
        return next;
    }
};

TEST(GameControl, AStudyRunQuitMidwayResumesAtTheSameQuestionWithItsCounts) {
    KeptRun run;
    run.first = std::make_unique<GameDriver>(kStudy, [&](GameDriver& driver) { driver.game.keepPlayerRecordsIn(run.records.path()); });
    run.quiz = run.first->writeQuiz(kSmallQuiz);
    run.first->open(run.quiz);
    playStudyQuestions(*run.first, 3);
    run.first->tickUntil(Screen::Answering);
    const GameState before = run.first->state;
    ASSERT_EQ(before.questionIndex, 3);
    run.first->game.suspend();

    auto second = run.restart(true);
    EXPECT_EQ(second->host.resumeOffers, 1);
    EXPECT_EQ(second->state.screen, Screen::QuestionIntro);
    EXPECT_EQ(second->state.quizPath, run.quiz);
    EXPECT_EQ(second->state.questionIndex, 3);
    EXPECT_EQ(second->state.score, before.score);
    EXPECT_EQ(second->state.genreAnswered, before.genreAnswered);
    EXPECT_EQ(second->state.genreCorrect, before.genreCorrect);
    second->tickUntil(Screen::Answering);
    EXPECT_EQ(second->state.currentQuestion, before.currentQuestion);

    // Taken up once: the next start offers nothing.
    auto third = run.restart(true);
    EXPECT_EQ(third->host.resumeOffers, 0);
}

TEST(GameControl, AQuitDuringJudgingResumesAfterTheCountedQuestion) {
    KeptRun run;
    run.first = std::make_unique<GameDriver>(kStudy, [&](GameDriver& driver) { driver.game.keepPlayerRecordsIn(run.records.path()); });
    run.first->open(run.first->writeQuiz(kSmallQuiz));
    run.first->tickUntil(Screen::Answering);
    run.first->answer(true);
    run.first->tickUntil(Screen::Judging);
    run.first->game.suspend();
    const auto point = loadResumePoint(run.records / std::string(kResumeFileName));
    ASSERT_TRUE(point);
    EXPECT_EQ(point->questionIndex, 1);
    EXPECT_EQ(point->genreAnswered[0], 1);
}

TEST(GameControl, NoPlaceIsKeptForARankedGameAChangedFileOrARunTurnedDown) {
    KeptRun run;
    run.first = std::make_unique<GameDriver>(kRanked, [&](GameDriver& driver) { driver.game.keepPlayerRecordsIn(run.records.path()); });
    run.quiz = run.first->writeQuiz(kSmallQuiz);
    run.first->open(run.quiz);
    run.first->tickUntil(Screen::Answering);
    run.first->game.suspend();
    EXPECT_EQ(run.restart(true, kRanked)->host.resumeOffers, 0);

    run.first->settings(kStudy);
    run.first->open(run.quiz);
    run.first->tickUntil(Screen::Answering);
    run.first->game.suspend();
    EXPECT_EQ(run.restart(false)->host.resumeOffers, 1);  // turned down: dropped
    EXPECT_EQ(run.restart(true)->host.resumeOffers, 0);

    run.first->open(run.quiz);
    run.first->tickUntil(Screen::Answering);
    run.first->game.suspend();
    test::writeBytes(run.quiz, test::quizBytes(test::labelledQuiz({3, 2, 2, 0, 0, 0, 0, 0})));
    auto changed = run.restart(true);
    EXPECT_EQ(changed->host.resumeOffers, 0);
    EXPECT_EQ(changed->state.screen, Screen::Title);
}

// Plays a ranked game on `quiz` to its end: the first `right` of level 1's eight questions right,
// too few for its quota.
void playRankedGame(GameDriver& game, const std::filesystem::path& quiz, int right) {
    game.open(quiz);
    for (int i = 0; i < kQuestionsPerLevel; ++i) {
        game.tickUntil(Screen::Answering);
        game.answer(i < right);
        game.tickUntil(Screen::Judging);
    }
    game.tickUntil(Screen::GameOver);
}

TEST(GameControl, EachQuizFileKeepsItsOwnRankingAndTheScreenShowsItThenTheOverallOne) {
    test::TempDir records;
    GameDriver game(kRanked, [&](GameDriver& driver) { driver.game.keepPlayerRecordsIn(records.path()); });
    const auto quiz = game.writeQuiz({8, 8, 8, 8, 8, 8, 8, 8});
    game.host.names = {u"", u"はなこ"};
    playRankedGame(game, quiz, 2);
    ASSERT_EQ(game.host.nameRequests, 1);
    const std::int16_t score = game.state.score;
    ASSERT_GT(score, 0);
    EXPECT_EQ(game.state.ranking[0].name.view(), u"ななし");
    EXPECT_EQ(game.state.fileRanking[0].name.view(), u"ななし");
    EXPECT_EQ(game.state.fileRankingHighlight, 0);

    game.tap(120, 134);
    ASSERT_EQ(game.state.screen, Screen::Ranking);
    EXPECT_TRUE(game.state.rankingShowsFile);
    game.key(key::kReturn);
    EXPECT_EQ(game.state.screen, Screen::Ranking);
    EXPECT_FALSE(game.state.rankingShowsFile);
    game.key(key::kReturn);
    EXPECT_EQ(game.state.screen, Screen::Title);

    // Another quiz file starts with an empty ranking of its own; the first one's is kept.
    const auto other = game.writeQuiz({8, 8, 8, 8, 8, 8, 8, 8}, "other.kqd");
    game.open(other);
    EXPECT_EQ(game.state.fileRanking[0].score, 0);
    EXPECT_EQ(game.state.ranking[0].score, score);
    game.command(command::kBackToTitle);  // answered No by default
    game.host.leaveChosen = true;
    game.command(command::kBackToTitle);
    game.open(quiz);
    EXPECT_EQ(game.state.fileRanking[0].score, score);
    EXPECT_EQ(game.state.fileRankingHighlight, -1);  // a new game highlights nothing yet
}

}  // namespace
}  // namespace pp
