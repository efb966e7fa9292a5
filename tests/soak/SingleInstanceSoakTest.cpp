// Two copies of the game on one settings folder: racing at start, one stopped while the other
// starts, and the two with different runtime folders (one home used from two machines). Whatever
// happens, no ranking entry a copy saved is lost, and a copy that could not reach the holder of
// the folder saves nothing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "persistence/Fixtures.h"
#include "persistence/SettingsFile.h"

namespace pp {
namespace {

using Clock = std::chrono::steady_clock;

// One instance_racer process, its report read from a pipe once it ends.
class Racer {
public:
    Racer(const std::filesystem::path& documents, const std::filesystem::path& runtime, const std::string& name,
          int score, int holdMs)
        : name_(name), score_(score) {
        int ends[2];
        EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(ends[1], STDOUT_FILENO);
            ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
            const std::string scoreText = std::to_string(score);
            const std::string hold = std::to_string(holdMs);
            ::execl(INSTANCE_RACER, INSTANCE_RACER, documents.c_str(), name.c_str(), scoreText.c_str(), hold.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(ends[1]);
        report_ = ends[0];
    }
    ~Racer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::kill(pid_, SIGCONT);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(report_);
    }
    Racer(const Racer&) = delete;
    Racer& operator=(const Racer&) = delete;

    void signal(int number) const { ::kill(pid_, number); }

    // Waits for the racer to end and returns its first line.
    std::string outcome() {
        if (pid_ > 0) {
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        return firstLine();
    }

    // The first line said so far, waiting up to `timeout` for it.
    std::string firstLine(std::chrono::milliseconds timeout = std::chrono::milliseconds(10000)) {
        const auto end = Clock::now() + timeout;
        while (said_.find('\n') == std::string::npos && Clock::now() < end) {
            pollfd ready{report_, POLLIN, 0};
            if (::poll(&ready, 1, 50) > 0) {
                char buffer[256];
                const ssize_t got = ::read(report_, buffer, sizeof buffer);
                if (got <= 0) {
                    break;
                }
                said_.append(buffer, static_cast<std::size_t>(got));
            }
        }
        return said_.substr(0, said_.find('\n'));
    }

    [[nodiscard]] const std::string& name() const { return name_; }
    [[nodiscard]] int score() const { return score_; }

private:
    pid_t pid_ = -1;
    int report_ = -1;
    std::string said_;
    std::string name_;
    int score_;
};

// The ranking entries in the settings file of `documents`, by name.
std::map<std::u16string, int> rankingIn(const std::filesystem::path& documents) {
    GameState state;
    loadSettings(state, settingsPathIn(documents), false);
    std::map<std::u16string, int> entries;
    for (const RankEntry& entry : state.ranking) {
        if (!entry.name.empty()) {
            entries[std::u16string(entry.name.view())] = entry.score;
        }
    }
    return entries;
}

std::u16string wide(const std::string& text) { return {text.begin(), text.end()}; }

void expectKept(const std::filesystem::path& documents, const Racer& racer) {
    EXPECT_EQ(rankingIn(documents)[wide(racer.name())], racer.score()) << racer.name() << " was lost";
}

TEST(SingleInstanceSoak, TwoCopiesRacingAtStartNeverLoseAnEntry) {
    test::TempFolder root;
    std::filesystem::create_directory(root.path() / "run");
    int handedOver = 0;
    for (int round = 0; round < 50; ++round) {
        const auto documents = root.path() / ("docs" + std::to_string(round));
        std::filesystem::create_directory(documents);
        Racer a(documents, root.path() / "run", "A" + std::to_string(round), 100 + round, 150);
        Racer b(documents, root.path() / "run", "B" + std::to_string(round), 200 + round, 150);
        for (Racer* racer : {&a, &b}) {
            const std::string outcome = racer->outcome();
            // The holder answers well within the patience of a copy that starts beside it.
            EXPECT_TRUE(outcome == "saved" || outcome == "handed-over") << racer->name() << ": " << outcome;
            if (outcome == "saved") {
                expectKept(documents, *racer);
            } else {
                ++handedOver;
            }
        }
    }
    std::printf("50 races: %d copies handed over, %d saved after the other ended\n", handedOver, 100 - handedOver);
}

TEST(SingleInstanceSoak, ACopyStartedWhileTheHolderIsStoppedSavesNothingAndLeavesItsSocket) {
    test::TempFolder root;
    const auto documents = root.path();
    const auto runtime = root.path() / "run";
    std::filesystem::create_directory(runtime);
    Racer holder(documents, runtime, "HOLDER", 450, 15000);
    ASSERT_EQ(holder.firstLine(), "saved");
    holder.signal(SIGSTOP);
    const auto started = Clock::now();
    Racer later(documents, runtime, "LATER", 500, 0);
    EXPECT_EQ(later.outcome(), "read-only");
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
    EXPECT_LT(waited, 10000) << "the later copy waited too long";
    std::printf("a copy beside a stopped one ran without saving after %lld ms\n", static_cast<long long>(waited));
    holder.signal(SIGCONT);
    // The holder's socket is still its own: the next copy hands over to it.
    Racer next(documents, runtime, "NEXT", 600, 0);
    EXPECT_EQ(next.outcome(), "handed-over");
    expectKept(documents, holder);
    EXPECT_EQ(rankingIn(documents).size(), 1u);
}

TEST(SingleInstanceSoak, CopiesWithDifferentRuntimeFoldersStillKeepOneWriter) {
    test::TempFolder root;
    const auto documents = root.path();
    std::filesystem::create_directory(root.path() / "one");
    std::filesystem::create_directory(root.path() / "two");
    Racer first(documents, root.path() / "one", "FIRST", 450, 15000);
    ASSERT_EQ(first.firstLine(), "saved");
    Racer second(documents, root.path() / "two", "SECOND", 500, 0);
    EXPECT_EQ(second.outcome(), "read-only");
    expectKept(documents, first);
    EXPECT_EQ(rankingIn(documents).size(), 1u);
}

}  // namespace
}  // namespace pp
