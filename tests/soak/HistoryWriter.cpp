// Records answers into a history file as fast as it can, each under question number FIRST + i,
// and prints each number once recordAnswer has returned with nothing wrong: the soak kills it at
// random moments and then checks that every number printed is in the file.
// Usage: history_writer FILE FIRST
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "persistence/HistoryDb.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        return 2;
    }
    pp::HistoryDb db(argv[1]);
    if (!db.usable()) {
        return 3;
    }
    db.selectQuiz(pp::QuizFingerprint{"/soak/quiz.kqd", 100, 1, 2});
    const long first = std::strtol(argv[2], nullptr, 10);
    for (long i = 0; i < 100000; ++i) {
        const auto question = static_cast<std::int32_t>(first + i);
        pp::AnswerRecord answer{20000, question, 0, 0, true, 100};
        db.recordAnswer(answer, pp::ReviewCard{question, 2.3, 5.0, 20000, 20003, 1, 0});
        if (db.takeProblem() != pp::HistoryProblem::None) {
            return 4;
        }
        const std::string line = std::to_string(question) + "\n";
        if (::write(STDOUT_FILENO, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
            return 5;
        }
    }
    return 0;
}
