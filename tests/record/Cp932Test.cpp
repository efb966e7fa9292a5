#include <gtest/gtest.h>

#include "record/Cp932.h"

namespace pp {
namespace {

std::string bytes(std::initializer_list<unsigned char> list) { return std::string(list.begin(), list.end()); }

TEST(Cp932, DecodesKnownBytes) {
    EXPECT_EQ(decodeCp932(bytes({0x82, 0xA0, 0x82, 0xA2})), u"あい");
    EXPECT_EQ(decodeCp932(bytes({0x41, 0xB1, 0x96, 0xE2})), u"Aｱ問");  // ASCII, half-width kana, kanji
    EXPECT_EQ(decodeCp932(bytes({0x87, 0x40})), u"①");            // NEC row 13
    EXPECT_EQ(decodeCp932(bytes({0xFA, 0x40})), u"ⅰ");            // IBM extension
    EXPECT_EQ(decodeCp932(bytes({0x81, 0x60})), u"～");           // Windows' wave dash
    EXPECT_EQ(decodeCp932(bytes({0x5C})), u"\\");                 // backslash stays ASCII
}

TEST(Cp932, InvalidSequencesBecomeReplacementCharacters) {
    const std::u16string text = decodeCp932(bytes({0x41, 0x82}));  // lead byte cut off
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.front(), u'A');
    EXPECT_EQ(text.back(), u'\uFFFD');
    EXPECT_NE(decodeCp932(bytes({0xA0})).find(u'\uFFFD'), std::u16string::npos);
}

TEST(Cp932, EncodesToWindowsBytes) {
    EXPECT_EQ(encodeCp932(u"あい"), bytes({0x82, 0xA0, 0x82, 0xA2}));
    EXPECT_EQ(encodeCp932(u"①"), bytes({0x87, 0x40}));
    EXPECT_EQ(encodeCp932(u"～"), bytes({0x81, 0x60}));
    EXPECT_EQ(encodeCp932(u"ｱ"), bytes({0xB1}));
}

TEST(Cp932, RefusesCharactersWithoutAForm) {
    EXPECT_FALSE(encodeCp932(u"a\U0001F600").has_value());  // emoji
    EXPECT_FALSE(encodeCp932(u"x\u00ADy").has_value());      // soft hyphen
    EXPECT_FALSE(encodeCp932(u"한").has_value());
    EXPECT_EQ(encodeCp932Lossy(u"a\U0001F600b"), "a?b");
}

}  // namespace
}  // namespace pp
