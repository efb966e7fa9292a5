// Quiz making in the page: a question table the player opens (.xlsx, .ods, .csv or .tsv) built
// into a quiz by the same rules as kqd and the desktop window, and the open quiz written back as
// a spreadsheet. A module of its own, fetched only when a table is opened, so that a first visit
// downloads nothing more. The page unpacks a spreadsheet and parses its XML with the browser's
// parser; it hands over each cell's parts as the file has them (sheets.js), and what they show,
// which are refused and every message come from here.

#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include <nlohmann/json.hpp>

#include "authoring/Messages.h"
#include "authoring/ProblemReport.h"
#include "authoring/QuizBuild.h"
#include "authoring/SheetCells.h"
#include "authoring/SheetWriter.h"
#include "authoring/SourceTable.h"
#include "encoding/Utf8.h"

namespace {

using nlohmann::json;
using namespace pp::kqd;
using pp::utf16FromUtf8;
using pp::utf8FromUtf16;

// The Japanese catalogue, compiled by GNU gettext's msgfmt into the module's files: the page
// speaks Japanese, as the game does on the desktop.
constexpr const char* kCatalogue = "/messages/ja.mo";

std::uint32_t word(const std::string& bytes, std::size_t at, bool swapped) {
    if (at + 4 > bytes.size()) {
        return 0;
    }
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return swapped ? __builtin_bswap32(value) : value;
}

// A GNU .mo file's messages; empty when it is not one.
std::unordered_map<std::string, std::string> readCatalogue(const std::string& bytes) {
    std::unordered_map<std::string, std::string> messages;
    const std::uint32_t magic = word(bytes, 0, false);
    const bool swapped = magic == 0xde120495u;
    if (magic != 0x950412deu && !swapped) {
        return messages;
    }
    const std::uint32_t count = word(bytes, 8, swapped);
    const std::uint32_t originals = word(bytes, 12, swapped);
    const std::uint32_t translations = word(bytes, 16, swapped);
    const auto text = [&](std::uint32_t table, std::uint32_t i) -> std::optional<std::string> {
        const std::uint32_t length = word(bytes, table + 8 * std::size_t{i}, swapped);
        const std::uint32_t offset = word(bytes, table + 8 * std::size_t{i} + 4, swapped);
        if (std::size_t{offset} + length > bytes.size()) {
            return std::nullopt;
        }
        // A plural message's forms follow one another after a NUL: the first is the one used.
        std::string found = bytes.substr(offset, length);
        return found.substr(0, found.find('\0'));
    };
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::optional<std::string> english = text(originals, i);
        const std::optional<std::string> japanese = text(translations, i);
        if (english && japanese && !english->empty() && !japanese->empty()) {
            messages.emplace(*english, *japanese);
        }
    }
    return messages;
}

