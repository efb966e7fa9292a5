#include "authoring/SheetWriter.h"

#include <algorithm>
#include <cstdio>

#include "authoring/QuizBuild.h"
#include "authoring/SourceTable.h"
#include "authoring/ZipWriter.h"
#include "encoding/Utf8.h"

namespace pp::kqd {
namespace {

constexpr int kRightAnswerColumn = 2;  // counted from 0: genre, question, right answer, ...
constexpr int kNarrowestColumn = 8;    // in widths of a half-width digit
constexpr int kWidestColumn = 80;

std::string utf8(std::u16string_view text) { return utf8FromUtf16(text); }

// How many half-width places a line of text takes on screen: two for a full-width character.
int displayWidth(std::u16string_view line) {
    int width = 0;
    for (const char16_t c : line) {
        const bool narrow = c < 0x1100 || (c >= 0xFF61 && c <= 0xFF9F) || (c >= 0xDC00 && c <= 0xDFFF);
        width += narrow ? 1 : 2;
    }
    return width;
}

// Each column's width, the widest line of its cells with a little room, within bounds.
std::vector<int> columnWidths(const SheetCells& sheet) {
    std::vector<int> widths;
    for (const auto& row : sheet.rows) {
        widths.resize(std::max(widths.size(), row.size()), kNarrowestColumn);
        for (std::size_t c = 0; c < row.size(); ++c) {
            std::u16string_view rest = row[c];
            while (true) {
                const std::size_t end = rest.find(u'\n');
                widths[c] = std::max(widths[c], std::min(kWidestColumn, displayWidth(rest.substr(0, end)) + 2));
                if (end == std::u16string_view::npos) {
                    break;
                }
                rest.remove_prefix(end + 1);
            }
        }
    }
    return widths;
}

std::string xmlEscaped(std::string_view text) {
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

std::string hex4(unsigned value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%04X", value & 0xFFFF);
    return buffer;
}

bool isHex(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f'); }

// A text as an .xlsx file stores it: control characters XML cannot hold as "_xHHHH_", and an
// underscore that would read as the start of such an escape escaped itself.
std::string xlsxText(std::u16string_view text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool looksEscaped = c == u'_' && i + 6 < text.size() && (text[i + 1] == u'x' || text[i + 1] == u'X') &&
                                  isHex(text[i + 2]) && isHex(text[i + 3]) && isHex(text[i + 4]) &&
                                  isHex(text[i + 5]) && text[i + 6] == u'_';
        if (looksEscaped || (c < 0x20 && c != u'\t' && c != u'\n')) {
            const std::string escape = "_x" + hex4(c) + "_";
            out.append(escape.begin(), escape.end());
        } else {
            out += c;
        }
    }
    return xmlEscaped(utf8(out));
}

// A column's letters: 0 is A, 26 is AA.
std::string columnLetters(std::size_t column) {
    std::string letters;
    for (std::size_t c = column + 1; c > 0; c = (c - 1) / 26) {
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    }
    return letters;
}

// Cell styles of styles.xml, by their place in <cellXfs>.
enum XlsxStyle { kXfDefault = 0, kXfText, kXfHeader, kXfRightHeader, kXfRightText };

std::string xlsxStyles() {
    // Number format 49 is "@", text: what the teacher types later stays as typed too.
    return R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<fonts count="2"><font><sz val="11"/><name val="Calibri"/><family val="2"/></font><font><b/><sz val="11"/><name val="Calibri"/><family val="2"/></font></fonts>
<fills count="4"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill><fill><patternFill patternType="solid"><fgColor rgb="FFFFD966"/><bgColor indexed="64"/></patternFill></fill><fill><patternFill patternType="solid"><fgColor rgb="FFFFF2CC"/><bgColor indexed="64"/></patternFill></fill></fills>
<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>
<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>
<cellXfs count="5"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/><xf numFmtId="49" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/><xf numFmtId="49" fontId="1" fillId="0" borderId="0" xfId="0" applyNumberFormat="1" applyFont="1"/><xf numFmtId="49" fontId="1" fillId="2" borderId="0" xfId="0" applyNumberFormat="1" applyFont="1" applyFill="1"/><xf numFmtId="49" fontId="0" fillId="3" borderId="0" xfId="0" applyNumberFormat="1" applyFill="1"/></cellXfs>
<cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/></cellStyles>
</styleSheet>
)";
}

int xlsxCellStyle(const SheetCells& sheet, std::size_t row, std::size_t column) {
    if (!sheet.quizLayout) {
        return kXfText;
    }
    const bool right = column == kRightAnswerColumn;
    if (row == 0) {
        return right ? kXfRightHeader : kXfHeader;
    }
    return right ? kXfRightText : kXfText;
}

std::string xlsxSheet(const SheetCells& sheet, std::vector<std::u16string>& strings) {
    std::string xml = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)";
    if (sheet.quizLayout) {
        xml += R"(<sheetViews><sheetView workbookViewId="0"><pane ySplit="1" topLeftCell="A2" activePane="bottomLeft" state="frozen"/></sheetView></sheetViews>)";
    }
    const std::vector<int> widths = columnWidths(sheet);
    if (!widths.empty()) {
        xml += "<cols>";
        for (std::size_t c = 0; c < widths.size(); ++c) {
            const int style = sheet.quizLayout && c == kRightAnswerColumn ? kXfRightText : kXfText;
            xml += "<col min=\"" + std::to_string(c + 1) + "\" max=\"" + std::to_string(c + 1) + "\" width=\"" +
                   std::to_string(widths[c]) + "\" style=\"" + std::to_string(style) + "\" customWidth=\"1\"/>";
        }
        xml += "</cols>";
    }
    xml += "<sheetData>";
    for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
        const std::string number = std::to_string(r + 1);
        xml += "<row r=\"" + number + "\">";
        for (std::size_t c = 0; c < sheet.rows[r].size(); ++c) {
            const std::u16string& text = sheet.rows[r][c];
            if (text.empty()) {
                continue;
            }
            xml += "<c r=\"" + columnLetters(c) + number + "\" s=\"" + std::to_string(xlsxCellStyle(sheet, r, c)) +
                   "\" t=\"s\"><v>" + std::to_string(strings.size()) + "</v></c>";
            strings.push_back(text);
        }
        xml += "</row>";
    }
    return xml + "</sheetData></worksheet>\n";
}

