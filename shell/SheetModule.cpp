// The module opening a spreadsheet loads: the .xlsx and .ods readers and, through them, libzip.

#include <QtGlobal>

#include <mutex>
#include <type_traits>

#include "authoring/Spreadsheet.h"
#include "shell/SheetReading.h"

extern "C" Q_DECL_EXPORT void pp_read_spreadsheet(const std::filesystem::path& path, pp::kqd::TableFormat format,
                                                  const pp::kqd::RowSink& sink, std::string* sheetName,
                                                  const pp::kqd::MessageCatalogue& catalogue,
                                                  std::optional<pp::kqd::SourceError>& problem) {
    static std::once_flag once;
    std::call_once(once, [&] { pp::kqd::setMessageCatalogue(catalogue); });
    problem = pp::kqd::readSpreadsheetFile(path, format, sink, sheetName);
}
static_assert(std::is_same_v<decltype(pp_read_spreadsheet), pp::lazy::SheetReaderEntry>);
