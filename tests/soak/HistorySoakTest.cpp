#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <set>
#include <sstream>
#include <string>

#include "persistence/HistoryDb.h"
#include "persistence/Fixtures.h"

namespace pp {
namespace {

// Starts the writer with its output on a pipe; returns its pid and the pipe's read end.
std::pair<pid_t, int> startWriter(const std::string& file, long first) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) {
        return {-1, -1};
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeEnds[1], STDOUT_FILENO);
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        const std::string start = std::to_string(first);
        ::execl(HISTORY_WRITER, HISTORY_WRITER, file.c_str(), start.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    return {pid, pipeEnds[0]};
}

std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return text;
}

TEST(HistorySoak, TwoHundredKillsDuringWritesLoseNothingStored) {
    test::TempFolder folder;
    const std::string file = (folder.path() / "history.sqlite3").string();
    std::mt19937 random(2026);
    std::set<long> stored;
    long first = 0;
    for (int kill = 0; kill < 200; ++kill) {
        auto [pid, output] = startWriter(file, first);
        ASSERT_GT(pid, 0);
        ::usleep(static_cast<useconds_t>(2000 + random() % 25000));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        std::istringstream lines(readAll(output));
        for (long number; lines >> number;) {
            stored.insert(number);
        }
        if (WIFEXITED(status)) {
            FAIL() << "the writer stopped by itself with status " << WEXITSTATUS(status);
        }
        first += 100000;
    }
    ASSERT_FALSE(stored.empty());
    HistoryDb db(file);
    ASSERT_TRUE(db.usable());
    db.selectQuiz(QuizFingerprint{"/soak/quiz.kqd", 100, 1, 2});
    std::set<long> found;
    for (const AnswerRecord& answer : db.answers()) {
        found.insert(answer.question);
    }
    std::size_t lost = 0;
    for (const long number : stored) {
        lost += found.count(number) == 0 ? 1 : 0;
    }
    EXPECT_EQ(lost, 0u) << "of " << stored.size() << " answers reported stored";
    EXPECT_EQ(db.cards().size(), found.size());  // no answer without its card
    EXPECT_EQ(db.takeProblem(), HistoryProblem::None);
}

}  // namespace
}  // namespace pp
