#include <gtest/gtest.h>

#include <random>

#include "record/Cp932.h"
#include "quizdata/QuizFormat.h"

namespace pp {
namespace {

std::string bytes(std::initializer_list<unsigned char> list) { return std::string(list.begin(), list.end()); }

// A field of `size` bytes that starts with `head` and is padded with the stored pad.
std::string padded(const std::string& head, std::size_t size) {
    std::string field = head;
    field.resize(size, static_cast<char>(kStoredPad));
    return field;
}

TEST(Descramble, FlipsTheTopBitAndStopsAtThePad) {
    EXPECT_EQ(descramble(bytes({0xC1, 0xC2, 0x20, 0x20})), bytes({0x41, 0x42, 0x00, 0x00}));
    // 問 is 96 E2, stored 16 62; ｱ is the single byte B1, stored 31.
    EXPECT_EQ(descramble(bytes({0x16, 0x62, 0x31, 0x20})), bytes({0x96, 0xE2, 0xB1, 0x00}));
    EXPECT_EQ(scrambledFieldText(bytes({0x16, 0x62, 0x31, 0x20, 0x20})), bytes({0x96, 0xE2, 0xB1}));
}

TEST(Descramble, StoredSpaceInTrailPositionIsPartOfTheCharacter) {
    // あ is 82 A0: its trail byte is stored as 0x20, the same byte as the pad.
    EXPECT_EQ(descramble(bytes({0x02, 0x20, 0x20, 0x20})), bytes({0x82, 0xA0, 0x00, 0x00}));
    EXPECT_EQ(decodeCp932(scrambledFieldText(bytes({0x02, 0x20, 0x02, 0x22, 0x20}))), u"あい");
}

TEST(Descramble, LowAndMiddleStoredBytesAreLeadBytes) {
    // Stored 00..1F decode to 80..9F and stored 60..7F to E0..FF: each takes the next byte
    // unexamined, so the 0x20 after each is a trail byte, not the end.
    const std::string field = bytes({0x00, 0x20, 0x1F, 0x20, 0x60, 0x20, 0x7F, 0x20, 0x20, 0x20});
    EXPECT_EQ(descramble(field), bytes({0x80, 0xA0, 0x9F, 0xA0, 0xE0, 0xA0, 0xFF, 0xA0, 0x00, 0x00}));
}

TEST(Descramble, SingleByteCharactersLeaveTheNextByteToBeExamined) {
    // Stored 21..5F (half-width katakana) and A1..FF (ASCII) are whole characters.
    EXPECT_EQ(descramble(bytes({0x21, 0x20, 0xC1})), bytes({0xA1, 0x00, 0x41}));
    EXPECT_EQ(descramble(bytes({0x5F, 0x20})), bytes({0xDF, 0x00}));
    EXPECT_EQ(descramble(bytes({0xFF, 0x20})), bytes({0x7F, 0x00}));
    // Stored 0x80 decodes to a zero byte, which ends the text as a C string.
    EXPECT_EQ(scrambledFieldText(bytes({0xC1, 0x80, 0xC2})), "A");
}

TEST(Descramble, TextFillingTheWholeFieldEndsWithTheField) {
    const std::string field(kQuestionTextBytes, static_cast<char>(0xC1));  // 116 'A', no pad
    EXPECT_EQ(scrambledFieldText(field), std::string(kQuestionTextBytes, 'A'));

    // 58 kanji fill the field exactly, the last trail byte being its last byte.
    std::string kanji;
    for (int i = 0; i < 58; ++i) {
        kanji += bytes({0x16, 0x62});
    }
    EXPECT_EQ(decodeCp932(scrambledFieldText(kanji)).size(), 58u);
}

TEST(Descramble, LeadByteAsTheLastByteDecodesToAReplacementCharacter) {
    EXPECT_EQ(decodeCp932(scrambledFieldText(bytes({0xC1, 0x02}))), u"A\uFFFD");
}

// The six texts of a record are decoded with one call of the converter; a lone lead byte
// ending one text must not take the next text's first character with it.
TEST(QuestionRecord, DecodesEachTextAsIfAlone) {
    Record record{};
    std::fill(record.begin(), record.end(), static_cast<char>(kStoredPad));
    // Fills a whole field: "A", two-byte kanji, and a lead byte whose trail the field cuts off.
    const auto fillEndingWithLeadByte = [&record](std::size_t offset, std::size_t size) {
        record[offset] = static_cast<char>(0x41 ^ kScrambleMask);
        for (std::size_t i = 1; i + 2 < size; i += 2) {
            record[offset + i] = static_cast<char>(0x96 ^ kScrambleMask);
            record[offset + i + 1] = static_cast<char>(0xE2 ^ kScrambleMask);
        }
        record[offset + size - 1] = static_cast<char>(0x82 ^ kScrambleMask);
    };
    fillEndingWithLeadByte(0, kQuestionTextBytes);
    fillEndingWithLeadByte(choiceOffset(4), kChoiceTextBytes);
    record[choiceOffset(0)] = static_cast<char>(0x42 ^ kScrambleMask);
    const DecodedQuestion question = decodeQuestionRecord(record);
    const auto alone = [&record](std::size_t offset, std::size_t size) {
        return decodeCp932(scrambledFieldText({record.data() + offset, size}));
    };
    EXPECT_EQ(question.text.view(), alone(0, kQuestionTextBytes));
    EXPECT_EQ(question.text.view().back(), u'\uFFFD');
    EXPECT_EQ(question.choices[0].view(), u"B");
    EXPECT_EQ(question.choices[1].view(), u"");
    EXPECT_EQ(question.choices[4].view(), alone(choiceOffset(4), kChoiceTextBytes));
    EXPECT_EQ(question.choices[4].size(), 15u);
}

TEST(Scramble, InvertsDescrambling) {
    std::string field(8, '\0');
    ASSERT_TRUE(scramble(bytes({0x82, 0xA0, 0x41}), field));
    EXPECT_EQ(field, bytes({0x02, 0x20, 0xC1, 0x20, 0x20, 0x20, 0x20, 0x20}));

    // Every text the encoder accepts reads back unchanged, whatever its bytes.
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 14);
        for (int i = 0; i < length; ++i) {
            text += static_cast<char>(random() % 256);
        }
        std::string out(kChoiceTextBytes, '\0');
        if (scramble(text, out)) {
            EXPECT_EQ(scrambledFieldText(out), text);
        }
    }
}

