// Loading and saving the settings file on disk.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <sched.h>
#include <string>

#include "Fixtures.h"
#include "persistence/SettingsFile.h"

namespace pp {
namespace {

using test::fileNamesIn;
using test::inChildProcess;
using test::kChildCannotSetUp;
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

TEST_F(SettingsFileTest, NothingLeftAtAFixedTemporaryNameCanBlockTheSave) {
    writeBytes(path, kFirstStartFile);
    // A crash of an older version left a folder where it put its temporary file.
    const std::string stale = fileName + ".tmp";
    std::filesystem::create_directory(folder.path() / stale);
    GameState state;
    loadSettings(state, path);
    state.ranking[0] = rankEntry(u"A", 1);
    EXPECT_EQ(saveSettings(state, path), FileStatus::Ok);
    EXPECT_EQ(readBytes(path), encodeSettings(state));
    std::vector<std::string> names = fileNamesIn(folder.path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{fileName, stale}));
}

TEST_F(SettingsFileTest, ASaveClearsAwayOnlyTheTemporariesOfKilledSaves) {
    writeBytes(path, kFirstStartFile);
    const std::string killed = "." + fileName + ".a1B2c3";  // a save killed yesterday
    const std::string running = "." + fileName + ".d4E5f6";  // another writer's save, just begun
    const std::string other = "." + fileName + ".keep";     // not one of ours
    for (const std::string& name : {killed, running, other}) {
        writeBytes(folder.path() / name, "0,0");
    }
    const auto yesterday = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24);
    std::filesystem::last_write_time(folder.path() / killed, yesterday);
    std::filesystem::last_write_time(folder.path() / other, yesterday);

    GameState state;
    loadSettings(state, path);
    EXPECT_EQ(saveSettings(state, path), FileStatus::Ok);
    std::vector<std::string> names = fileNamesIn(folder.path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{running, other, fileName}));
}

TEST_F(SettingsFileTest, DeletedFileIsRecreatedWithTheOptionsJustChosen) {
    GameState state;
    loadSettings(state, path);
    state.ranking[0] = rankEntry(u"Kept", 700);
    std::filesystem::remove(path);

    state.options = Options{0, 1, 0, 0, 1};  // just chosen in the settings dialog
    EXPECT_EQ(saveSettings(state, path), FileStatus::Ok);
    GameState reread;
    loadSettings(reread, path);
    EXPECT_EQ(reread.options, (Options{0, 1, 0, 0, 1}));
    EXPECT_EQ(reread.ranking[0].name, u"Kept");
    EXPECT_EQ(reread.ranking[0].score, 700);
}

