#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "screens/LineBreaker.h"
#include "screens/TextLayout.h"

namespace pp {
namespace {

// Half-width characters are 6 pixels wide, everything from the CJK blocks on 12, like the
// game's font at 12 pixels.
int fixedWidth(std::u16string_view text) {
    int width = 0;
    for (char16_t c : text) {
        if (c >= 0xDC00 && c <= 0xDFFF) {
            continue;  // the second half of a pair adds nothing
        }
        width += (c >= 0x2E80 && !(c >= 0xFF61 && c <= 0xFF9F)) ? 12 : 6;
    }
    return width;
}

std::vector<std::u16string> layout(std::u16string_view text, int width, bool wrap = true) {
    std::vector<std::u16string> lines;
    for (const TextLine& line : breakLines(text, width, wrap, fixedWidth)) {
        lines.emplace_back(text.substr(line.start, line.length));
    }
    return lines;
}

using Lines = std::vector<std::u16string>;

TEST(BreakLines, JapaneseBreaksBetweenAnyTwoCharacters) {
    EXPECT_EQ(layout(u"日本の首都はどこでしょう", 60), (Lines{u"日本の首都", u"はどこで", u"しょう"}));
    EXPECT_EQ(layout(u"日本の首都", 60), (Lines{u"日本の首都"}));
}

TEST(BreakLines, ClosingPunctuationAndSmallKanaNeverStartALine) {
    // 。 would start the second line: the character before it goes down with it.
    EXPECT_EQ(layout(u"あいうえお。", 60), (Lines{u"あいうえ", u"お。"}));
    EXPECT_EQ(layout(u"あいうえ」」", 60), (Lines{u"あいう", u"え」」"}));
    EXPECT_EQ(layout(u"あいうえ)", 50), (Lines{u"あいう", u"え)"}));
    EXPECT_EQ(layout(u"あいうえょ", 48), (Lines{u"あいう", u"えょ"}));
    EXPECT_EQ(layout(u"あいうえー", 48), (Lines{u"あいう", u"えー"}));
    EXPECT_EQ(layout(u"あいうｶｯ", 42), (Lines{u"あいう", u"ｶｯ"}));
}

TEST(BreakLines, OpeningBracketsNeverEndALine) {
    EXPECT_EQ(layout(u"あいう「え」", 48), (Lines{u"あいう", u"「え」"}));
    EXPECT_EQ(layout(u"あいう（え）", 48), (Lines{u"あいう", u"（え）"}));
}

TEST(BreakLines, LatinWordsBreakAtSpacesOnly) {
    // 6 px per letter: "Tokyo Kyoto" is 66 px.
    EXPECT_EQ(layout(u"Tokyo Kyoto Osaka", 66), (Lines{u"Tokyo Kyoto", u"Osaka"}));
    EXPECT_EQ(layout(u"Tokyo Kyoto Osaka", 60), (Lines{u"Tokyo", u"Kyoto", u"Osaka"}));
    // Several spaces at a break vanish; spaces inside a line stay.
    EXPECT_EQ(layout(u"ab   cd  ef", 42), (Lines{u"ab   cd", u"ef"}));
}

TEST(BreakLines, JapaneseNextToLatinBreaksBetweenThem) {
    EXPECT_EQ(layout(u"首都はTokyoです", 60), (Lines{u"首都は", u"Tokyoです"}));
}

TEST(BreakLines, AWordWiderThanTheLineIsCutWhereItMust) {
    EXPECT_EQ(layout(u"abcdefghij", 30), (Lines{u"abcde", u"fghij"}));
    EXPECT_EQ(layout(u"ab cdefghijk", 30), (Lines{u"ab", u"cdefg", u"hijk"}));
}

TEST(BreakLines, EveryLineHoldsAtLeastOneCharacter) {
    EXPECT_EQ(layout(u"あいう", 5), (Lines{u"あ", u"い", u"う"}));
    EXPECT_EQ(layout(u"あいう", 0), (Lines{u"あ", u"い", u"う"}));
    EXPECT_EQ(layout(u"あいう", -20), (Lines{u"あ", u"い", u"う"}));
    // Spaces opening a paragraph wider than the box stay with its first character.
    EXPECT_EQ(layout(u"  漢字", 6), (Lines{u"  漢", u"字"}));
}

TEST(BreakLines, SurrogatePairsStayWhole) {
    const std::u16string text = u"\U00020BB7\U00020BB7\U00020BB7";
    const Lines lines = layout(text, 24);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], u"\U00020BB7\U00020BB7");
    EXPECT_EQ(lines[1], u"\U00020BB7");
}

TEST(BreakLines, LineBreaksStartNewLinesInEveryFormat) {
    const std::u16string text = u"おめでとうございます。\nランキングに入る\n\nお名前";
    EXPECT_EQ(layout(text, 1000, false), (Lines{u"おめでとうございます。", u"ランキングに入る", u"", u"お名前"}));
    EXPECT_EQ(layout(text, 96), (Lines{u"おめでとうござい", u"ます。", u"ランキングに入る", u"", u"お名前"}));
    EXPECT_EQ(layout(u"a\r\nb\rc", 1000), (Lines{u"a", u"b", u"c"}));
    // Spaces after an explicit break are the text's own and stay.
    EXPECT_EQ(layout(u"a\n  b", 1000), (Lines{u"a", u"  b"}));
}

TEST(BreakLines, UnwrappedTextKeepsItsWholeWidth) {
    EXPECT_EQ(layout(u"得点:      1234", 10, false), (Lines{u"得点:      1234"}));
}

TEST(BreakLines, EmptyTextHasNoLines) {
    EXPECT_TRUE(breakLines(u"", 100, true, fixedWidth).empty());
    EXPECT_TRUE(breakLines(u"", 100, false, fixedWidth).empty());
    EXPECT_EQ(layout(u"   ", 100), (Lines{u""}));
}

TEST(BreakLines, TheWholeQuestionBufferWrapsWithinTheQuestionBox) {
    // 115 kanji in the 195-pixel question rectangle: 16 to a line.
    const std::u16string question(115, u'問');
    const auto lines = breakLines(question, 195, true, fixedWidth);
    ASSERT_EQ(lines.size(), 8u);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        EXPECT_EQ(lines[i].length, 16u);
    }
    EXPECT_EQ(lines.back().length, 3u);
}

TEST(FitCondensed, ALineIsSqueezedAtMostToFourFifthsThenCutWithAnEllipsis) {
    constexpr TextFormat kLeft = TextFormat::LeftCondensed;
    // 96 pixels in 60 would be squeezed to 62%: five characters and "…" (66 pixels) still read.
    EXPECT_EQ(fitCondensed(u"世界の地理と歴史", 60, kLeft, fixedWidth), u"世界の地理…");
    // Ten characters (120 pixels) in a 110-pixel ranking row: 92%, squeezed whole.
    EXPECT_EQ(fitCondensed(u"あいうえおかきくけこ", 110, kLeft, fixedWidth), u"あいうえおかきくけこ");
    EXPECT_EQ(fitCondensed(u"あいうえお", 48, TextFormat::CentreCondensed, fixedWidth), u"あいうえお");  // 80% exactly
    EXPECT_EQ(fitCondensed(u"世界の地理と歴史", 60, TextFormat::Left, fixedWidth), u"世界の地理と歴史");
    // Each line on its own.
    EXPECT_EQ(fitCondensed(u"あい\r\n世界の地理と歴史", 60, kLeft, fixedWidth), u"あい\r\n世界の地理…");
}

}  // namespace
}  // namespace pp
