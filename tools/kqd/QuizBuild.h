#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "SourceTable.h"

namespace pp::kqd {

// A source row's columns: genre name, question, right answer, four wrong answers.
inline constexpr int kSourceColumns = 7;

struct BuiltQuiz {
    std::string file;                    // the quiz file's bytes
    std::vector<SourceError> warnings;   // texts the game will show cut short
    int genres = 0;
    int questions = 0;
};

// Turns the table into a quiz file: genres numbered in order of first appearance, questions
// grouped by genre in their order within it. The first problem names its line and column.
std::variant<BuiltQuiz, SourceError> buildQuiz(const SourceTable& table);

// Writes `bytes` to `path` through a temporary file in the same folder that is renamed into
// place, so that a failed write never leaves a partial file. Returns an error line, or nothing.
std::optional<std::string> writeFileReplacing(const std::filesystem::path& path, std::string_view bytes);

}  // namespace pp::kqd
