#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <thread>

#include "QuizFixtures.h"
#include "record/Random.h"
#include "quizdata/QuestionLoader.h"
#include "support/FakeHost.h"

namespace pp {
namespace {

using test::choiceLabel;
using test::labelledQuiz;
using test::patchCount;
using test::questionLabel;
using test::quizBytes;

class QuestionLoader : public ::testing::Test {
protected:
    // Writes a quiz file and returns its path.
    std::filesystem::path quizFile(const std::string& bytes, const std::string& name = "quiz.kqd") {
        const std::filesystem::path path = folder_ / name;
        test::writeBytes(path, bytes);
        return path;
    }

    // Marks the state so that a test can see what a load left alone.
    static void markState(GameState& state) {
        state.selection = 3;
        state.confirmed = 1;
        for (Genre& genre : state.genres) {
            genre.name = u"old";
            genre.questionCount = 99;
        }
        state.questionText = u"previous question";
        state.currentGenre = 6;
    }

    test::TempDir folder_;
};

TEST_F(QuestionLoader, StudyModeWalksTheGenresPastEmptyOnes) {
    const auto path = quizFile(quizBytes(labelledQuiz({3, 0, 2, 1, 0, 0, 0, 4})));
    // Question number -> (genre, index within the genre).
    const std::vector<std::pair<int, int>> expected{{0, 0}, {0, 1}, {0, 2}, {2, 0}, {2, 1},
                                                    {3, 0}, {7, 0}, {7, 1}, {7, 2}, {7, 3}};
    for (int q = 0; q < static_cast<int>(expected.size()); ++q) {
        test::TestGame game;
        game.state.options.studyMode = 1;
        game.state.questionIndex = q;
        ASSERT_EQ(loadQuestion(game.state, game.random, path), LoadResult::Ok) << "question " << q;
        const auto [genre, index] = expected[static_cast<std::size_t>(q)];
        EXPECT_EQ(game.state.currentGenre, genre) << "question " << q;
        EXPECT_EQ(game.state.questionText.view(), questionLabel(genre, index));
        EXPECT_EQ(game.state.questionReady, 1);
        EXPECT_EQ(game.random.drawsTaken(), 4u);  // the shuffle only
    }
}

TEST_F(QuestionLoader, FillsTheGenreTableAndTheStoredChoices) {
    const auto path = quizFile(quizBytes(labelledQuiz({1, 2})));
    test::TestGame game;
    game.state.options.studyMode = 1;
    game.state.questionIndex = 2;
    ASSERT_EQ(loadQuestion(game.state, game.random, path), LoadResult::Ok);
    EXPECT_EQ(game.state.genres[0].name.view(), u"ジャンル0");
    EXPECT_EQ(game.state.genres[1].name.view(), u"ジャンル1");
    EXPECT_EQ(game.state.genres[1].questionCount, 2);
    EXPECT_TRUE(game.state.genres[2].name.empty());
    EXPECT_EQ(game.state.genres[2].questionCount, 0);
    for (int k = 0; k < kChoiceCount; ++k) {
        EXPECT_EQ(game.state.choices[static_cast<std::size_t>(k)].view(), choiceLabel(1, 1, k));
    }
}

TEST_F(QuestionLoader, StudyModeReadsTheSameQuestionAgainWithANewOrder) {
    const auto path = quizFile(quizBytes(labelledQuiz({4, 4})));
    test::TestGame game({0, 0, 0, 0, 4, 3, 2, 1});
    game.state.options.studyMode = 1;
    game.state.questionIndex = 5;
    ASSERT_EQ(loadQuestion(game.state, game.random, path), LoadResult::Ok);
    const auto firstOrder = game.state.choiceOrder;
    ASSERT_EQ(loadQuestion(game.state, game.random, path), LoadResult::Ok);
    EXPECT_EQ(game.state.questionText.view(), questionLabel(1, 1));
    EXPECT_NE(game.state.choiceOrder, firstOrder);
}

TEST_F(QuestionLoader, GameModeDrawsGenreThenQuestionThenShuffles) {
    const auto path = quizFile(quizBytes(labelledQuiz({2, 3, 4, 5, 6, 7, 8, 9})));
    // 13 % 8 picks genre 5 (7 questions); 9 % 7 picks its question 2.
    test::TestGame game({13, 9, 0, 0, 0, 0});
    ASSERT_EQ(loadQuestion(game.state, game.random, path), LoadResult::Ok);
    EXPECT_EQ(game.state.currentGenre, 5);
    EXPECT_EQ(game.state.questionText.view(), questionLabel(5, 2));
    EXPECT_EQ(game.random.drawsTaken(), 6u);
}

TEST_F(QuestionLoader, GameModeDrawsOnlyAmongGenresWithQuestions) {
    const auto path = quizFile(quizBytes(labelledQuiz({0, 2, 0, 3, 0, 0, 1, 0})));
    // The filled genres are 1, 3 and 6: the genre draw is over three.
    const std::vector<std::pair<std::uint32_t, int>> draws{{0, 1}, {1, 3}, {2, 6}, {5, 6}};
    for (const auto& [value, genre] : draws) {
        test::TestGame game({value, 0, 0, 0, 0, 0});
        ASSERT_EQ(loadQuestion(game.state, game.random, path), LoadResult::Ok);
        EXPECT_EQ(game.state.currentGenre, genre) << "draw " << value;
        EXPECT_EQ(game.state.questionText.view(), questionLabel(genre, 0));
    }

    // Over many games every filled genre comes up about equally often, whatever its size.
    MersenneRandom random(11);
    test::TestGame game;
    std::map<int, int> seen;
    for (int i = 0; i < 900; ++i) {
        ASSERT_EQ(loadQuestion(game.state, random, path), LoadResult::Ok);
        ++seen[game.state.currentGenre];
    }
    ASSERT_EQ(seen.size(), 3u);
    for (const auto& [genre, times] : seen) {
        EXPECT_NEAR(times, 300, 75) << "genre " << genre;
    }
}

TEST_F(QuestionLoader, WithoutRepeatsAGenreGivesEachQuestionOnceThenAnyAgain) {
    const auto path = quizFile(quizBytes(labelledQuiz({0, 3, 0, 0, 0, 0, 0, 2})));
    // Every draw 1: genre 1 of the two filled, then question 1 among what is left of it.
    const auto picks = [&](bool noRepeats) {
        test::TestGame game({1});
        game.state.noRepeats = noRepeats;
        std::vector<std::u16string> asked;
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(loadQuestion(game.state, game.random, path), LoadResult::Ok);
            asked.emplace_back(game.state.questionText.view());
            EXPECT_EQ(game.random.drawsTaken(), 6u * (i + 1));  // the same draws as the handheld's
        }
        return asked;
    };
    const std::u16string q0(questionLabel(7, 0)), q1(questionLabel(7, 1));
    EXPECT_EQ(picks(false), (std::vector<std::u16string>{q1, q1, q1, q1}));
    EXPECT_EQ(picks(true), (std::vector<std::u16string>{q1, q0, q1, q1}));  // genre 7 used up: repeats again