void speakJapanese() {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    std::ifstream in(kCatalogue, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    auto messages = std::make_shared<const std::unordered_map<std::string, std::string>>(readCatalogue(bytes.str()));
    setMessageCatalogue([messages](const char* english) {
        const auto found = messages->find(english);
        return found == messages->end() ? std::string(english) : found->second;
    });
}

// The member `key` of `value`, null when it has none: nothing the page sends can stop the build.
const json& field(const json& value, const char* key) {
    static const json kNull;
    if (!value.is_object()) {
        return kNull;
    }
    const auto found = value.find(key);
    return found == value.end() ? kNull : *found;
}

std::u16string u16(const json& value) {
    if (!value.is_string()) {
        return {};
    }
    return utf16FromUtf8(value.get_ref<const std::string&>()).value_or(std::u16string());
}

int count(const json& value, const char* key) {
    const auto found = value.find(key);
    if (found == value.end() || !found->is_number_integer()) {
        return 1;
    }
    return static_cast<int>(std::clamp<std::int64_t>(found->get<std::int64_t>(), 1, std::int64_t{1} << 30));
}

bool flag(const json& value, const char* key) {
    const auto found = value.find(key);
    return found != value.end() && found->is_boolean() && found->get<bool>();
}

const json& list(const json& value, const char* key) {
    static const json kNone = json::array();
    const auto found = value.find(key);
    return found != value.end() && found->is_array() ? *found : kNone;
}

// The rows of one sheet of an .xlsx, as the page read it.
std::optional<SourceError> readXlsxSheet(const sheet::XlsxBook& book, const json& sheet, const RowSink& sink) {
    sheet::XlsxSheetRows rows(book, sink);
    for (const json& range : list(sheet, "merges")) {
        rows.merge(u16(range));
    }
    for (const json& row : list(sheet, "rows")) {
        const auto given = row.find("r");
        std::optional<LineNumber> number;
        if (given != row.end() && given->is_number_integer()) {
            number = given->get<std::int64_t>();
        }
        if (auto error = rows.startRow(number, flag(row, "hidden"))) {
            return error;
        }
        for (const json& cell : list(row, "cells")) {
            sheet::XlsxCell parts;
            parts.reference = u16(field(cell, "r"));
            parts.type = u16(field(cell, "t"));
            if (const auto style = cell.find("s"); style != cell.end() && style->is_number_integer()) {
                parts.style = static_cast<int>(std::clamp<std::int64_t>(style->get<std::int64_t>(), -1, 1 << 30));
            }
            if (const auto value = cell.find("v"); value != cell.end() && value->is_string()) {
                parts.hasValue = true;
                parts.value = u16(*value);
            }
            if (const auto text = cell.find("is"); text != cell.end() && text->is_string()) {
                parts.inlineText = u16(*text);
            }
            parts.formula = flag(cell, "f");
            if (auto error = rows.cell(parts)) {
                return error;
            }
        }
        if (auto error = rows.endRow()) {
            return error;
        }
    }
    return std::nullopt;
}

// The rows of one table of an .ods, as the page read it.
std::optional<SourceError> readOdsSheet(const json& sheet, const RowSink& sink) {
    sheet::OdsSheetRows rows(sink);
    for (const json& row : list(sheet, "rows")) {
        rows.startRow(count(row, "repeat"), flag(row, "hidden"));
        for (const json& cell : list(row, "cells")) {
            std::optional<SourceError> error;
            if (flag(cell, "covered")) {
                error = rows.coveredCell(count(cell, "repeat"));
            } else {
                const sheet::OdsCellKind kind{flag(cell, "formula"), flag(cell, "valued"), flag(cell, "error")};
                std::u16string text = u16(field(cell, "text"));
                text.resize(std::min(text.size(), sheet::kMaxCellUnits));
                error = rows.cell(kind, text, count(cell, "repeat"), count(cell, "rows"), count(cell, "cols"));
            }
            if (error) {
                return error;
            }
        }
        if (auto error = rows.endRow()) {
            return error;
        }
    }
    return std::nullopt;
}

// The rows of the workbook the page read: the first visible sheet that holds data. The notes on
// sheets passed over stay kqd's, as in the desktop window's report.
std::optional<SourceError> readWorkbook(const json& book, TableFormat format, const RowSink& sink,
                                        std::string& sheetName) {
    // What the page could not read: an archive it could not open, a part missing or damaged.
    if (const auto reason = book.find("notZip"); reason != book.end() && reason->is_string()) {
        return sheet::fileError(fill(msg("not a spreadsheet file (%1)"), {reason->get_ref<const std::string&>()}));
    }
    if (const auto error = book.find("error"); error != book.end() && error->is_string()) {
        return sheet::fileError(error->get<std::string>());
    }
    sheet::XlsxBook xlsx;
    if (format == TableFormat::Xlsx) {
        xlsx.dates = flag(book, "dates1904") ? DateSystem::From1904 : DateSystem::From1900;
        xlsx.resultsStale = flag(book, "stale");
        for (const json& text : list(book, "shared")) {
            if (xlsx.sharedStrings.size() == sheet::kMaxSharedStrings) {
                return sheet::fileError("xl/sharedStrings.xml holds more than " +
                                        std::to_string(sheet::kMaxSharedStrings) +
                                        " shared texts, more than any quiz needs");
            }
            xlsx.sharedStrings.push_back(u16(text));
        }
        for (const json& custom : list(book, "custom")) {
            if (custom.is_array() && custom.size() == 2 && custom[0].is_number_integer()) {
                xlsx.formats.addCustom(custom[0].get<int>(), u16(custom[1]));
            }
        }
        for (const json& id : list(book, "styles")) {
            xlsx.formats.addCellStyle(id.is_number_integer() ? id.get<int>() : 0);
        }
    }
    const json& sheets = list(book, "sheets");
    if (sheets.empty()) {
        return sheet::fileError(format == TableFormat::Xlsx ? "the workbook has no sheet"
                                                            : "the spreadsheet has no sheet");
    }
    std::int64_t rowsRead = 0;
    const RowSink counted = [&rowsRead, &sink](SourceRow&& row) {
        ++rowsRead;
        return sink(std::move(row));
    };
    int sheetsRead = 0;
    for (const json& sheet : sheets) {
        const std::string name = utf8FromUtf16(u16(field(sheet, "name")));
        if (flag(sheet, "hidden") || rowsRead > 0) {
            continue;
        }
        sheetName = name;
        ++sheetsRead;
        auto error = format == TableFormat::Xlsx ? readXlsxSheet(xlsx, sheet, counted) : readOdsSheet(sheet, counted);
        if (error) {
            return error;
        }
    }
    if (sheetsRead == 0) {
        return sheet::fileError(format == TableFormat::Xlsx ? "every sheet of the workbook is hidden"
                                                            : "every sheet of the spreadsheet is hidden");
    }
    return std::nullopt;
}

std::string readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string answer;  // what the last call returns to the page, kept until the next

}  // namespace

