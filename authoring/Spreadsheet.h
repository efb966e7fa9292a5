#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "authoring/SourceTable.h"

namespace pp::kqd {

// The first sheet of a spreadsheet file, read row by row in the same seven columns as a text
// table: an Office Open XML workbook (.xlsx, as Excel saves it) or an OpenDocument spreadsheet
// (.ods, as LibreOffice saves it). A row's `line` is its row number; its cells are dense from
// column A, empty where the sheet has nothing, and end with its last non-empty cell. A cell
// that holds a number gives the number as the spreadsheet shows it without a format
// ("1600", "0.5"). A first cell starting with '#' makes a comment row, with kDirectivePrefix
// a directive, as in a text table.

// No part of the file is read beyond this many bytes uncompressed, so that a small file that
// unpacks to gigabytes is refused rather than read.
inline constexpr std::uint64_t kMaxPartBytes = std::uint64_t{128} << 20;

// A row's cells are read up to this column: text further right is refused at once, so that a
// hostile sheet cannot make every row thousands of cells wide. Empty cells there are ignored.
inline constexpr int kMaxReadColumns = 64;

// The entry points for a file held in memory; `sheetName` receives the first sheet's name.
std::optional<SourceError> readXlsx(std::string_view bytes, const RowSink& sink, std::string* sheetName,
                                    std::uint64_t maxPartBytes = kMaxPartBytes);
std::optional<SourceError> readOds(std::string_view bytes, const RowSink& sink, std::string* sheetName,
                                   std::uint64_t maxPartBytes = kMaxPartBytes);

// Which sheet to read: the one of that name, else the one at that place (from 1), else the first.
struct SheetChoice {
    std::string name;
    int number = 0;
};

// The same for the file at `path`, in the format given (Xlsx or Ods), from the sheet chosen.
std::optional<SourceError> readSpreadsheetFile(const std::filesystem::path& path, TableFormat format,
                                               const RowSink& sink, std::string* sheetName,
                                               const SheetChoice& choice = {});

}  // namespace pp::kqd
