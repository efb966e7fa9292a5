#include "authoring/QuizBuild.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "authoring/Messages.h"
#include "authoring/QuestionChecker.h"
#include "encoding/QuizWriter.h"

namespace pp::kqd {
namespace {

constexpr std::size_t kFlushBytes = 64 * 1024;

// Collects each genre's records and writes them at the genre's next place in the file.
class RecordPlacer {
public:
    RecordPlacer(const std::vector<GenreSlot>& genres, const WriteAt& write) : write_(write) {
        std::int64_t first = 0;
        for (const GenreSlot& genre : genres) {
            places_.push_back(Place{first, genre.count, 0, {}});
            first += genre.count;
        }
    }

    // False when the genre has no room left (which the counts rule out) or a write fails.
    bool put(std::size_t genre, const Record& record) {
        Place& place = places_[genre];
        if (place.written + static_cast<std::int64_t>(place.pending.size() / kRecordSize) >= place.count) {
            return false;
        }
        place.pending.append(record.data(), record.size());
        return place.pending.size() < kFlushBytes || flush(place);
    }

    // Flushes everything; false when a genre did not get all its questions or a write fails.
    bool finish() {
        for (Place& place : places_) {
            if (!flush(place) || place.written != place.count) {
                return false;
            }
        }
        return true;
    }

private:
    struct Place {
        std::int64_t first = 0;
        std::int64_t count = 0;
        std::int64_t written = 0;
        std::string pending;
    };

    bool flush(Place& place) {
        if (place.pending.empty()) {
            return true;
        }
        if (!write_(questionOffset(place.first + place.written), place.pending)) {
            return false;
        }
        place.written += static_cast<std::int64_t>(place.pending.size() / kRecordSize);
        place.pending.clear();
        return true;
    }

    const WriteAt& write_;
    std::vector<Place> places_;
};

std::string headerBytes(const std::vector<GenreSlot>& genres) {
    std::string bytes;
    for (std::size_t g = 0; g < static_cast<std::size_t>(kGenreCount); ++g) {
        GenreHeader header;
        if (g < genres.size()) {
            header.name = genres[g].name;
            header.questionCount = static_cast<std::int16_t>(genres[g].count);
        }
        const Record record = encodeGenreHeader(header);
        bytes.append(record.data(), record.size());
    }
    return bytes;
}

// A spilled question: its genre, then its record.
constexpr std::size_t kSpilledSize = 1 + kRecordSize;

class MemorySpill : public Spill {
public:
    bool append(std::string_view bytes) override {
        bytes_ += bytes;
        return true;
    }
    bool replay(const std::function<bool(std::string_view)>& piece) override { return piece(bytes_); }

private:
    std::string bytes_;
};

}  // namespace

void Problems::error(SourceError problem) {
    if (errors.size() < kKept) {
        errors.push_back(std::move(problem));
    }
    ++errorCount;
}

void Problems::warning(SourceError problem) {
    if (warnings.size() < kKept) {
        warnings.push_back(std::move(problem));
    }
    ++warningCount;
}

std::vector<SourceError> Problems::sorted() const {
    std::vector<SourceError> all = errors;
    all.insert(all.end(), warnings.begin(), warnings.end());
    std::stable_sort(all.begin(), all.end(), [](const SourceError& a, const SourceError& b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    return all;
}

BuildReport buildQuizStreaming(const RowSource& rows, const BuildOptions& options, Spill& spill,
                               const WriteAt& write) {
    const SourceError writeFailed{0, 0, msg("cannot write the quiz file")};
    BuildReport report;
    Problems& problems = report.problems;
    QuestionChecker checker(options);
    std::optional<CheckedQuestion> question;
    std::string spilled(kSpilledSize, '\0');
    auto error = rows([&](SourceRow&& row) -> std::optional<SourceError> {
        checker.take(row, question, problems);
        if (!question || problems.failed()) {
            return std::nullopt;  // once a row is bad nothing will be written: only check the rest
        }
        const std::optional<Record> record = encodeQuestionRecord(question->question);
        if (!record) {
            return SourceError{row.line, 0, msg("the question could not be laid out")};
        }
        spilled[0] = static_cast<char>(question->genre);
        std::copy(record->begin(), record->end(), spilled.begin() + 1);
        return spill.append(spilled) ? std::nullopt : std::optional<SourceError>(writeFailed);
    });
    if (error) {
        problems.error(std::move(*error));
    }
    if (problems.failed()) {
        return report;
    }
    if (checker.questions() == 0) {
        problems.error(SourceError{0, 0, msg("the table holds no questions")});
        return report;
    }
    if (!write(0, headerBytes(checker.genres()))) {
        problems.error(writeFailed);
        return report;
    }
    RecordPlacer placer(checker.genres(), write);
    std::string carried;  // a question split between two pieces
    const auto place = [&](std::string_view entry) {
        Record record;
        std::copy(entry.begin() + 1, entry.begin() + kSpilledSize, record.begin());
        return placer.put(static_cast<unsigned char>(entry[0]), record);
    };
    const bool placed = spill.replay([&](std::string_view piece) {
        if (!carried.empty()) {
            const std::size_t taken = std::min(piece.size(), kSpilledSize - carried.size());
            carried.append(piece.substr(0, taken));
            piece.remove_prefix(taken);
            if (carried.size() < kSpilledSize) {
                return true;
            }
            if (!place(carried)) {
                return false;
            }
            carried.clear();
        }
        for (; piece.size() >= kSpilledSize; piece.remove_prefix(kSpilledSize)) {
            if (!place(piece.substr(0, kSpilledSize))) {
                return false;
            }
        }
        carried.assign(piece);
        return true;
    });
    if (!placed || !carried.empty() || !placer.finish()) {
        problems.error(writeFailed);
        return report;
    }
    report.genres = static_cast<int>(checker.genres().size());
    report.questions = checker.questions();
    return report;
}

BuildReport buildQuizInMemory(const RowSource& rows, const BuildOptions& options, std::string& quiz) {
    MemorySpill spill;
    quiz.clear();
    const WriteAt write = [&quiz](std::int64_t offset, std::string_view bytes) {
        const auto end = static_cast<std::size_t>(offset) + bytes.size();
        if (quiz.size() < end) {
            quiz.resize(end);
        }
        std::memcpy(quiz.data() + offset, bytes.data(), bytes.size());
        return true;
    };
    return buildQuizStreaming(rows, options, spill, write);
}

std::variant<BuiltQuiz, SourceError> buildQuiz(const SourceTable& table, const BuildOptions& options) {
    const RowSource rows = [&](const RowSink& sink) -> std::optional<SourceError> {
        for (const SourceRow& row : table) {
            if (auto error = sink(SourceRow(row))) {
                return error;
            }
        }
        return std::nullopt;
    };
    std::string file;
    BuildReport report = buildQuizInMemory(rows, options, file);
    if (report.problems.failed()) {
        for (SourceError& problem : report.problems.sorted()) {
            if (!isWarningOrNote(problem.message)) {
                return problem;
            }
        }
    }
    BuiltQuiz quiz;
    quiz.file = std::move(file);
    quiz.warnings = std::move(report.problems.warnings);
    quiz.genres = report.genres;
    quiz.questions = static_cast<int>(report.questions);
    return quiz;
}

}  // namespace pp::kqd
