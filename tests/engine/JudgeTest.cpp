#include <gtest/gtest.h>

#include "engine/GameState.h"
#include "engine/Judge.h"
#include "support/FakeHost.h"
#include "support/RecordingSurface.h"

namespace pp {
namespace {

using test::RecordingSurface;
using test::TestGame;
using Kind = RecordingSurface::Kind;

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
        judgeAnswer(game.context, surface, surface.clientRect());
    }

    TestGame game;
    GameState& state = game.state;
    RecordingSurface surface;
};

TEST_F(JudgeTest, RightAnswerDrawsTheBlueCircleAndCounts) {
    judge(2);
    ASSERT_EQ(surface.calls.size(), 1u);
    const auto& circle = surface.calls[0];
    EXPECT_EQ(circle.kind, Kind::Ellipse);
    EXPECT_EQ(circle.rect, (Rect{50, 60, 210, 220}));
    EXPECT_EQ(circle.width, 40);
    EXPECT_EQ(circle.colour, (Rgb{50, 150, 255}));

    EXPECT_EQ(state.score, 90);
    EXPECT_EQ(state.levelCorrect, 1);
    EXPECT_EQ(state.slotsLeft, 7);
    EXPECT_EQ(state.genreCorrect[3], 1);
    EXPECT_EQ(state.genreAnswered[3], 1);
    EXPECT_EQ(game.host.sounds, std::vector<int>{140});
}

TEST_F(JudgeTest, WrongAnswerDrawsTheRedCrossAndCountsOnlyTheAttempt) {
    judge(5);
    ASSERT_EQ(surface.calls.size(), 2u);
    const auto lines = surface.of(Kind::Polyline);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].points, (std::vector<Point>{{210, 220}, {50, 60}}));
    EXPECT_EQ(lines[1].points, (std::vector<Point>{{50, 220}, {210, 60}}));
    for (const auto& line : lines) {
        EXPECT_EQ(line.width, 40);
        EXPECT_EQ(line.colour, (Rgb{255, 0, 0}));
    }
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