std::string writeXlsx(const Workbook& workbook) {
    std::string types = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/><Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/><Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>)";
    std::string book = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>)";
    std::string relations = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
    std::vector<std::u16string> strings;
    std::vector<std::string> sheets;
    for (std::size_t s = 0; s < workbook.size(); ++s) {
        const std::string n = std::to_string(s + 1);
        types += "<Override PartName=\"/xl/worksheets/sheet" + n +
                 ".xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
        book += "<sheet name=\"" + xmlEscaped(workbook[s].name) + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        relations += "<Relationship Id=\"rId" + n +
                     "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
                     "Target=\"worksheets/sheet" + n + ".xml\"/>";
        sheets.push_back(xlsxSheet(workbook[s], strings));
    }
    const std::string next = std::to_string(workbook.size() + 1);
    const std::string after = std::to_string(workbook.size() + 2);
    relations += "<Relationship Id=\"rId" + next +
                 "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
                 "Target=\"styles.xml\"/><Relationship Id=\"rId" + after +
                 "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
                 "Target=\"sharedStrings.xml\"/></Relationships>\n";
    std::string shared = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count=")" +
                         std::to_string(strings.size()) + "\" uniqueCount=\"" + std::to_string(strings.size()) + "\">";
    for (const std::u16string& text : strings) {
        shared += "<si><t xml:space=\"preserve\">" + xlsxText(text) + "</t></si>";
    }
    shared += "</sst>\n";

    ZipWriter zip;
    zip.add("[Content_Types].xml", types + "</Types>\n");
    zip.add("_rels/.rels", R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>
)");
    zip.add("xl/workbook.xml", book + "</sheets></workbook>\n");
    zip.add("xl/_rels/workbook.xml.rels", relations);
    zip.add("xl/styles.xml", xlsxStyles());
    zip.add("xl/sharedStrings.xml", shared);
    for (std::size_t s = 0; s < sheets.size(); ++s) {
        zip.add("xl/worksheets/sheet" + std::to_string(s + 1) + ".xml", sheets[s]);
    }
    return zip.finish();
}

// A text as an OpenDocument cell holds it: a paragraph per line, runs of spaces and tabs as the
// elements that keep them, since XML readers there fold plain white space.
std::string odsParagraphs(std::u16string_view text) {
    std::string out = "<text:p>";
    std::size_t spaces = 0;
    bool lineStart = true;
    const auto flushSpaces = [&] {
        if (spaces == 0) {
            return;
        }
        // One space after a character is kept as it is; a run, or spaces opening a line, are counted.
        if (!lineStart) {
            out += ' ';
            --spaces;
        }
        if (spaces == 1) {
            out += "<text:s/>";
        } else if (spaces > 1) {
            out += "<text:s text:c=\"" + std::to_string(spaces) + "\"/>";
        }
        spaces = 0;
    };
    std::u16string run;
    const auto flushRun = [&] {
        out += xmlEscaped(utf8(run));
        run.clear();
    };
    for (const char16_t c : text) {
        if (c == u' ') {
            flushRun();
            ++spaces;
            continue;
        }
        flushSpaces();
        if (c == u'\n' || c == u'\r') {
            flushRun();
            out += "</text:p><text:p>";
            lineStart = true;
            continue;
        }
        lineStart = false;
        if (c == u'\t') {
            flushRun();
            out += "<text:tab/>";
        } else if (c >= 0x20) {
            run += c;
        }
    }
    flushRun();
    flushSpaces();
    return out + "</text:p>";
}

