#include <gtest/gtest.h>

#include "GameDriver.h"
#include "engine/Commands.h"
#include "engine/Messages.h"

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

TEST(OpenCommand, ARefusedFileLeavesTheRunningGameAsItWas) {
    GameDriver game(withOptions(0, 0, 1, 0, 0));
    playIntoSecondLevel(game);
    game.tickUntil(Screen::Answering);
    game.tick(3);
    const GameState before = game.state;
    const int repaints = game.host.repaints;
    const auto broken = game.folder / "broken.kqd";
    test::writeBytes(broken, "too short for eight genre headers");

    game.open(game.folder / "missing.kqd");
    game.open(broken);
    game.host.chosenFile = game.folder.path();  // a folder chosen in the open dialog
    game.command(command::kOpen);
    // A quiz at the start of a 4 GiB sparse file: refused by its size alone, with its own reason.
    const auto huge = game.folder / "huge.kqd";
    test::writeBytes(huge, test::quizBytes(test::labelledQuiz({2, 2})));
    std::filesystem::resize_file(huge, std::uintmax_t{4} << 30);
    game.open(huge);
    ASSERT_EQ(game.host.messages.size(), 4u);
    // The first line as the handheld said it, then the file's name and why it was refused.
    EXPECT_EQ(game.host.messages[0].text, u"データの読み込みに失敗しました。\nmissing.kqd\nファイルが見つかりません");
    EXPECT_EQ(game.host.messages[1].text,
              u"データの読み込みに失敗しました。\nbroken.kqd\n問題ファイルではありません（見出しが壊れています）");
    EXPECT_TRUE(game.host.messages[2].text.ends_with(u"\nフォルダです"));
    EXPECT_EQ(game.host.messages[3].text, u"データの読み込みに失敗しました。\nhuge.kqd\n" + std::u16string(kQuizTooLargeText));
    EXPECT_EQ(game.host.repaints, repaints);  // the picture stays as it was
    EXPECT_EQ(game.state.screenEntry, before.screenEntry);
    EXPECT_EQ(game.state.screen, Screen::Answering);
    EXPECT_EQ(game.state.timeLeftTicks, before.timeLeftTicks);
    EXPECT_EQ(game.state.score, before.score);
    EXPECT_EQ(game.state.level, before.level);
    EXPECT_EQ(game.state.questionIndex, before.questionIndex);
    EXPECT_EQ(game.state.genreAnswered, before.genreAnswered);
    EXPECT_EQ(game.state.questionText, before.questionText);
    EXPECT_EQ(game.state.genres[0].name, before.genres[0].name);
    EXPECT_EQ(game.state.quizPath, before.quizPath);

    // The clock goes on from where it stood, and the game plays on from its own file.
    game.tick();
    EXPECT_EQ(game.state.timeLeftTicks, before.timeLeftTicks - 1);
    game.answer(true);
    game.tickUntil(Screen::LoadQuestion);
    game.tickUntil(Screen::Answering);  // a question that could not be loaded would wait
    EXPECT_EQ(game.host.messages.size(), 4u);
}

TEST(OpenCommand, APathOfAnyLengthIsKeptWhole) {
    GameDriver game(kDefaultOptions);
    // Longer than the handheld's 260-character buffer: every later question is read from it.
    std::filesystem::path deep = game.folder.path();
    while (deep.native().size() < 400) {
        deep /= "folder-with-a-long-name";
    }
    std::filesystem::create_directories(deep);
    const auto quiz = deep / "quiz.kqd";
    std::filesystem::copy_file(game.writeQuiz(kFullQuiz), quiz);

    game.open(quiz);
    EXPECT_TRUE(game.host.messages.empty());
    EXPECT_EQ(game.state.quizPath, quiz);
    game.tickUntil(Screen::Answering);
    game.answer(true);
    game.tickUntil(Screen::QuestionIntro);
    game.tickUntil(Screen::Answering);
    EXPECT_TRUE(game.host.messages.empty());
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

// A game on the settings file at `path`, started: what a frontend does first.
struct StartedGame {
    explicit StartedGame(const std::filesystem::path& path)
        : game(host, path, std::make_unique<MersenneRandom>(1)) {
        game.start();
    }
    test::FakeHost host;
    Game game;
};

TEST(SettingsFileProblems, AFileThatCannotBeReadIsNeverSavedOverAndTheReasonIsToldOnce) {
    test::TempDir folder;
    const auto path = settingsPathIn(folder.path());
    std::filesystem::create_directory(path);  // there, but nothing the game can read
    StartedGame started(path);
    ASSERT_EQ(started.host.messages.size(), 1u);
    EXPECT_EQ(started.host.messages[0].caption, kSettingsUnreadableCaption);
    EXPECT_EQ(started.host.messages[0].text, std::u16string(kSettingsUnreadableText) + u"\n" + path.u16string());

    started.game.confirmSettings(withOptions(0, 1, 0, 0, 0));
    started.game.confirmSettings(withOptions(1, 1, 0, 0, 0));
    EXPECT_EQ(started.game.state().options, withOptions(1, 1, 0, 0, 0));  // kept in memory
    EXPECT_EQ(started.host.messages.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST(SettingsFileProblems, AFailedSaveIsToldOncePerCauseAndKeepsTheChoice) {
    test::TempDir folder;
    const auto documents = folder / "Documents";
    std::filesystem::create_directory(documents);
    StartedGame started(settingsPathIn(documents));
    EXPECT_TRUE(started.host.messages.empty());

    std::filesystem::remove_all(documents);
    started.game.confirmSettings(withOptions(0, 1, 0, 0, 0));
    started.game.confirmSettings(withOptions(0, 1, 1, 0, 0));
    ASSERT_EQ(started.host.messages.size(), 1u);
    EXPECT_EQ(started.host.messages[0].caption, kSaveErrorCaption);
    EXPECT_EQ(started.host.messages[0].text, std::u16string(kSaveErrorText) + std::u16string(kSaveNoFolderText) +
                                                 u"\n" + settingsPathIn(documents).u16string());
    EXPECT_EQ(started.game.state().options, withOptions(0, 1, 1, 0, 0));

    // Documents comes back without the file: the next save writes the options just chosen.
    std::filesystem::create_directory(documents);
    started.game.confirmSettings(withOptions(0, 0, 1, 0, 0));
    EXPECT_EQ(started.host.messages.size(), 1u);
    GameState saved;
    loadSettings(saved, settingsPathIn(documents));
    EXPECT_EQ(saved.options, withOptions(0, 0, 1, 0, 0));
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
