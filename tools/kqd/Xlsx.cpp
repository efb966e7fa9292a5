// Office Open XML workbooks (.xlsx), as Excel saves them: the first sheet, its shared texts.
#include "SheetXml.h"

namespace pp::kqd::sheet {
namespace {

// "C5" -> 3; 0 when the reference names no column.
int columnOfReference(const QString& reference) {
    int column = 0;
    for (const QChar c : reference) {
        if (c >= u'A' && c <= u'Z') {
            column = column * 26 + (c.unicode() - u'A' + 1);
            if (column > kMaxReadColumns) {
                return kMaxReadColumns + 1;  // any column this far right is refused alike
            }
        } else {
            break;
        }
    }
    return column;
}

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
    std::string sheetName;
    std::string sheetPart;
    std::vector<std::u16string> sharedStrings;
};

std::optional<SourceError> readWorkbook(zip_t* archive, std::uint64_t maxBytes, Workbook& book) {
    XmlPart workbook(archive, "xl/workbook.xml", maxBytes);
    if (!workbook.exists()) {
        return fileError("not an Excel workbook (.xlsx): it has no xl/workbook.xml");
    }
    QString relation;
    for (auto token = workbook.next(); relation.isEmpty(); token = workbook.next()) {
        if (token == QXmlStreamReader::Invalid) {
            return fileError(workbook.error());
        }
        if (token == QXmlStreamReader::EndDocument) {
            return fileError("the workbook has no sheet");
        }
        if (isStart(workbook, token, u"sheet")) {
            book.sheetName = attribute(workbook, u"name").toStdString();
            relation = attribute(workbook, u"id");
        }
    }
    if (auto failure = workbook.finish()) {
        return fileError(*failure);
    }
    XmlPart relations(archive, "xl/_rels/workbook.xml.rels", maxBytes);
    for (auto token = relations.next(); relations.exists() && book.sheetPart.empty(); token = relations.next()) {
        if (token == QXmlStreamReader::Invalid || token == QXmlStreamReader::EndDocument) {
            break;
        }
        if (isStart(relations, token, u"Relationship") && attribute(relations, u"Id") == relation) {
            const std::string target = attribute(relations, u"Target").toStdString();
            book.sheetPart = target.starts_with('/') ? target.substr(1) : "xl/" + target;
        }
    }
    if (auto failure = relations.finish()) {
        return fileError(*failure);
    }
    if (book.sheetPart.empty()) {
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
            if (book.sharedStrings.size() == kMaxSharedStrings) {
                return fileError(tooManySharedStrings());
            }
            book.sharedStrings.push_back(std::move(*text));
        }
    }
    return std::nullopt;
}

// One <c> element of a sheet: its value by its type.
std::optional<std::u16string> xlsxCellText(XmlPart& part, const QString& type, const Workbook& book, bool& badIndex) {
    QString value;
    std::optional<std::u16string> inline_;
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
            inline_ = richText(part, u"is");
            if (!inline_) {
                return std::nullopt;
            }
        } else if (isStart(part, token, u"v")) {
            inValue = true;
        } else if (isEnd(part, token, u"v")) {
            inValue = false;
        } else if (token == QXmlStreamReader::Characters && inValue) {
            value += part.xml().text();
        }
    }
    if (type == u"inlineStr") {
        return inline_.value_or(std::u16string());
    }
    if (type == u"s") {
        bool ok = false;
        const qulonglong index = value.trimmed().toULongLong(&ok);
        if (!ok || index >= book.sharedStrings.size()) {
            badIndex = true;
            return std::u16string();
        }
        return book.sharedStrings[index];
    }
    if (type == u"b") {
        return value.trimmed() == u"1" ? u"TRUE" : u"FALSE";
    }
    if (type == u"str" || type == u"e" || type == u"d" || value.isEmpty()) {
        return u16(value);
    }
    return generalNumber(value);
}

}  // namespace

std::optional<SourceError> readXlsxArchive(zip_t* archive, const RowSink& sink, std::string* sheetName,
                                           std::uint64_t maxBytes) {
    Workbook book;
    if (auto error = readWorkbook(archive, maxBytes, book)) {
        return error;
    }
    if (sheetName != nullptr) {
        *sheetName = book.sheetName;
    }
    XmlPart sheet(archive, book.sheetPart, maxBytes);
    if (!sheet.exists()) {
        return fileError("the workbook's first sheet " + book.sheetPart + " is missing");
    }
    RowBuilder row(sink);
    LineNumber rowNumber = 0;
    int column = 0;
    // Cells count only inside a row: a cell outside one, or a row's end without its start (which
    // a damaged cell's text swallowed), would put cells in the wrong row or in a row 0.
    bool inRow = false;
    for (auto token = sheet.next(); token != QXmlStreamReader::EndDocument; token = sheet.next()) {
        if (token == QXmlStreamReader::Invalid) {
            return fileError(sheet.error());
        }
        if (isStart(sheet, token, u"row")) {
            bool ok = false;
            const LineNumber given = attribute(sheet, u"r").toLongLong(&ok);
            const LineNumber next = ok && given > 0 ? given : rowNumber + 1;
            // Excel writes rows in ascending order and refuses a file that does not: a row number
            // going back, or past the last row, would make messages name the wrong rows.
            if (next <= rowNumber) {
                return SourceError{next, 0, "row " + std::to_string(next) + " comes after row " +
                                                std::to_string(rowNumber) + ": the sheet's rows are out of order"};
            }
            if (next > kMaxSheetRows) {
                return SourceError{rowNumber + 1, 0, "the sheet has more rows than a spreadsheet can"};
            }
            rowNumber = next;
            column = 0;
            inRow = true;
        } else if (isEnd(sheet, token, u"row")) {
            if (!inRow) {
                return fileError("the sheet is damaged: a row ends that never started");
            }
            inRow = false;
            if (auto error = row.finish(rowNumber)) {
                return error;
            }
        } else if (isStart(sheet, token, u"c")) {
            if (!inRow) {
                return fileError("the sheet is damaged: a cell outside any row");
            }
            const int given = columnOfReference(attribute(sheet, u"r"));
            column = given > 0 ? given : column + 1;
            bool badIndex = false;
            std::optional<std::u16string> text = xlsxCellText(sheet, attribute(sheet, u"t"), book, badIndex);
            if (!text) {
                return fileError(sheet.error());
            }
            if (badIndex) {
                return SourceError{rowNumber, column, "the cell names a shared text the workbook does not have"};
            }
            if (!row.set(column, std::move(*text))) {
                return textTooFarRight(rowNumber, column);
            }
        }
    }
    return std::nullopt;
}

}  // namespace pp::kqd::sheet