TEST_F(SettingsFileTest, ASymbolicLinkIsSavedThroughAndStaysALink) {
    const std::filesystem::path elsewhere = folder.path() / "elsewhere";
    std::filesystem::create_directory(elsewhere);
    writeBytes(elsewhere / "real.txt", kFirstStartFile);
    std::filesystem::create_symlink("elsewhere/real.txt", path);
    ::chmod((elsewhere / "real.txt").c_str(), 0640);

    GameState state;
    ASSERT_EQ(loadSettings(state, path), FileStatus::Ok);
    state.ranking[0] = rankEntry(u"Linked", 300);
    EXPECT_EQ(saveSettings(state, path), FileStatus::Ok);
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(readBytes(elsewhere / "real.txt"), encodeSettings(state));
    EXPECT_EQ(fileNamesIn(elsewhere), std::vector<std::string>{"real.txt"});
    EXPECT_EQ(std::filesystem::status(path).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
}

TEST_F(SettingsFileTest, DocumentsThatIsAFileIsReportedAsAMissingFolder) {
    const std::filesystem::path documents = folder.path() / "Documents";
    writeBytes(documents, "not a folder");
    GameState state;
    EXPECT_EQ(loadSettings(state, settingsPathIn(documents)), FileStatus::NoFolder);
    EXPECT_EQ(state.options, kDefaultOptions);
    EXPECT_EQ(saveSettings(state, settingsPathIn(documents)), FileStatus::NoFolder);
    EXPECT_EQ(readBytes(documents), "not a folder");
}

// Permissions bind only an unprivileged user: these run in a child process as one.
TEST_F(SettingsFileTest, AFileThatCannotBeReadIsReportedAndLeftAlone) {
    const std::string kept = "0,0,0,0,1\r\nKept,900\r\n,0\r\n,0\r\n,0\r\n,0\r\n,0\r\n,0\r\n,0\r\n,0\r\n,0\r\n";
    writeBytes(path, kept);
    ::chmod(folder.path().c_str(), 0755);
    ::chmod(path.c_str(), 0);
    const auto result = inChildProcess(
        [&] {
            GameState state;
            const bool unreadable = loadSettings(state, path) == FileStatus::Unreadable;
            return unreadable && state.options == kDefaultOptions && state.ranking[0].name.empty() ? 0 : 1;
        },
        true);
    if (!result || *result == kChildCannotSetUp) {
        GTEST_SKIP() << "no unprivileged user to run as";
    }
    EXPECT_EQ(*result, 0);
    ::chmod(path.c_str(), 0644);
    EXPECT_EQ(readBytes(path), kept);
}

TEST_F(SettingsFileTest, AReadOnlyFolderIsReported) {
    ::chmod(folder.path().c_str(), 0555);
    const auto result = inChildProcess(
        [&] {
            GameState state;
            const bool created = loadSettings(state, path) != FileStatus::ReadOnly;
            const bool saved = saveSettings(state, path) != FileStatus::ReadOnly;
            return created || saved ? 1 : 0;
        },
        true);
    ::chmod(folder.path().c_str(), 0700);
    if (!result || *result == kChildCannotSetUp) {
        GTEST_SKIP() << "no unprivileged user to run as";
    }
    EXPECT_EQ(*result, 0);
    EXPECT_TRUE(fileNamesIn(folder.path()).empty());
}

TEST_F(SettingsFileTest, AFullDiskIsReportedAndLeavesNothingBehind) {
    // A tiny file system of its own, mounted in a private mount namespace of a child process.
    const auto result = inChildProcess([&] {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", folder.path().c_str(), "tmpfs", 0, "size=4k") != 0) {
            return kChildCannotSetUp;
        }
        writeBytes(path, kFirstStartFile);
        writeBytes(folder.path() / "filler", std::string(8192, 'x'));  // takes every block left
        GameState state;
        loadSettings(state, path);
        state.ranking[0] = rankEntry(u"Full", 100);
        const bool full = saveSettings(state, path) == FileStatus::NoSpace;
        const bool kept = readBytes(path) == kFirstStartFile && fileNamesIn(folder.path()).size() == 2;
        return full && kept ? 0 : 1;
    });
    if (!result || *result == kChildCannotSetUp) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    EXPECT_EQ(*result, 0);
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
    EXPECT_EQ(loadSettings(state, nowhere), FileStatus::NoFolder);
    EXPECT_EQ(state.options, kDefaultOptions);
    EXPECT_TRUE(state.ranking[0].name.empty());

    state.ranking[0] = rankEntry(u"A", 5);
    EXPECT_EQ(saveSettings(state, nowhere), FileStatus::NoFolder);
    EXPECT_FALSE(std::filesystem::exists(nowhere.parent_path()));
    EXPECT_TRUE(fileNamesIn(folder.path()).empty());
}

TEST_F(SettingsFileTest, FolderInThePlaceOfTheFileIsNeitherReadNorReplaced) {
    std::filesystem::create_directory(path);
    GameState state;
    EXPECT_EQ(loadSettings(state, path), FileStatus::Unreadable);
    EXPECT_EQ(state.options, kDefaultOptions);
    EXPECT_NE(saveSettings(state, path), FileStatus::Ok);
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_EQ(fileNamesIn(folder.path()), std::vector<std::string>{fileName});
}

