#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pp::kqd {

// The question tables that quiz makers write, one question a row: tab-separated values (no
// quoting at all), comma-separated values (RFC 4180 quoting, which lets a cell hold commas,
// quotes and line breaks), or the first sheet of a spreadsheet (Spreadsheet.h). Blank lines
// and lines starting with '#' are skipped; a line starting with kDirectivePrefix is a
// directive for the builder (QuizBuild.h).
enum class TableFormat { Tsv, Csv, Xlsx, Ods };

// How the bytes of a text table are read: Japanese spreadsheets save CSV in code page 932.
enum class TextEncoding { Utf8, Cp932 };

inline constexpr std::string_view kDirectivePrefix = "#kqd:";

// Line and row numbers are 64-bit: a table of more than 2^31 lines must not overflow them.
using LineNumber = std::int64_t;

// The format the file's extension names (.tsv, .csv, .xlsx or .ods, any case), or nothing.
std::optional<TableFormat> tableFormatOf(const std::filesystem::path& path);

// A problem in the source; column counts from 1, 0 means the line as a whole.
struct SourceError {
    LineNumber line = 0;
    int column = 0;
    std::string message;
};

struct SourceRow {
    LineNumber line = 0;  // where the row starts, counted from 1 (in a sheet, its row number)
    std::vector<std::u16string> cells;
    bool directive = false;  // a directive line: cells[0] holds what follows kDirectivePrefix
    // Cells the reader refused (an error value, a formula saved without its result, a number
    // format it cannot show), each by its column: the row's check reports them.
    std::vector<SourceError> problems = {};
    bool hidden = false;  // a sheet's hidden row (hidden by hand or by a filter)
};

using SourceTable = std::vector<SourceRow>;

// Takes each row as it is read; an error it returns stops the reading and is passed on.
using RowSink = std::function<std::optional<SourceError>(SourceRow&&)>;

// Splits UTF-8 `text` into rows of cells; a byte-order mark at the start is dropped. Rows whose
// cells are all empty (a spreadsheet's trailing ",,,,,,") count as blank.
std::variant<SourceTable, SourceError> parseSourceTable(std::string_view text, TableFormat format);

// The same a row at a time, in either encoding, numbering lines from `firstLine`. This is the
// entry point for reading a table held in memory.
std::optional<SourceError> parseSourceTable(std::string_view text, TableFormat format, TextEncoding encoding,
                                            const RowSink& sink, LineNumber firstLine = 1);

// The same from a stream, read a piece at a time so that a large table never sits in memory
// whole. A row longer than kMaxRowBytes is refused.
inline constexpr std::size_t kMaxRowBytes = 1 << 20;
std::optional<SourceError> readSourceTable(std::istream& in, TableFormat format, TextEncoding encoding,
                                           const RowSink& sink);

// The error of a text table's row that is not valid in `encoding`.
std::string invalidTextMessage(TextEncoding encoding);

// What a text table's bytes are: UTF-8 when they are valid UTF-8, else code page 932 when
// they decode without an invalid or unmapped sequence, else nothing. Reads `in` to its end.
// When it is neither, `closest` gets the one whose first bad line comes later, so that the
// error can name where the table goes wrong rather than its first non-ASCII cell.
std::optional<TextEncoding> detectEncoding(std::istream& in, TextEncoding* closest = nullptr);

}  // namespace pp::kqd