TEST(Scramble, RefusesTextsThatWouldNotReadBack) {
    std::string field(4, '\0');
    EXPECT_FALSE(scramble("ABCDE", field));             // longer than the field
    EXPECT_TRUE(scramble("ABCD", field));               // exactly the field
    EXPECT_FALSE(scramble(bytes({0x41, 0xA0}), field));  // A0 alone would be stored as the pad
    EXPECT_FALSE(scramble(bytes({0x41, 0x00}), field));  // a zero byte ends the text
    EXPECT_FALSE(scramble(bytes({0x41, 0x82}), field));  // lead byte without its trail
    EXPECT_FALSE(scramble(bytes({0x82, 0x00}), field));  // zero trail byte
    EXPECT_TRUE(scramble(bytes({0x82, 0xA0}), field));   // A0 as a trail byte is fine
}

TEST(GenreHeaderRecord, ReadsNameAndLittleEndianSignedValues) {
    Record record{};
    const std::string name = "History";
    std::copy(name.begin(), name.end(), record.begin());
    record[16] = 0x34, record[17] = 0x12;                            // first value 0x1234
    record[18] = 0x0C, record[19] = 0x00;                            // count 12
    record[20] = static_cast<char>(0xFF), record[21] = static_cast<char>(0xFF);  // -1
    const GenreHeader header = parseGenreHeader(record);
    EXPECT_EQ(header.name, "History");  // plain text, not scrambled
    EXPECT_EQ(header.firstValue, 0x1234);
    EXPECT_EQ(header.questionCount, 12);
    EXPECT_EQ(header.thirdValue, -1);

    record[18] = static_cast<char>(0xFE), record[19] = static_cast<char>(0xFF);
    EXPECT_EQ(parseGenreHeader(record).questionCount, -2);
}

TEST(GenreHeaderRecord, NameFillingAllSixteenBytesIsCutToItsBuffer) {
    Record record{};
    const std::string name = "ABCDEFGHIJKLMNOP";  // 16 bytes, no NUL before the count
    std::copy(name.begin(), name.end(), record.begin());
    record[18] = 1;
    const GenreHeader header = parseGenreHeader(record);
    EXPECT_EQ(header.name, name);
    EXPECT_EQ(decodeGenreName(header).view(), u"ABCDEFGHIJKLMNO");  // 15 units and the terminator

    const GenreHeader kanji{bytes({0x97, 0xF0, 0x8E, 0x6A}), 3, 0, 0};  // 歴史
    EXPECT_EQ(decodeGenreName(kanji).view(), u"歴史");
    EXPECT_EQ(parseGenreHeader(encodeGenreHeader(kanji)).name, kanji.name);
}

TEST(QuestionRecordDecoding, ReadsEachFieldAfresh) {
    Record record{};
    std::fill(record.begin(), record.end(), static_cast<char>(kStoredPad));
    const std::string question = padded(bytes({0x16, 0x62}), kQuestionTextBytes);  // 問
    std::copy(question.begin(), question.end(), record.begin());
    // Choice 0 ends in a lead byte at its last position; choice 1 must not inherit its state.
    std::string choice0(kChoiceTextBytes, static_cast<char>(0xC1));
    choice0.back() = 0x02;
    std::copy(choice0.begin(), choice0.end(), record.begin() + static_cast<std::ptrdiff_t>(choiceOffset(0)));
    record[choiceOffset(1)] = static_cast<char>(0xC2);  // "B", then pad
    const DecodedQuestion decoded = decodeQuestionRecord(record);
    EXPECT_EQ(decoded.text.view(), u"問");
    EXPECT_EQ(decoded.choices[0].view(), std::u16string(27, u'A'));  // the buffer holds 27 units
    EXPECT_EQ(decoded.choices[1].view(), u"B");
    EXPECT_TRUE(decoded.choices[2].empty());
}

}  // namespace
}  // namespace pp
