// The missed-question record, the review run, the number keys and starting again from the title.

#include <gtest/gtest.h>

#include "GameDriver.h"
#include "engine/Commands.h"
#include "engine/Input.h"
#include "engine/Messages.h"
#include "persistence/MissedList.h"

namespace pp {
namespace {

using test::GameDriver;
using test::questionLabel;
using test::withOptions;

// Two questions in each of the first three genres: numbers 0-1, 2-3, 4-5.
const std::vector<int> kSmallQuiz{2, 2, 2, 0, 0, 0, 0, 0};

// The display row of stored choice `stored` in the question on screen.
int rowOf(const GameState& state, int stored) {
    for (int p = 0; p < kChoiceCount; ++p) {
        if (state.choiceOrder[static_cast<std::size_t>(p)] == stored) {
            return p + 1;
        }
    }
    return 0;
}

// Plays a study run to its end: questions 1 and 4 answered wrong with stored choice 3, question 3
// left to time out, every other one right.
void playStudyRunWithThreeMisses(GameDriver& game) {
    for (int question = 0; question < 6; ++question) {
        game.tickUntil(Screen::Answering);
        ASSERT_EQ(game.state.currentQuestion, question);
        if (question == 1 || question == 4) {
            game.key(key::kChoice1 + rowOf(game.state, 3) - 1);
        } else if (question != 3) {
            game.answer(true);
        }
        game.tickUntil(Screen::Judging);
    }
    game.tickUntil(Screen::GameOver);
}

TEST(Review, AStudyRunRemembersItsMissesAndReviewsThemInOrderWithoutARankingOffer) {
    GameDriver game(withOptions(1, 1, 1, 0, 1));
    const auto quiz = game.writeQuiz(kSmallQuiz);
    game.open(quiz);
    playStudyRunWithThreeMisses(game);
    ASSERT_EQ(game.host.nameRequests, 1);  // the study run itself entered the empty ranking
    EXPECT_EQ(game.game.missedQuestions(), (std::vector<std::int32_t>{1, 3, 4}));

    // The dialog's rows, as read back from the file.
    game.host.reviewChosen = true;
    game.command(command::kMissedQuestions);
    ASSERT_EQ(game.host.missedDialogs.size(), 1u);
    const auto& rows = game.host.missedDialogs[0];
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].genre, u"ジャンル0");
    EXPECT_EQ(rows[0].question, questionLabel(0, 1));
    EXPECT_EQ(rows[0].given, test::choiceLabel(0, 1, 3));
    EXPECT_EQ(rows[0].right, test::choiceLabel(0, 1, 0));
    EXPECT_FALSE(rows[0].timedOut);
    EXPECT_TRUE(rows[1].timedOut);
    EXPECT_EQ(rows[1].question, questionLabel(1, 1));
    EXPECT_EQ(rows[2].genre, u"ジャンル2");

    // The dialog's button started the review run: the three questions, in the order asked.
    ASSERT_EQ(game.state.screen, Screen::QuestionIntro);
    EXPECT_EQ(game.state.reviewQuestions, (std::vector<std::int32_t>{1, 3, 4}));
    EXPECT_NE(game.surface.findText(u"あと3問"), nullptr);
    const std::u16string expected[] = {questionLabel(0, 1), questionLabel(1, 1), questionLabel(2, 0)};
    for (int i = 0; i < 3; ++i) {
        game.tickUntil(Screen::Answering);
        EXPECT_EQ(game.state.questionText.view(), expected[i]);
        if (i == 0) {
            game.answer(false);
            game.tickUntil(Screen::ShowCorrect);  // a miss shows the right answer, as study mode does
        } else {
            game.answer(true);
        }
        game.tickUntil(i == 2 ? Screen::GameOver : Screen::QuestionIntro);
        if (i == 1) {
            EXPECT_NE(game.surface.findText(u"最終問題"), nullptr);
        }
    }
    EXPECT_EQ(game.state.genreAnswered[0] + game.state.genreAnswered[1] + game.state.genreAnswered[2], 3);
    EXPECT_EQ(game.host.nameRequests, 1);  // no ranking offer for a review
    EXPECT_EQ(game.game.missedQuestions(), (std::vector<std::int32_t>{1}));  // what is still missed

    // Back on the title, the next game is a plain study run over the whole file.
    game.tap(10, 10);
    game.tap(10, 10);
    ASSERT_EQ(game.state.screen, Screen::Title);
    game.key(key::kReturn);
    EXPECT_TRUE(game.state.reviewQuestions.empty());
    EXPECT_NE(game.surface.findText(u"あと6問"), nullptr);
}