    // A new game asks every question afresh.
    test::TestGame game({1});
    game.state.noRepeats = true;
    game.state.askedQuestions = {4};
    resetGame(game.state);
    ASSERT_EQ(loadQuestion(game.state, game.random, path), LoadResult::Ok);
    EXPECT_EQ(game.state.questionText.view(), q1);
}

TEST_F(QuestionLoader, ShuffleTakesDrawsFromTheShrinkingList) {
    const auto path = quizFile(quizBytes(labelledQuiz({1})));
    struct Case {
        std::vector<std::uint32_t> draws;
        std::array<std::int16_t, kChoiceCount> order;
        std::int16_t correctPosition;
    };
    const std::vector<Case> cases{
        {{0, 0, 0, 0}, {0, 1, 2, 3, 4}, 0},
        {{4, 3, 2, 1}, {4, 3, 2, 1, 0}, 4},
        {{1, 1, 1, 1}, {1, 2, 3, 4, 0}, 4},  // stored choice 0 left last
        {{7, 7, 7, 7}, {2, 4, 1, 3, 0}, 4},  // 7%5, 7%4, 7%3, 7%2 = 2, 3, 1, 1
        {{2, 0, 0, 0}, {2, 0, 1, 3, 4}, 1},
    };
    for (const Case& c : cases) {
        test::TestGame game(c.draws);
        game.state.options.studyMode = 1;
        ASSERT_EQ(loadQuestion(game.state, game.random, path), LoadResult::Ok);
        EXPECT_EQ(game.state.choiceOrder, c.order);
        EXPECT_EQ(game.state.correctPosition, c.correctPosition);
        EXPECT_EQ(choiceText(game.state, game.state.correctPosition), choiceLabel(0, 0, 0));
    }
}

TEST_F(QuestionLoader, ShuffleIsUniformOverManyLoads) {
    const auto path = quizFile(quizBytes(labelledQuiz({1})));
    MersenneRandom random(2024);
    test::TestGame game;
    game.state.options.studyMode = 1;
    constexpr int kLoads = 6000;
    std::array<int, kChoiceCount> rightAnswerAt{};
    std::map<std::array<std::int16_t, kChoiceCount>, int> permutations;
    for (int i = 0; i < kLoads; ++i) {
        ASSERT_EQ(loadQuestion(game.state, random, path), LoadResult::Ok);
        auto order = game.state.choiceOrder;
        auto sorted = order;
        std::sort(sorted.begin(), sorted.end());
        ASSERT_EQ(sorted, (std::array<std::int16_t, kChoiceCount>{0, 1, 2, 3, 4}));
        ++rightAnswerAt[static_cast<std::size_t>(game.state.correctPosition)];
        ++permutations[order];
    }
    for (int times : rightAnswerAt) {
        EXPECT_NEAR(times, kLoads / 5, 150);  // about five standard deviations
    }
    EXPECT_EQ(permutations.size(), 120u);
}

TEST_F(QuestionLoader, ChoiceTextShowsTheRightAnswerForADamagedOrder) {
    GameState state;
    for (int k = 0; k < kChoiceCount; ++k) {
        state.choices[static_cast<std::size_t>(k)] = choiceLabel(0, 0, k);
    }
    state.choiceOrder = {3, 0, 4, 9, -1};
    EXPECT_EQ(choiceText(state, 0), choiceLabel(0, 0, 3));
    EXPECT_EQ(choiceText(state, 1), choiceLabel(0, 0, 0));
    EXPECT_EQ(choiceText(state, 2), choiceLabel(0, 0, 4));
    EXPECT_EQ(choiceText(state, 3), choiceLabel(0, 0, 0));
    EXPECT_EQ(choiceText(state, 4), choiceLabel(0, 0, 0));
    EXPECT_EQ(choiceText(state, 5), choiceLabel(0, 0, 0));
    EXPECT_EQ(choiceText(state, -1), choiceLabel(0, 0, 0));
}

TEST_F(QuestionLoader, RefusesAFileThatCannotBeOpenedOrIsNoRegularFile) {
    const std::filesystem::path fifo = folder_ / "pipe.kqd";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const auto& path : {folder_ / "missing.kqd", folder_.path(), fifo}) {
        test::TestGame game;
        markState(game.state);
        EXPECT_EQ(loadQuestion(game.state, game.random, path), LoadResult::Failed);
        EXPECT_EQ(game.state.selection, 0);
        EXPECT_EQ(game.state.confirmed, 0);
        EXPECT_EQ(game.state.genres[0].name.view(), u"old");
        EXPECT_EQ(game.state.questionReady, 0);
    }
}

