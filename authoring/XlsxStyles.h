#pragma once

// What an .xlsx says about showing its numbers: the number format of each cell style
// (xl/styles.xml) and the workbook's date system.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "authoring/NumberFormat.h"
#include "authoring/SheetXml.h"

namespace pp::kqd::sheet {

class XlsxStyles {
public:
    // Reads xl/styles.xml; a workbook without one shows every number in the General format.
    std::optional<SourceError> read(zip_t* archive, std::uint64_t maxBytes);

    // The format code of cell style `style` (a cell's s attribute); General when the style or
    // its format is unknown, as Excel shows such a cell.
    [[nodiscard]] std::u16string formatOf(int style) const;

private:
    std::vector<int> cellFormats_;                          // numFmtId of each cellXfs entry
    std::vector<std::pair<int, std::u16string>> custom_;  // numFmtId, formatCode
};

}  // namespace pp::kqd::sheet