TEST(Review, AReviewFromGameModeKeepsThePurposeAndTheSettingsFile) {
    GameDriver game(withOptions(0, 0, 0, 0, 0));
    game.open(game.writeQuiz(kSmallQuiz));
    game.tickUntil(Screen::Answering);
    game.answer(false);
    game.tickUntil(Screen::QuestionIntro);
    const std::int32_t missed = game.game.missedQuestions().at(0);
    const auto settingsBefore = test::readBytes(game.settingsPath());

    game.command(command::kReviewMissed);  // mid-game: the game is abandoned for the review
    game.tickUntil(Screen::Answering);
    EXPECT_EQ(game.state.currentQuestion, missed);
    EXPECT_EQ(game.state.options.studyMode, 0);
    game.answer(true);
    game.tickUntil(Screen::GameOver);
    EXPECT_EQ(game.state.level, 0);
    EXPECT_EQ(test::readBytes(game.settingsPath()), settingsBefore);
    EXPECT_TRUE(game.game.missedQuestions().empty());
    EXPECT_FALSE(game.game.hasMissedQuestions());
}

TEST(Review, TheListIsKeptAcrossARestartAndDroppedWhenTheFileChanges) {
    test::TempDir data;
    const auto store = data / "missed.json";
    const auto quiz = data / "quiz.kqd";
    test::writeBytes(quiz, test::quizBytes(test::labelledQuiz(kSmallQuiz)));
    auto run = [&] {
        return std::make_unique<GameDriver>(withOptions(0, 0, 1, 0, 1), [&](GameDriver& game) {
            game.host.rememberedQuizFile = quiz;  // the window's recent files
            game.game.keepMissedListsIn(store);
        });
    };
    {
        auto game = run();
        EXPECT_FALSE(game->game.hasMissedQuestions());
        game->key(key::kReturn);  // the title starts the remembered file
        playStudyRunWithThreeMisses(*game);
    }
    {
        auto game = run();  // tomorrow: the title already offers yesterday's mistakes
        EXPECT_EQ(game->game.missedQuestions(), (std::vector<std::int32_t>{1, 3, 4}));
        game->command(command::kReviewMissed);
        EXPECT_EQ(game->state.reviewQuestions, (std::vector<std::int32_t>{1, 3, 4}));
    }
    // Another question text of the same length: the same size, another hash.
    auto changed = test::labelledQuiz(kSmallQuiz);
    changed[0].questions[0].text = u"別0-0";
    const std::string other = test::quizBytes(changed);
    ASSERT_EQ(other.size(), std::filesystem::file_size(quiz));
    test::writeBytes(quiz, other);
    auto game = run();
    EXPECT_TRUE(game->game.missedQuestions().empty());
    EXPECT_EQ(test::readBytes(store).find("quiz.kqd"), std::string::npos);  // dropped from the file too
}

// The quiz rebuilt at the same path and size with its questions reordered: the list, whose
// numbers now name other questions, is neither shown nor reviewed.
TEST(Review, TheListIsCheckedAgainstTheFileBeforeItIsShownOrReviewed) {
    test::TempDir data;
    const auto quiz = data / "quiz.kqd";
    auto genres = test::labelledQuiz(kSmallQuiz);
    test::writeBytes(quiz, test::quizBytes(genres));
    GameDriver game(withOptions(0, 0, 1, 0, 1), [&](GameDriver& driver) { driver.game.keepMissedListsIn(data / "missed.json"); });
    game.open(quiz);
    playStudyRunWithThreeMisses(game);
    ASSERT_TRUE(game.game.hasMissedQuestions());
    std::swap(genres[0].questions[0], genres[0].questions[1]);
    test::writeBytes(quiz, test::quizBytes(genres));
    game.host.messages.clear();
    game.command(command::kMissedQuestions);
    EXPECT_TRUE(game.host.missedDialogs.empty());
    ASSERT_EQ(game.host.messages.size(), 1u);
    EXPECT_EQ(game.host.messages[0].text, kMissedStaleText);
    EXPECT_FALSE(game.game.hasMissedQuestions());
    game.command(command::kReviewMissed);
    EXPECT_TRUE(game.state.reviewQuestions.empty());
}