// Column widths of OpenDocument in centimetres: a half-width place at 10 points is about 0.2 cm.
std::string odsWidth(int places) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2fcm", places * 0.2);
    return buffer;
}

std::string odsContent(const Workbook& workbook) {
    std::string styles;
    std::string body;
    int columnStyles = 0;
    for (const SheetCells& sheet : workbook) {
        body += "<table:table table:name=\"" + xmlEscaped(sheet.name) + "\">";
        const std::vector<int> widths = columnWidths(sheet);
        for (std::size_t c = 0; c < widths.size(); ++c) {
            const std::string name = "co" + std::to_string(++columnStyles);
            styles += "<style:style style:name=\"" + name +
                      "\" style:family=\"table-column\"><style:table-column-properties fo:break-before=\"auto\" "
                      "style:column-width=\"" + odsWidth(widths[c]) + "\"/></style:style>";
            const bool right = sheet.quizLayout && c == kRightAnswerColumn;
            body += "<table:table-column table:style-name=\"" + name + "\" table:default-cell-style-name=\"" +
                    (right ? "ceRight" : "ceText") + "\"/>";
        }
        for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
            const bool header = sheet.quizLayout && r == 0;
            body += header ? "<table:table-header-rows><table:table-row>" : "<table:table-row>";
            for (std::size_t c = 0; c < sheet.rows[r].size(); ++c) {
                const bool right = sheet.quizLayout && c == kRightAnswerColumn;
                const char* style = header ? (right ? "ceRightHeader" : "ceHeader") : (right ? "ceRight" : "ceText");
                const std::u16string& text = sheet.rows[r][c];
                body += std::string("<table:table-cell table:style-name=\"") + style + "\"";
                body += text.empty() ? "/>" : " office:value-type=\"string\">" + odsParagraphs(text) + "</table:table-cell>";
            }
            body += header ? "</table:table-row></table:table-header-rows>" : "</table:table-row>";
        }
        body += "</table:table>";
    }
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0" office:version="1.3"><office:automatic-styles><number:text-style style:name="NText"><number:text-content/></number:text-style>)" +
           styles +
           R"(<style:style style:name="ceText" style:family="table-cell" style:data-style-name="NText"/><style:style style:name="ceHeader" style:family="table-cell" style:data-style-name="NText"><style:text-properties fo:font-weight="bold" style:font-weight-asian="bold" style:font-weight-complex="bold"/></style:style><style:style style:name="ceRight" style:family="table-cell" style:data-style-name="NText"><style:table-cell-properties fo:background-color="#fff2cc"/></style:style><style:style style:name="ceRightHeader" style:family="table-cell" style:data-style-name="NText"><style:table-cell-properties fo:background-color="#ffd966"/><style:text-properties fo:font-weight="bold" style:font-weight-asian="bold" style:font-weight-complex="bold"/></style:style></office:automatic-styles><office:body><office:spreadsheet>)" +
           body + "</office:spreadsheet></office:body></office:document-content>\n";
}

std::string writeOds(const Workbook& workbook) {
    static constexpr char kMimeType[] = "application/vnd.oasis.opendocument.spreadsheet";
    ZipWriter zip;
    // The type comes first and unpacked, so that a program knows the file from its first bytes.
    zip.add("mimetype", kMimeType);
    zip.add("META-INF/manifest.xml", std::string(R"(<?xml version="1.0" encoding="UTF-8"?>
<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.3"><manifest:file-entry manifest:full-path="/" manifest:version="1.3" manifest:media-type=")") +
                                         kMimeType + R"("/><manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/><manifest:file-entry manifest:full-path="styles.xml" manifest:media-type="text/xml"/></manifest:manifest>
)");
    zip.add("content.xml", odsContent(workbook));
    zip.add("styles.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document-styles xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" office:version="1.3"/>
)");
    return zip.finish();
}

// What a genre name does in a sheet that the quiz file would not get back.
std::optional<std::string> genreCellProblem(std::u16string_view name) {
    const auto isSpace = [](char16_t c) { return c == u' ' || c == u'\u3000'; };
    if (!name.empty() && name.front() == u'#') {
        return "its name starts with #, which makes a row a comment";
    }
    if (!name.empty() && (isSpace(name.front()) || isSpace(name.back()))) {
        return "its name has spaces at its ends, which kqd build takes away";
    }
    return std::nullopt;
}

}  // namespace

