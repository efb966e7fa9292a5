#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <string>
#include <utility>

#include "Fixtures.h"
#include "persistence/DataFile.h"
#include "persistence/MissedList.h"

namespace pp {
namespace {

using test::TempFolder;

QuizFingerprint print(std::string path, std::int64_t size = 2304, std::uint64_t hash = 0xfedcba9876543210ULL) {
    return QuizFingerprint{std::move(path), size, 0, hash};
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

// A file the game has always written, byte for byte: read back and written again unchanged, so
// that files of earlier versions and of other copies stay readable both ways.
TEST(MissedList, TheFileFormatStaysByteForByte) {
    const std::string file =
        "{\"version\":2,\"quizzes\":[\n"
        "{\"path\":\"/home/a/%E3%82%AF 100%25.kqd\",\"size\":2304,\"modified\":1700000000000000000,"
        "\"hash\":\"0123456789abcdef\",\"missed\":[{\"question\":3,\"choice\":2},{\"question\":7,\"choice\":-1}]},\n"
        "{\"path\":\"/b\",\"size\":0,\"modified\":-5,\"hash\":\"0000000000000000\",\"missed\":[]}]}\n";
    const auto read = decodeMissedLists(file);
    ASSERT_TRUE(read.has_value());
    ASSERT_EQ(read->size(), 2u);
    EXPECT_EQ((*read)[0].quiz, (QuizFingerprint{"/home/a/\xE3\x82\xAF 100%.kqd", 2304, 1700000000000000000, 0x0123456789abcdefULL}));
    EXPECT_EQ((*read)[1].quiz.modified, -5);
    EXPECT_EQ(encodeMissedLists(*read), file);
    EXPECT_EQ(encodeMissedLists({}), "{\"version\":2,\"quizzes\":[]}\n");
}

TEST(MissedList, DamagedTextIsRefusedOrLosesOnlyWhatIsDamaged) {
    for (const std::string_view bad :
         {"", "{", "[]", "{\"version\":3,\"quizzes\":[]}", "{\"version\":1}", "{\"version\":1,\"quizzes\":[]",
          "{\"version\":1,\"quizzes\":[]} x", "{\"version\":1.5,\"quizzes\":[]}",
          "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]",
          "{\"version\":2,\"quizzes\":[],\"x\":[[[[[[[[[[[[1]]]]]]]]]]]]}", "{\"version\":\"2\",\"quizzes\":[]}",
          "{\"version\":18446744073709551615,\"quizzes\":[]}"}) {
        EXPECT_FALSE(decodeMissedLists(bad).has_value()) << bad;
    }
    // A file of the largest size the game reads, all of it nesting: refused, not a crash.
    const std::string deep = std::string(kLargestMissedListFile / 2, '[') + std::string(kLargestMissedListFile / 2, ']');
    EXPECT_FALSE(decodeMissedLists(deep).has_value());
    // Entries or answers that make no sense are skipped; the rest is kept.
    const auto read = decodeMissedLists(
        "{\"version\":2,\"quizzes\":[{\"path\":\"/a\",\"size\":-1,\"modified\":0,\"hash\":\"1\",\"missed\":[]},"
        "{\"path\":\"/b%zz\",\"size\":1,\"modified\":0,\"hash\":\"1\",\"missed\":[]},"
        "{\"path\":\"/c\",\"size\":5,\"modified\":0,\"hash\":\"ab\",\"missed\":[{\"question\":2,\"choice\":0},"
        "{\"question\":-3,\"choice\":1},{\"question\":4,\"choice\":5},{\"question\":6,\"choice\":4}]}]}");
    ASSERT_TRUE(read.has_value());
    ASSERT_EQ(read->size(), 1u);
    EXPECT_EQ((*read)[0].quiz, print("/c", 5, 0xab));
    EXPECT_EQ((*read)[0].missed, (std::vector<MissedAnswer>{{6, 4}}));
    // Version 1 hashed whole files: its lists can match nothing now, but the file is ours.
    EXPECT_EQ(decodeMissedLists("{\"version\":1,\"quizzes\":[]}"), std::optional(std::vector<MissedListEntry>{}));
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

TEST(MissedList, OnlyTheNewestFilesAreKept) {
    TempFolder folder;
    const auto file = folder.path() / "missed.json";
    for (std::size_t i = 0; i <= kMissedListFiles; ++i) {
        ASSERT_EQ(saveMissedList(file, print("/q" + std::to_string(i)), {{1, 1}}), FileStatus::Ok);
    }
    const auto kept = decodeMissedLists(test::readBytes(file));
    ASSERT_EQ(kept->size(), kMissedListFiles);
    EXPECT_EQ(kept->front().quiz.path, "/q" + std::to_string(kMissedListFiles));
    EXPECT_TRUE(loadMissedList(file, print("/q0")).empty());  // the oldest dropped out
}

// The files that hold what the game cannot read, each kept aside whole under a dated name
// rather than written over, with the notice the game tells the player once.
TEST(MissedList, WhatCannotBeReadIsKeptAsideAndNeverWrittenOver) {
    const std::string newer = "{\"version\":3,\"quizzes\":[]}";
    // Well-formed but padded past the cap: refused by its size alone.
    std::string oversized = "{\"version\":2,\"quizzes\":[]}";
    oversized.resize(4 * 1024 * 1024 + 1, ' ');  // the cap, written out: 4 MiB
    for (const std::string& content : {std::string("{\"version\":2,\"quizz"), newer, oversized}) {
        TempFolder folder;
        const auto file = folder.path() / "missed.json";
        test::writeBytes(file, content);
        MissedListNotice notice;
        EXPECT_TRUE(loadMissedList(file, print("/q"), &notice).empty());
        EXPECT_EQ(notice.state, DataFileState::KeptAside);
        EXPECT_EQ(notice.keptAs.parent_path(), folder.path());
        EXPECT_TRUE(notice.keptAs.filename().string().starts_with("missed.json.damaged-"));
        EXPECT_TRUE(test::readBytes(notice.keptAs) == content);
        ASSERT_EQ(saveMissedList(file, print("/q"), {{1, 1}}, &notice), FileStatus::Ok);
        EXPECT_EQ(notice.state, DataFileState::Missing);
        EXPECT_EQ(test::fileNamesIn(folder.path()).size(), 2u);
    }
    // Unreadable for its owner (root reads past permissions, so a plain user tries it).
    TempFolder folder;
    const auto file = folder.path() / "missed.json";
    ASSERT_EQ(saveMissedList(file, print("/q"), {{1, 1}}), FileStatus::Ok);
    const std::string kept = test::readBytes(file);
    ::chmod(file.c_str(), 0);
    ::chmod(folder.path().c_str(), 0777);
    const auto result = test::inChildProcess(
        [&] {
            MissedListNotice notice;
            const bool saved = saveMissedList(file, print("/r"), {{2, 2}}, &notice) == FileStatus::Ok;
            return saved && notice.state == DataFileState::KeptAside && test::fileNamesIn(folder.path()).size() == 2 ? 0 : 1;
        },
        true);
    ::chmod(folder.path().c_str(), 0700);
    {
        // Two files kept aside within one second keep a name each.
        TempFolder twice;
        const auto again = twice.path() / "missed.json";
        test::writeBytes(again, "one");
        const auto firstAside = keepAside(again);
        test::writeBytes(again, "two");
        EXPECT_NE(keepAside(again), firstAside);
        EXPECT_EQ(test::readBytes(firstAside), "one");
    }
    if (!result || *result == test::kChildCannotSetUp) {
        GTEST_SKIP() << "no unprivileged user to run as";
    }
    EXPECT_EQ(*result, 0);
    for (const auto& name : test::fileNamesIn(folder.path())) {
        if (name != "missed.json") {
            ::chmod((folder.path() / name).c_str(), 0600);
            EXPECT_EQ(test::readBytes(folder.path() / name), kept);
        }
    }
}

TEST(MissedList, AFolderOrPipeAtThePathIsNeverWritten) {
    TempFolder folder;
    const auto file = folder.path() / "missed.json";
    std::filesystem::create_directory(file);
    MissedListNotice notice;
    EXPECT_NE(saveMissedList(file, print("/q"), {{1, 1}}, &notice), FileStatus::Ok);
    EXPECT_EQ(notice.state, DataFileState::NotAFile);
    EXPECT_TRUE(std::filesystem::is_directory(file));
    std::filesystem::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    EXPECT_TRUE(loadMissedList(file, print("/q"), &notice).empty());
    EXPECT_EQ(notice.state, DataFileState::NotAFile);
    EXPECT_NE(saveMissedList(file, print("/q"), {{1, 1}}), FileStatus::Ok);
    EXPECT_EQ(std::filesystem::status(file).type(), std::filesystem::file_type::fifo);
    EXPECT_EQ(test::fileNamesIn(folder.path()).size(), 1u);
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

    // Neither a pipe (which would block), a device (endless) nor a folder is fingerprinted.
    const auto pipe = folder.path() / "pipe.kqd";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const std::filesystem::path& odd : {pipe, std::filesystem::path("/dev/zero"), folder.path()}) {
        EXPECT_FALSE(fingerprintQuizFile(odd).has_value()) << odd;
    }
    // A 3 MiB quiz rewritten at the same size and time with one byte changed anywhere shows;
    // its time alone (a copy, a touch) changes nothing.
    const auto large = folder.path() / "large.kqd";
    test::writeBytes(large, std::string(3 * 1024 * 1024, 'q'));
    for (const std::int64_t offset : {std::int64_t{300000}, std::int64_t{3 * 1024 * 1024 - 1}}) {
        const auto time = std::filesystem::last_write_time(large);
        const auto unchanged = fingerprintQuizFile(large);
        std::fstream(large, std::ios::binary | std::ios::in | std::ios::out).seekp(offset).put('y');
        std::filesystem::last_write_time(large, time);
        EXPECT_NE(fingerprintQuizFile(large), unchanged) << offset;
    }
    const auto touched = fingerprintQuizFile(large);
    std::filesystem::last_write_time(large, std::filesystem::last_write_time(large) - std::chrono::seconds(5));
    EXPECT_EQ(fingerprintQuizFile(large), touched);
    // A 4 GiB sparse file, larger than any quiz, is refused without being read.
    const auto sparse = folder.path() / "sparse.kqd";
    test::writeBytes(sparse, "");
    std::filesystem::resize_file(sparse, std::uintmax_t{4} << 30);
    EXPECT_FALSE(fingerprintQuizFile(sparse).has_value());
}

}  // namespace
}  // namespace pp
