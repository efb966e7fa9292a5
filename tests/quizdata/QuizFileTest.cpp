#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "QuizFixtures.h"
#include "quizdata/QuizFile.h"

namespace pp {
namespace {

using test::labelledQuiz;
using test::patchCount;
using test::quizBytes;

QuizLayout layoutOf(const std::string& file) {
    std::istringstream in(file);
    return readQuizLayout(in);
}

TEST(QuizLayoutCheck, AcceptsAWellFormedFileAndSumsItsCounts) {
    const QuizLayout layout = layoutOf(quizBytes(labelledQuiz({3, 0, 2, 1})));
    ASSERT_TRUE(layout.accepted()) << describeLayout(layout);
    EXPECT_EQ(layout.genres.size(), 8u);
    EXPECT_EQ(layout.questionCount, 6);
    EXPECT_EQ(layout.firstQuestionOf(0), 0);
    EXPECT_EQ(layout.firstQuestionOf(2), 3);  // the empty genre 1 takes no records
    EXPECT_EQ(layout.firstQuestionOf(3), 5);
    EXPECT_EQ(layout.fileSize, questionOffset(6));
}

TEST(QuizLayoutCheck, AcceptsBytesAfterTheLastQuestion) {
    std::string file = quizBytes(labelledQuiz({2}));
    file += std::string(100, 'x');
    EXPECT_TRUE(layoutOf(file).accepted());
}

TEST(QuizLayoutCheck, RefusesFilesShorterThanTheirHeaders) {
    const std::string file = quizBytes(labelledQuiz({2, 2}));
    EXPECT_EQ(layoutOf("").problem, QuizFileProblem::ShortHeaders);
    const QuizLayout partial = layoutOf(file.substr(0, kRecordSize * 3 + 100));
    EXPECT_EQ(partial.problem, QuizFileProblem::ShortHeaders);
    EXPECT_EQ(partial.genres.size(), 3u);  // the whole headers before the cut are kept
    EXPECT_EQ(layoutOf(file.substr(0, kHeadersSize - 1)).genres.size(), 7u);
}

TEST(QuizLayoutCheck, RefusesCountsTheFileCannotHold) {
    std::string file = quizBytes(labelledQuiz({2, 2}));
    const QuizLayout shortByOne = layoutOf(file.substr(0, file.size() - 1));
    EXPECT_EQ(shortByOne.problem, QuizFileProblem::ShortQuestions);
    EXPECT_NE(describeLayout(shortByOne).find("promise 4 questions"), std::string::npos);

    patchCount(file, 7, 1);  // one more question than the file holds
    EXPECT_EQ(layoutOf(file).problem, QuizFileProblem::ShortQuestions);
}

TEST(QuizLayoutCheck, RefusesNegativeAndZeroCounts) {
    std::string negative = quizBytes(labelledQuiz({2, 2}));
    patchCount(negative, 5, -1);
    const QuizLayout layout = layoutOf(negative);
    EXPECT_EQ(layout.problem, QuizFileProblem::NegativeCount);
    EXPECT_EQ(layout.problemGenre, 5);
    EXPECT_EQ(layout.genres.size(), 8u);

    // A negative count that would cancel a positive one still refuses the file.
    std::string cancelling = quizBytes(labelledQuiz({2, 2}));
    patchCount(cancelling, 1, -2);
    EXPECT_EQ(layoutOf(cancelling).problem, QuizFileProblem::NegativeCount);

    std::string empty = quizBytes(labelledQuiz({1}));
    patchCount(empty, 0, 0);
    EXPECT_EQ(layoutOf(empty).problem, QuizFileProblem::NoQuestions);
}

TEST(QuizLayoutCheck, ReportsAFileThatCannotBeOpenedOrIsNoRegularFile) {
    test::TempDir folder;
    EXPECT_EQ(readQuizLayout(folder / "missing.kqd").problem, QuizFileProblem::CannotOpen);
    EXPECT_EQ(readQuizLayout(folder.path()).problem, QuizFileProblem::NotAFile);
    // A pipe nobody writes to would block a plain open or read for ever.
    const std::filesystem::path fifo = folder / "pipe.kqd";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(readQuizLayout(fifo).problem, QuizFileProblem::NotAFile);
    EXPECT_NE(describeLayout(readQuizLayout(fifo)).find("not a regular file"), std::string::npos);
    // One byte past 256 MiB is refused by its size (a sparse file, so nothing is written).
    const std::filesystem::path huge = folder / "huge.kqd";
    { std::ofstream(huge, std::ios::binary); }
    std::filesystem::resize_file(huge, (std::uintmax_t{256} << 20) + 1);
    EXPECT_EQ(readQuizLayout(huge).problem, QuizFileProblem::TooLarge);
}

TEST(QuestionRecordReading, ReadsStraightFromTheRecordsOffset) {
    const std::string file = quizBytes(labelledQuiz({3, 0, 2}));
    std::istringstream in(file);
    const std::optional<Record> record = readQuestionRecord(in, 3);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(decodeQuestionRecord(*record).text.view(), test::questionLabel(2, 0));
    EXPECT_FALSE(readQuestionRecord(in, 5).has_value());   // past the end
    EXPECT_FALSE(readQuestionRecord(in, -1).has_value());
    std::istringstream cut(file.substr(0, file.size() - 10));
    EXPECT_FALSE(readQuestionRecord(cut, 4).has_value());  // a partial record is no record
}

}  // namespace
}  // namespace pp
