#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "authoring/Messages.h"
#include "authoring/SourceTable.h"

namespace pp::lazy {

// The spreadsheet readers, and libzip with them, live in a module loaded when the first .xlsx or
// .ods is opened. The module has its own copy of the message texts' lookup, so the catalogue to
// speak in is handed over with each call.
using SheetReaderEntry = std::optional<kqd::SourceError>(const std::filesystem::path& path, kqd::TableFormat format,
                                                         const kqd::RowSink& sink, std::string* sheetName,
                                                         const kqd::MessageCatalogue& catalogue);

inline constexpr const char* kSheetModule = "pocketperna-sheets";
inline constexpr const char* kSheetEntry = "pp_read_spreadsheet";

}  // namespace pp::lazy
