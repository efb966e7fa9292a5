// The settings file under crashes, a second writer and a full disk: whatever happens, it reads
// back as one whole version, and a failed save leaves the old file and tells the player once.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <thread>

#include "SoakVersions.h"
#include "persistence/Fixtures.h"

namespace pp {
namespace {

using Clock = std::chrono::steady_clock;

// A settings writer running as a child process, its reports readable from a pipe.
class Writer {
public:
    Writer(const std::filesystem::path& documents, char tag, long count = 1000000) {
        int ends[2];
        EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(ends[1], STDOUT_FILENO);
            const std::string tagText(1, tag);
            const std::string countText = std::to_string(count);
            ::execl(SETTINGS_WRITER, SETTINGS_WRITER, documents.c_str(), tagText.c_str(), countText.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(ends[1]);
        reports_ = ends[0];
    }
    ~Writer() {
        stop(SIGKILL);
        ::close(reports_);
    }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Waits up to `timeout` for the next report and returns the last version reported so far.
    long read(std::chrono::milliseconds timeout) {
        pollfd ready{reports_, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(timeout.count())) > 0) {
            char buffer[4096];
            const ssize_t got = ::read(reports_, buffer, sizeof buffer);
            if (got > 0) {
                pending_.append(buffer, static_cast<std::size_t>(got));
            }
        }
        for (std::size_t end; (end = pending_.find('\n')) != std::string::npos; pending_.erase(0, end + 1)) {
            const std::string line = pending_.substr(0, end);
            EXPECT_EQ(line.find("failed"), std::string::npos) << "a save failed: " << line;
            last_ = std::atol(line.c_str());
        }
        return last_;
    }

    // Every version reported before the writer ended.
    long drain() {
        while (read(std::chrono::milliseconds(0)) >= 0 && hasMore()) {
        }
        return last_;
    }

    void stop(int signal) {
        if (pid_ > 0) {
            ::kill(pid_, signal);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    bool hasMore() const {
        pollfd ready{reports_, POLLIN, 0};
        return ::poll(&ready, 1, 0) > 0 && (ready.revents & POLLIN) != 0;
    }

    pid_t pid_ = -1;
    int reports_ = -1;
    std::string pending_;
    long last_ = 0;
};

TEST(CrashSafety, KilledAtRandomMomentsTheFileIsAlwaysTheLastOrTheNextWholeVersion) {
    test::TempFolder documents;
    const std::filesystem::path settings = settingsPathIn(documents.path());
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));

    constexpr int kKills = 250;
    const auto deadline = Clock::now() + std::chrono::seconds(45);
    int kills = 0;
    for (; kills < kKills && Clock::now() < deadline; ++kills) {
        Writer writer(documents.path(), 'A');
        // A first report shows the writer at work: nothing a killed one left blocks its saves.
        ASSERT_GT(writer.read(std::chrono::seconds(10)), 0) << "no save after " << kills << " kills";
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        writer.stop(SIGKILL);
        const long reported = writer.drain();
        const auto version = soak::versionIn(test::readBytes(settings));
        ASSERT_TRUE(version.has_value()) << "after kill " << kills << " the file is no whole version";
        ASSERT_EQ(version->tag, 'A');
        ASSERT_TRUE(version->number == reported || version->number == reported + 1)
            << "file holds version " << version->number << ", the last save reported " << reported;
    }
    EXPECT_GE(kills, 200) << "too few kills in the time allowed";
    // Whatever temporary files the kills left, the game's next save goes through.
    EXPECT_EQ(saveSettings(soak::settingsVersion('B', 1), settings), FileStatus::Ok);
    EXPECT_EQ(soak::versionIn(test::readBytes(settings))->tag, 'B');

    // The next copy of the game holds the folder's lock, so no save runs: every temporary file
    // the kills left goes at its start, however fresh.
    std::size_t leftovers = 0;
    for (const std::string& name : test::fileNamesIn(documents.path())) {
        leftovers += name.starts_with("." + settings.filename().string() + ".") ? 1 : 0;
    }
    const std::string start = "XDG_RUNTIME_DIR='" + documents.path().string() + "' " + INSTANCE_RACER + " '" +
                              documents.path().string() + "' NEXT 30000 0 >/dev/null";
    ASSERT_EQ(std::system(start.c_str()), 0);
    std::vector<std::string> names = test::fileNamesIn(documents.path());
    std::erase_if(names, [](const std::string& name) { return name.starts_with(".pocketperna.lock") || name.starts_with("pocketperna-"); });
    EXPECT_EQ(names, std::vector<std::string>{settings.filename().string()}) << leftovers << " left by the kills";
    std::printf("%zu temporary files left by %d kills, none after the next start\n", leftovers, kills);
}

// A game and a quiz-replay run on the same Documents folder: each save installs a whole file.
TEST(CrashSafety, TwoWritersOfOneFileNeverLeaveItEmptyOrMixed) {
    test::TempFolder documents;
    const std::filesystem::path settings = settingsPathIn(documents.path());
    Writer first(documents.path(), 'A');
    Writer second(documents.path(), 'B');
    ASSERT_GT(first.read(std::chrono::seconds(10)), 0);
    ASSERT_GT(second.read(std::chrono::seconds(10)), 0);

    std::set<char> writersSeen;
    int reads = 0;
    for (const auto end = Clock::now() + std::chrono::seconds(3); Clock::now() < end; ++reads) {
        const auto version = soak::versionIn(test::readBytes(settings));
        ASSERT_TRUE(version.has_value()) << "read " << reads << " found no whole version";
        writersSeen.insert(version->tag);
        first.read(std::chrono::milliseconds(0));  // keeps the pipes from filling up
        second.read(std::chrono::milliseconds(0));
    }
    EXPECT_EQ(writersSeen, (std::set<char>{'A', 'B'})) << reads << " reads";
}

// The file size limit stands in for a full disk; with SIGXFSZ ignored a write fails with EFBIG.
TEST(CrashSafety, ASaveOverTheFileSizeLimitKeepsTheOldFileAndIsToldOnce) {
    test::TempFolder folder;
    const auto documents = folder.path() / "Documents";
    std::filesystem::create_directories(documents);
    const std::string old = encodeSettings(soak::settingsVersion('A', 7));
    test::writeBytes(settingsPathIn(documents), old);
    const auto script = folder.path() / "settings.replay";
    std::ofstream(script) << "settings sound=0\nsettings sound=1 study=1\n";

    const auto output = folder.path() / "out.txt";
    const std::string command = std::string("(ulimit -f 0; trap '' XFSZ; exec ") + QUIZ_REPLAY_EXECUTABLE +
                                " --documents " + documents.string() + " " + script.string() + ") | cat >" +
                                output.string();
    ASSERT_EQ(std::system(command.c_str()), 0);

    const std::string printed = test::readBytes(output);
    std::size_t messages = 0;
    for (std::size_t at = 0; (at = printed.find("\"message\"", at)) != std::string::npos; ++at) {
        ++messages;
    }
    EXPECT_EQ(messages, 1u) << printed;
    EXPECT_EQ(test::readBytes(settingsPathIn(documents)), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(documents), {}), 1) << "a temporary file is left";
}

}  // namespace
}  // namespace pp
