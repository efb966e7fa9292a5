#pragma once

#include <cstdint>
#include <filesystem>
#include <istream>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "quizdata/QuizFormat.h"

namespace pp {

// Why the game would refuse a quiz file. The order is the order in which they are found.
enum class QuizFileProblem {
    None,
    CannotOpen,
    NotAFile,        // a folder, a pipe, a device: anything but a regular file
    TooLarge,        // larger than kLargestQuizFile: no quiz the format can hold, read no further
    ShortHeaders,    // fewer than eight whole genre headers
    NegativeCount,   // some genre claims fewer than zero questions
    NoQuestions,     // the counts sum to zero
    ShortQuestions,  // the file ends before the last question its counts promise
};

// 32,767 questions in each of the eight genres take 67 MB; a larger file is not a quiz, and
// reading or hashing it would only stall the game.
inline constexpr std::int64_t kLargestQuizFile = std::int64_t{256} * 1024 * 1024;

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

// A quiz file open for reading with plain system calls (open, fstat, pread, close). Anything
// but a regular file is refused before a byte is read: it is opened without blocking, so that a
// pipe with no writer cannot hang the game.
class QuizFileReader {
public:
    explicit QuizFileReader(const std::filesystem::path& path);
    ~QuizFileReader();
    QuizFileReader(const QuizFileReader&) = delete;
    QuizFileReader& operator=(const QuizFileReader&) = delete;

    // Which file this is and which version of it: any write changes the change time.
    struct Version {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t size = 0;
        std::int64_t modified = 0;  // nanoseconds since the epoch
        std::int64_t changed = 0;
        friend bool operator==(const Version&, const Version&) = default;
    };

    // None when the file is open; CannotOpen or NotAFile otherwise.
    [[nodiscard]] QuizFileProblem problem() const { return problem_; }
    [[nodiscard]] std::int64_t size() const { return version_.size; }
    [[nodiscard]] const Version& version() const { return version_; }
    // Reads up to `out.size()` bytes at `offset`; returns how many it read (fewer at the end).
    std::size_t readAt(std::int64_t offset, std::span<char> out) const;

private:
    int fd_ = -1;
    Version version_;
    QuizFileProblem problem_ = QuizFileProblem::CannotOpen;
};

// Reads the headers of the quiz file in `in` (seekable, positioned anywhere) and checks the
// counts against the file's size.
QuizLayout readQuizLayout(std::istream& in);

// The same for an open file.
QuizLayout readQuizLayout(const QuizFileReader& file);

// The same for the file at `path`.
QuizLayout readQuizLayout(const std::filesystem::path& path);

// One line saying why the file is refused, or that it is accepted.
std::string describeLayout(const QuizLayout& layout);

// Reads question record `question` straight from its offset; nothing when the file does not
// hold the whole record.
std::optional<Record> readQuestionRecord(std::istream& in, std::int32_t question);
std::optional<Record> readQuestionRecord(const QuizFileReader& file, std::int32_t question);

}  // namespace pp
