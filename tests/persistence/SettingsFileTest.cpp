// Loading and saving the settings file on disk.
#include <gtest/gtest.h>

#include <string>

#include "Fixtures.h"
#include "persistence/SettingsFile.h"

namespace pp {
namespace {

using test::fileNamesIn;
using test::rankEntry;
using test::readBytes;
using test::TempFolder;
using test::writeBytes;

const std::string kFirstStartFile =
    "1,0,1,1,0\r\n"
    ",0\r\n,0\r\n,0\r\n,0\r\n,0\r\n,0\r\n,0\r\n,0\r\n,0\r\n,0\r\n";

class SettingsFileTest : public ::testing::Test {
protected:
    TempFolder folder;
    std::filesystem::path path = settingsPathIn(folder.path());
    std::string fileName = path.filename().string();
};

TEST_F(SettingsFileTest, FirstStartCreatesTheDefaultFile) {
    GameState state;
    loadSettings(state, path);
    EXPECT_EQ(readBytes(path), kFirstStartFile);
    EXPECT_EQ(state.options, kDefaultOptions);
    for (const RankEntry& entry : state.ranking) {
        EXPECT_TRUE(entry.name.empty());
        EXPECT_EQ(entry.score, 0);
    }
    EXPECT_EQ(fileNamesIn(folder.path()), std::vector<std::string>{fileName});
}

TEST_F(SettingsFileTest, LoadReadsWhatTheLastSaveWrote) {
    GameState before;
    loadSettings(before, path);
    before.options = Options{0, 1, 0, 1, 1};
    before.ranking[0] = rankEntry(u"あいうえおかきくけこ", 3200);
    before.ranking[1] = rankEntry(u"", 1200);
    saveSettings(before, path);

    GameState restarted;
    loadSettings(restarted, path);
    EXPECT_EQ(restarted.options, before.options);
    EXPECT_EQ(restarted.ranking[0].name, u"あいうえおかきくけこ");
    EXPECT_EQ(restarted.ranking[0].score, 3200);
    EXPECT_TRUE(restarted.ranking[1].name.empty());
    EXPECT_EQ(restarted.ranking[1].score, 1200);
}

TEST_F(SettingsFileTest, ShorterContentLeavesNothingOfTheOldBehind) {
    std::string longer = "0,1,0,1,1\r\n";
    for (int row = 0; row < kRankingRows; ++row) {
        longer += "abcdefghijklmnopqrst,32767\r\n";
    }
    longer += "trailing junk that the old file had\r\n";
    writeBytes(path, longer);

    GameState state;
    state.options = kDefaultOptions;
    saveSettings(state, path);
    EXPECT_EQ(readBytes(path), kFirstStartFile);
    EXPECT_EQ(fileNamesIn(folder.path()), std::vector<std::string>{fileName});
}

TEST_F(SettingsFileTest, SaveInterruptedBeforeTheRenameKeepsTheOldFile) {
    const std::string old = "0,0,0,0,1\r\nOld,500\r\n,0\r\n,0\r\n,0\r\n,0\r\n,0\r\n,0\r\n,0\r\n,0\r\n,0\r\n";
    writeBytes(path, old);
    GameState state;
    loadSettings(state, path);
    state.ranking[0] = rankEntry(u"New", 900);

    std::string temporaryContent;
    std::string targetContent;
    saveSettings(state, path, [&](const std::filesystem::path& temporary) {
        temporaryContent = readBytes(temporary);
        targetContent = readBytes(path);
        return false;  // the crash or the full disk
    });
    EXPECT_EQ(temporaryContent, encodeSettings(state)) << "the new content was complete";
    EXPECT_EQ(targetContent, old) << "the old file was untouched while the new one was written";
    EXPECT_EQ(readBytes(path), old);
    EXPECT_EQ(fileNamesIn(folder.path()), std::vector<std::string>{fileName});

    saveSettings(state, path);  // the next save goes through
    EXPECT_EQ(readBytes(path), encodeSettings(state));
}

TEST_F(SettingsFileTest, LeftoverTemporaryFileFromACrashIsReplaced) {
    writeBytes(path, kFirstStartFile);
    writeBytes(temporaryPathFor(path), "half a file from an earlier cra");
    GameState state;
    loadSettings(state, path);
    state.ranking[0] = rankEntry(u"A", 1);
    saveSettings(state, path);
    EXPECT_EQ(readBytes(path), encodeSettings(state));
    EXPECT_EQ(fileNamesIn(folder.path()), std::vector<std::string>{fileName});
}

TEST_F(SettingsFileTest, DeletedFileIsRecreatedWithTheDefaultOptions) {
    GameState state;
    loadSettings(state, path);
    state.ranking[0] = rankEntry(u"Kept", 700);
    std::filesystem::remove(path);

    state.options = Options{0, 1, 0, 0, 1};  // just chosen in the settings dialog
    saveSettings(state, path);
    EXPECT_EQ(state.options, kDefaultOptions);
    GameState reread;
    loadSettings(reread, path);
    EXPECT_EQ(reread.options, kDefaultOptions);
    EXPECT_EQ(reread.ranking[0].name, u"Kept");
    EXPECT_EQ(reread.ranking[0].score, 700);
}

TEST_F(SettingsFileTest, ExistingFileKeepsTheChosenOptions) {
    GameState state;
    loadSettings(state, path);
    state.options = Options{0, 1, 0, 0, 1};
    saveSettings(state, path);
    EXPECT_EQ(state.options, (Options{0, 1, 0, 0, 1}));
    EXPECT_EQ(readBytes(path).substr(0, 11), "0,1,0,0,1\r\n");
}

TEST_F(SettingsFileTest, MissingFolderLeavesTheDefaultsInMemory) {
    const std::filesystem::path nowhere = settingsPathIn(folder.path() / "no such folder");
    GameState state;
    loadSettings(state, nowhere);
    EXPECT_EQ(state.options, kDefaultOptions);
    EXPECT_TRUE(state.ranking[0].name.empty());

    state.ranking[0] = rankEntry(u"A", 5);
    saveSettings(state, nowhere);  // fails quietly
    EXPECT_FALSE(std::filesystem::exists(nowhere.parent_path()));
    EXPECT_TRUE(fileNamesIn(folder.path()).empty());
}

TEST_F(SettingsFileTest, FolderInThePlaceOfTheFileIsNeitherReadNorReplaced) {
    std::filesystem::create_directory(path);
    GameState state;
    loadSettings(state, path);
    EXPECT_EQ(state.options, kDefaultOptions);
    saveSettings(state, path);
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_EQ(fileNamesIn(folder.path()), std::vector<std::string>{fileName});
}

TEST_F(SettingsFileTest, DamagedFileLoadsWithoutRewritingIt) {
    const std::string damaged = "1,1,0,0,1\r\nonly one row,12";
    writeBytes(path, damaged);
    GameState state;
    loadSettings(state, path);
    EXPECT_EQ(state.options, (Options{1, 1, 0, 0, 1}));
    EXPECT_EQ(state.ranking[0].name, u"only one row");
    EXPECT_EQ(state.ranking[0].score, 12);
    EXPECT_EQ(readBytes(path), damaged);  // loading never writes an existing file
}

}  // namespace
}  // namespace pp
