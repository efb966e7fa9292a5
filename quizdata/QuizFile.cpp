#include "quizdata/QuizFile.h"

#include <fstream>

namespace pp {
namespace {

std::string questions(std::int64_t count) { return std::to_string(count) + (count == 1 ? " question" : " questions"); }

// Reads exactly `size` bytes at `offset`; false when the stream ends or fails before.
bool readAt(std::istream& in, std::int64_t offset, char* out, std::size_t size) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset), std::ios::beg);
    if (!in) {
        return false;
    }
    in.read(out, static_cast<std::streamsize>(size));
    return in.gcount() == static_cast<std::streamsize>(size);
}

std::int64_t streamSize(std::istream& in) {
    in.clear();
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    return end < 0 ? 0 : static_cast<std::int64_t>(end);
}

// Fills in the count checks once all eight headers are known.
void checkCounts(QuizLayout& layout) {
    std::int32_t total = 0;
    for (std::size_t g = 0; g < layout.genres.size(); ++g) {
        if (layout.genres[g].questionCount < 0) {
            layout.problem = QuizFileProblem::NegativeCount;
            layout.problemGenre = static_cast<int>(g);
            return;
        }
        total += layout.genres[g].questionCount;
    }
    layout.questionCount = total;
    if (total == 0) {
        layout.problem = QuizFileProblem::NoQuestions;
    } else if (layout.fileSize < questionOffset(total)) {
        layout.problem = QuizFileProblem::ShortQuestions;
    }
}

}  // namespace

std::int32_t QuizLayout::firstQuestionOf(int genre) const {
    std::int32_t first = 0;
    for (int g = 0; g < genre && g < static_cast<int>(genres.size()); ++g) {
        first += genres[static_cast<std::size_t>(g)].questionCount;
    }
    return first;
}

QuizLayout readQuizLayout(std::istream& in) {
    QuizLayout layout;
    layout.fileSize = streamSize(in);
    for (int g = 0; g < kGenreCount; ++g) {
        Record record;
        if (!readAt(in, static_cast<std::int64_t>(kRecordSize) * g, record.data(), kRecordSize)) {
            layout.problem = QuizFileProblem::ShortHeaders;
            return layout;
        }
        layout.genres.push_back(parseGenreHeader(record));
    }
    checkCounts(layout);
    return layout;
}

QuizLayout readQuizLayout(const std::filesystem::path& path) {
    std::error_code error;
    std::ifstream in;
    // A folder opens like a file on Linux but reads as nothing: call it what it is.
    if (!std::filesystem::is_directory(path, error)) {
        in.open(path, std::ios::binary);
    }
    if (!in.is_open()) {
        QuizLayout layout;
        layout.problem = QuizFileProblem::CannotOpen;
        return layout;
    }
    return readQuizLayout(in);
}

std::string describeLayout(const QuizLayout& layout) {
    switch (layout.problem) {
        case QuizFileProblem::None:
            return questions(layout.questionCount);
        case QuizFileProblem::CannotOpen:
            return "cannot open the file";
        case QuizFileProblem::ShortHeaders:
            return "the file ends inside genre header " + std::to_string(layout.genres.size()) +
                   " (" + std::to_string(layout.fileSize) + " bytes; the eight headers take " +
                   std::to_string(kHeadersSize) + ")";
        case QuizFileProblem::NegativeCount:
            return "genre " + std::to_string(layout.problemGenre) + " has a negative question count (" +
                   std::to_string(layout.genres[static_cast<std::size_t>(layout.problemGenre)].questionCount) +
                   ")";
        case QuizFileProblem::NoQuestions:
            return "the genre counts add up to no questions";
        case QuizFileProblem::ShortQuestions:
            return "the genre counts promise " + questions(layout.questionCount) + ", which take " +
                   std::to_string(questionOffset(layout.questionCount)) + " bytes, but the file has " + std::to_string(layout.fileSize);
    }
    return "unknown problem";
}

std::optional<Record> readQuestionRecord(std::istream& in, std::int32_t question) {
    Record record;
    if (question < 0 || !readAt(in, questionOffset(question), record.data(), kRecordSize)) {
        return std::nullopt;
    }
    return record;
}

}  // namespace pp
