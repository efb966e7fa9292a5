#pragma once

// What an .xlsx says about showing its numbers: the number format of each cell style
// (xl/styles.xml).
#include <cstdint>
#include <optional>

#include "authoring/SheetCells.h"
#include "authoring/SheetXml.h"

namespace pp::kqd::sheet {

// Reads xl/styles.xml into `formats`; a workbook without one shows every number in the General
// format.
std::optional<SourceError> readXlsxStyles(zip_t* archive, std::uint64_t maxBytes, XlsxFormats& formats);

}  // namespace pp::kqd::sheet
