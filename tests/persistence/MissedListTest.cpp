#include <gtest/gtest.h>

#include <string>

#include "Fixtures.h"
#include "persistence/MissedList.h"

namespace pp {
namespace {

using test::TempFolder;

QuizFingerprint print(std::string path, std::int64_t size = 2304, std::uint64_t hash = 0xfedcba9876543210ULL) {
    return QuizFingerprint{std::move(path), size, hash};
}

TEST(MissedList, TheTextReadsBackExactlyWhateverBytesThePathHolds) {
    const std::vector<MissedListEntry> entries{
        {print("/home/a/クイズ 100%\"\\.kqd"), {{3, 2}, {7, kNoChoice}}},
        {print(std::string("/tmp/\xff\x01name", 12), 0, 0), {}},
    };
    const std::string text = encodeMissedLists(entries);
    for (const char c : text) {
        EXPECT_LT(static_cast<unsigned char>(c), 0x80u);  // plain ASCII, whatever the names
    }
    EXPECT_NE(text.find("/home/a/%E3%82%AF"), std::string::npos);
    EXPECT_EQ(decodeMissedLists(text), std::optional(entries));
}

TEST(MissedList, DamagedTextIsRefusedOrLosesOnlyWhatIsDamaged) {
    for (const std::string_view bad :
         {"", "{", "[]", "{\"version\":2,\"quizzes\":[]}", "{\"version\":1}", "{\"version\":1,\"quizzes\":[]",
          "{\"version\":1,\"quizzes\":[]} x", "{\"version\":1.5,\"quizzes\":[]}",
          "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]"}) {
        EXPECT_FALSE(decodeMissedLists(bad).has_value()) << bad;
    }
    // Entries or answers that make no sense are skipped; the rest is kept.
    const auto read = decodeMissedLists(
        "{\"version\":1,\"quizzes\":[{\"path\":\"/a\",\"size\":-1,\"hash\":\"1\",\"missed\":[]},"
        "{\"path\":\"/b%zz\",\"size\":1,\"hash\":\"1\",\"missed\":[]},"
        "{\"path\":\"/c\",\"size\":5,\"hash\":\"ab\",\"missed\":[{\"question\":2,\"choice\":0},"
        "{\"question\":-3,\"choice\":1},{\"question\":4,\"choice\":5},{\"question\":6,\"choice\":4}]}]}");
    ASSERT_TRUE(read.has_value());
    ASSERT_EQ(read->size(), 1u);
    EXPECT_EQ((*read)[0].quiz, print("/c", 5, 0xab));
    EXPECT_EQ((*read)[0].missed, (std::vector<MissedAnswer>{{6, 4}}));
}

TEST(MissedList, AListIsKeptPerFileNewestFirstAndDroppedOnceTheFileChanged) {
    TempFolder folder;
    const auto file = folder.path() / "data" / "missed.json";  // the folder is made on the first save
    EXPECT_TRUE(loadMissedList(file, print("/q1")).empty());
    ASSERT_EQ(saveMissedList(file, print("/q1"), {{1, 2}}), FileStatus::Ok);
    ASSERT_EQ(saveMissedList(file, print("/q2"), {{5, kNoChoice}}), FileStatus::Ok);
    ASSERT_EQ(saveMissedList(file, print("/q1"), {{3, 1}}), FileStatus::Ok);  // replaces, moves to the front
    const auto kept = decodeMissedLists(test::readBytes(file));
    ASSERT_TRUE(kept.has_value());
    ASSERT_EQ(kept->size(), 2u);
    EXPECT_EQ((*kept)[0], (MissedListEntry{print("/q1"), {{3, 1}}}));
    EXPECT_EQ(loadMissedList(file, print("/q2")), (std::vector<MissedAnswer>{{5, kNoChoice}}));

    EXPECT_TRUE(loadMissedList(file, print("/q2", 2304, 1)).empty());  // same size, other content
    EXPECT_TRUE(loadMissedList(file, print("/q2")).empty());           // and it stays gone
    EXPECT_TRUE(loadMissedList(file, print("/q1", 2560)).empty());     // another size
    EXPECT_EQ(decodeMissedLists(test::readBytes(file))->size(), 0u);
}

TEST(MissedList, AnUnreadableFileIsStartedAfreshAndOnlyTheNewestFilesAreKept) {
    TempFolder folder;
    const auto file = folder.path() / "missed.json";
    test::writeBytes(file, "not json at all");
    EXPECT_TRUE(loadMissedList(file, print("/q")).empty());
    for (std::size_t i = 0; i <= kMissedListFiles; ++i) {
        ASSERT_EQ(saveMissedList(file, print("/q" + std::to_string(i)), {{1, 1}}), FileStatus::Ok);
    }
    const auto kept = decodeMissedLists(test::readBytes(file));
    ASSERT_EQ(kept->size(), kMissedListFiles);
    EXPECT_EQ(kept->front().quiz.path, "/q" + std::to_string(kMissedListFiles));
    EXPECT_TRUE(loadMissedList(file, print("/q0")).empty());  // the oldest dropped out
}

TEST(MissedList, TheFingerprintFollowsTheContent) {
    TempFolder folder;
    const auto quiz = folder.path() / "quiz.kqd";
    test::writeBytes(quiz, "abcd");
    const auto first = fingerprintQuizFile(quiz);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->size, 4);
    EXPECT_EQ(first->path, quiz.native());
    test::writeBytes(quiz, "abce");
    EXPECT_NE(fingerprintQuizFile(quiz)->hash, first->hash);
    EXPECT_FALSE(fingerprintQuizFile(folder.path() / "missing.kqd").has_value());
}

}  // namespace
}  // namespace pp
