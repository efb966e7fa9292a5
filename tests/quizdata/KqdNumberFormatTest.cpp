#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/NumberFormat.h"
#include "authoring/SheetCells.h"
#include "encoding/Utf8.h"

namespace pp::kqd {
namespace {

struct Shown {
    double value;
    std::u16string code;
    std::string expected;  // UTF-8
};

// Each line is what Excel shows for the number under the code.
TEST(NumberFormat, ShowsNumbersAsTheSheetDoes) {
    const std::vector<Shown> cases{
        {17290, u"yyyy/m/d", "1947/5/3"},
        {17290, u"yyyy\"年\"m\"月\"d\"日\"(aaa)", "1947年5月3日(土)"},
        {17290, u"mm/dd/yy dddd mmm", "05/03/47 Saturday May"},
        {-3974, u"yyyy/m/d", "1889/2/11"},  // LibreOffice writes dates before 1900 as negative days
        {59, u"yyyy/m/d", "1900/2/28"},
        {60, u"yyyy/m/d", "1900/2/29"},  // the day Excel counts in 1900
        {61, u"yyyy/m/d", "1900/3/1"},
        {45000.75, u"yyyy/mm/dd hh:mm:ss", "2023/03/15 18:00:00"},
        {0.75, u"h:mm AM/PM", "6:00 PM"},
        {0.5 + 1.0 / 86400 * 0.6, u"h:mm:ss", "12:00:01"},
        {0.5 + 1.0 / 86400 * 0.25, u"mm:ss.00", "00:00.25"},
        {1.5, u"[h]:mm", "36:00"},
        {0.1, u"0%", "10%"},
        {0.125, u"0.0%", "12.5%"},
        {123, u"0000", "0123"},
        {2.5, u"0.00", "2.50"},
        {2.675, u"0.00", "2.68"},
        {0.5, u"#.##", ".5"},
        {12614, u"#,##0", "12,614"},
        {-1234567.891, u"#,##0.00", "-1,234,567.89"},
        {1234567, u"#,##0,", "1,235"},
        {1234567, u"000-0000", "123-4567"},
        {3, u"\"第\"0\"問\"", "第3問"},
        {3, u"0\\m", "3m"},
        {-5, u"0;(0)", "(5)"},
        {0, u"0;-0;\"なし\"", "なし"},
        {1500, u"[$¥-411]#,##0", "¥1,500"},
        {1500, u"[Red]#,##0_);[Blue](#,##0)", "1,500 "},
        {12345, u"0.00E+00", "1.23E+04"},
        {0.00012, u"0.0E+00", "1.2E-04"},
        {1600, u"General", "1600"},
        {1.0 / 3, u"General", "0.333333333"},
        {-1.0 / 3, u"General", "-0.33333333"},
        {123456789012, u"General", "1.23457E+11"},
        {0.00001, u"General", "1E-05"},
        {0.1 + 0.2, u"General", "0.3"},
        {42, u"General\"点\"", "42点"},
    };
    for (const Shown& c : cases) {
        const NumberText shown = formatNumber(c.value, c.code);
        EXPECT_FALSE(shown.unrenderable) << utf8FromUtf16(c.code);
        EXPECT_EQ(utf8FromUtf16(shown.text), c.expected) << c.value << " as " << utf8FromUtf16(c.code);
    }
    EXPECT_EQ(utf8FromUtf16(formatNumber(0, u"yyyy/m/d", DateSystem::From1904).text), "1904/1/1");
}

TEST(NumberFormat, BuiltInFormatsAreJapaneseExcels) {
    EXPECT_EQ(utf8FromUtf16(formatNumber(17290, *builtinNumberFormat(14)).text), "1947/5/3");
    EXPECT_EQ(utf8FromUtf16(formatNumber(17290, *builtinNumberFormat(31)).text), "1947年5月3日");
    EXPECT_EQ(utf8FromUtf16(formatNumber(0.5, *builtinNumberFormat(32)).text), "12時00分");
    EXPECT_EQ(utf8FromUtf16(formatNumber(1234.5, *builtinNumberFormat(4)).text), "1,234.50");
    EXPECT_FALSE(builtinNumberFormat(163));
}

// A cell's style picks its workbook's own code before a built-in one; a style the workbook does
// not list, one past its last included, shows General as Excel does.
TEST(NumberFormat, CellStylesFindTheirCodes) {
    sheet::XlsxFormats formats;
    formats.addCellStyle(0);
    formats.addCellStyle(14);
    formats.addCellStyle(164);
    formats.addCustom(164, u"0000");
    EXPECT_EQ(formats.formatOf(1), u"yyyy/m/d");
    EXPECT_EQ(formats.formatOf(2), u"0000");
    EXPECT_EQ(formats.formatOf(3), u"General");
    EXPECT_EQ(formats.formatOf(-1), u"General");
}

TEST(NumberFormat, RefusesWhatItCannotShowFaithfully) {
    const std::vector<std::u16string> codes{
        u"[$-411]ggge\"年\"m\"月\"d\"日\"", u"[$-ja-JP-x-gannen]ggge\"年\"", u"e/m/d", u"# ?/?",
        u"[>100]0;0",                       u"[DBNum1]0",                  u"[$-F800]dddd, mmmm dd, yyyy",
    };
    for (const std::u16string& code : codes) {
        EXPECT_TRUE(formatNumber(17290, code).unrenderable) << utf8FromUtf16(code);
    }
    EXPECT_TRUE(formatNumber(17290, *builtinNumberFormat(27)).unrenderable);
    EXPECT_TRUE(formatNumber(0.5, *builtinNumberFormat(12)).unrenderable);
    EXPECT_TRUE(formatNumber(1e300, u"yyyy/m/d").unrenderable);
}

TEST(NumberFormat, DecodesOfficeEscapes) {
    EXPECT_EQ(decodeOoxmlEscapes(u"a_x000D_\nb"), u"a\r\nb");
    EXPECT_EQ(decodeOoxmlEscapes(u"_x005F_x000D_"), u"_x000D_");
    EXPECT_EQ(decodeOoxmlEscapes(u"_x00G1_ _x12_"), u"_x00G1_ _x12_");
    EXPECT_EQ(decodeOoxmlEscapes(u"_xD83D__xDE00_ _xD83D_ _x0000_"), u"\U0001F600 _xD83D_ _x0000_");
}

}  // namespace
}  // namespace pp::kqd