// A damaged store is kept aside whole, and the player hears of it once however often it happens.
TEST(Review, ADamagedStoreIsKeptAsideAndToldOnce) {
    test::TempDir data;
    const auto store = data / "missed.json";
    test::writeBytes(store, "{\"version\":9}");
    GameDriver game(withOptions(0, 0, 1, 0, 1), [&](GameDriver& driver) { driver.game.keepMissedListsIn(store); });
    const auto quiz = game.writeQuiz(kSmallQuiz);
    game.open(quiz);
    test::writeBytes(store, "damaged again");
    game.open(quiz);
    int told = 0;
    for (const auto& message : game.host.messages) {
        told += message.caption == kMissedStoreCaption ? 1 : 0;
    }
    EXPECT_EQ(told, 1);
    int keptAside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(data.path())) {
        keptAside += entry.path().filename().string().starts_with("missed.json.damaged-") ? 1 : 0;
    }
    EXPECT_EQ(keptAside, 2);
}

TEST(Review, ANumberKeyAnswersWithItsRowAtOnceAndOnlyWhileTheQuestionWaits) {
    GameDriver game(withOptions(1, 0, 1, 0, 0));
    game.open(game.writeQuiz(kSmallQuiz));
    game.key(key::kChoice1 + 2);  // on the intro card: nothing
    EXPECT_EQ(game.state.selection, 0);
    game.tickUntil(Screen::Answering);
    const auto soundsBefore = game.host.sounds.size();
    game.key(key::kChoice1 + 2);
    EXPECT_EQ(game.state.selection, 3);
    EXPECT_EQ(game.state.confirmed, 1);
    EXPECT_EQ(game.host.sounds.size(), soundsBefore);  // silent, like two taps
    game.key(key::kChoice5);  // already confirmed: ignored
    EXPECT_EQ(game.state.selection, 3);
    game.tick();
    EXPECT_EQ(game.state.screen, Screen::Judging);
}

TEST(Review, TheTitleStartsAgainOnTheLastFileOrAsksForOne) {
    GameDriver game(withOptions(0, 0, 1, 0, 0));
    game.key(key::kReturn);  // no file yet: the open dialog, cancelled
    EXPECT_EQ(game.host.fileDialogs, 1);
    EXPECT_EQ(game.state.screen, Screen::Title);

    const auto quiz = game.writeQuiz(kSmallQuiz);
    game.host.chosenFile = quiz;
    game.tap(120, 120);  // a tap does the same; this time a file is chosen
    EXPECT_EQ(game.state.screen, Screen::QuestionIntro);
    EXPECT_EQ(game.host.openedFiles.back(), std::make_pair(quiz, true));

    game.settings(withOptions(0, 0, 1, 0, 1));  // a new purpose: back on the title
    ASSERT_EQ(game.state.screen, Screen::Title);
    game.key(key::kApp1);
    EXPECT_EQ(game.state.screen, Screen::QuestionIntro);
    EXPECT_EQ(game.host.fileDialogs, 2);

    // The file went away: the load error, the title stays, and the next Return asks for a file.
    game.settings(withOptions(0, 0, 1, 0, 0));
    std::filesystem::remove(quiz);
    game.key(key::kReturn);
    ASSERT_EQ(game.host.messages.size(), 1u);
    EXPECT_TRUE(game.host.messages[0].text.starts_with(kLoadErrorText));
    EXPECT_EQ(game.state.screen, Screen::Title);
    EXPECT_EQ(game.host.openedFiles.back(), std::make_pair(quiz, false));
    game.host.chosenFile.reset();
    game.key(key::kReturn);
    EXPECT_EQ(game.host.fileDialogs, 3);
}

}  // namespace
}  // namespace pp

namespace pp {
namespace {

TEST(Review, AQuestionDrawnAgainIsListedOnceWithHowOftenItWasMissed) {
    test::GameDriver game(test::withOptions(0, 0, 1, 0, 0));
    game.open(game.writeQuiz({1, 0, 0, 0, 0, 0, 0, 0}));  // every draw is the one question
    for (int i = 0; i < kQuestionsPerLevel; ++i) {
        game.tickUntil(Screen::Answering);
        game.answer(i == 0);
        game.tickUntil(Screen::Judging);
    }
    game.tickUntil(Screen::GameOver);
    game.command(command::kMissedQuestions);
    ASSERT_EQ(game.host.missedDialogs.size(), 1u);
    ASSERT_EQ(game.host.missedDialogs[0].size(), 1u);
    EXPECT_EQ(game.host.missedDialogs[0][0].timesMissed, 7);
}

}  // namespace
}  // namespace pp
