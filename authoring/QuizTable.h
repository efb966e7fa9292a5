#pragma once

#include <array>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "quizdata/QuizFile.h"
#include "quizdata/QuizFormat.h"

namespace pp::kqd {

// A question's texts whole, not cut to the game's buffers: the question, then the choices with
// the right answer first.
using QuestionTexts = std::array<std::u16string, 1 + kChoiceCount>;
QuestionTexts wholeTexts(const Record& record);

// Why a table made of these texts would not give back `record` exactly, or nothing.
std::optional<std::string> roundTripProblem(const Record& record, const QuestionTexts& texts);

// A quiz file read back into the rows of a table, for writing it out as a spreadsheet.
struct QuizTable {
    struct Row {
        int genre = 0;
        QuestionTexts texts;
    };
    std::vector<std::u16string> genres;  // every genre up to the last one with a name or questions
    std::vector<int> counts;             // their question counts
    std::vector<Row> rows;               // in file order, so grouped by genre
    // Whether the genres' order cannot be told from the rows alone: a genre without questions
    // comes before the last genre used, or has a name.
    [[nodiscard]] bool needsGenreDirectives() const;
};

// Reads the quiz in `in`; the reason when the game would refuse the file. `warnings` gets a line
// for each question or genre that will not come back byte for byte from a table.
std::optional<std::string> readQuizTable(std::istream& in, QuizTable& table, std::vector<std::string>& warnings);

}  // namespace pp::kqd
