#include "quizdata/QuizFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

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

void checkCounts(QuizLayout& layout);

// Parses the whole headers among the first `size` bytes of `headers`, then checks the counts.
void parseHeaders(QuizLayout& layout, const char* headers, std::size_t size) {
    layout.genres.reserve(kGenreCount);
    for (std::size_t g = 0; g < static_cast<std::size_t>(kGenreCount); ++g) {
        if (size < (g + 1) * kRecordSize) {
            layout.problem = QuizFileProblem::ShortHeaders;
            return;
        }
        layout.genres.push_back(parseGenreHeader(std::span<const char, kRecordSize>(headers + g * kRecordSize, kRecordSize)));
    }
    checkCounts(layout);
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

QuizFileReader::QuizFileReader(const std::filesystem::path& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) {
        return;
    }
    struct stat status {};
    if (::fstat(fd_, &status) != 0) {
        return;
    }
    if (!S_ISREG(status.st_mode)) {
        problem_ = QuizFileProblem::NotAFile;
        return;
    }
    const auto nanoseconds = [](const timespec& time) {
        return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
    };
    version_ = {status.st_dev, status.st_ino, status.st_size, nanoseconds(status.st_mtim), nanoseconds(status.st_ctim)};
    problem_ = QuizFileProblem::None;
}

QuizFileReader::~QuizFileReader() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::size_t QuizFileReader::readAt(std::int64_t offset, std::span<char> out) const {
    if (problem_ != QuizFileProblem::None || offset < 0) {
        return 0;
    }
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t got = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (got > 0) {
            done += static_cast<std::size_t>(got);
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    return done;
}

QuizLayout readQuizLayout(std::istream& in) {
    QuizLayout layout;
    layout.fileSize = streamSize(in);
    std::array<char, kHeadersSize> headers{};
    std::size_t size = 0;
    for (int g = 0; g < kGenreCount; ++g, size += kRecordSize) {
        if (!readAt(in, static_cast<std::int64_t>(size), headers.data() + size, kRecordSize)) {
            break;
        }
    }
    parseHeaders(layout, headers.data(), size);
    return layout;
}

QuizLayout readQuizLayout(const QuizFileReader& file) {
    QuizLayout layout;
    if (file.problem() != QuizFileProblem::None) {
        layout.problem = file.problem();
        return layout;
    }
    layout.fileSize = file.size();
    if (layout.fileSize > kLargestQuizFile) {
        layout.problem = QuizFileProblem::TooLarge;
        return layout;
    }
    // All eight headers in one read, into a buffer on the stack.
    std::array<char, kHeadersSize> headers{};
    parseHeaders(layout, headers.data(), file.readAt(0, headers));
    return layout;
}

QuizLayout readQuizLayout(const std::filesystem::path& path) { return readQuizLayout(QuizFileReader(path)); }

std::string describeLayout(const QuizLayout& layout) {
    switch (layout.problem) {
        case QuizFileProblem::None:
            return questions(layout.questionCount);
        case QuizFileProblem::CannotOpen:
            return "cannot open the file";
        case QuizFileProblem::NotAFile:
            return "not a regular file (a folder, pipe or device)";
        case QuizFileProblem::TooLarge:
            return "too large for a quiz file (" + std::to_string(layout.fileSize) + " bytes; at most " +
                   std::to_string(kLargestQuizFile) + ")";
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

std::optional<Record> readQuestionRecord(const QuizFileReader& file, std::int32_t question) {
    Record record;
    if (question < 0 || file.readAt(questionOffset(question), record) != kRecordSize) {
        return std::nullopt;
    }
    return record;
}

}  // namespace pp
