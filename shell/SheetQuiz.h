#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pp {

// A question table a teacher keeps (.xlsx, .ods, .csv or .tsv), built into a quiz in memory by
// the same readers and checks as kqd, so that the game opens the table itself.

// True for a file whose name says it is a question table rather than a quiz file.
bool isQuestionTable(const std::filesystem::path& path);

// One problem of the table: where it is, as the sheet names it ("Sheet1!C5", "C5", "5行目"),
// and what is wrong, in Japanese.
struct SheetProblem {
    std::string place;
    std::string message;
    bool error = false;
};

struct SheetBuild {
    std::optional<std::string> quiz;    // the quiz file's bytes; none while an error remains
    std::vector<SheetProblem> problems;  // every error and warning kept, in table order
    std::int64_t unlisted = 0;           // problems past the kept ones, only counted
    std::int64_t questions = 0;
    int genres = 0;
};

// Reads the table at `path` and builds its quiz, finding every problem in one pass. A spreadsheet
// is read by the module named `readerModule` (the game's own unless a test names another).
SheetBuild buildSheetQuiz(const std::filesystem::path& path, const char* readerModule = nullptr);

// Where the quiz built from the table at `source` is kept for the game to read, in `folder`: one
// file a table, named after it, so that the missed questions kept for it find it again.
std::filesystem::path builtQuizPath(const std::filesystem::path& folder, const std::filesystem::path& source);

// Writes `quiz` at `path` unless the file there already holds those bytes: left untouched, it
// keeps the missed questions of its last game. False when it cannot be written.
bool keepBuiltQuiz(const std::filesystem::path& path, const std::string& quiz);

}  // namespace pp
