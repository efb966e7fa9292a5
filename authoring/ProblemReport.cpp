#include "authoring/ProblemReport.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "authoring/Messages.h"

namespace pp::kqd {
namespace {

// `one` or `many` (each holding %1 for the count) as the count asks.
std::string counted(std::int64_t count, const std::string& one, const std::string& many) {
    return fill(count == 1 ? one : many, {std::to_string(count)});
}

}  // namespace

std::string spreadsheetPlace(const SourceError& problem, const std::optional<std::string>& sheet) {
    if (problem.line <= 0) {
        return {};
    }
    if (problem.column <= 0) {
        return (sheet ? *sheet + " " : std::string()) + std::to_string(problem.line) + "行目";
    }
    if (sheet) {
        return cellName(*sheet, problem.line, problem.column);
    }
    std::string letters;
    for (int c = problem.column; c > 0; c = (c - 1) / 26) {
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    }
    return letters + std::to_string(problem.line);
}

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
                                            : fill(msg("%1 row %2"), {*sheet, std::to_string(problem.line)}));
    } else if (problem.line > 0) {
        where += ":" + std::to_string(problem.line);
        if (problem.column > 0) {
            where += ":" + std::to_string(problem.column);
        }
        if (const LineNumber row = rows != nullptr ? rows->rowOf(problem.line) : problem.line; row != problem.line) {
            where += fill(msg(" (row %1 in a spreadsheet)"), {std::to_string(row)});
        }
    }
    return where + ": " + problem.message;
}

std::vector<std::string> reportLines(const ReportSource& source, const Problems& problems) {
    std::vector<std::string> lines;
    for (SourceError problem : problems.sorted()) {
        if (problem.message == invalidTextMessage(TextEncoding::Utf8) ||
            problem.message == invalidTextMessage(TextEncoding::Cp932)) {
            problem.message += source.badTextHint;
        }
        lines.push_back(locateProblem(source.file, source.sheet, problem, source.rows));
    }
    const std::int64_t moreErrors = problems.errorCount - static_cast<std::int64_t>(problems.errors.size());
    const std::int64_t moreWarnings = problems.warningCount - static_cast<std::int64_t>(problems.warnings.size());
    if (moreErrors > 0 || moreWarnings > 0) {
        lines.push_back(source.file + ": " +
                        fill(msg("and %1, %2 not listed"),
                             {counted(moreErrors, msg("%1 more error"), msg("%1 more errors")),
                              counted(moreWarnings, msg("%1 more warning"), msg("%1 more warnings"))}));
    }
    if (problems.failed() && problems.errorCount + problems.warningCount > 1) {
        const std::string errors = counted(problems.errorCount, msg("%1 error"), msg("%1 errors"));
        lines.push_back(source.file + ": " +
                        (problems.warningCount > 0
                             ? fill(msg("%1, %2; nothing written"),
                                    {errors, counted(problems.warningCount, msg("%1 warning"), msg("%1 warnings"))})
                             : fill(msg("%1; nothing written"), {errors})));
    }
    return lines;
}

}  // namespace pp::kqd
