#include <gtest/gtest.h>

#include "record/GameState.h"
#include "engine/Ticker.h"
#include "support/FakeHost.h"

namespace pp {
namespace {

using test::TestGame;

// A game in the middle of a level, options on their defaults.
struct TickerTest : ::testing::Test {
    TickerTest() {
        game.state.options = kDefaultOptions;
        resetGame(game.state);
        for (Genre& genre : game.state.genres) {
            genre.questionCount = 3;
        }
    }

    // Runs n ticks and returns how many repaints they asked for.
    int run(int n) {
        const int before = game.host.repaints;
        for (int i = 0; i < n; ++i) {
            tick(game.context);
        }
        return game.host.repaints - before;
    }

    // Puts the game on Judging with the answer right or wrong.
    void judging(bool right) {
        setScreen(game.state, Screen::Judging);
        game.state.tickCount = 0;
        game.state.correctPosition = 2;
        game.state.selection = right ? 3 : 1;
    }

    GameState& state = game.state;
    TestGame game;
};

TEST_F(TickerTest, IdleScreensOnlyZeroTheirCount) {
    for (Screen screen : {Screen::Title, Screen::GameOver, Screen::AllClear}) {
        setScreen(state, screen);
        state.tickCount = 9;
        EXPECT_EQ(run(100), 0);
        EXPECT_EQ(state.screen, screen);
        EXPECT_EQ(state.tickCount, 0);
    }
    setScreen(state, Screen::Ranking);
    state.tickCount = 9;
    EXPECT_EQ(run(100), 0);
    EXPECT_EQ(state.screen, Screen::Ranking);
    EXPECT_EQ(state.tickCount, 9);
    EXPECT_TRUE(game.host.sounds.empty());
}

TEST_F(TickerTest, IntroCardLasts25TicksWithItsSoundOnTheSecond) {
    setScreen(state, Screen::QuestionIntro);
    state.selection = 4;
    state.confirmed = 1;
    state.questionReady = 1;
    state.revealDone = 1;

    EXPECT_EQ(run(1), 0);
    EXPECT_TRUE(game.host.sounds.empty());
    EXPECT_EQ(run(1), 0);
    EXPECT_EQ(game.host.sounds, std::vector<int>{136});
    EXPECT_EQ(run(22), 0);
    EXPECT_EQ(state.screen, Screen::QuestionIntro);

    EXPECT_EQ(run(1), 1);  // the 25th tick
    EXPECT_EQ(state.screen, Screen::LoadQuestion);
    EXPECT_EQ(state.tickCount, 0);
    EXPECT_EQ(state.selection, 0);
    EXPECT_EQ(state.confirmed, 0);
    EXPECT_EQ(state.questionReady, 0);
    EXPECT_EQ(state.revealDone, 0);
    EXPECT_EQ(game.host.sounds, std::vector<int>{136});
}

TEST_F(TickerTest, LoadQuestionWaitsForTheLoader) {
    setScreen(state, Screen::LoadQuestion);
    EXPECT_EQ(run(500), 0);
    EXPECT_EQ(state.screen, Screen::LoadQuestion);

    state.questionReady = 1;
    EXPECT_EQ(run(1), 1);
    EXPECT_EQ(state.screen, Screen::RevealQuestion);
}

TEST_F(TickerTest, WithoutRevealTheAnswerClockStartsFull) {
    state.options.gradualReveal = 0;
    state.timeLeftTicks = -1;  // what a timed-out question leaves
    setScreen(state, Screen::LoadQuestion);
    state.questionReady = 1;
    state.confirmed = 1;

    EXPECT_EQ(run(1), 1);
    EXPECT_EQ(state.screen, Screen::Answering);
    EXPECT_EQ(state.questionReady, 0);
    EXPECT_EQ(state.confirmed, 0);
    EXPECT_EQ(state.tickCount, 0);
    EXPECT_EQ(state.timeLeftTicks, 199);
}

TEST_F(TickerTest, RevealShowsACharacterMoreEveryTickUntilDoneThenStartsTheClock) {
    state.questionText = u"首都は？";
    state.questionReady = 1;
    state.options.gradualReveal = 1;
    state.timeLeftTicks = -1;
    setScreen(state, Screen::LoadQuestion);
    std::vector<std::int32_t> counts;
    for (int tick = 0; tick < 4; ++tick) {
        EXPECT_EQ(run(1), 1);
        counts.push_back(state.revealCount);
    }
    EXPECT_EQ(counts, (std::vector<std::int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(run(1), 1);  // the whole question, marked done
    EXPECT_EQ(state.revealDone, 1);
    EXPECT_EQ(state.screen, Screen::RevealQuestion);
    EXPECT_EQ(run(1), 1);
    EXPECT_EQ(state.screen, Screen::Answering);
    EXPECT_EQ(state.revealDone, 0);
    EXPECT_EQ(state.timeLeftTicks, 199);
}

TEST_F(TickerTest, RevealOfAnEmptyQuestionIsDoneAtOnce) {
    state.questionReady = 1;
    state.options.gradualReveal = 1;
    setScreen(state, Screen::LoadQuestion);
    run(1);
    EXPECT_EQ(state.screen, Screen::RevealQuestion);
    EXPECT_EQ(state.revealDone, 1);
}

TEST_F(TickerTest, AnswerClockRunsOutOnThe201stTick) {
    setScreen(state, Screen::Answering);
    state.tickCount = 0;
    state.selection = 2;

    EXPECT_EQ(run(1), 0);
    EXPECT_EQ(state.timeLeftTicks, 199);
    EXPECT_EQ(run(9), 1);  // tick 10 refreshes the countdown
    EXPECT_EQ(state.timeLeftTicks, 190);
    EXPECT_EQ(run(190), 19);  // ticks 20..200; the last leaves 0
    EXPECT_EQ(state.timeLeftTicks, 0);
    EXPECT_EQ(state.screen, Screen::Answering);

    EXPECT_EQ(run(1), 1);
    EXPECT_EQ(state.screen, Screen::Judging);
    EXPECT_EQ(state.timeLeftTicks, -1);
    EXPECT_EQ(state.tickCount, 0);
    EXPECT_EQ(state.selection, 2);  // judged as it stands
}

TEST_F(TickerTest, AMissShowsTheRightAnswerOnlyWhenAsked) {
    state.options.showCorrectAnswer = 1;
    judging(true);
    run(41);
    EXPECT_EQ(state.screen, Screen::QuestionIntro);

    judging(false);
    run(41);
    EXPECT_EQ(state.screen, Screen::ShowCorrect);
    EXPECT_EQ(state.questionIndex, 2);
    EXPECT_EQ(run(40), 0);
    EXPECT_EQ(run(1), 1);
    EXPECT_EQ(state.screen, Screen::QuestionIntro);
    EXPECT_EQ(state.questionIndex, 2);

    // Nothing highlighted when time ran out is a miss too.
    judging(false);
    state.selection = 0;
    run(41);
    EXPECT_EQ(state.screen, Screen::ShowCorrect);
}

TEST_F(TickerTest, EighthQuestionEndsTheLevelByItsQuota) {
    struct Case {
        std::int32_t level;
        std::int32_t levelCorrect;
        Screen expected;
    };
    const Case cases[] = {
        {0, 3, Screen::LevelClear}, {0, 2, Screen::GameOver},  {2, 4, Screen::LevelClear},
        {3, 4, Screen::GameOver},   {6, 7, Screen::LevelClear}, {7, 7, Screen::GameOver},
        {7, 8, Screen::AllClear},
    };
    for (const Case& c : cases) {
        judging(c.levelCorrect == 8);
        state.level = c.level;
        state.levelCorrect = c.levelCorrect;
        state.questionIndex = 7;
        EXPECT_EQ(run(41), 1);
        EXPECT_EQ(state.screen, c.expected) << "level " << c.level << " with " << c.levelCorrect;
        EXPECT_EQ(state.questionIndex, c.expected == Screen::GameOver ? 7 : 0);
        EXPECT_EQ(state.level, c.level);
    }
}

TEST_F(TickerTest, MissedSeventhQuestionStillLeadsToAnEighth) {
    state.options.showCorrectAnswer = 1;
    judging(false);
    state.questionIndex = 6;
    run(82);
    EXPECT_EQ(state.screen, Screen::QuestionIntro);
    EXPECT_EQ(state.questionIndex, 7);
}

TEST_F(TickerTest, StudyModeWithMoreThanEightQuestionsNeverEndsALevel) {
    state.options.studyMode = 1;
    judging(false);
    state.questionIndex = 7;
    state.levelCorrect = 0;
    run(41);
    EXPECT_EQ(state.screen, Screen::QuestionIntro);
    EXPECT_EQ(state.questionIndex, 8);
}

}  // namespace
}  // namespace pp
