// Office Open XML workbooks (.xlsx), as Excel saves them: the first sheet, its shared texts.
#include <array>

#include "authoring/Messages.h"
#include "authoring/SheetXml.h"
#include "authoring/XlsxStyles.h"

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
    // The sheets to try in turn: the one asked for, or every one that may be read by default.
    struct Sheet {
        std::string name;
        QString relation;
        std::string part;
    };
    std::vector<Sheet> sheets;
    std::vector<SourceError> notes;  // the hidden sheets left out
    std::vector<std::u16string> sharedStrings;
    XlsxStyles styles;
    DateSystem dates = DateSystem::From1900;
    // The workbook asks to be calculated afresh when opened, as files written by scripts do:
    // the results stored beside its formulas are placeholders, not what the sheet shows.
    bool resultsStale = false;
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
            book.dates = DateSystem::From1904;
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
            book.resultsStale = true;
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
            if (book.sharedStrings.size() == kMaxSharedStrings) {
                return fileError(tooManySharedStrings());
            }
            book.sharedStrings.push_back(std::move(*text));
        }
    }
    return book.styles.read(archive, maxBytes);
}

// What a cell shows, or why it is refused.
struct CellValue {
    std::u16string text;
    std::optional<std::string> refusal;
    bool badIndex = false;  // a shared text the workbook does not have
};

// A text as Excel stores it: "_x000D_" escapes, and line breaks typed as "\r\n".
std::u16string storedText(std::u16string_view text) {
    std::u16string decoded = decodeOoxmlEscapes(text);
    std::u16string out;
    out.reserve(decoded.size());
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        if (decoded[i] == u'\r') {
            out += u'\n';
            i += i + 1 < decoded.size() && decoded[i + 1] == u'\n' ? 1 : 0;
        } else {
            out += decoded[i];
        }
    }
    return out;
}

// One <c> element of a sheet: the text it shows by its type and number format.
std::optional<CellValue> xlsxCellText(XmlPart& part, const QString& type, int style, const Workbook& book) {
    QString value;
    std::optional<std::u16string> inline_;
    bool inValue = false;
    bool hasValue = false;
    bool formula = false;
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
        } else if (isStart(part, token, u"f")) {
            formula = true;
        } else if (isStart(part, token, u"v")) {
            inValue = true;
            hasValue = true;
        } else if (isEnd(part, token, u"v")) {
            inValue = false;
        } else if (token == QXmlStreamReader::Characters && inValue) {
            value += part.xml().text();
        }
    }
    CellValue cell;
    if (formula && (!hasValue || book.resultsStale)) {
        cell.refusal = msg("a formula saved without its result (the program that wrote the file did not calculate "
                           "it): open the file in a spreadsheet program and save it again, or type the text");
        return cell;
    }
    if (type == u"inlineStr") {
        cell.text = storedText(inline_.value_or(std::u16string()));
    } else if (type == u"s") {
        bool ok = false;
        const qulonglong index = value.trimmed().toULongLong(&ok);
        cell.badIndex = !ok || index >= book.sharedStrings.size();
        cell.text = cell.badIndex ? std::u16string() : storedText(book.sharedStrings[index]);
    } else if (type == u"b") {
        cell.text = value.trimmed() == u"1" ? u"TRUE" : u"FALSE";
    } else if (type == u"e") {
        cell.refusal = fill(msg("the cell shows the error %1: correct the formula, or type the text"),
                            {value.trimmed().toStdString()});
    } else if (type == u"str" || type == u"d" || value.isEmpty()) {
        cell.text = storedText(u16(value));
    } else {
        bool ok = false;
        const double number = value.trimmed().toDouble(&ok);
        if (!ok) {
            cell.text = u16(value);
            return cell;
        }
        const std::u16string code = book.styles.formatOf(style);
        NumberText shown = formatNumber(number, code, book.dates);
        if (shown.unrenderable) {
            cell.refusal = fill(msg("the cell's number format \"%1\" shows %2, which kqd cannot show as the sheet "
                                    "does: format the column as text"),
                                {QString::fromStdU16String(code).toStdString(), msg(shown.unrenderable->c_str())});
        }
        cell.text = std::move(shown.text);
    }
    return cell;
}

// "B12" -> row 12, column 2.
std::pair<LineNumber, int> cellOfReference(const QString& reference) {
    qsizetype digits = 0;
    while (digits < reference.size() && !reference[digits].isDigit()) {
        ++digits;
    }
    return {reference.mid(digits).toLongLong(), columnOfReference(reference)};
}

