#include <gtest/gtest.h>

#include "GameDriver.h"

namespace pp {
namespace {

using test::GameDriver;
using test::withOptions;

const std::vector<int> kFullQuiz(kGenreCount, 8);

// A game in its second level, a few questions in.
void playIntoSecondLevel(GameDriver& game) {
    game.open(game.writeQuiz(kFullQuiz));
    for (int question = 0; question < 10; ++question) {
        game.tickUntil(Screen::Answering);
        game.answer(true);
        game.tickUntil(Screen::Judging);
    }
    ASSERT_EQ(game.state.level, 1);
}

// A short game that ends on its first level with one right answer, entered in the ranking
// under `name`.
void endGameWithName(GameDriver& game, const std::u16string& name) {
    game.open(game.writeQuiz(kFullQuiz));
    game.host.names.push_back(name);
    for (int question = 0; question < kQuestionsPerLevel; ++question) {
        game.tickUntil(Screen::Answering);
        game.answer(question == 0);
    }
    game.tickUntil(Screen::GameOver);
    ASSERT_EQ(game.state.playerName, name);
    ASSERT_TRUE(game.state.rankingEntered);
}

TEST(OpenCommand, StartsANewGameOnTheIntroCard) {
    GameDriver game(kDefaultOptions);
    endGameWithName(game, u"前の人");
    const auto quiz = game.writeQuiz({1, 2, 3});
    const int repaints = game.host.repaints;
    game.open(quiz);
    EXPECT_EQ(game.state.screen, Screen::QuestionIntro);
    EXPECT_EQ(game.host.repaints, repaints + 1);
    EXPECT_EQ(game.state.quizPath, quiz.u16string());
    EXPECT_TRUE(game.state.playerName.empty());
    EXPECT_FALSE(game.state.rankingEntered);
    EXPECT_EQ(game.state.genres[2].questionCount, 3);
    EXPECT_EQ(game.state.genres[1].name, u"ジャンル1");
    EXPECT_TRUE(game.host.messages.empty());
}

TEST(OpenCommand, InTheMiddleOfAGameGivesAFullIntroCard) {
    GameDriver game(kDefaultOptions);
    playIntoSecondLevel(game);
    game.tick(20);
    game.host.sounds.clear();
    game.open(game.folder / "quiz.kqd");
    EXPECT_EQ(game.state.screen, Screen::QuestionIntro);
    EXPECT_EQ(game.state.score, 0);
    EXPECT_EQ(game.state.level, 0);
    EXPECT_EQ(game.state.questionIndex, 0);
    EXPECT_EQ(game.state.levelCorrect, 0);
    EXPECT_EQ(game.state.slotsLeft, 8);
    EXPECT_EQ(game.state.genreAnswered, (std::array<std::int32_t, 8>{}));
    EXPECT_TRUE(game.state.playerName.empty());

    game.tick(2);
    EXPECT_EQ(game.host.sounds, std::vector<int>{136});
    game.tick(22);
    EXPECT_EQ(game.state.screen, Screen::QuestionIntro);
    game.tick();
    EXPECT_EQ(game.state.screen, Screen::LoadQuestion);
}

TEST(OpenCommand, AFileThatDoesNotLoadStaysOnTheTitle) {
    GameDriver game(kDefaultOptions);
    playIntoSecondLevel(game);
    const auto missing = game.folder / "missing.kqd";
    const int repaints = game.host.repaints;
    game.open(missing);
    EXPECT_EQ(game.state.screen, Screen::Title);
    EXPECT_EQ(game.host.repaints, repaints + 1);  // the title replaces the abandoned game
    ASSERT_EQ(game.host.messages.size(), 1u);
    EXPECT_EQ(game.host.messages[0].text, u"データの読み込みに失敗しました。");
    EXPECT_EQ(game.state.quizPath, missing.u16string());
    EXPECT_EQ(game.state.score, 0);

    // The title works as usual afterwards.
    game.showRanking();
    EXPECT_EQ(game.state.screen, Screen::Ranking);
}

TEST(OpenCommand, APathTooLongToKeepIsRefusedWithTheLoadMessage) {
    GameDriver game(kDefaultOptions);
    // The file exists, but later questions would be read from a path cut at 259 characters.
    std::filesystem::path deep = game.folder.path();
    while (deep.u16string().size() < 280) {
        deep /= "folder-with-a-long-name";
    }
    std::filesystem::create_directories(deep);
    const auto quiz = deep / "quiz.kqd";
    std::filesystem::copy_file(game.writeQuiz(kFullQuiz), quiz);

    game.open(quiz);
    EXPECT_EQ(game.state.screen, Screen::Title);
    EXPECT_EQ(game.host.messages.size(), 1u);
    EXPECT_TRUE(game.state.quizPath.empty());
    game.tick(100);
    EXPECT_EQ(game.state.screen, Screen::Title);
}

TEST(SettingsCommand, SavesEveryTimeAndResetsOnlyForANewPurpose) {
    GameDriver game(kDefaultOptions);
    playIntoSecondLevel(game);
    std::filesystem::remove(game.settingsPath());

    const auto entry = game.state.screenEntry;
    const auto score = game.state.score;
    const int repaints = game.host.repaints;
    game.settings(game.state.options);  // OK without changes
    EXPECT_TRUE(std::filesystem::exists(game.settingsPath()));
    EXPECT_EQ(game.state.screenEntry, entry);
    EXPECT_EQ(game.state.score, score);
    EXPECT_EQ(game.host.repaints, repaints);

    game.settings(withOptions(0, 1, 0, 0, 0));  // every option but the purpose
    EXPECT_EQ(game.state.options, withOptions(0, 1, 0, 0, 0));
    EXPECT_EQ(game.state.screen, Screen::Judging);
    EXPECT_EQ(game.state.score, score);

    game.settings(withOptions(0, 1, 0, 0, 1));  // to study mode: the game is abandoned
    EXPECT_EQ(game.state.screen, Screen::Title);
    EXPECT_EQ(game.state.score, 0);
    EXPECT_EQ(game.state.level, 0);
    EXPECT_EQ(game.state.questionIndex, 0);
    EXPECT_EQ(game.state.genreCorrect, (std::array<std::int32_t, 8>{}));
    EXPECT_EQ(game.state.quizPath, (game.folder / "quiz.kqd").u16string());

    GameState saved;
    loadSettings(saved, game.settingsPath());
    EXPECT_EQ(saved.options, withOptions(0, 1, 0, 0, 1));

    game.open(game.folder / "quiz.kqd");
    game.tick(100);
    game.settings(withOptions(0, 1, 0, 0, 0));  // and back
    EXPECT_EQ(game.state.screen, Screen::Title);
    EXPECT_EQ(game.state.options.studyMode, 0);
}

TEST(SettingsCommand, ANewPurposeKeepsTheNameOfTheGameThatEnded) {
    GameDriver game(kDefaultOptions);
    endGameWithName(game, u"前の人");
    game.settings(withOptions(1, 0, 1, 1, 1));
    EXPECT_EQ(game.state.screen, Screen::Title);
    EXPECT_EQ(game.state.playerName, u"前の人");
}

TEST(SettingsCommand, OnlyOneCountsAsOn) {
    GameDriver game(kDefaultOptions);
    game.settings(Options{2, -1, 1, 0, 2});
    EXPECT_EQ(game.state.options, withOptions(0, 0, 1, 0, 0));
    EXPECT_EQ(game.state.screen, Screen::Title);
}

TEST(RankingCommand, OnlyFromTheTitle) {
    GameDriver game(kDefaultOptions);
    game.showRanking();
    EXPECT_EQ(game.state.screen, Screen::Ranking);
    EXPECT_EQ(game.host.repaints, 1);
    game.tap(100, 100);
    EXPECT_EQ(game.state.screen, Screen::Title);

    game.open(game.writeQuiz(kFullQuiz));
    for (int i = 0; i < 40; ++i) {
        const Screen screen = game.state.screen;
        const int repaints = game.host.repaints;
        game.showRanking();
        EXPECT_EQ(game.state.screen, screen);
        EXPECT_EQ(game.host.repaints, repaints);
        game.tick();
    }
}

}  // namespace
}  // namespace pp
