#include <gtest/gtest.h>

#include "record/GameState.h"
#include "engine/Input.h"
#include "support/FakeHost.h"

namespace pp {
namespace {

using test::TestGame;

struct InputTest : ::testing::Test {
    InputTest() {
        state.options = kDefaultOptions;
        setScreen(state, Screen::Answering);
    }

    // Returns how many repaints the event asked for.
    int key(int code) {
        const int before = game.host.repaints;
        onKeyDown(game.context, code);
        return game.host.repaints - before;
    }
    int tap(unsigned x, unsigned y) {
        const int before = game.host.repaints;
        onStylusUp(game.context, x, y);
        return game.host.repaints - before;
    }

    TestGame game;
    GameState& state = game.state;
};

TEST_F(InputTest, UpAndDownWrapAroundTheFiveRows) {
    EXPECT_EQ(key(key::kUp), 1);
    EXPECT_EQ(state.selection, 5);
    key(key::kUp);
    EXPECT_EQ(state.selection, 4);
    state.selection = 1;
    key(key::kUp);
    EXPECT_EQ(state.selection, 5);

    state.selection = 0;
    EXPECT_EQ(key(key::kDown), 1);
    EXPECT_EQ(state.selection, 1);
    key(key::kDown);
    EXPECT_EQ(state.selection, 2);
    state.selection = 5;
    key(key::kDown);
    EXPECT_EQ(state.selection, 1);
    EXPECT_EQ(state.confirmed, 0);
    EXPECT_EQ(game.host.sounds, (std::vector<int>(6, 141)));
}

TEST_F(InputTest, UpAndDownOnlyWhileChoosing) {
    state.selection = 2;
    state.confirmed = 1;
    EXPECT_EQ(key(key::kUp) + key(key::kDown), 0);
    EXPECT_EQ(state.selection, 2);

    state.confirmed = 0;
    for (Screen screen : {Screen::Title, Screen::RevealQuestion, Screen::Judging, Screen::GameOver}) {
        setScreen(state, screen);
        EXPECT_EQ(key(key::kUp) + key(key::kDown), 0);
        EXPECT_EQ(state.selection, 2);
    }
    EXPECT_TRUE(game.host.sounds.empty());
}

TEST_F(InputTest, ActionKeyConfirmsOnlyAHighlightedRow) {
    EXPECT_EQ(key(key::kReturn), 0);
    EXPECT_EQ(state.confirmed, 0);

    state.selection = 3;
    EXPECT_EQ(key(key::kReturn), 1);
    EXPECT_EQ(state.confirmed, 1);
    EXPECT_EQ(key(key::kReturn), 0);  // already confirmed
    EXPECT_TRUE(game.host.sounds.empty());
}

TEST_F(InputTest, EveryActionCodeActsAndOtherKeysDoNothing) {
    for (int code : {0x0D, 0x86, 0xC1, 0xC2, 0xC3, 0xC4}) {
        EXPECT_TRUE(isActionKey(code));
        state.selection = 1;
        state.confirmed = 0;
        EXPECT_EQ(key(code), 1) << code;
        EXPECT_EQ(state.confirmed, 1);
    }
    state.selection = 1;
    state.confirmed = 0;
    for (int code : {0x20, 0x25, 0x27, 0xC0, 0xC5, 0x85, 0x87, 0}) {
        EXPECT_FALSE(isActionKey(code));
        EXPECT_EQ(key(code), 0) << code;
    }
    EXPECT_EQ(state.confirmed, 0);
    EXPECT_EQ(state.selection, 1);
}

TEST_F(InputTest, ActionKeyAndTapLeaveTheEndScreens) {
    for (bool byTap : {false, true}) {
        for (Screen end : {Screen::GameOver, Screen::AllClear}) {
            setScreen(state, end);
            EXPECT_EQ(byTap ? tap(0, 0) : key(0xC3), 1);
            EXPECT_EQ(state.screen, Screen::Ranking);
            EXPECT_EQ(byTap ? tap(500, 500) : key(key::kReturn), 1);
            EXPECT_EQ(state.screen, Screen::Title);
        }
    }
}

TEST_F(InputTest, ActionKeyAndTapElsewhereDoNothing) {
    state.selection = 2;
    for (Screen screen : {Screen::Title, Screen::QuestionIntro, Screen::LoadQuestion, Screen::RevealQuestion,
                          Screen::Judging, Screen::ShowCorrect, Screen::LevelClear}) {
        setScreen(state, screen);
        const auto entry = state.screenEntry;
        EXPECT_EQ(key(key::kReturn) + tap(120, 110), 0) << screenName(screen);
        EXPECT_EQ(state.screen, screen);
        EXPECT_EQ(state.screenEntry, entry);
        EXPECT_EQ(state.confirmed, 0);
        EXPECT_EQ(state.selection, 2);
    }
}

TEST_F(InputTest, TapsCountOnlyInsideTheXLimits) {
    EXPECT_EQ(tap(11, 80), 0);
    EXPECT_EQ(tap(235, 80), 0);
    EXPECT_EQ(tap(0xFFFFu, 80), 0);
    EXPECT_EQ(state.selection, 0);
    EXPECT_EQ(tap(12, 80), 1);
    EXPECT_EQ(state.selection, 1);
    EXPECT_EQ(tap(234, 115), 1);
    EXPECT_EQ(state.selection, 2);
}

TEST_F(InputTest, TapsBetweenTheRowBandsDoNothing) {
    for (unsigned y : {0u, 65u, 95u, 97u, 100u, 130u, 135u, 165u, 170u, 200u, 205u, 235u, 250u, 0xFFFFu}) {
        EXPECT_EQ(tap(120, y), 0) << y;
    }
    EXPECT_EQ(state.selection, 0);

    const std::pair<unsigned, int> inside[] = {{66, 1}, {94, 1}, {101, 2}, {129, 2}, {136, 3},
                                               {164, 3}, {171, 4}, {199, 4}, {206, 5}, {234, 5}};
    for (auto [y, row] : inside) {
        state.selection = 0;
        EXPECT_EQ(tap(120, y), 1) << y;
        EXPECT_EQ(state.selection, row) << y;
    }
}

TEST_F(InputTest, SecondTapOnTheHighlightedRowConfirms) {
    tap(120, 115);
    EXPECT_EQ(state.selection, 2);
    tap(120, 150);
    EXPECT_EQ(state.selection, 3);
    EXPECT_EQ(state.confirmed, 0);
    EXPECT_EQ(tap(120, 150), 1);
    EXPECT_EQ(state.selection, 3);
    EXPECT_EQ(state.confirmed, 1);

    // Nothing moves the choice once it is confirmed.
    EXPECT_EQ(tap(120, 80) + tap(120, 150) + key(key::kUp) + key(key::kDown) + key(key::kReturn), 0);
    EXPECT_EQ(state.selection, 3);
    EXPECT_TRUE(game.host.sounds.empty());  // taps never click
}

}  // namespace
}  // namespace pp
