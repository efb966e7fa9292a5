#include "QuizBuild.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <system_error>

#include "tools/common/Utf8.h"
#include "tools/common/QuizWriter.h"

namespace pp::kqd {
namespace {

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

SourceError columnCountError(const SourceRow& row) {
    const int count = static_cast<int>(row.cells.size());
    const int column = count < kSourceColumns ? count + 1 : kSourceColumns + 1;
    return {row.line, column,
            std::to_string(count) + " columns, a question takes " + std::to_string(kSourceColumns) +
                " (genre, question, right answer, four wrong answers)"};
}

// Encodes one cell for its field, or says why it cannot be stored.
std::variant<EncodedText, SourceError> encodeCell(const SourceRow& row, int column) {
    const std::u16string& cell = row.cells[static_cast<std::size_t>(column - 1)];
    if (cell.empty()) {
        return SourceError{row.line, column, std::string("the ") + columnName(column) + " is empty"};
    }
    const TextField field = fieldOfColumn(column);
    EncodedText text = encodeFieldText(cell, field);
    if (!text.ok()) {
        return SourceError{row.line, column, std::string(columnName(column)) + ": " + describeTextProblem(text, field)};
    }
    return text;
}

// Finds the row's genre by its name as stored, opening a new genre on its first appearance;
// two spellings that map to the same code page 932 text are one genre.
std::variant<std::size_t, SourceError> genreFor(std::vector<EncodedGenre>& genres, const SourceRow& row,
                                                const std::string& encodedName) {
    const auto found = std::find_if(genres.begin(), genres.end(),
                                    [&](const EncodedGenre& genre) { return genre.name == encodedName; });
    if (found != genres.end()) {
        return static_cast<std::size_t>(found - genres.begin());
    }
    if (genres.size() == static_cast<std::size_t>(kGenreCount)) {
        return SourceError{row.line, 1,
                           "a ninth genre \"" + utf8FromUtf16(row.cells[0]) + "\"; a quiz file holds at most 8"};
    }
    genres.push_back(EncodedGenre{encodedName, {}});
    return genres.size() - 1;
}

SourceError cutWarning(const SourceRow& row, int column) {
    const std::size_t shown = fieldUnits(fieldOfColumn(column)) - 1;
    return {row.line, column,
            std::string("warning: the game shows only the first ") + std::to_string(shown) + " characters of this " +
                columnName(column)};
}

}  // namespace

std::variant<BuiltQuiz, SourceError> buildQuiz(const SourceTable& table) {
    BuiltQuiz built;
    std::vector<EncodedGenre> genres;
    for (const SourceRow& row : table) {
        if (row.cells.size() != static_cast<std::size_t>(kSourceColumns)) {
            return columnCountError(row);
        }
        std::array<std::string, kSourceColumns> bytes;
        for (int column = 1; column <= kSourceColumns; ++column) {
            auto cell = encodeCell(row, column);
            if (auto* error = std::get_if<SourceError>(&cell)) {
                return *error;
            }
            EncodedText& text = std::get<EncodedText>(cell);
            if (text.cutOnScreen) {
                built.warnings.push_back(cutWarning(row, column));
            }
            bytes[static_cast<std::size_t>(column - 1)] = std::move(text.bytes);
        }
        auto genre = genreFor(genres, row, bytes[0]);
        if (auto* error = std::get_if<SourceError>(&genre)) {
            return *error;
        }
        EncodedGenre& target = genres[std::get<std::size_t>(genre)];
        if (target.questions.size() == kMaxGenreQuestions) {
            return SourceError{row.line, 1, "more than " + std::to_string(kMaxGenreQuestions) + " questions in this genre"};
        }
        EncodedQuestion& question = target.questions.emplace_back();
        question.text = std::move(bytes[1]);
        std::move(bytes.begin() + 2, bytes.end(), question.choices.begin());
    }
    if (table.empty()) {
        return SourceError{0, 0, "the table holds no questions"};
    }
    std::optional<std::string> file = layOutQuizFile(genres);
    if (!file) {
        return SourceError{0, 0, "the quiz could not be laid out"};
    }
    built.file = std::move(*file);
    built.genres = static_cast<int>(genres.size());
    built.questions = static_cast<int>(table.size());
    return built;
}

std::optional<std::string> writeFileReplacing(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::path temporary = path;
    temporary += ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            return "cannot write " + temporary.string() + ": " + std::strerror(errno);
        }
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return "cannot write " + temporary.string();
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return "cannot replace " + path.string() + ": " + error.message();
    }
    return std::nullopt;
}

}  // namespace pp::kqd
