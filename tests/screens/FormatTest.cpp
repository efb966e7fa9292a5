#include <gtest/gtest.h>

#include <cstdint>

#include "screens/Format.h"

namespace pp {
namespace {

TEST(FormatText, CountdownPadsSecondsToTwoPlaces) {
    EXPECT_EQ(formatText(u"あと%2d秒", 9), u"あと 9秒");
    EXPECT_EQ(formatText(u"あと%2d秒", 0), u"あと 0秒");
    EXPECT_EQ(formatText(u"あと%2d秒", 10), u"あと10秒");
}

TEST(FormatText, AccuracyTexts) {
    EXPECT_EQ(formatText(u"正解確率:  0%%"), u"正解確率:  0%");
    EXPECT_EQ(formatText(u"正解確率:%3.0f%%", 100.0 / 3.0), u"正解確率: 33%");
    EXPECT_EQ(formatText(u"正解確率:%3.0f%%", 100.0), u"正解確率:100%");
    EXPECT_EQ(formatText(u"正解確率:%3.0f%%", 200.0 / 3.0), u"正解確率: 67%");
    EXPECT_EQ(formatText(u"正解確率:%3.0f%%", 0.0), u"正解確率:  0%");
}

TEST(FormatText, HalfwayPercentagesRoundToANeighbour) {
    const std::u16string text = formatText(u"%3.0f", 37.5);
    EXPECT_TRUE(text == u" 37" || text == u" 38") << std::string(text.begin(), text.end());
}

TEST(FormatText, ScorePadsToEightIncludingTheSign) {
    EXPECT_EQ(formatText(u"得点:%8d", 0), u"得点:       0");
    EXPECT_EQ(formatText(u"得点:%8d", 1234), u"得点:    1234");
    EXPECT_EQ(formatText(u"得点:%8d", std::int16_t{-32768}), u"得点:  -32768");
    EXPECT_EQ(formatText(u"%8d", 123456789), u"123456789");
}

TEST(FormatText, PlainNumbersInScreenTexts) {
    EXPECT_EQ(formatText(u"問題 %d", 1), u"問題 1");
    EXPECT_EQ(formatText(u"あと%d問", 12), u"あと12問");
    EXPECT_EQ(formatText(u"レベル:%d    正解ノルマ:%d問", 3, 4), u"レベル:3    正解ノルマ:4問");
    EXPECT_EQ(formatText(u"レベル:%d    クリア", 8), u"レベル:8    クリア");
    EXPECT_EQ(formatText(u"正解数:%d問    正解確率:%3.0f%%", 6, 6 * 12.5),
              u"正解数:6問    正解確率: 75%");
    EXPECT_EQ(formatText(u"(%d問中%d問正解)", 12, 7), u"(12問中7問正解)");
    EXPECT_EQ(formatText(u"(%d/%d)", 0, 0), u"(0/0)");
    EXPECT_EQ(formatText(u"%d点", 350), u"350点");
    EXPECT_EQ(formatText(u"%d点", std::int16_t{-5536}), u"-5536点");
}

TEST(FormatText, FlagsOfTheDirective) {
    EXPECT_EQ(formatText(u"[%-4d]", 7), u"[7   ]");
    EXPECT_EQ(formatText(u"[%04d]", -7), u"[-007]");
    EXPECT_EQ(formatText(u"%.2f", 2.0 / 3.0), u"0.67");
}

TEST(FormatText, MismatchedOrMissingArgumentsStaySafe) {
    EXPECT_EQ(formatText(u"%d点", 12.9), u"12点");
    EXPECT_EQ(formatText(u"%3.0f%%", 40), u" 40%");
    EXPECT_EQ(formatText(u"(%d/%d)", 3), u"(3/)");
    EXPECT_EQ(formatText(u"100%"), u"100%");
    EXPECT_EQ(formatText(u"%q%d", 1), u"%q1");
}

TEST(FormatText, ResultFitsTheNinetyNineUnitBuffer) {
    const std::u16string longFormat(150, u'あ');
    EXPECT_EQ(formatText(longFormat).size(), kFormatBufferUnits - 1);
    EXPECT_EQ(formatText(u"%999999d", 1).size(), kFormatBufferUnits - 1);
    // A surrogate pair across the cut is dropped whole.
    std::u16string pairs;
    for (int i = 0; i < 60; ++i) {
        pairs += u"\U00020BB7";
    }
    const std::u16string cut = formatText(pairs);
    EXPECT_EQ(cut.size(), 98u);
}

}  // namespace
}  // namespace pp
