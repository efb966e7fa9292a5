#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pp::kqd {

// The question tables that quiz makers write: UTF-8, one question a line, as tab-separated
// values (no quoting at all) or comma-separated values (RFC 4180 quoting, which lets a cell
// hold commas, quotes and line breaks). Blank lines and lines starting with '#' are skipped.
enum class TableFormat { Tsv, Csv };

// The format the file's extension names (.tsv or .csv, any case), or nothing.
std::optional<TableFormat> tableFormatOf(const std::filesystem::path& path);

struct SourceRow {
    int line = 0;  // where the row starts, counted from 1
    std::vector<std::u16string> cells;
};

// A problem in the source; column counts from 1, 0 means the line as a whole.
struct SourceError {
    int line = 0;
    int column = 0;
    std::string message;
};

using SourceTable = std::vector<SourceRow>;

// Splits `text` into rows of cells; a byte-order mark at the start is dropped. Rows whose
// cells are all empty (a spreadsheet's trailing ",,,,,,") count as blank.
std::variant<SourceTable, SourceError> parseSourceTable(std::string_view text, TableFormat format);

}  // namespace pp::kqd
