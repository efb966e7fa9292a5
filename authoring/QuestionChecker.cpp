#include "authoring/QuestionChecker.h"

#include <algorithm>

#include "authoring/HeaderRow.h"
#include "authoring/Messages.h"
#include "encoding/Utf8.h"

namespace pp::kqd {
namespace {

// What a third column says in a row that names the columns rather than asking a question.
constexpr std::array<std::u16string_view, 10> kHeaderWords{
    u"正解", u"正答", u"答え", u"答", u"解答", u"こたえ", u"answer", u"right answer", u"correct answer", u"correct",
};

std::string columnName(int column) {
    static constexpr const char* kNames[kSourceColumns] = {
        untranslated("genre"),          untranslated("question"),       untranslated("right answer"),
        untranslated("wrong answer 1"), untranslated("wrong answer 2"), untranslated("wrong answer 3"),
        untranslated("wrong answer 4"),
    };
    return msg(column >= 1 && column <= kSourceColumns ? kNames[column - 1] : untranslated("extra column"));
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

bool isSpace(char16_t c) { return c == u' ' || c == u'\u3000' || c == u'\t'; }

// The text without the half- and full-width spaces around it, which a sheet does not show.
std::u16string_view trimmedSpaces(std::u16string_view text) {
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// What a field holds, counted as a teacher counts: full-width characters of two bytes.
std::string tooLongMessage(int column, std::size_t bytes, TextField field) {
    static constexpr const char* kPatterns[] = {
        untranslated("a genre name holds at most %1 full-width characters (%2 half-width); this %3 has %4 "
                     "full-width (%5 half-width)"),
        untranslated("a question holds at most %1 full-width characters (%2 half-width); this %3 has %4 "
                     "full-width (%5 half-width)"),
        untranslated("an answer holds at most %1 full-width characters (%2 half-width); this %3 has %4 "
                     "full-width (%5 half-width)"),
    };
    const std::size_t limit = fieldBytes(field);
    return fill(msg(kPatterns[static_cast<int>(field)]),
                {std::to_string(limit / 2), std::to_string(limit), columnName(column), std::to_string((bytes + 1) / 2),
                 std::to_string(bytes)});
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

std::string ninthGenre(const std::string& name) {
    return fill(msg("a ninth genre \"%1\"; a quiz file holds at most 8"), {name});
}

}  // namespace

// The checker's workings; QuestionChecker hands each call on.
class QuestionChecker::State {
public:
    explicit State(const BuildOptions& options) : options_(options) {}

    void take(SourceRow& row, std::optional<CheckedQuestion>& question, Problems& problems) {
        question.reset();
        if (row.hidden && !options_.includeHidden) {
            problems.warning({row.line, 0, note(msg("the row is hidden, so it is left out (--include-hidden keeps it)"))});
            return;
        }
        if (row.directive) {
            if (auto error = takeDirective(row)) {
                problems.error(std::move(*error));
            }
            return;
        }
        if (!seenRow_) {
            seenRow_ = true;
            if (takeHeader(row, problems) || options_.headerRow) {
                return;
            }
            warnIfHeaderLike(row, problems);
        }
        if (!header_) {
            std::erase_if(row.problems, [](const SourceError& p) { return p.column > kSourceColumns; });
            checkQuestion(row, question, problems);
            return;
        }
        // Check the row in the order of a question, then name each problem by the table's column.
        SourceRow ordered{row.line, std::vector<std::u16string>(kSourceColumns), false};
        for (int k = 0; k < kSourceColumns; ++k) {
            const auto source = static_cast<std::size_t>(header_->columns[static_cast<std::size_t>(k)]);
            if (source < row.cells.size()) {
                ordered.cells[static_cast<std::size_t>(k)] = std::move(row.cells[source]);
            }
            for (const SourceError& refused : row.problems) {
                if (refused.column == static_cast<int>(source) + 1) {
                    ordered.problems.push_back({refused.line, k + 1, refused.message});
                }
            }
        }
        const std::size_t errorsBefore = problems.errors.size();
        const std::size_t warningsBefore = problems.warnings.size();
        checkQuestion(ordered, question, problems);
        for (auto* list : {&problems.errors, &problems.warnings}) {
            const std::size_t before = list == &problems.errors ? errorsBefore : warningsBefore;
            for (std::size_t i = before; i < list->size(); ++i) {
                int& column = (*list)[i].column;
                column = column >= 1 ? header_->columns[static_cast<std::size_t>(column - 1)] + 1 : column;
            }
        }
    }

    // The rest of the checks of a question row whose cells stand in the order of a question.
    void checkQuestion(SourceRow& row, std::optional<CheckedQuestion>& question, Problems& problems) {
        if (!row.cells.empty()) {
            trimGenre(row, problems);  // before unescaping: an escaped space is the genre's own
        }
        if (escapes_) {
            for (std::u16string& cell : row.cells) {
                cell = unescape(cell);
            }
        }
        while (row.cells.size() > static_cast<std::size_t>(kSourceColumns) && row.cells.back().empty()) {
            row.cells.pop_back();
        }
        if (row.cells.size() > static_cast<std::size_t>(kSourceColumns)) {
            if (!extraNoted_) {
                extraNoted_ = true;
                problems.warning({row.line, kSourceColumns + 1,
                                  note(fill(msg("the columns after %1 are no part of a question (genre, question, "
                                                "right answer, four wrong answers): they are ignored"),
                                            {columnLabel(kSourceColumns)}))});
            }
            row.cells.resize(static_cast<std::size_t>(kSourceColumns));
        }
        if (options_.columnLetters && row.cells.size() < static_cast<std::size_t>(kSourceColumns)) {
            // A sheet has no column count: the cells missing at the row's end are empty ones.
            row.cells.resize(static_cast<std::size_t>(kSourceColumns));
        }
        bool bad = false;
        for (const SourceError& refused : row.problems) {
            problems.error(refused);
            bad = true;
        }
        if (row.cells.size() != static_cast<std::size_t>(kSourceColumns)) {
            problems.error(columnCountError(row));
            return;
        }
        std::array<std::string, kSourceColumns> bytes;
        for (int column = 1; column <= kSourceColumns; ++column) {
            if (refusedByReader(row, column)) {
                continue;
            }
            if (auto error = encodeCell(row, column, bytes[static_cast<std::size_t>(column - 1)], problems)) {
                problems.error(std::move(*error));
                bad = true;
            }
        }
        if (bad) {
            return;
        }
        if (auto error = checkDuplicates(row, bytes, problems)) {
            problems.error(std::move(*error));
            return;
        }
        std::size_t genre = 0;
        if (auto error = genreFor(row, bytes[0], genre)) {
            problems.error(std::move(*error));
            return;
        }
        GenreSlot& slot = genres_[genre];
        if (slot.count == static_cast<std::int64_t>(kMaxGenreQuestions)) {
            problems.error(SourceError{row.line, 1,
                                       fill(msg("more than %1 questions in this genre"),
                                            {std::to_string(kMaxGenreQuestions)})});
            return;
        }
        ++slot.count;
        ++questions_;
        CheckedQuestion& checked = question.emplace();
        checked.genre = genre;
        checked.question.text = std::move(bytes[1]);
        std::move(bytes.begin() + 2, bytes.end(), checked.question.choices.begin());
    }

    [[nodiscard]] const std::vector<GenreSlot>& genres() const { return genres_; }
    [[nodiscard]] std::int64_t questions() const { return questions_; }

private:
    static bool refusedByReader(const SourceRow& row, int column) {
        return std::any_of(row.problems.begin(), row.problems.end(),
                           [&](const SourceError& refused) { return refused.column == column; });
    }

    // "雑学 " and "雑学" are one genre: a stray space is invisible in a sheet.
    void trimGenre(SourceRow& row, Problems& problems) const {
        std::u16string& genre = row.cells[0];
        std::u16string_view trimmed = trimmedSpaces(genre);
        const std::size_t end = static_cast<std::size_t>(trimmed.data() - genre.data()) + trimmed.size();
        if (escapes_ && !trimmed.empty() && trimmed.back() == u'\\' && end < genre.size()) {
            trimmed = std::u16string_view(trimmed.data(), trimmed.size() + 1);  // an escaped space stays
        }
        if (trimmed.size() == genre.size() || trimmed.empty()) {
            return;
        }
        problems.warning({row.line, 1, warning(fill(msg("the spaces around the genre name \"%1\" are left out"),
                                                    {utf8FromUtf16(genre)}))});
        genre = std::u16string(trimmed);
    }

    // How the table names the column that stands `column`th in a question.
    std::string columnLabel(int column) const {
        if (header_ && column >= 1 && column <= kSourceColumns) {
            column = header_->columns[static_cast<std::size_t>(column - 1)] + 1;
        }
        if (options_.columnLetters) {
            std::string letters;
            for (int c = column; c > 0; c = (c - 1) / 26) {
                letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
            }
            return letters;
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
                           fill(msg("unknown directive \"%1\"; kqd knows \"#kqd: escapes\" and \"#kqd: genre NAME\""),
                                {utf8})};
    }

    std::optional<SourceError> declareGenre(const SourceRow& row, const std::u16string& name) {
        EncodedText text = encodeFieldText(name, TextField::GenreName);
        if (!text.ok()) {
            return SourceError{row.line, 1, fill(msg("genre: %1"), {describeTextProblem(text, TextField::GenreName)})};
        }
        const auto found = std::find_if(genres_.begin(), genres_.end(),
                                        [&](const GenreSlot& slot) { return slot.name == text.bytes; });
        if (found != genres_.end()) {
            return SourceError{row.line, 1, fill(msg("the genre \"%1\" already exists"), {utf8FromUtf16(name)})};
        }
        if (genres_.size() == static_cast<std::size_t>(kGenreCount)) {
            return SourceError{row.line, 1, ninthGenre(utf8FromUtf16(name))};
        }
        genres_.push_back(GenreSlot{std::move(text.bytes), 0});
        return std::nullopt;
    }

    // A header row is built like any other unless --header skips it, so a quiz whose first
    // answer really is "正解" loses nothing; the warning says how to skip it.
    // A first row that names the columns: the columns are found by those names from here on.
    bool takeHeader(const SourceRow& row, Problems& problems) {
        std::optional<HeaderRow> header = recognizeHeader(row.cells);
        if (!header) {
            return false;
        }
        if (header->problem) {
            problems.error({row.line, 0, *header->problem});
            return true;
        }
        for (const int ignored : header->ignored) {
            problems.warning({row.line, ignored + 1,
                              note(fill(msg("the column \"%1\" is no part of a question: it is ignored"),
                                        {utf8FromUtf16(row.cells[static_cast<std::size_t>(ignored)])}))});
        }
        header_ = std::move(header);
        return true;
    }

    void warnIfHeaderLike(const SourceRow& row, Problems& problems) const {
        if (row.cells.size() < 3) {
            return;
        }
        const std::u16string third = lowerAscii(row.cells[2]);
        if (std::find(kHeaderWords.begin(), kHeaderWords.end(), third) != kHeaderWords.end()) {
            problems.warning({row.line, 3,
                              warning(fill(msg("this first row looks like a header (its right answer is \"%1\"); "
                                               "build with --header to skip it"),
                                           {utf8FromUtf16(row.cells[2])}))});
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
                fill(msg("%1 columns, a question takes %2 (genre, question, right answer, four wrong answers)"),
                     {std::to_string(count), std::to_string(kSourceColumns)})};
    }

    // Encodes one cell for its field, or says why it cannot be stored.
    std::optional<SourceError> encodeCell(const SourceRow& row, int column, std::string& bytes, Problems& problems) {
        const std::u16string& cell = row.cells[static_cast<std::size_t>(column - 1)];
        if (cell.empty()) {
            return SourceError{row.line, column, fill(msg("the %1 is empty"), {columnName(column)})};
        }
        const TextField field = fieldOfColumn(column);
        EncodedText text = encodeFieldText(cell, field);
        if (text.problem == TextProblem::TooLong) {
            return SourceError{row.line, column, tooLongMessage(column, text.bytes.size(), field)};
        }
        if (!text.ok()) {
            return SourceError{row.line, column,
                               fill(msg("%1: %2"), {columnName(column), describeTextProblem(text, field)})};
        }
        if (text.cutOnScreen) {
            const std::size_t shown = fieldUnits(field) - 1;
            problems.warning({row.line, column,
                              warning(fill(msg("the game shows only the first %1 characters of this %2"),
                                           {std::to_string(shown), columnName(column)}))});
        }
        bytes = std::move(text.bytes);
        return std::nullopt;
    }

    // Two equal choices (as stored, so "〜" and "～" are equal) make a question that cannot be
    // answered fairly.
    std::optional<SourceError> checkDuplicates(const SourceRow& row, const std::array<std::string, kSourceColumns>& bytes,
                                               Problems& problems) const {
        // Choices that differ only by spaces around them look the same in the game.
        std::array<std::string, kSourceColumns> shown;
        for (int column = 3; column <= kSourceColumns; ++column) {
            const std::u16string& cell = row.cells[static_cast<std::size_t>(column - 1)];
            const std::u16string_view trimmed = trimmedSpaces(cell);
            shown[static_cast<std::size_t>(column - 1)] =
                trimmed.size() == cell.size() ? bytes[static_cast<std::size_t>(column - 1)]
                                              : encodeFieldText(trimmed, TextField::Choice).bytes;
        }
        for (int later = 4; later <= kSourceColumns; ++later) {
            for (int earlier = 3; earlier < later; ++earlier) {
                if (shown[static_cast<std::size_t>(earlier - 1)] != shown[static_cast<std::size_t>(later - 1)]) {
                    continue;
                }
                const std::string what =
                    earlier == 3 ? fill(msg("the right answer is repeated as %1 (columns %2 and %3): a question "
                                            "with two equal choices cannot be answered fairly"),
                                        {columnName(later), columnLabel(earlier), columnLabel(later)})
                                 : fill(msg("%1 and %2 are the same (columns %3 and %4): a question with two "
                                            "equal choices cannot be answered fairly"),
                                        {columnName(earlier), columnName(later), columnLabel(earlier),
                                         columnLabel(later)});
                if (!options_.allowDuplicates) {
                    return SourceError{row.line, later,
                                       fill(msg("%1 (--allow-duplicates lets it through)"), {what})};
                }
                problems.warning({row.line, later, warning(what)});
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
            return SourceError{row.line, 1, ninthGenre(utf8FromUtf16(row.cells[0]))};
        }
        genres_.push_back(GenreSlot{encodedName, 0});
        genre = genres_.size() - 1;
        return std::nullopt;
    }

    BuildOptions options_;
    bool seenRow_ = false;
    std::optional<HeaderRow> header_;  // the columns the first row named
    bool extraNoted_ = false;
    bool escapes_ = false;
    std::vector<GenreSlot> genres_;
    std::int64_t questions_ = 0;
};

QuestionChecker::QuestionChecker(const BuildOptions& options) : state_(std::make_unique<State>(options)) {}

QuestionChecker::~QuestionChecker() = default;

void QuestionChecker::take(SourceRow& row, std::optional<CheckedQuestion>& question, Problems& problems) {
    state_->take(row, question, problems);
}

const std::vector<GenreSlot>& QuestionChecker::genres() const { return state_->genres(); }

std::int64_t QuestionChecker::questions() const { return state_->questions(); }

}  // namespace pp::kqd
