#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "authoring/QuizBuild.h"
#include "authoring/SourceTable.h"

namespace pp::kqd {

// How a spreadsheet user names a cell: "Sheet1!C5", "'My quiz'!A1".
std::string cellName(std::string_view sheet, LineNumber row, int column);

// The rows of a CSV table whose cells hold line breaks: a spreadsheet shows such a record as one
// row, so every row after it sits higher in the sheet than its line in the file.
class SpreadsheetRows {
public:
    // Notes the row starting at `line` whose cells hold `breaks` line breaks.
    void add(LineNumber line, std::int64_t breaks);
    // The row a spreadsheet shows the text at `line` in.
    [[nodiscard]] LineNumber rowOf(LineNumber line) const;

private:
    struct Record {
        LineNumber line;
        LineNumber row;
        std::int64_t breaks;
    };
    std::vector<Record> records_;
};

// Where a problem is, as a spreadsheet program names it, for a report beside the sheet:
// "Sheet1!C5" in a spreadsheet; "C5" or "5行目" in a text table, which a spreadsheet program
// opens with its lines as rows and its fields as lettered columns; empty for the file as a whole.
std::string spreadsheetPlace(const SourceError& problem, const std::optional<std::string>& sheet);

// Where a problem is, as the user reads the source, followed by its message: "FILE:LINE:COLUMN"
// in a text table, "FILE: Sheet1!C5" in a spreadsheet; it leaves out what the problem does not
// name. In a CSV table whose cells hold line breaks, the row a spreadsheet shows follows the line.
std::string locateProblem(const std::string& file, const std::optional<std::string>& sheet, const SourceError& problem,
                          const SpreadsheetRows* rows = nullptr);

// What the source was and how to name its places in a report.
struct ReportSource {
    std::string file;                   // as the user gave it
    std::optional<std::string> sheet;   // the sheet read, for a spreadsheet
    std::string badTextHint;            // appended to an encoding error
    const SpreadsheetRows* rows = nullptr;
};

// The lines of a build's report, without a program's prefix: every kept problem in table order,
// then how many were not listed, then, when the build failed with several problems, the count.
std::vector<std::string> reportLines(const ReportSource& source, const Problems& problems);

}  // namespace pp::kqd
