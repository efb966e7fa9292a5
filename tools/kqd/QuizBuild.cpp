#include "QuizBuild.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>

#include "tools/common/QuizWriter.h"
#include "tools/common/Utf8.h"

namespace pp::kqd {
namespace {

// What a third column says in a row that names the columns rather than asking a question.
constexpr std::array<std::u16string_view, 10> kHeaderWords{
    u"正解", u"正答", u"答え", u"答", u"解答", u"こたえ", u"answer", u"right answer", u"correct answer", u"correct",
};

constexpr std::size_t kFlushBytes = 64 * 1024;

const char* columnName(int column) {
    static constexpr const char* kNames[kSourceColumns] = {
        "genre", "question", "right answer", "wrong answer 1", "wrong answer 2", "wrong answer 3", "wrong answer 4",
    };
    return column >= 1 && column <= kSourceColumns ? kNames[column - 1] : "extra column";
}

TextField fieldOfColumn(int column) {
    if (column == 1) {
        return TextField::GenreName;
    }
    return column == 2 ? TextField::Question : TextField::Choice;
}

std::u16string lowerAscii(std::u16string text) {
    for (char16_t& c : text) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return text;
}

// Undoes the escapes of an escaped cell.
std::u16string unescape(std::u16string_view cell) {
    std::u16string out;
    out.reserve(cell.size());
    for (std::size_t i = 0; i < cell.size(); ++i) {
        if (cell[i] != u'\\' || i + 1 == cell.size()) {
            out += cell[i];
            continue;
        }
        const char16_t next = cell[++i];
        out += next == u't' ? u'\t' : next == u'n' ? u'\n' : next == u'r' ? u'\r' : next;
    }
    return out;
}

struct GenreSlot {
    std::string name;  // code page 932, as stored
    std::int64_t count = 0;
};

struct CheckedQuestion {
    std::size_t genre = 0;
    EncodedQuestion question;
};

// Checks rows one at a time and keeps the genre table: every problem the game cannot catch
// is found here, before anything is written.
class QuestionChecker {
public:
    explicit QuestionChecker(const BuildOptions& options) : options_(options) {}

    // Takes one row. `question` is set for a question row; directives and a skipped header
    // row set nothing.
    std::optional<SourceError> take(SourceRow& row, std::optional<CheckedQuestion>& question, Warnings& warnings) {
        question.reset();
        if (row.directive) {
            return takeDirective(row);
        }
        if (!seenRow_) {
            seenRow_ = true;
            if (options_.headerRow) {
                return std::nullopt;
            }
            warnIfHeaderLike(row, warnings);
        }
        if (escapes_) {
            for (std::u16string& cell : row.cells) {
                cell = unescape(cell);
            }
        }
        while (row.cells.size() > static_cast<std::size_t>(kSourceColumns) && row.cells.back().empty()) {
            row.cells.pop_back();
        }
        if (row.cells.size() != static_cast<std::size_t>(kSourceColumns)) {
            return columnCountError(row);
        }
        std::array<std::string, kSourceColumns> bytes;
        for (int column = 1; column <= kSourceColumns; ++column) {
            if (auto error = encodeCell(row, column, bytes[static_cast<std::size_t>(column - 1)], warnings)) {
                return error;
            }
        }
        if (auto error = checkDuplicates(row, bytes, warnings)) {
            return error;
        }
        std::size_t genre = 0;
        if (auto error = genreFor(row, bytes[0], genre)) {
            return error;
        }
        GenreSlot& slot = genres_[genre];
        if (slot.count == static_cast<std::int64_t>(kMaxGenreQuestions)) {
            return SourceError{row.line, 1,
                               "more than " + std::to_string(kMaxGenreQuestions) + " questions in this genre"};
        }
        ++slot.count;
        ++questions_;
        CheckedQuestion& checked = question.emplace();
        checked.genre = genre;
        checked.question.text = std::move(bytes[1]);
        std::move(bytes.begin() + 2, bytes.end(), checked.question.choices.begin());
        return std::nullopt;
    }

    [[nodiscard]] const std::vector<GenreSlot>& genres() const { return genres_; }
    [[nodiscard]] std::int64_t questions() const { return questions_; }

private:
    std::string columnLabel(int column) const {
        if (options_.columnLetters) {
            return std::string(1, static_cast<char>('A' + column - 1));
        }
        return std::to_string(column);
    }

    std::optional<SourceError> takeDirective(const SourceRow& row) {
        std::u16string_view text = row.cells.empty() ? std::u16string_view() : std::u16string_view(row.cells[0]);
        while (!text.empty() && text.front() == u' ') {
            text.remove_prefix(1);
        }
        const std::string utf8 = utf8FromUtf16(text);
        if (utf8 == kEscapesDirective) {
            escapes_ = true;
            return std::nullopt;
        }
        if (utf8.starts_with(kGenreDirective) &&
            (utf8.size() == kGenreDirective.size() || utf8[kGenreDirective.size()] == ' ')) {
            text.remove_prefix(std::min(text.size(), kGenreDirective.size() + 1));
            return declareGenre(row, escapes_ ? unescape(text) : std::u16string(text));
        }
        return SourceError{row.line, 1,
                           "unknown directive \"" + utf8 + "\"; kqd knows \"#kqd: escapes\" and \"#kqd: genre NAME\""};
    }

