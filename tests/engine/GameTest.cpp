// What the game object promises its frontends: entry work once per entry whether or not anyone
// paints, paints that can be repeated, dialogs as requests, and the menu commands.
#include <gtest/gtest.h>

#include "GameDriver.h"
#include "engine/Commands.h"
#include "engine/Input.h"
#include "engine/Sounds.h"

namespace pp {
namespace {

using test::GameDriver;
using test::withOptions;
using Kind = test::RecordingSurface::Kind;

const std::vector<int> kFullQuiz(kGenreCount, 8);

// Plays right answers until the game enters `screen`.
void playRightUntil(GameDriver& game, Screen screen) {
    for (int i = 0; i < 5000 && game.state.screen != screen; ++i) {
        if (game.state.screen == Screen::Answering && game.state.confirmed == 0) {
            game.answer(true);
        }
        game.tick();
    }
    ASSERT_EQ(game.state.screen, screen);
}

TEST(Game, RepaintingAScreenDrawsTheSameAndRunsItsWorkOnce) {
    GameDriver game(withOptions(1, 0, 1, 0, 0));
    game.open(game.writeQuiz(kFullQuiz));
    playRightUntil(game, Screen::LevelClear);
    const auto first = game.surface.calls.size();
    const auto sounds = game.host.sounds.size();
    for (int again = 0; again < 3; ++again) {
        game.surface.clear();
        game.game.paint(game.surface);
        EXPECT_EQ(game.surface.calls.size(), first);
    }
    EXPECT_EQ(game.host.sounds.size(), sounds);
    EXPECT_EQ(game.host.sounds.back(), 139);
}

TEST(Game, TheGameMovesOnWithoutBeingPainted) {
    GameDriver game(withOptions(1, 0, 1, 0, 0));
    game.open(game.writeQuiz(kFullQuiz));
    // Ticks straight into the game, with nobody taking the paint requests (a minimised window).
    for (int i = 0; i < 100 && game.state.screen != Screen::Answering; ++i) {
        game.game.tick();
    }
    EXPECT_EQ(game.state.screen, Screen::Answering);
    EXPECT_EQ(game.host.sounds, (std::vector<int>{sound::kQuestionIntro}));
    EXPECT_FALSE(game.state.questionText.empty());
}

// Held open, the name dialog keeps the picture before the results, the keys and a file handed
// over; the clock runs on; the answer stores the name, paints the results and opens the file.
TEST(Game, TheNameDialogIsARequestThatHoldsTheResultsAndAWaitingFile) {
    GameDriver game(withOptions(0, 0, 0, 0, 0));
    const auto first = game.writeQuiz(kFullQuiz, "first.kqd");
    const auto second = game.writeQuiz({2, 2}, "second.kqd");
    game.open(first);
    game.holdDialogs = true;
    for (int question = 0; question < kQuestionsPerLevel; ++question) {
        game.tickUntil(Screen::Answering);
        game.answer(question < 2);
        game.tick();
    }
    game.tickUntil(Screen::GameOver);
    ASSERT_TRUE(game.host.nameOpen);
    const int paints = game.paints;
    game.tick(10);
    game.key(key::kReturn);
    game.open(second);
    EXPECT_EQ(game.paints, paints);
    EXPECT_EQ(game.state.screen, Screen::GameOver);
    EXPECT_EQ(game.state.quizPath, first.u16string());
    EXPECT_EQ(game.host.nameRequests, 1);

    game.host.names.push_back(u"はなこ");
    game.answerDialogs();
    EXPECT_EQ(game.state.ranking[0].name, u"はなこ");
    EXPECT_EQ(game.state.ranking[0].score, 20);
    EXPECT_EQ(game.state.quizPath, second.u16string());
    EXPECT_EQ(game.state.screen, Screen::QuestionIntro);
    EXPECT_EQ(game.paints, paints + 1);
    GameState saved;
    loadSettings(saved, game.settingsPath());
    EXPECT_EQ(saved.ranking[0].name, u"はなこ");

    game.game.enterName(u"二度目");  // no dialog asked for it
    for (const RankEntry& row : game.state.ranking) {
        EXPECT_NE(row.name, u"二度目");
    }
}

TEST(Game, MenuCommandsReachTheirDialogs) {
    GameDriver game(kDefaultOptions);
    const auto quiz = game.writeQuiz(kFullQuiz);
    game.command(command::kOpen);  // cancelled
    EXPECT_EQ(game.host.fileDialogs, 1);
    EXPECT_EQ(game.state.screen, Screen::Title);
    game.host.chosenFile = quiz;
    game.command(command::kOpen);
    EXPECT_EQ(game.state.screen, Screen::QuestionIntro);

    game.host.chosenOptions = withOptions(0, 1, 0, 0, 0);
    game.command(command::kSettings);
    EXPECT_EQ(game.host.shownOptions, (std::vector<Options>{kDefaultOptions}));
    EXPECT_EQ(game.state.options, withOptions(0, 1, 0, 0, 0));

    game.command(command::kAbout);
    game.command(12345);
    EXPECT_EQ(game.host.aboutBoxes, 1);
    game.command(command::kQuit);
    game.command(command::kQuitAccelerator);
    EXPECT_EQ(game.host.quits, 2);
    EXPECT_EQ(game.state.screen, Screen::QuestionIntro);
}

}  // namespace
}  // namespace pp
