#include "QuizBuild.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "QuestionChecker.h"
#include "tools/common/QuizWriter.h"

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

void Warnings::add(SourceError warning) {
    if (kept.size() < kKept) {
        kept.push_back(std::move(warning));
    } else {
        ++dropped;
    }
}

std::variant<BuildReport, SourceError> buildQuizStreaming(const RowSource& rows, const BuildOptions& options,
                                                          Spill& spill, const WriteAt& write) {
    static const SourceError kWriteFailed{0, 0, "cannot write the quiz file"};
    BuildReport report;
    QuestionChecker checker(options);
    std::optional<CheckedQuestion> question;
    std::string spilled(kSpilledSize, '\0');
    bool spillFailed = false;
    auto error = rows([&](SourceRow&& row) -> std::optional<SourceError> {
        if (auto problem = checker.take(row, question, report.warnings)) {
            return problem;
        }
        if (!question) {
            return std::nullopt;
        }
        const std::optional<Record> record = encodeQuestionRecord(question->question);
        if (!record) {
            return SourceError{row.line, 0, "the question could not be laid out"};
        }
        spilled[0] = static_cast<char>(question->genre);
        std::copy(record->begin(), record->end(), spilled.begin() + 1);
        spillFailed = !spill.append(spilled);
        return spillFailed ? std::optional<SourceError>(kWriteFailed) : std::nullopt;
    });
    if (error) {
        return *error;
    }
    if (checker.questions() == 0) {
        return SourceError{0, 0, "the table holds no questions"};
    }
    if (!write(0, headerBytes(checker.genres()))) {
        return kWriteFailed;
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
        return kWriteFailed;
    }
    report.genres = static_cast<int>(checker.genres().size());
    report.questions = checker.questions();
    return report;
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
    const WriteAt write = [&](std::int64_t offset, std::string_view bytes) {
        const auto end = static_cast<std::size_t>(offset) + bytes.size();
        if (file.size() < end) {
            file.resize(end);
        }
        std::memcpy(file.data() + offset, bytes.data(), bytes.size());
        return true;
    };
    MemorySpill spill;
    auto built = buildQuizStreaming(rows, options, spill, write);
    if (auto* error = std::get_if<SourceError>(&built)) {
        return *error;
    }
    BuildReport& report = std::get<BuildReport>(built);
    BuiltQuiz quiz;
    quiz.file = std::move(file);
    quiz.warnings = std::move(report.warnings.kept);
    quiz.genres = report.genres;
    quiz.questions = static_cast<int>(report.questions);
    return quiz;
}

}  // namespace pp::kqd
