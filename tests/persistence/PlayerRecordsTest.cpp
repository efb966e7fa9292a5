// The desktop's own records beside the settings file: a study run's kept place and each quiz
// file's ranking.
#include <gtest/gtest.h>

#include "Fixtures.h"
#include "persistence/PlayerRecords.h"

namespace pp {
namespace {

using test::rankEntry;
using test::TempFolder;

QuizFingerprint print(std::string path, std::uint64_t hash = 0xFEDCBA9876543210ULL) {
    return QuizFingerprint{std::move(path), 2304, 1700000000123456789, hash};
}

TEST(PlayerRecords, AKeptPlaceReadsBackWholeAndIsRemovedWithNothing) {
    TempFolder folder;
    const auto file = folder.path() / "data" / std::string(kResumeFileName);
    ResumePoint point;
    point.quiz = print("/home/a/\xE5\x95\x8F\xFF.kqd");  // a name that is no UTF-8
    point.reviewQuestions = {5, 2, 9};
    point.questionIndex = 2;
    point.score = -3;
    point.genreCorrect[7] = 4;
    point.genreAnswered[7] = 6;
    ASSERT_EQ(saveResumePoint(file, point), FileStatus::Ok);
    EXPECT_EQ(loadResumePoint(file), point);

    ASSERT_EQ(saveResumePoint(file, std::nullopt), FileStatus::Ok);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_FALSE(loadResumePoint(file));
}

TEST(PlayerRecords, ADamagedFileIsKeptAsideAndReadsAsNothing) {
    TempFolder folder;
    const auto file = folder.path() / std::string(kResumeFileName);
    test::writeBytes(file, "{\"version\":1,\"quiz\":");
    EXPECT_FALSE(loadResumePoint(file));
    EXPECT_FALSE(std::filesystem::exists(file));  // renamed aside, never written over
    EXPECT_FALSE(decodeResumePoint(R"({"version":2})"));
    EXPECT_FALSE(decodeFileRankings(R"({"version":1,"quizzes":[{"quiz":{}}]})"));
}

TEST(PlayerRecords, EachQuizFileKeepsItsRankingUntilItsContentChanges) {
    TempFolder folder;
    const auto file = folder.path() / std::string(kFileRankingsName);
    std::array<RankEntry, kRankingRows> first{};
    first[0] = rankEntry(u"ななし", 240);
    first[1] = rankEntry(u"はなこ，A", -7);
    std::array<RankEntry, kRankingRows> second{};
    second[0] = rankEntry(u"太郎", 90);
    ASSERT_EQ(saveFileRanking(file, print("/q/a.kqd"), first), FileStatus::Ok);
    ASSERT_EQ(saveFileRanking(file, print("/q/b.kqd"), second), FileStatus::Ok);

    const auto readFirst = loadFileRanking(file, print("/q/a.kqd"));
    EXPECT_EQ(readFirst[0].name, u"ななし");
    EXPECT_EQ(readFirst[1].name, u"はなこ，A");
    EXPECT_EQ(readFirst[1].score, -7);
    EXPECT_EQ(loadFileRanking(file, print("/q/b.kqd"))[0].score, 90);
    EXPECT_EQ(loadFileRanking(file, print("/q/a.kqd", 1))[0].score, 0);  // edited since

    // The edited file's new ranking takes the old one's place rather than standing beside it.
    ASSERT_EQ(saveFileRanking(file, print("/q/a.kqd", 1), second), FileStatus::Ok);
    const auto all = decodeFileRankings(test::readBytes(file));
    ASSERT_TRUE(all);
    ASSERT_EQ(all->size(), 2u);
    EXPECT_EQ((*all)[0].quiz, print("/q/a.kqd", 1));
}

}  // namespace
}  // namespace pp