extern "C" {

// Builds the quiz of the table at `path` (format: 0 .tsv, 1 .csv as their bytes; 2 .xlsx, 3 .ods
// as the page read them, in JSON) and writes it to `quizPath` when it has no error. Returns the
// report in JSON: whether it was built, its genres and questions, and every problem kept with its
// place as a spreadsheet names it.
EMSCRIPTEN_KEEPALIVE const char* pp_sheets_build(const char* path, int formatNumber, const char* quizPath) {
    speakJapanese();
    const auto format = static_cast<TableFormat>(std::clamp(formatNumber, 0, 3));
    const bool sheet = format == TableFormat::Xlsx || format == TableFormat::Ods;
    std::optional<std::string> sheetName;
    RowSource rows;
    json book;
    if (sheet) {
        sheetName.emplace();
        book = json::parse(readFile(path), nullptr, false);
        rows = [&](const RowSink& sink) -> std::optional<SourceError> {
            if (book.is_discarded() || !book.is_object()) {
                return sheet::fileError(msg("cannot read the spreadsheet"));
            }
            return readWorkbook(book, format, sink, *sheetName);
        };
    } else {
        // As kqd does: UTF-8, or else Shift_JIS as Japanese spreadsheet programs save CSV.
        std::ifstream probe(path, std::ios::binary);
        const TextEncoding encoding = detectEncoding(probe).value_or(TextEncoding::Utf8);
        rows = [path, format, encoding](const RowSink& sink) -> std::optional<SourceError> {
            std::ifstream in(path, std::ios::binary);
            if (!in) {
                return SourceError{0, 0, msg("cannot read the file")};
            }
            return readSourceTable(in, format, encoding, sink);
        };
    }
    BuildOptions options;
    options.columnLetters = true;  // the report names columns as a spreadsheet does
    std::string quiz;
    const BuildReport report = buildQuizInMemory(rows, options, quiz);
    const Problems& problems = report.problems;
    json out;
    out["problems"] = json::array();
    for (const SourceError& problem : problems.sorted()) {
        out["problems"].push_back({{"place", spreadsheetPlace(problem, sheetName)},
                                   {"message", problem.message},
                                   {"error", !isWarningOrNote(problem.message)}});
    }
    out["unlisted"] = problems.errorCount + problems.warningCount -
                      static_cast<std::int64_t>(problems.errors.size() + problems.warnings.size());
    out["built"] = false;
    if (!problems.failed()) {
        std::ofstream file(quizPath, std::ios::binary | std::ios::trunc);
        file << quiz;
        out["built"] = static_cast<bool>(file.flush());
        out["genres"] = report.genres;
        out["questions"] = report.questions;
    }
    answer = out.dump(-1, ' ', false, json::error_handler_t::replace);
    return answer.c_str();
}

// Writes the quiz file at `quizPath` as an .xlsx at `sheetPath`, every cell as text; the reason,
// when it cannot, else an empty text.
EMSCRIPTEN_KEEPALIVE const char* pp_sheets_export(const char* quizPath, const char* sheetPath) {
    speakJapanese();
    std::ifstream quiz(quizPath, std::ios::binary);
    std::string bytes;
    std::vector<std::string> warnings;
    if (const auto problem = quizAsSpreadsheet(quiz, SheetFormat::Xlsx, bytes, warnings)) {
        answer = *problem;
        return answer.c_str();
    }
    std::ofstream out(sheetPath, std::ios::binary | std::ios::trunc);
    out << bytes;
    answer = out.flush() ? "" : std::string("cannot write ") + sheetPath;
    return answer.c_str();
}

}  // extern "C"
