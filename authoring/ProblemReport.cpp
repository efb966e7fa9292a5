#include "authoring/ProblemReport.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace pp::kqd {
namespace {

std::string plural(std::int64_t count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

std::string cellName(std::string_view sheet, LineNumber row, int column) {
    std::string letters;
    for (int c = column; c > 0; c = (c - 1) / 26) {
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    }
    const bool plain = !sheet.empty() && std::all_of(sheet.begin(), sheet.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80;
    });
    std::string quoted;
    if (!plain) {
        quoted = "'";
        for (const char c : sheet) {
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        }
        quoted += "'";
    }
    return (plain ? std::string(sheet) : quoted) + "!" + letters + std::to_string(row);
}

void SpreadsheetRows::add(LineNumber line, std::int64_t breaks) {
    if (breaks > 0) {
        const LineNumber row = rowOf(line);
        records_.push_back({line, row, breaks});
    }
}

LineNumber SpreadsheetRows::rowOf(LineNumber line) const {
    const auto after = std::upper_bound(records_.begin(), records_.end(), line,
                                        [](LineNumber l, const Record& r) { return l < r.line; });
    if (after == records_.begin()) {
        return line;
    }
    const Record& last = *std::prev(after);
    return line <= last.line + last.breaks ? last.row : line - (last.line - last.row) - last.breaks;
}

std::string locateProblem(const std::string& file, const std::optional<std::string>& sheet, const SourceError& problem,
                          const SpreadsheetRows* rows) {
    std::string where = file;
    if (sheet && problem.line > 0) {
        where += ": " + (problem.column > 0 ? cellName(*sheet, problem.line, problem.column)
                                            : *sheet + " row " + std::to_string(problem.line));
    } else if (problem.line > 0) {
        where += ":" + std::to_string(problem.line);
        if (problem.column > 0) {
            where += ":" + std::to_string(problem.column);
        }
        if (const LineNumber row = rows != nullptr ? rows->rowOf(problem.line) : problem.line; row != problem.line) {
            where += " (row " + std::to_string(row) + " in a spreadsheet)";
        }
    }
    return where + ": " + problem.message;
}

std::vector<std::string> reportLines(const ReportSource& source, const Problems& problems) {
    std::vector<std::string> lines;
    for (SourceError problem : problems.sorted()) {
        if (problem.message.starts_with("the text is not valid ")) {
            problem.message += source.badTextHint;
        }
        lines.push_back(locateProblem(source.file, source.sheet, problem, source.rows));
    }
    const std::int64_t moreErrors = problems.errorCount - static_cast<std::int64_t>(problems.errors.size());
    const std::int64_t moreWarnings = problems.warningCount - static_cast<std::int64_t>(problems.warnings.size());
    if (moreErrors > 0 || moreWarnings > 0) {
        lines.push_back(source.file + ": and " + plural(moreErrors, "more error") + ", " +
                        plural(moreWarnings, "more warning") + " not listed");
    }
    if (problems.failed() && problems.errorCount + problems.warningCount > 1) {
        lines.push_back(source.file + ": " + plural(problems.errorCount, "error") +
                        (problems.warningCount > 0 ? ", " + plural(problems.warningCount, "warning") : std::string()) +
                        "; nothing written");
    }
    return lines;
}

}  // namespace pp::kqd
