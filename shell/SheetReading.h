#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "authoring/Messages.h"
#include "authoring/SourceTable.h"

namespace pp::lazy {

// The spreadsheet readers, and libzip with them, live in a module loaded when the first .xlsx or
// .ods is opened. The module has its own copy of the message texts' lookup, so the catalogue to
// speak in is handed over with each call. What the reader found wrong comes back in `problem`,
// since a function of C linkage returns no C++ object.
using SheetReaderEntry = void(const std::filesystem::path& path, kqd::TableFormat format, const kqd::RowSink& sink,
                              std::string* sheetName, const kqd::MessageCatalogue& catalogue,
                              std::optional<kqd::SourceError>& problem);

inline constexpr const char* kSheetModule = "pocketperna-sheets";
inline constexpr const char* kSheetEntry = "pp_read_spreadsheet";

}  // namespace pp::lazy
