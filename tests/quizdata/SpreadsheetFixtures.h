#pragma once

// Small spreadsheet files made in the test from their XML parts, laid out as Excel and
// LibreOffice save them, and zipped with libzip.
#include <zip.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "QuizFixtures.h"

namespace pp::test {

// How a cell is stored: as text (shared in .xlsx), as inline text, as a number, or (in .xlsx
// only) as the given attributes and content of its <c> element, such as s="1"><v>17290</v>.
enum class CellKind { Text, Inline, Number, RawXlsx };

// The cell styles of the workbooks xlsxBytes makes, by their s attribute.
inline constexpr const char* kXlsxStyles =
    "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"yyyy/m/d\"/></numFmts>"
    "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\"/></cellStyleXfs>"
    "<cellXfs count=\"5\"><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/><xf numFmtId=\"9\"/>"
    "<xf numFmtId=\"49\"/><xf numFmtId=\"28\"/></cellXfs>";  // General, date, 0%, @, an era date

struct SheetCell {
    std::string text;  // UTF-8; for a number, the number as stored ("1600")
    CellKind kind = CellKind::Text;
};

using SheetRows = std::vector<std::vector<SheetCell>>;

using ZipParts = std::vector<std::pair<std::string, std::string>>;

inline std::string zipBytes(const ZipParts& parts, const std::filesystem::path& scratch) {
    int error = 0;
    zip_t* archive = zip_open(scratch.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    EXPECT_NE(archive, nullptr);
    for (const auto& [name, content] : parts) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        const zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
        EXPECT_GE(index, 0);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1);
    }
    EXPECT_EQ(zip_close(archive), 0);
    return readBytes(scratch);
}

inline std::string xmlEscaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

inline std::string columnLetters(std::size_t index) { return std::string(1, static_cast<char>('A' + index)); }

// An Excel workbook: texts in the shared strings (the first one with a phonetic guide, as
// Japanese Excel writes them), empty cells left out, rows numbered from `firstRow`.
inline std::string xlsxBytes(const SheetRows& rows, const std::filesystem::path& scratch,
                             const std::string& sheetName = "Sheet1") {
    const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    std::string shared;
    int sharedCount = 0;
    std::string sheet = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet xmlns=\"" + main +
                        "\"><dimension ref=\"A1:G" + std::to_string(rows.size()) + "\"/><sheetData>";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::string row = std::to_string(r + 1);
        sheet += "<row r=\"" + row + "\">";
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const SheetCell& cell = rows[r][c];
            const std::string ref = columnLetters(c) + row;
            if (cell.text.empty()) {
                continue;
            }
            if (cell.kind == CellKind::RawXlsx) {
                sheet += "<c r=\"" + ref + "\" " + cell.text + "</c>";
            } else if (cell.kind == CellKind::Number) {
                sheet += "<c r=\"" + ref + "\"><v>" + cell.text + "</v></c>";
            } else if (cell.kind == CellKind::Inline) {
                sheet += "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t>" + xmlEscaped(cell.text) + "</t></is></c>";
            } else {
                const std::string guide = sharedCount == 0 ? "<rPh sb=\"0\" eb=\"1\"><t>ヨミ</t></rPh>" : "";
                shared += "<si><t xml:space=\"preserve\">" + xmlEscaped(cell.text) + "</t>" + guide + "</si>";
                sheet += "<c r=\"" + ref + "\" t=\"s\"><v>" + std::to_string(sharedCount++) + "</v></c>";
            }
        }
        sheet += "</row>";
    }
    sheet += "</sheetData></worksheet>";
    const ZipParts parts{
        {"[Content_Types].xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default Extension=\"xml\" "
         "ContentType=\"application/xml\"/></Types>"},
        {"xl/workbook.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook xmlns=\"" + main +
             "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets><sheet name=\"" +
             xmlEscaped(sheetName) + "\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Other\" sheetId=\"2\" r:id=\"rId2\"/>"
             "</sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId2\" "
         "Type=\"worksheet\" Target=\"worksheets/sheet2.xml\"/><Relationship Id=\"rId1\" Type=\"worksheet\" "
         "Target=\"worksheets/sheet1.xml\"/></Relationships>"},
        {"xl/sharedStrings.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><sst xmlns=\"" + main + "\" count=\"" +
                                     std::to_string(sharedCount) + "\">" + shared + "</sst>"},
        {"xl/styles.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><styleSheet xmlns=\"" + main + "\">" +
                              kXlsxStyles + "</styleSheet>"},
        {"xl/worksheets/sheet1.xml", sheet},
        {"xl/worksheets/sheet2.xml", "<worksheet xmlns=\"" + main + "\"><sheetData/></worksheet>"},
    };
    return zipBytes(parts, scratch);
}

// A LibreOffice spreadsheet: equal neighbouring cells and empty stretches stored once with
// number-columns-repeated, numbers as floats beside the text they show (1600 as "1,600"), and
// the blank rest of the sheet as one repeated row.
inline std::string odsBytes(const SheetRows& rows, const std::filesystem::path& scratch,
                            const std::string& sheetName = "Sheet1") {
    std::string table;
    for (const auto& row : rows) {
        table += "<table:table-row>";
        for (std::size_t c = 0; c < row.size();) {
            std::size_t repeats = 1;
            while (c + repeats < row.size() && row[c + repeats].text == row[c].text &&
                   row[c + repeats].kind == row[c].kind) {
                ++repeats;
            }
            const SheetCell& cell = row[c];
            table += "<table:table-cell";
            if (repeats > 1) {
                table += " table:number-columns-repeated=\"" + std::to_string(repeats) + "\"";
            }
            if (cell.text.empty()) {
                table += "/>";
            } else if (cell.kind == CellKind::Number) {
                table += " office:value-type=\"float\" office:value=\"" + cell.text + "\"><text:p>" +
                         (cell.text == "1600" ? "1,600" : cell.text) + "</text:p></table:table-cell>";
            } else {
                table += " office:value-type=\"string\"><text:p>" + xmlEscaped(cell.text) +
                         "</text:p><office:annotation><text:p>a note</text:p></office:annotation></table:table-cell>";
            }
            c += repeats;
        }
        table += "<table:table-cell table:number-columns-repeated=\"1017\"/></table:table-row>";
    }
    table += "<table:table-row table:number-rows-repeated=\"1048570\"><table:table-cell "
             "table:number-columns-repeated=\"1024\"/></table:table-row>";
    const std::string content =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" office:version=\"1.3\"><office:body>"
        "<office:spreadsheet><table:table table:name=\"" + xmlEscaped(sheetName) + "\">" +
        "<table:table-column table:number-columns-repeated=\"1024\"/>" + table +
        "</table:table><table:table table:name=\"Other\"><table:table-row><table:table-cell office:value-type=\"string\">"
        "<text:p>x</text:p></table:table-cell></table:table-row></table:table></office:spreadsheet></office:body>"
        "</office:document-content>";
    return zipBytes({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", content}}, scratch);
}

}  // namespace pp::test