// A rewrite to the same size within the same time step, its times set back as a FAT disk would
// keep them, still shows its new headers: the loader's memory of the last file holds no sway.
TEST_F(QuestionLoader, ReadsTheHeadersAgainWhenTheFileIsRewrittenWithinOneTimeStep) {
    std::vector<QuizGenre> genres = labelledQuiz({2, 2});
    const auto path = quizFile(quizBytes(genres));
    const timespec times[2] = {{1'600'000'000, 0}, {1'600'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    test::TestGame game;
    game.state.options.studyMode = 1;
    ASSERT_EQ(loadQuestion(game.state, game.random, path), LoadResult::Ok);
    ASSERT_EQ(loadQuestion(game.state, game.random, path), LoadResult::Ok);

    genres[1].name = u"ジャンルX";
    std::string changed = quizBytes(genres);
    ASSERT_EQ(changed.size(), test::readBytes(path).size());
    std::ofstream(path, std::ios::binary | std::ios::in | std::ios::out).write(changed.data(), static_cast<std::streamsize>(changed.size()));
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    ASSERT_EQ(loadQuestion(game.state, game.random, path), LoadResult::Ok);
    EXPECT_EQ(game.state.genres[1].name.view(), u"ジャンルX");
}

// The same with the headers unchanged and only a question far past them rewritten: the loader
// keeps nothing of a file but its headers, so the new question shows.
TEST_F(QuestionLoader, ReadsAQuestionRewrittenWithinOneTimeStepPastTheHeaders) {
    std::vector<QuizGenre> genres = labelledQuiz({40, 40});
    const auto path = quizFile(quizBytes(genres));
    const timespec times[2] = {{1'600'000'000, 0}, {1'600'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    test::TestGame game;
    game.state.options.studyMode = 1;
    game.state.questionIndex = 70;
    ASSERT_EQ(loadQuestion(game.state, game.random, path), LoadResult::Ok);
    genres[1].questions[30].text = u"書き換えた問題";
    const std::string changed = quizBytes(genres);
    ASSERT_EQ(changed.size(), test::readBytes(path).size());
    std::ofstream(path, std::ios::binary | std::ios::in | std::ios::out).write(changed.data(), static_cast<std::streamsize>(changed.size()));
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    ASSERT_EQ(loadQuestion(game.state, game.random, path), LoadResult::Ok);
    EXPECT_EQ(game.state.questionText.view(), u"書き換えた問題");
}

TEST_F(QuestionLoader, RefusesAFileShorterThanItsHeadersKeepingTheWholeOnes) {
    const std::string file = quizBytes(labelledQuiz({2, 2, 2, 2}));
    const auto path = quizFile(file.substr(0, kRecordSize * 3 + 17));
    test::TestGame game;
    markState(game.state);
    EXPECT_EQ(loadQuestion(game.state, game.random, path), LoadResult::Failed);
    EXPECT_EQ(game.state.genres[2].name.view(), u"ジャンル2");
    EXPECT_EQ(game.state.genres[2].questionCount, 2);
    EXPECT_EQ(game.state.genres[3].name.view(), u"old");  // cut inside its header
    EXPECT_EQ(game.state.genres[3].questionCount, 99);
    EXPECT_EQ(game.state.questionText.view(), u"previous question");

    test::TestGame empty;
    markState(empty.state);
    EXPECT_EQ(loadQuestion(empty.state, empty.random, quizFile("", "empty.kqd")), LoadResult::Failed);
    EXPECT_EQ(empty.state.genres[0].name.view(), u"old");
}

TEST_F(QuestionLoader, RefusesAFileShorterThanItsCountsWhicheverQuestionIsAsked) {
    const std::string file = quizBytes(labelledQuiz({3, 3}));
    const auto path = quizFile(file.substr(0, file.size() - kRecordSize / 2));
    // Question 0 is whole, but the file cannot hold the game it promises.
    for (int studyMode : {1, 0}) {
        test::TestGame game;
        markState(game.state);
        game.state.questionReady = 1;
        game.state.options.studyMode = static_cast<std::int16_t>(studyMode);
        EXPECT_EQ(loadQuestion(game.state, game.random, path), LoadResult::Failed);
        EXPECT_EQ(game.state.questionReady, 1);  // left as it was
        EXPECT_EQ(game.state.genres[1].name.view(), u"ジャンル1");
        EXPECT_EQ(game.state.questionText.view(), u"previous question");
        EXPECT_EQ(game.state.currentGenre, 6);
        EXPECT_EQ(game.random.drawsTaken(), 0u);
    }
}

TEST_F(QuestionLoader, RefusesNegativeAndEmptyCounts) {
    std::string negative = quizBytes(labelledQuiz({3, 3}));
    patchCount(negative, 2, -3);
    std::string none = quizBytes(labelledQuiz({1}));
    patchCount(none, 0, 0);
    for (const auto& path : {quizFile(negative, "negative.kqd"), quizFile(none, "none.kqd")}) {
        for (int studyMode : {1, 0}) {
            test::TestGame game;
            markState(game.state);
            game.state.options.studyMode = static_cast<std::int16_t>(studyMode);
            EXPECT_EQ(loadQuestion(game.state, game.random, path), LoadResult::Failed) << path;
                EXPECT_EQ(game.state.selection, 0);
            EXPECT_EQ(game.state.confirmed, 0);
            EXPECT_EQ(game.state.questionReady, 0);
            EXPECT_EQ(game.random.drawsTaken(), 0u);
        }
    }
}

TEST_F(QuestionLoader, StudyModeRefusesAQuestionPastTheLast) {
    const auto path = quizFile(quizBytes(labelledQuiz({2, 1})) + std::string(kRecordSize, ' '));
    for (int index : {3, 4, -1}) {
        test::TestGame game;
        markState(game.state);
        game.state.options.studyMode = 1;
        game.state.questionIndex = index;
        EXPECT_EQ(loadQuestion(game.state, game.random, path), LoadResult::Failed) << index;
        EXPECT_EQ(game.state.questionText.view(), u"previous question");
    }
}

TEST_F(QuestionLoader, OnlyAFlagEqualToOneMeansStudyMode) {
    const auto path = quizFile(quizBytes(labelledQuiz({1, 1, 1, 1, 1, 1, 1, 1})));
    test::TestGame game({3, 0, 0, 0, 0, 0});
    game.state.options.studyMode = 2;
    ASSERT_EQ(loadQuestion(game.state, game.random, path), LoadResult::Ok);
    EXPECT_EQ(game.state.currentGenre, 3);  // drawn, as in game mode
}

}  // namespace
}  // namespace pp
