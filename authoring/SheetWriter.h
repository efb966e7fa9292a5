#pragma once

#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "authoring/QuizTable.h"

namespace pp::kqd {

enum class SheetFormat { Xlsx, Ods };

// The spreadsheet format a file name asks for (.xlsx or .ods, any case), or nothing.
std::optional<SheetFormat> sheetFormatOf(const std::filesystem::path& path);

// One sheet of a workbook to write. Every cell is stored as text in a column formatted as text,
// so that a spreadsheet program shows "0123" and "2.50" as they are and keeps them so when the
// teacher types over them.
struct SheetCells {
    std::string name;  // UTF-8
    std::vector<std::vector<std::u16string>> rows;
    // The quiz's own layout: the first row names the columns in bold and stays in view, and the
    // right answer's column is marked in colour.
    bool quizLayout = false;
};
using Workbook = std::vector<SheetCells>;

// The header row of the quiz layout, which kqd recognises by its words.
const std::vector<std::u16string>& quizHeaderRow();

// The workbook of a quiz: one sheet in the quiz layout with a row for each question.
Workbook quizWorkbook(const QuizTable& table);

// The template quiz makers start from: the quiz layout with two example rows, and a second sheet
// that explains the columns and their limits.
Workbook templateWorkbook();

// The bytes of the workbook as an .xlsx or .ods file; empty when it would pass 4 GiB.
std::string writeWorkbook(const Workbook& workbook, SheetFormat format);

// The quiz file in `quiz` as a spreadsheet for editing, in `bytes`; the reason when the game
// would refuse the file. `warnings` gets a line for each text that will not come back byte for
// byte when the spreadsheet is built again.
std::optional<std::string> quizAsSpreadsheet(std::istream& quiz, SheetFormat format, std::string& bytes,
                                             std::vector<std::string>& warnings);

}  // namespace pp::kqd
