// What the game object promises its frontends: entry work once per entry, paints that can be
// repeated, dialogs that defer a handed-over file, and the menu commands.
#include <gtest/gtest.h>

#include "GameDriver.h"
#include "engine/Commands.h"

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

TEST(Game, TheNameIsAskedBeforeTheResultsAreDrawnAndOnlyOnce) {
    GameDriver game(withOptions(0, 0, 0, 0, 0));
    game.open(game.writeQuiz(kFullQuiz));
    std::size_t callsWhenAsked = 1;
    game.host.names.push_back(u"はなこ");
    game.host.duringDialog = [&] { callsWhenAsked = game.surface.calls.size(); };
    for (int question = 0; question < kQuestionsPerLevel; ++question) {
        game.tickUntil(Screen::Answering);
        game.answer(question < 2);
        game.tick();
    }
    game.tickUntil(Screen::GameOver);
    EXPECT_EQ(callsWhenAsked, 0u);  // the dialog shows over the previous picture
    EXPECT_EQ(game.host.nameRequests, 1);
    EXPECT_EQ(game.state.ranking[0].name, u"はなこ");
    game.game.paint(game.surface);
    EXPECT_EQ(game.host.nameRequests, 1);
    GameState saved;
    loadSettings(saved, game.settingsPath());
    EXPECT_EQ(saved.ranking[0].score, 20);
}

TEST(Game, AFileThatCannotBeReadAtTheNextQuestionShowsTheLoadErrorAndWaits) {
    GameDriver game(withOptions(0, 0, 1, 0, 0));
    const auto quiz = game.writeQuiz(kFullQuiz);
    game.open(quiz);
    std::filesystem::remove(quiz);
    game.tickUntil(Screen::LoadQuestion);
    ASSERT_EQ(game.host.messages.size(), 1u);
    EXPECT_EQ(game.host.messages[0].caption, u"ファイルの読み込みエラー");
    game.tick(50);
    EXPECT_EQ(game.state.screen, Screen::LoadQuestion);
    EXPECT_EQ(game.host.messages.size(), 1u);
}

TEST(Game, AFileHandedOverDuringADialogOpensWhenItCloses) {
    GameDriver game(withOptions(0, 0, 0, 0, 0));
    const auto first = game.writeQuiz(kFullQuiz, "first.kqd");
    const auto second = game.writeQuiz({2, 2}, "second.kqd");
    game.open(first);
    game.host.names.push_back(u"前の人");
    for (int question = 0; question < kQuestionsPerLevel; ++question) {
        game.tickUntil(Screen::Answering);
        game.answer(question == 0);
        game.tick();
    }
    // The second copy's file arrives while the name dialog of the first game is open.
    game.host.duringDialog = [&] {
        game.game.open(second);
        EXPECT_EQ(game.state.quizPath, first.u16string());
    };
    for (int i = 0; i < 100 && game.host.nameRequests == 0; ++i) {
        game.tick();
    }
    EXPECT_EQ(game.state.ranking[0].name, u"前の人");
    EXPECT_EQ(game.state.quizPath, second.u16string());
    EXPECT_EQ(game.state.screen, Screen::QuestionIntro);
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