// The cells merged into one (listed after the sheet's rows, so read first in a pass of their
// own): each cell they cover shows the first cell's text, so a genre merged over several rows
// is the genre of each. One merge at a time covers a column.
class MergedCells {
public:
    std::optional<SourceError> read(zip_t* archive, const std::string& sheetPart, std::uint64_t maxBytes) {
        XmlPart sheet(archive, sheetPart, maxBytes);
        for (auto token = sheet.next(); token != QXmlStreamReader::EndDocument; token = sheet.next()) {
            if (token == QXmlStreamReader::Invalid) {
                return fileError(sheet.error());
            }
            if (isStart(sheet, token, u"mergeCell") && merges_.size() < kMaxMerges) {
                const QStringList corners = attribute(sheet, u"ref").split(u':');
                if (corners.size() == 2) {
                    const auto [top, left] = cellOfReference(corners[0]);
                    const auto [bottom, right] = cellOfReference(corners[1]);
                    if (top > 0 && left > 0 && bottom >= top && right >= left) {
                        merges_.push_back({top, left, bottom, std::min(right, kMaxReadColumns)});
                    }
                }
            }
        }
        std::sort(merges_.begin(), merges_.end(), [](const Merge& a, const Merge& b) {
            return a.top != b.top ? a.top < b.top : a.left < b.left;
        });
        return std::nullopt;
    }

    // Notes the text of the cell at `row`, `column`, if a merge starts there.
    void cell(LineNumber row, int column, const std::u16string& text) {
        if (merges_.empty() || text.empty()) {
            return;
        }
        const auto starts = std::equal_range(merges_.begin(), merges_.end(), Merge{row, column, 0, 0},
                                             [](const Merge& a, const Merge& b) {
                                                 return a.top != b.top ? a.top < b.top : a.left < b.left;
                                             });
        for (auto merge = starts.first; merge != starts.second; ++merge) {
            for (int c = merge->left; c <= merge->right; ++c) {
                covers_[static_cast<std::size_t>(c)] = Cover{row, column, merge->bottom, text};
            }
        }
    }

    // Gives each covered cell of row `row` its merge's text.
    void fill(LineNumber row, RowBuilder& builder) const {
        for (int c = 1; c <= kMaxReadColumns; ++c) {
            const Cover& cover = covers_[static_cast<std::size_t>(c)];
            if (cover.lastRow >= row && (row != cover.row || c != cover.column)) {
                builder.set(c, cover.text);
            }
        }
    }

private:
    static constexpr std::size_t kMaxMerges = 4096;  // far more than a sheet of questions has
    struct Merge {
        LineNumber top;
        int left;
        LineNumber bottom;
        int right;
    };
    struct Cover {
        LineNumber row = 0;
        int column = 0;
        LineNumber lastRow = 0;
        std::u16string text;
    };
    std::vector<Merge> merges_;
    std::array<Cover, kMaxReadColumns + 1> covers_{};
};

}  // namespace

namespace {

// The rows of the sheet in `part`.
std::optional<SourceError> readXlsxSheet(zip_t* archive, const std::string& part, const Workbook& book,
                                         const RowSink& sink, std::uint64_t maxBytes) {
    XmlPart sheet(archive, part, maxBytes);
    if (!sheet.exists()) {
        return fileError("the workbook's first sheet " + part + " is missing");
    }
    MergedCells merged;
    if (auto error = merged.read(archive, part, maxBytes)) {
        return error;
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
            if (isTrue(attribute(sheet, u"hidden"))) {
                row.hide();
            }
        } else if (isEnd(sheet, token, u"row")) {
            if (!inRow) {
                return fileError("the sheet is damaged: a row ends that never started");
            }
            inRow = false;
            merged.fill(rowNumber, row);
            if (auto error = row.finish(rowNumber)) {
                return error;
            }
        } else if (isStart(sheet, token, u"c")) {
            if (!inRow) {
                return fileError("the sheet is damaged: a cell outside any row");
            }
            const int given = columnOfReference(attribute(sheet, u"r"));
            column = given > 0 ? given : column + 1;
            bool styled = false;
            const int style = attribute(sheet, u"s").toInt(&styled);
            std::optional<CellValue> cell = xlsxCellText(sheet, attribute(sheet, u"t"), styled ? style : 0, book);
            if (!cell) {
                return fileError(sheet.error());
            }
            if (cell->badIndex) {
                return SourceError{rowNumber, column, msg("the cell names a shared text the workbook does not have")};
            }
            merged.cell(rowNumber, column, cell->text);
            if (cell->refusal && column <= kMaxReadColumns) {
                row.refuse(column, std::move(*cell->refusal));
            } else if (!row.set(column, std::move(cell->text))) {
                return textTooFarRight(rowNumber, column);
            }
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
