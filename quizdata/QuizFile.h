#pragma once

#include <cstdint>
#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "quizdata/QuizFormat.h"

namespace pp {

// Why the game would refuse a quiz file. The order is the order in which they are found.
enum class QuizFileProblem {
    None,
    CannotOpen,
    ShortHeaders,    // fewer than eight whole genre headers
    NegativeCount,   // some genre claims fewer than zero questions
    NoQuestions,     // the counts sum to zero
    ShortQuestions,  // the file ends before the last question its counts promise
};

// What a quiz file's headers and size say, and whether the game accepts it. This is the one
// place that decides: the loader and `kqd check` both ask it.
struct QuizLayout {
    std::vector<GenreHeader> genres;  // the whole headers read, in order; eight when accepted
    std::int64_t fileSize = 0;
    std::int32_t questionCount = 0;  // the sum of the counts, once all eight are read
    QuizFileProblem problem = QuizFileProblem::None;
    int problemGenre = -1;  // the genre with a negative count

    [[nodiscard]] bool accepted() const { return problem == QuizFileProblem::None; }

    // The question number of genre `genre`'s first question: the counts before it summed.
    [[nodiscard]] std::int32_t firstQuestionOf(int genre) const;
};

// Reads the headers of the quiz file in `in` (seekable, positioned anywhere) and checks the
// counts against the file's size.
QuizLayout readQuizLayout(std::istream& in);

// The same for the file at `path`.
QuizLayout readQuizLayout(const std::filesystem::path& path);

// One line saying why the file is refused, or that it is accepted.
std::string describeLayout(const QuizLayout& layout);

// Reads question record `question` straight from its offset; nothing when the file does not
// hold the whole record.
std::optional<Record> readQuestionRecord(std::istream& in, std::int32_t question);

}  // namespace pp
