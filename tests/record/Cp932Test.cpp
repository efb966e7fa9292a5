#include <gtest/gtest.h>

#include "record/Cp932.h"
#include "tools/cp932gen/IcuCp932.h"
#include "tools/cp932gen/TableSource.h"

#include <fstream>
#include <iterator>
#include <random>

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
    EXPECT_FALSE(encodeCp932(u"\uF86F").has_value());       // ICU writes it as the bytes of "№"
    EXPECT_EQ(encodeCp932Lossy(u"a\U0001F600b"), "a?b");
}

// The committed tables against ICU's windows-31j, which they were made from: every one- and
// two-byte sequence decodes alike (longer ones are made of those), and so does every BMP
// character encode alike.
TEST(Cp932Tables, DecodeEveryShortSequenceAsIcuDoes) {
    for (int first = 0; first < 256; ++first) {
        const std::string one(1, static_cast<char>(first));
        ASSERT_EQ(decodeCp932(one), cp932gen::icuDecode(one)) << first;
        for (int second = 0; second < 256; ++second) {
            const std::string two{static_cast<char>(first), static_cast<char>(second)};
            ASSERT_EQ(decodeCp932(two), cp932gen::icuDecode(two)) << first << " " << second;
        }
    }
    // Random text rich in lead bytes, so that pairs straddle and invalid trails restart.
    std::mt19937 random(932);
    std::string text(1 << 16, '\0');
    for (char& byte : text) {
        const unsigned value = random() % 256;
        byte = static_cast<char>(random() % 2 ? value : 0x80 + value % 0x80);
    }
    EXPECT_EQ(decodeCp932(text), cp932gen::icuDecode(text));
}

TEST(Cp932Tables, EncodeEveryBmpCharacterAsIcuDoes) {
    for (unsigned c = 0; c < 0x10000; ++c) {
        const char16_t unit = static_cast<char16_t>(c);
        const std::u16string_view character(&unit, 1);
        ASSERT_EQ(encodeCp932(character), cp932gen::icuEncodeCharacter(character)) << std::hex << c;
    }
    EXPECT_EQ(encodeCp932Lossy(u"\xD800x\U0001F600"), "?x?");  // a lone surrogate, then a pair
}

TEST(Cp932Tables, CommittedFileIsWhatTheGeneratorMakes) {
    std::ifstream committed(PERNA_SOURCE_DIR "/record/Cp932Tables.cpp", std::ios::binary);
    ASSERT_TRUE(committed) << "record/Cp932Tables.cpp is missing";
    const std::string text{std::istreambuf_iterator<char>(committed), std::istreambuf_iterator<char>()};
    EXPECT_TRUE(text == cp932gen::cp932TableSource())
        << "record/Cp932Tables.cpp differs from what tools/cp932gen makes: run cp932gen record";
}

}  // namespace
}  // namespace pp
