// kqd's spreadsheet readers (.xlsx, .ods) on hostile files: any bytes as an archive, and any XML
// as the parts of a well-formed archive. An error names a row of the sheet or the file as a
// whole; rows come in order with at most kMaxReadColumns valid UTF-16 cells.

#include <zip.h>

#include "FuzzCheck.h"
#include "authoring/Spreadsheet.h"

namespace {

using namespace pp::kqd;

// Small, so that a part claiming gigabytes is refused quickly.
constexpr std::uint64_t kPartLimit = 1 << 20;

constexpr std::string_view kWorkbook =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook "
    "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
    "<sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
constexpr std::string_view kWorkbookRelations =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
    "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\" "
    "Type=\"worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>";

using Parts = std::vector<std::pair<const char*, std::string_view>>;

// The parts stored uncompressed in a zip archive made in memory.
std::string zipped(const Parts& parts) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    FUZZ_CHECK(buffer != nullptr);
    zip_source_keep(buffer);
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    FUZZ_CHECK(archive != nullptr);
    for (const auto& [name, content] : parts) {
        zip_source_t* part = zip_source_buffer(archive, content.data(), content.size(), 0);
        const zip_int64_t index = zip_file_add(archive, name, part, ZIP_FL_ENC_UTF_8);
        FUZZ_CHECK(index >= 0);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    FUZZ_CHECK(zip_close(archive) == 0);
    std::string bytes;
    FUZZ_CHECK(zip_source_open(buffer) == 0);
    char piece[4096];
    for (zip_int64_t got; (got = zip_source_read(buffer, piece, sizeof piece)) > 0;) {
        bytes.append(piece, static_cast<std::size_t>(got));
    }
    zip_source_close(buffer);
    zip_source_free(buffer);
    return bytes;
}

// Rows are checked as they come and not kept: a short file may rightly repeat a row a million
// times, so the sink stops the reading after this many, which also checks that its error is
// passed on.
constexpr int kRowsChecked = 4096;

void checkSheet(std::string_view bytes, bool xlsx) {
    std::string sheetName;
    int rows = 0;
    LineNumber previous = 0;
    const RowSink sink = [&](SourceRow&& row) -> std::optional<SourceError> {
        FUZZ_CHECK(row.line > previous && row.line <= 1048576);
        previous = row.line;
        FUZZ_CHECK(row.cells.size() <= static_cast<std::size_t>(kMaxReadColumns));
        for (const std::u16string& cell : row.cells) {
            FUZZ_CHECK(pp::fuzz::isValidUtf16(cell));
        }
        if (++rows == kRowsChecked) {
            return SourceError{row.line, 0, "enough rows"};
        }
        return std::nullopt;
    };
    const std::optional<SourceError> error =
        xlsx ? readXlsx(bytes, sink, &sheetName, kPartLimit) : readOds(bytes, sink, &sheetName, kPartLimit);
    if (rows == kRowsChecked) {
        FUZZ_CHECK(error && error->message == "enough rows" && error->line == previous);
    } else if (error) {
        FUZZ_CHECK(error->line >= 0 && error->line <= 1048576);
        FUZZ_CHECK(error->column >= 0);
        FUZZ_CHECK(!error->message.empty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pp::fuzz::Input input(data, size);
    const std::uint8_t choice = input.byte();
    const bool xlsx = (choice & 1) == 0;
    if ((choice & 2) != 0) {
        checkSheet(input.rest(), xlsx);  // the bytes as the archive itself
        return 0;
    }
    // The bytes as the parts that hold the cells: for .xlsx the shared texts, then the sheet
    // after the first NUL; for .ods the content.
    const std::string_view rest = input.rest();
    if (xlsx) {
        const std::size_t split = std::min(rest.find('\0'), rest.size());
        const std::string_view shared = rest.substr(0, split);
        const std::string_view sheet = rest.substr(std::min(split + 1, rest.size()));
        checkSheet(zipped({{"xl/workbook.xml", kWorkbook},
                           {"xl/_rels/workbook.xml.rels", kWorkbookRelations},
                           {"xl/sharedStrings.xml", shared},
                           {"xl/worksheets/sheet1.xml", sheet}}),
                   true);
    } else {
        checkSheet(zipped({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", rest}}),
                   false);
    }
    return 0;
}