    std::optional<SourceError> declareGenre(const SourceRow& row, const std::u16string& name) {
        EncodedText text = encodeFieldText(name, TextField::GenreName);
        if (!text.ok()) {
            return SourceError{row.line, 1, "genre: " + describeTextProblem(text, TextField::GenreName)};
        }
        const auto found = std::find_if(genres_.begin(), genres_.end(),
                                        [&](const GenreSlot& slot) { return slot.name == text.bytes; });
        if (found != genres_.end()) {
            return SourceError{row.line, 1, "the genre \"" + utf8FromUtf16(name) + "\" already exists"};
        }
        if (genres_.size() == static_cast<std::size_t>(kGenreCount)) {
            return SourceError{row.line, 1,
                               "a ninth genre \"" + utf8FromUtf16(name) + "\"; a quiz file holds at most 8"};
        }
        genres_.push_back(GenreSlot{std::move(text.bytes), 0});
        return std::nullopt;
    }

    // A header row is built like any other unless --header skips it, so a quiz whose first
    // answer really is "正解" loses nothing; the warning says how to skip it.
    void warnIfHeaderLike(const SourceRow& row, Warnings& warnings) const {
        if (row.cells.size() < 3) {
            return;
        }
        const std::u16string third = lowerAscii(row.cells[2]);
        if (std::find(kHeaderWords.begin(), kHeaderWords.end(), third) != kHeaderWords.end()) {
            warnings.add({row.line, 3,
                          "warning: this first row looks like a header (its right answer is \"" +
                              utf8FromUtf16(row.cells[2]) + "\"); build with --header to skip it"});
        }
    }

    SourceError columnCountError(const SourceRow& row) const {
        const int count = static_cast<int>(row.cells.size());
        int column = count + 1;
        if (count > kSourceColumns) {  // the first extra cell that holds something
            column = kSourceColumns + 1;
            while (row.cells[static_cast<std::size_t>(column - 1)].empty()) {
                ++column;
            }
        }
        return {row.line, column,
                std::to_string(count) + " columns, a question takes " + std::to_string(kSourceColumns) +
                    " (genre, question, right answer, four wrong answers)"};
    }

    // Encodes one cell for its field, or says why it cannot be stored.
    std::optional<SourceError> encodeCell(const SourceRow& row, int column, std::string& bytes, Warnings& warnings) {
        const std::u16string& cell = row.cells[static_cast<std::size_t>(column - 1)];
        if (cell.empty()) {
            return SourceError{row.line, column, std::string("the ") + columnName(column) + " is empty"};
        }
        const TextField field = fieldOfColumn(column);
        EncodedText text = encodeFieldText(cell, field);
        if (!text.ok()) {
            return SourceError{row.line, column,
                               std::string(columnName(column)) + ": " + describeTextProblem(text, field)};
        }
        if (text.cutOnScreen) {
            const std::size_t shown = fieldUnits(field) - 1;
            warnings.add({row.line, column,
                          "warning: the game shows only the first " + std::to_string(shown) + " characters of this " +
                              columnName(column)});
        }
        bytes = std::move(text.bytes);
        return std::nullopt;
    }

    // Two equal choices (as stored, so "〜" and "～" are equal) make a question that cannot be
    // answered fairly.
    std::optional<SourceError> checkDuplicates(const SourceRow& row, const std::array<std::string, kSourceColumns>& bytes,
                                               Warnings& warnings) const {
        for (int later = 4; later <= kSourceColumns; ++later) {
            for (int earlier = 3; earlier < later; ++earlier) {
                if (bytes[static_cast<std::size_t>(earlier - 1)] != bytes[static_cast<std::size_t>(later - 1)]) {
                    continue;
                }
                const std::string what =
                    (earlier == 3 ? std::string("the right answer is repeated as ") + columnName(later)
                                  : std::string(columnName(earlier)) + " and " + columnName(later) + " are the same") +
                    " (columns " + columnLabel(earlier) + " and " + columnLabel(later) +
                    "): a question with two equal choices cannot be answered fairly";
                if (!options_.allowDuplicates) {
                    return SourceError{row.line, later, what + " (--allow-duplicates lets it through)"};
                }
                warnings.add({row.line, later, "warning: " + what});
            }
        }
        return std::nullopt;
    }

    // Finds the row's genre by its name as stored, opening a new genre on its first
    // appearance; two spellings that map to the same code page 932 text are one genre.
    std::optional<SourceError> genreFor(const SourceRow& row, const std::string& encodedName, std::size_t& genre) {
        const auto found = std::find_if(genres_.begin(), genres_.end(),
                                        [&](const GenreSlot& slot) { return slot.name == encodedName; });
        if (found != genres_.end()) {
            genre = static_cast<std::size_t>(found - genres_.begin());
            return std::nullopt;
        }
        if (genres_.size() == static_cast<std::size_t>(kGenreCount)) {
            return SourceError{row.line, 1,
                               "a ninth genre \"" + utf8FromUtf16(row.cells[0]) + "\"; a quiz file holds at most 8"};
        }
        genres_.push_back(GenreSlot{encodedName, 0});
        genre = genres_.size() - 1;
        return std::nullopt;
    }

    BuildOptions options_;
    bool seenRow_ = false;
    bool escapes_ = false;
    std::vector<GenreSlot> genres_;
    std::int64_t questions_ = 0;
};

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
