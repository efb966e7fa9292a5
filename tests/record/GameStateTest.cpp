#include <gtest/gtest.h>

#include "record/GameState.h"

namespace pp {
namespace {

TEST(FixedText, KeepsTextThatFits) {
    FixedText<6> text(u"あいう");
    EXPECT_EQ(text.view(), u"あいう");
    EXPECT_EQ(text.c_str()[3], u'\0');
}

TEST(FixedText, CutsLongTextToCapacityLessTerminator) {
    FixedText<4> text(u"abcdef");
    EXPECT_EQ(text.view(), u"abc");
    EXPECT_EQ(text.c_str()[3], u'\0');
}

TEST(FixedText, NeverSplitsSurrogatePair) {
    // U+20BB7 is a surrogate pair; with room for two units after "a" it must go whole or not at all.
    FixedText<3> text(u"a\U00020BB7");
    EXPECT_EQ(text.view(), u"a");
    FixedText<4> roomy(u"a\U00020BB7b");
    EXPECT_EQ(roomy.view(), u"a\U00020BB7");
}

TEST(FixedText, StopsAtEmbeddedTerminatorAndTruncates) {
    FixedText<21> name(std::u16string_view(u"ab\0cd", 5));
    EXPECT_EQ(name.view(), u"ab");
    FixedText<21> longName(u"一二三四五六七八九十十一");
    longName.truncate(10);
    EXPECT_EQ(longName.view(), u"一二三四五六七八九十");
}

TEST(ResetGame, TouchesExactlyTheProgressFields) {
    GameState state;
    state.options = Options{1, 1, 0, 1, 1};
    state.screen = Screen::Judging;
    state.tickCount = 17;
    state.level = 5;
    state.questionIndex = 6;
    state.score = 420;
    state.timeLeftTicks = 88;
    state.questionReady = 1;
    state.slotsLeft = 2;
    state.levelCorrect = 4;
    state.genreCorrect.fill(3);
    state.genreAnswered.fill(4);
    state.selection = 3;
    state.confirmed = 1;
    state.revealDone = 1;
    state.questionText = u"問題";
    state.ranking[0].score = 900;
    state.playerName = u"たろう";
    state.quizPath = u"/tmp/a.kqd";

    resetGame(state);

    EXPECT_EQ(state.screen, Screen::Title);
    EXPECT_EQ(state.tickCount, 0);
    EXPECT_EQ(state.level, 0);
    EXPECT_EQ(state.questionIndex, 0);
    EXPECT_EQ(state.score, 0);
    EXPECT_EQ(state.timeLeftTicks, 0);
    EXPECT_EQ(state.questionReady, 0);
    EXPECT_EQ(state.slotsLeft, 8);
    EXPECT_EQ(state.levelCorrect, 0);
    for (int g = 0; g < kGenreCount; ++g) {
        EXPECT_EQ(state.genreCorrect[g], 0);
        EXPECT_EQ(state.genreAnswered[g], 0);
    }
    // Left alone.
    EXPECT_EQ(state.options, (Options{1, 1, 0, 1, 1}));
    EXPECT_EQ(state.selection, 3);
    EXPECT_EQ(state.confirmed, 1);
    EXPECT_EQ(state.revealDone, 1);
    EXPECT_EQ(state.questionText, u"問題");
    EXPECT_EQ(state.ranking[0].score, 900);
    EXPECT_EQ(state.playerName, u"たろう");
    EXPECT_EQ(state.quizPath, u"/tmp/a.kqd");
}

TEST(ResetGame, StartsANewEntryIntoTitle) {
    GameState state;
    const auto before = state.screenEntry;
    resetGame(state);
    EXPECT_NE(state.screenEntry, before);
}

}  // namespace
}  // namespace pp
