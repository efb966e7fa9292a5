#include <gtest/gtest.h>

#include <sstream>

#include "QuizFixtures.h"
#include "quizdata/QuizFile.h"
#include "encoding/QuizWriter.h"

namespace pp {
namespace {

std::string bytes(std::initializer_list<unsigned char> list) { return std::string(list.begin(), list.end()); }

TEST(WindowsForms, MapsOtherSystemsCharactersToCodePage932Ones) {
    EXPECT_EQ(toWindowsForms(u"〜−¢£¬‖"), u"～－￠￡￢∥");
    EXPECT_EQ(toWindowsForms(u"ふつう"), u"ふつう");
    // The mapped characters land on Windows' bytes.
    EXPECT_EQ(encodeFieldText(u"〜", TextField::Choice).bytes, bytes({0x81, 0x60}));
    EXPECT_EQ(encodeFieldText(u"−", TextField::Choice).bytes, bytes({0x81, 0x7C}));
    EXPECT_EQ(encodeFieldText(u"¢£¬", TextField::Choice).bytes, bytes({0x81, 0x91, 0x81, 0x92, 0x81, 0xCA}));
    EXPECT_EQ(encodeFieldText(u"‖", TextField::Choice).bytes, bytes({0x81, 0x61}));
}

TEST(FieldEncoding, RefusesCharactersWithoutAForm) {
    const EncodedText emoji = encodeFieldText(u"ab\U0001F600", TextField::Question);
    EXPECT_EQ(emoji.problem, TextProblem::NoCp932Form);
    EXPECT_EQ(emoji.unencodable, U'\U0001F600');
    EXPECT_NE(describeTextProblem(emoji, TextField::Question).find("U+1F600"), std::string::npos);
    // The soft hyphen would become a zero byte and cut the text short.
    EXPECT_EQ(encodeFieldText(u"x\u00ADy", TextField::Choice).unencodable, U'\u00AD');
    EXPECT_EQ(encodeFieldText(u"한", TextField::Choice).problem, TextProblem::NoCp932Form);
    EXPECT_EQ(encodeFieldText(std::u16string(u"a\0b", 3), TextField::Choice).problem, TextProblem::NoCp932Form);
}

TEST(FieldEncoding, MeasuresFieldsInCodePage932Bytes) {
    EXPECT_TRUE(encodeFieldText(std::u16string(14, u'漢'), TextField::Choice).ok());  // 28 bytes
    const EncodedText tooLong = encodeFieldText(std::u16string(15, u'漢'), TextField::Choice);
    EXPECT_EQ(tooLong.problem, TextProblem::TooLong);
    EXPECT_EQ(describeTextProblem(tooLong, TextField::Choice),
              "the text takes 30 bytes in code page 932, the field holds 28");
    EXPECT_TRUE(encodeFieldText(std::u16string(58, u'漢'), TextField::Question).ok());
    EXPECT_FALSE(encodeFieldText(std::u16string(59, u'漢'), TextField::Question).ok());
    EXPECT_TRUE(encodeFieldText(std::u16string(8, u'漢'), TextField::GenreName).ok());
    EXPECT_FALSE(encodeFieldText(std::u16string(9, u'漢'), TextField::GenreName).ok());
    EXPECT_TRUE(encodeFieldText(std::u16string(30, u'ｱ'), TextField::Question).ok());  // half-width: 1 byte
}

TEST(FieldEncoding, FlagsTextsTheGameShowsCutShort) {
    EXPECT_FALSE(encodeFieldText(std::u16string(27, u'a'), TextField::Choice).cutOnScreen);
    const EncodedText full = encodeFieldText(std::u16string(28, u'a'), TextField::Choice);
    EXPECT_TRUE(full.ok());
    EXPECT_TRUE(full.cutOnScreen);
}

TEST(QuizFileWriting, GroupsQuestionsByGenreAndFillsUnusedGenres) {
    const std::string file = test::quizBytes(test::labelledQuiz({2, 0, 1}));
    ASSERT_EQ(file.size(), static_cast<std::size_t>(questionOffset(3)));
    std::istringstream in(file);
    const QuizLayout layout = readQuizLayout(in);
    ASSERT_TRUE(layout.accepted());
    EXPECT_EQ(decodeGenreName(layout.genres[2]).view(), u"ジャンル2");
    for (int g = 0; g < kGenreCount; ++g) {
        const GenreHeader& header = layout.genres[static_cast<std::size_t>(g)];
        EXPECT_EQ(header.firstValue, 0);
        EXPECT_EQ(header.thirdValue, 0);
        if (g >= 3) {
            EXPECT_TRUE(header.name.empty());
            EXPECT_EQ(header.questionCount, 0);
        }
    }
    const DecodedQuestion last = decodeQuestionRecord(*readQuestionRecord(in, 2));
    EXPECT_EQ(last.text.view(), test::questionLabel(2, 0));
    EXPECT_EQ(last.choices[0].view(), test::choiceLabel(2, 0, 0));
    EXPECT_EQ(last.choices[4].view(), test::choiceLabel(2, 0, 4));
}

TEST(QuizFileWriting, NamesWhereATextCannotBeWritten) {
    auto genres = test::labelledQuiz({1, 2});
    genres[1].questions[1].choices[3] = u"絵文字\U0001F600";
    auto built = buildQuizFile(genres);
    ASSERT_TRUE(std::holds_alternative<QuizWriteError>(built));
    const QuizWriteError& error = std::get<QuizWriteError>(built);
    EXPECT_EQ(error.genre, 1);
    EXPECT_EQ(error.question, 1);
    EXPECT_EQ(error.field, 4);
    EXPECT_NE(error.message.find("genre 1 question 1 choice 4"), std::string::npos);

    genres = test::labelledQuiz({1, 1, 1, 1, 1, 1, 1, 1, 1});
    built = buildQuizFile(genres);
    ASSERT_TRUE(std::holds_alternative<QuizWriteError>(built));
    EXPECT_EQ(std::get<QuizWriteError>(built).kind, QuizWriteError::Kind::TooManyGenres);
}

TEST(QuizFileWriting, LayOutRefusesWhatTheFileCannotHold) {
    EXPECT_FALSE(layOutQuizFile(std::vector<EncodedGenre>(9)).has_value());
    std::vector<EncodedGenre> full(1);
    full[0].questions.resize(kMaxGenreQuestions + 1);
    EXPECT_FALSE(layOutQuizFile(full).has_value());
    std::vector<EncodedGenre> longName{{std::string(17, 'a'), {}}};
    EXPECT_FALSE(layOutQuizFile(longName).has_value());
}

}  // namespace
}  // namespace pp