// A device node, a pipe, a socket or a link loop at the path (or at the end of its link) is never
// replaced by a file: as root a rename would turn even a device node into one.
TEST_F(SettingsFileTest, OnlyAMissingOrRegularFileIsReplaced) {
    const std::filesystem::path pipe = folder.path() / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::filesystem::path socketPath = folder.path() / "socket";
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    std::vector<std::filesystem::path> targets{pipe, socketPath};
    // Only root may make a device node; it stands for /dev/null without touching the real one.
    const std::filesystem::path device = folder.path() / "null";
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        targets.push_back(device);
    }
    std::filesystem::create_symlink("loop", folder.path() / "loop");
    GameState state;
    for (const std::filesystem::path& target : targets) {
        const auto type = std::filesystem::symlink_status(target).type();
        EXPECT_EQ(saveSettings(state, target), FileStatus::NotAFile) << target;
        std::filesystem::remove(path);
        std::filesystem::create_symlink(target, path);
        EXPECT_EQ(saveSettings(state, path), FileStatus::NotAFile) << "through a link to " << target;
        EXPECT_EQ(std::filesystem::symlink_status(target).type(), type) << target;
    }
    EXPECT_EQ(saveSettings(state, folder.path() / "loop"), FileStatus::NotAFile);
    EXPECT_TRUE(std::filesystem::is_symlink(folder.path() / "loop"));
}

// Another writer's entries survive a save made from an older reading of the file: each entry
// once, the highest scores first, whatever either side held.
TEST_F(SettingsFileTest, ASaveMergesTheRankingOfTheFileAsItIsNow) {
    GameState copyA;
    GameState copyB;
    loadSettings(copyA, path);
    loadSettings(copyB, path);
    copyA.ranking[0] = rankEntry(u"A", 450);
    copyA.ranking[1] = rankEntry(u"A", 180);
    ASSERT_EQ(saveSettingsMerging(copyA, path), FileStatus::Ok);
    copyB.options.soundEffects = 0;
    copyB.ranking[0] = rankEntry(u"B", 300);
    copyB.ranking[1] = rankEntry(u"B", 180);
    copyB.ranking[2] = rankEntry(u"B", 180);  // two games of one score stay two entries
    ASSERT_EQ(saveSettingsMerging(copyB, path), FileStatus::Ok);
    ASSERT_EQ(saveSettingsMerging(copyA, path), FileStatus::Ok);  // A again: nothing doubles
    GameState read;
    loadSettings(read, path);
    const std::vector<std::pair<std::u16string, int>> expected{{u"A", 450}, {u"B", 300}, {u"A", 180}, {u"B", 180}, {u"B", 180}};
    for (std::size_t row = 0; row < kRankingRows; ++row) {
        const auto want = row < expected.size() ? expected[row] : std::pair<std::u16string, int>{};
        EXPECT_EQ(std::u16string(read.ranking[row].name.view()), want.first) << row;
        EXPECT_EQ(read.ranking[row].score, want.second) << row;
    }
    EXPECT_EQ(read.options, copyA.options);  // the options are the last saver's
    std::array<RankEntry, kRankingRows> once{};
    once[0] = rankEntry(u"C", 200);
    std::array<RankEntry, kRankingRows> twice = once;
    twice[1] = rankEntry(u"C", 200);
    EXPECT_EQ(mergeRankings(once, twice)[1].score, 200);  // held once here, twice there: twice

    // A file that cannot be read now is left alone, and so is the ranking in memory.
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    EXPECT_EQ(saveSettingsMerging(copyA, path), FileStatus::Unreadable);
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

// A copy that holds the folder's lock knows no save runs: every temporary file is a killed save's.
TEST_F(SettingsFileTest, LeftoverTemporariesGoWhateverTheirAgeWhenNoSaveRuns) {
    writeBytes(path, kFirstStartFile);
    const std::string killed = "." + fileName + ".a1B2c3";
    const std::string other = "." + fileName + ".keep";
    writeBytes(folder.path() / killed, "0,0");
    writeBytes(folder.path() / other, "0,0");
    removeLeftoverTemporaries(path);
    std::vector<std::string> names = fileNamesIn(folder.path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{other, fileName}));
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