std::optional<SheetFormat> sheetFormatOf(const std::filesystem::path& path) {
    const std::optional<TableFormat> format = tableFormatOf(path);
    if (format == TableFormat::Xlsx) {
        return SheetFormat::Xlsx;
    }
    if (format == TableFormat::Ods) {
        return SheetFormat::Ods;
    }
    return std::nullopt;
}

const std::vector<std::u16string>& quizHeaderRow() {
    static const std::vector<std::u16string> kHeader = {u"ジャンル",  u"問題",      u"正解",     u"不正解1",
                                                        u"不正解2", u"不正解3", u"不正解4"};
    return kHeader;
}

Workbook quizWorkbook(const QuizTable& table) {
    SheetCells sheet{"問題", {quizHeaderRow()}, true};
    // Genres without questions keep their places only through the directives that name them.
    if (table.needsGenreDirectives()) {
        for (const std::u16string& genre : table.genres) {
            const std::string directive = std::string(kDirectivePrefix) + " " + std::string(kGenreDirective) + " ";
            sheet.rows.push_back({std::u16string(directive.begin(), directive.end()) + genre});
        }
    }
    for (const QuizTable::Row& row : table.rows) {
        std::vector<std::u16string> cells{table.genres[static_cast<std::size_t>(row.genre)]};
        cells.insert(cells.end(), row.texts.begin(), row.texts.end());
        sheet.rows.push_back(std::move(cells));
    }
    return {std::move(sheet)};
}

Workbook templateWorkbook() {
    SheetCells quiz{"問題",
                    {quizHeaderRow(),
                     {u"社会", u"日本国憲法が施行された日は？", u"1947/5/3", u"1946/11/3", u"1945/8/15",
                      u"1951/9/8", u"1956/12/18"},
                     {u"理科", u"水が沸騰する温度は、1気圧で何度？", u"100℃", u"0℃", u"50℃", u"80℃", u"120℃"}},
                    true};
    SheetCells notes{"使い方",
                     {{u"この表の使い方"},
                      {u"「問題」シートの1行目は列の名前です。消さずに、2行目から1行に1問ずつ書きます。"},
                      {u"ジャンル：全角8文字（半角16文字）まで。ジャンルは8つまで、書いた順に並びます。"},
                      {u"問題：全角58文字（半角116文字）まで。"},
                      {u"正解・不正解1～4：全角14文字（半角28文字）まで。同じ答えを2つ書くことはできません。"},
                      {u"正解の列（色の付いた列）が正解です。ゲームでは5つの答えが並べ替えて出ます。"},
                      {u"どのセルも文字列として書かれます。0123 や 2.50 も書いたとおりに出題されます。"},
                      {u"できた表は kqd build 問題集テンプレート.xlsx -o 問題集.kqd で問題集になります。"}},
                     false};
    return {std::move(quiz), std::move(notes)};
}

std::string writeWorkbook(const Workbook& workbook, SheetFormat format) {
    return format == SheetFormat::Xlsx ? writeXlsx(workbook) : writeOds(workbook);
}

std::optional<std::string> quizAsSpreadsheet(std::istream& quiz, SheetFormat format, std::string& bytes,
                                             std::vector<std::string>& warnings) {
    QuizTable table;
    if (auto reason = readQuizTable(quiz, table, warnings)) {
        return reason;
    }
    for (std::size_t g = 0; g < table.genres.size(); ++g) {
        if (auto problem = genreCellProblem(table.genres[g])) {
            warnings.push_back("genre " + std::to_string(g) + " will not come back byte for byte: " + *problem);
        } else if (table.genres[g].empty() && table.counts[g] > 0) {
            warnings.push_back("genre " + std::to_string(g) + " has questions but no name, which kqd build refuses");
        }
        for (std::size_t e = 0; e < g; ++e) {
            if (!table.genres[g].empty() && table.genres[g] == table.genres[e]) {
                warnings.push_back("genres " + std::to_string(e) + " and " + std::to_string(g) +
                                   " have the same name, which a table cannot tell apart");
            }
        }
    }
    for (std::size_t q = 0; q < table.rows.size(); ++q) {
        for (const std::u16string& text : table.rows[q].texts) {
            if (text.find(u'\r') != std::u16string::npos) {
                warnings.push_back("question " + std::to_string(q) +
                                   " will not come back byte for byte: a spreadsheet keeps its carriage return as "
                                   "a line break");
                break;
            }
        }
    }
    bytes = writeWorkbook(quizWorkbook(table), format);
    if (bytes.empty()) {
        return std::string("the quiz is too large for a spreadsheet file");
    }
    return std::nullopt;
}

}  // namespace pp::kqd
