#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "authoring/SourceTable.h"

namespace pp::kqd {

// A source row's columns: genre name, question, right answer, four wrong answers. Empty
// cells after them are ignored.
inline constexpr int kSourceColumns = 7;

// Directives, lines of their own starting with kDirectivePrefix:
//   "#kqd: escapes"     from here on a backslash in a cell escapes the next character:
//                       \t a tab, \n a line break, \r a carriage return, anything else itself
//   "#kqd: genre NAME"  opens the next genre, even one without questions
inline constexpr std::string_view kEscapesDirective = "escapes";
inline constexpr std::string_view kGenreDirective = "genre";

struct BuildOptions {
    bool headerRow = false;        // the first row names the columns: skip it
    bool allowDuplicates = false;  // two equal choices are a warning, not an error
    bool columnLetters = false;    // name columns as a spreadsheet does (C, E) in messages
    bool includeHidden = false;    // build a sheet's hidden rows too
};

// Every error and warning of a build, found in one pass over the table; past kKept of each
// they are only counted. A warning's message starts with "warning: " (or "note: ").
struct Problems {
    static constexpr std::size_t kKept = 100;
    std::vector<SourceError> errors;
    std::vector<SourceError> warnings;
    std::int64_t errorCount = 0;
    std::int64_t warningCount = 0;

    void error(SourceError problem);
    void warning(SourceError problem);
    [[nodiscard]] bool failed() const { return errorCount > 0; }
    // The kept errors and warnings in table order: by line, then column (0, the whole line,
    // first); at one place errors before warnings.
    [[nodiscard]] std::vector<SourceError> sorted() const;
};

struct BuiltQuiz {
    std::string file;                    // the quiz file's bytes
    std::vector<SourceError> warnings;   // texts the game will show cut short, allowed duplicates
    int genres = 0;
    int questions = 0;
};

// Turns the table into a quiz file in memory: genres numbered in order of first appearance
// (or of their genre directives), questions grouped by genre in their order within it. On
// failure, the first problem in table order, with its line and column.
std::variant<BuiltQuiz, SourceError> buildQuiz(const SourceTable& table, const BuildOptions& options = {});

// The rows of a source, read from its start.
using RowSource = std::function<std::optional<SourceError>(const RowSink&)>;

// Writes `bytes` at `offset` of the output; false when the write fails.
using WriteAt = std::function<bool(std::int64_t offset, std::string_view bytes)>;

// Where checked questions wait, in table order, until every row has been checked: appended
// to, then read back once in pieces.
class Spill {
public:
    virtual ~Spill() = default;
    virtual bool append(std::string_view bytes) = 0;
    virtual bool replay(const std::function<bool(std::string_view)>& piece) = 0;
};

struct BuildReport {
    int genres = 0;
    std::int64_t questions = 0;
    Problems problems;
};

// Builds a quiz of any size a question at a time: reads `rows` once, checking each row and
// setting its record aside in `spill` with its genre, then writes the headers and moves each
// record to its genre's next place in the file. Only the genre table and each genre's next
// place are held in memory. Every row is checked, and nothing is written unless every row is
// good. A failed read, write or spill stops the build with an error (on line 0 for a write).
BuildReport buildQuizStreaming(const RowSource& rows, const BuildOptions& options,
                                                          Spill& spill, const WriteAt& write);

// The same for a table small enough to hold whole, as the game and the page open: `quiz` gets the
// quiz file's bytes, complete only when the report has no error.
BuildReport buildQuizInMemory(const RowSource& rows, const BuildOptions& options, std::string& quiz);

}  // namespace pp::kqd
