#include <gtest/gtest.h>

#include "record/GameState.h"
#include "engine/Judge.h"
#include "support/FakeHost.h"

namespace pp {
namespace {

using test::TestGame;

struct JudgeTest : ::testing::Test {
    JudgeTest() {
        state.options = kDefaultOptions;
        resetGame(state);
        state.currentGenre = 3;
        state.correctPosition = 1;
        state.timeLeftTicks = 199;
    }

    void judge(int selection) {
        state.selection = selection;
        judgeAnswer(game.context);
    }

    TestGame game;
    GameState& state = game.state;
};

TEST_F(JudgeTest, RightAnswerCountsAndChimes) {
    judge(2);
    EXPECT_EQ(state.score, 90);
    EXPECT_EQ(state.levelCorrect, 1);
    EXPECT_EQ(state.slotsLeft, 7);
    EXPECT_EQ(state.genreCorrect[3], 1);
    EXPECT_EQ(state.genreAnswered[3], 1);
    EXPECT_EQ(game.host.sounds, std::vector<int>{140});
}

TEST_F(JudgeTest, WrongAnswerCountsOnlyTheAttempt) {
    judge(5);
    EXPECT_EQ(state.score, 0);
    EXPECT_EQ(state.levelCorrect, 0);
    EXPECT_EQ(state.slotsLeft, 7);
    EXPECT_EQ(state.genreCorrect[3], 0);
    EXPECT_EQ(state.genreAnswered[3], 1);
    EXPECT_EQ(game.host.sounds, std::vector<int>{142});
}

TEST_F(JudgeTest, PointsAreTenPerWholeSecondLeft) {
    const std::pair<std::int32_t, std::int16_t> cases[] = {
        {199, 90}, {180, 90}, {179, 80}, {100, 50}, {20, 10}, {19, 0}, {0, 0}, {-1, 0},
    };
    for (auto [ticksLeft, points] : cases) {
        state.score = 100;
        state.timeLeftTicks = ticksLeft;
        judge(2);
        EXPECT_EQ(state.score, 100 + points) << ticksLeft << " ticks left";
    }
}

TEST_F(JudgeTest, ScoreStopsAtTheLargest16BitValue) {
    state.options.studyMode = 1;
    state.score = 32700;
    judge(2);  // 32790 would wrap to -32746
    EXPECT_EQ(state.score, 32767);
    judge(2);
    EXPECT_EQ(state.score, 32767);
}

TEST_F(JudgeTest, StudyModeLeavesTheLevelCountersAlone) {
    state.options.studyMode = 1;
    judge(2);
    EXPECT_EQ(state.levelCorrect, 0);
    EXPECT_EQ(state.slotsLeft, 8);
    EXPECT_EQ(state.genreCorrect[3], 1);
    judge(1);
    EXPECT_EQ(state.genreCorrect[3], 1);
    EXPECT_EQ(state.genreAnswered[3], 2);
}

}  // namespace
}  // namespace pp
