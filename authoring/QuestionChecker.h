#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "authoring/QuizBuild.h"
#include "tools/common/QuizWriter.h"

namespace pp::kqd {

// A genre of the quiz being built.
struct GenreSlot {
    std::string name;  // code page 932, as stored
    std::int64_t count = 0;
};

// A question row that passed every check, encoded.
struct CheckedQuestion {
    std::size_t genre = 0;
    EncodedQuestion question;
};

// Checks rows one at a time and keeps the genre table: every problem the game cannot catch
// is found here, before anything is written.
class QuestionChecker {
public:
    explicit QuestionChecker(const BuildOptions& options);
    ~QuestionChecker();

    // Takes one row, adding every problem it has to `problems`. `question` is set for a good
    // question row; directives, a header row and a bad row set nothing.
    void take(SourceRow& row, std::optional<CheckedQuestion>& question, Problems& problems);

    [[nodiscard]] const std::vector<GenreSlot>& genres() const;
    [[nodiscard]] std::int64_t questions() const;

private:
    class State;
    std::unique_ptr<State> state_;
};

}  // namespace pp::kqd
