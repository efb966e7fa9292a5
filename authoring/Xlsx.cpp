// Office Open XML workbooks (.xlsx), as Excel saves them: the first sheet, its shared texts.
#include <array>

#include "authoring/Messages.h"
#include "authoring/SheetXml.h"
#include "authoring/SheetCells.h"
#include "authoring/XlsxStyles.h"

namespace pp::kqd::sheet {
namespace {

// The text of the element just started (a shared string or an inline string): its <t> runs,
// without the phonetic guides (<rPh>) that Japanese Excel stores beside the text.
std::optional<std::u16string> richText(XmlPart& part, QStringView element) {
    std::u16string text;
    int phonetic = 0;
    bool inText = false;
    for (;;) {
        const auto token = part.next();
        if (token == QXmlStreamReader::Invalid || token == QXmlStreamReader::EndDocument) {
            return std::nullopt;
        }
        if (isEnd(part, token, element)) {
            return text;
        }
        if (isStart(part, token, u"rPh")) {
            ++phonetic;
        } else if (isEnd(part, token, u"rPh")) {
            --phonetic;
        } else if (isStart(part, token, u"t")) {
            inText = true;
        } else if (isEnd(part, token, u"t")) {
            inText = false;
        } else if (token == QXmlStreamReader::Characters && inText && phonetic == 0) {
            appendCapped(text, u16(part.xml().text().toString()));
        }
    }
}

std::string tooManySharedStrings() {
    return "xl/sharedStrings.xml holds more than " + std::to_string(kMaxSharedStrings) +
           " shared texts, more than any quiz needs";
}

struct Workbook {
    // The sheets to try in turn: the one asked for, or every one that may be read by default.
    struct Sheet {
        std::string name;
        QString relation;
        std::string part;
    };
    std::vector<Sheet> sheets;
    std::vector<SourceError> notes;  // the hidden sheets left out
    XlsxBook book;
};

bool isTrue(const QString& value) { return value == u"1" || value == u"true"; }

std::optional<SourceError> readWorkbook(zip_t* archive, std::uint64_t maxBytes, const SheetChoice& choice,
                                        Workbook& book) {
    XmlPart workbook(archive, "xl/workbook.xml", maxBytes);
    if (!workbook.exists()) {
        return fileError("not an Excel workbook (.xlsx): it has no xl/workbook.xml");
    }
    int sheets = 0;
    for (auto token = workbook.next(); token != QXmlStreamReader::EndDocument; token = workbook.next()) {
        if (token == QXmlStreamReader::Invalid) {
            return fileError(workbook.error());
        }
        if (isStart(workbook, token, u"workbookPr") && isTrue(attribute(workbook, u"date1904"))) {
            book.book.dates = DateSystem::From1904;
        } else if (isStart(workbook, token, u"sheet")) {
            const std::string name = attribute(workbook, u"name").toStdString();
            const bool hidden = !attribute(workbook, u"state").isEmpty() && attribute(workbook, u"state") != u"visible";
            ++sheets;
            if (choice.named() ? book.sheets.empty() && isChosen(choice, sheets, name)
                               : !hidden || choice.includeHidden) {
                book.sheets.push_back({name, attribute(workbook, u"id"), {}});
            } else if (!choice.named()) {
                book.notes.push_back(hiddenSheetNote(name));
            }
        } else if (isStart(workbook, token, u"calcPr") && isTrue(attribute(workbook, u"fullCalcOnLoad"))) {
            book.book.resultsStale = true;
        }
    }
    if (sheets == 0) {
        return fileError("the workbook has no sheet");
    }
    if (book.sheets.empty()) {
        return choice.named() ? noSuchSheet(choice, sheets) : fileError("every sheet of the workbook is hidden");
    }
    XmlPart relations(archive, "xl/_rels/workbook.xml.rels", maxBytes);
    for (auto token = relations.next(); relations.exists(); token = relations.next()) {
        if (token == QXmlStreamReader::Invalid || token == QXmlStreamReader::EndDocument) {
            break;
        }
        if (isStart(relations, token, u"Relationship")) {
            const std::string target = attribute(relations, u"Target").toStdString();
            for (Workbook::Sheet& sheet : book.sheets) {
                if (sheet.part.empty() && attribute(relations, u"Id") == sheet.relation) {
                    sheet.part = target.starts_with('/') ? target.substr(1) : "xl/" + target;
                }
            }
        }
    }
    if (auto failure = relations.finish()) {
        return fileError(*failure);
    }
    if (book.sheets.front().part.empty()) {
        return fileError("the workbook does not say where its first sheet is");
    }
    XmlPart shared(archive, "xl/sharedStrings.xml", maxBytes);
    for (auto token = shared.next(); shared.exists() && token != QXmlStreamReader::EndDocument; token = shared.next()) {
        if (token == QXmlStreamReader::Invalid) {
            return fileError(shared.error());
        }
        if (isStart(shared, token, u"si")) {
            std::optional<std::u16string> text = richText(shared, u"si");
            if (!text) {
                return fileError(shared.error());
            }
            if (book.book.sharedStrings.size() == kMaxSharedStrings) {
                return fileError(tooManySharedStrings());
            }
            book.book.sharedStrings.push_back(std::move(*text));
        }
    }
    return readXlsxStyles(archive, maxBytes, book.book.formats);
}

// One <c> element of a sheet, its parts taken out for the rules of what it shows.
std::optional<XlsxCell> xlsxCell(XmlPart& part) {
    XlsxCell cell;
    cell.reference = u16(attribute(part, u"r"));
    cell.type = u16(attribute(part, u"t"));
    bool styled = false;
    const int style = attribute(part, u"s").toInt(&styled);
    if (styled) {
        cell.style = style;
    }
    QString value;
    bool inValue = false;
    for (;;) {
        const auto token = part.next();
        if (token == QXmlStreamReader::Invalid || token == QXmlStreamReader::EndDocument) {
            return std::nullopt;
        }
        if (isEnd(part, token, u"c")) {
            break;
        }
        if (isStart(part, token, u"is")) {
            cell.inlineText = richText(part, u"is");
            if (!cell.inlineText) {
                return std::nullopt;
            }
        } else if (isStart(part, token, u"f")) {
            cell.formula = true;
        } else if (isStart(part, token, u"v")) {
            inValue = true;
            cell.hasValue = true;
        } else if (isEnd(part, token, u"v")) {
            inValue = false;
        } else if (token == QXmlStreamReader::Characters && inValue) {
            value += part.xml().text();
        }
    }
    cell.value = u16(value);
    return cell;
}

// The rows of the sheet in `part`.
std::optional<SourceError> readXlsxSheet(zip_t* archive, const std::string& part, const Workbook& book,
                                         const RowSink& sink, std::uint64_t maxBytes) {
    XmlPart sheet(archive, part, maxBytes);
    if (!sheet.exists()) {
        return fileError("the workbook's first sheet " + part + " is missing");
    }
    XlsxSheetRows rows(book.book, sink);
    // The merged cells are listed after the sheet's rows, so read first in a pass of their own.
    {
        XmlPart merges(archive, part, maxBytes);
        for (auto token = merges.next(); token != QXmlStreamReader::EndDocument; token = merges.next()) {
            if (token == QXmlStreamReader::Invalid) {
                return fileError(merges.error());
            }
            if (isStart(merges, token, u"mergeCell")) {
                rows.merge(u16(attribute(merges, u"ref")));
            }
        }
    }
    for (auto token = sheet.next(); token != QXmlStreamReader::EndDocument; token = sheet.next()) {
        if (token == QXmlStreamReader::Invalid) {
            return fileError(sheet.error());
        }
        std::optional<SourceError> error;
        if (isStart(sheet, token, u"row")) {
            bool ok = false;
            const LineNumber given = attribute(sheet, u"r").toLongLong(&ok);
            error = rows.startRow(ok ? std::optional<LineNumber>(given) : std::nullopt,
                                  isTrue(attribute(sheet, u"hidden")));
        } else if (isEnd(sheet, token, u"row")) {
            error = rows.endRow();
        } else if (isStart(sheet, token, u"c")) {
            const std::optional<XlsxCell> cell = xlsxCell(sheet);
            if (!cell) {
                return fileError(sheet.error());
            }
            error = rows.cell(*cell);
        }
        if (error) {
            return error;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<SourceError> readXlsxArchive(zip_t* archive, const RowSink& sink, std::string* sheetName,
                                           std::uint64_t maxBytes, const SheetChoice& choice,
                                           std::vector<SourceError>* notes) {
    Workbook book;
    if (auto error = readWorkbook(archive, maxBytes, choice, book)) {
        return error;
    }
    // By default an empty sheet (a cover page, a blank first sheet) gives way to the next.
    std::int64_t rows = 0;
    const RowSink counted = [&rows, &sink](SourceRow&& row) {
        ++rows;
        return sink(std::move(row));
    };
    std::size_t read = 0;
    for (; read < book.sheets.size() && (read == 0 || rows == 0); ++read) {
        const Workbook::Sheet& sheet = book.sheets[read];
        if (sheet.part.empty()) {
            continue;
        }
        if (sheetName != nullptr) {
            *sheetName = sheet.name;
        }
        if (auto error = readXlsxSheet(archive, sheet.part, book, counted, maxBytes)) {
            return error;
        }
    }
    if (notes != nullptr) {
        *notes = book.notes;
        if (rows > 0 && (read > 1 || !book.notes.empty())) {
            notes->push_back(sheetReadNote(book.sheets[read - 1].name));
        }
    }
    return std::nullopt;
}

}  // namespace pp::kqd::sheet
