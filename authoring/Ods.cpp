// OpenDocument spreadsheets (.ods), as LibreOffice saves them: the first table of content.xml.
#include <algorithm>
#include <array>

#include "authoring/Messages.h"
#include "authoring/SheetXml.h"

namespace pp::kqd::sheet {
namespace {

int repeatCount(XmlPart& part, QStringView name) {
    bool ok = false;
    const long long count = attribute(part, name).toLongLong(&ok);
    return ok && count > 1 ? static_cast<int>(std::min<long long>(count, 1 << 30)) : 1;
}

// The text of the <table:table-cell> just started: its paragraphs joined by line breaks, with
// the spaces, tabs and line breaks their elements stand for, without any annotation.
std::optional<std::u16string> odsCellText(XmlPart& part) {
    std::u16string text;
    int paragraphs = 0;
    int annotation = 0;
    for (;;) {
        const auto token = part.next();
        if (token == QXmlStreamReader::Invalid || token == QXmlStreamReader::EndDocument) {
            return std::nullopt;
        }
        if (token == QXmlStreamReader::EndElement && part.xml().name() == u"table-cell" && annotation == 0) {
            return text;
        }
        if (isStart(part, token, u"annotation")) {
            ++annotation;
        } else if (isEnd(part, token, u"annotation")) {
            --annotation;
        } else if (annotation > 0) {
            continue;
        } else if (isStart(part, token, u"p") || isStart(part, token, u"h")) {
            if (paragraphs++ > 0) {
                appendCapped(text, u"\n");
            }
        } else if (isStart(part, token, u"s")) {
            const int count = std::min(repeatCount(part, u"c"), 1024);
            appendCapped(text, std::u16string(static_cast<std::size_t>(count), u' '));
        } else if (isStart(part, token, u"tab")) {
            appendCapped(text, u"\t");
        } else if (isStart(part, token, u"line-break")) {
            appendCapped(text, u"\n");
        } else if (token == QXmlStreamReader::Characters) {
            appendCapped(text, u16(part.xml().text().toString()));
        }
    }
}

// What the attributes of a <table:table-cell> say about its value.
struct OdsCellKind {
    bool formula = false;
    bool valued = false;  // it has a value type, so its formula was calculated
    bool error = false;   // LibreOffice's mark of an error value
};

OdsCellKind odsCellKind(XmlPart& part) {
    OdsCellKind kind;
    for (const QXmlStreamAttribute& attr : part.xml().attributes()) {
        if (attr.name() == u"formula") {
            kind.formula = true;
        } else if (attr.name() == u"value-type") {
            kind.valued = true;
            kind.error = kind.error || attr.value() == u"error";
        }
    }
    return kind;
}

// The error values of spreadsheet programs, as a formula's cell shows them.
bool isErrorText(std::u16string_view text) {
    static constexpr std::u16string_view kErrors[] = {u"#DIV/0!", u"#N/A",   u"#VALUE!", u"#REF!",
                                                      u"#NAME?",  u"#NUM!",  u"#NULL!",  u"#GETTING_DATA"};
    for (const std::u16string_view error : kErrors) {
        if (text == error) {
            return true;
        }
    }
    return text.starts_with(u"Err:");
}

std::optional<std::string> odsRefusal(const OdsCellKind& kind, const std::u16string& text) {
    if (kind.error || (kind.formula && isErrorText(text))) {
        return fill(msg("the cell shows the error %1: correct the formula, or type the text"),
                    {QString::fromStdU16String(text).toStdString()});
    }
    if (kind.formula && !kind.valued && text.empty()) {
        return msg("a formula saved without its result (the program that wrote the file did not calculate "
                   "it): open the file in a spreadsheet program and save it again, or type the text");
    }
    return std::nullopt;
}

// The cells merged into one: each cell they cover shows the first cell's text, so a genre
// merged over several rows is the genre of each. One span at a time covers a column.
class MergedCells {
public:
    // Notes the cell at `row`, `column` with its `text`, if it spans others.
    void add(LineNumber row, int column, int rows, int columns, const std::u16string& text) {
        if ((rows <= 1 && columns <= 1) || text.empty()) {
            return;
        }
        const int last = static_cast<int>(std::min<std::int64_t>(std::int64_t{column} + columns - 1, kMaxReadColumns));
        for (int c = column; c <= last; ++c) {
            spans_[static_cast<std::size_t>(c)] = Span{row + rows - 1, text};
        }
    }

    // The text a covered cell at `row`, `column` shows.
    [[nodiscard]] std::u16string textAt(LineNumber row, int column) const {
        const Span& span = spans_[static_cast<std::size_t>(column)];
        return span.lastRow >= row ? span.text : std::u16string();
    }

private:
    struct Span {
        LineNumber lastRow = 0;
        std::u16string text;
    };
    std::array<Span, kMaxReadColumns + 1> spans_{};
};


// Text in rows past the last one a sheet has. Blank rows repeated may already have gone past
// it, and a row that no spreadsheet has must not be named.
SourceError rowsPastTheLast(LineNumber rowsBefore) {
    const std::string says = "the sheet has more rows than a spreadsheet can";
    if (rowsBefore >= kMaxSheetRows) {
        return fileError(says + ": text after row " + std::to_string(kMaxSheetRows) + ", its last");
    }
    return SourceError{rowsBefore + 1, 0, says};
}

}  // namespace

std::optional<SourceError> readOdsArchive(zip_t* archive, const RowSink& sink, std::string* sheetName,
                                          std::uint64_t maxBytes, const SheetChoice& choice,
                                          std::vector<SourceError>* notes) {
    XmlPart content(archive, "content.xml", maxBytes);
    if (!content.exists()) {
        return fileError("not an OpenDocument spreadsheet (.ods): it has no content.xml");
    }
    // By default an empty sheet (a cover page, a blank first sheet) gives way to the next.
    std::int64_t rowsRead = 0;
    const RowSink counted = [&rowsRead, &sink](SourceRow&& row) {
        ++rowsRead;
        return sink(std::move(row));
    };
    RowBuilder row(counted);
    std::vector<SourceError> passedOver;  // the hidden sheets left out
    std::vector<QString> hiddenStyles;    // the table styles that hide a sheet
    QString styleName;
    int sheetsRead = 0;
    std::string lastRead;
    LineNumber rowNumber = 0;
    int column = 0;
    MergedCells merged;
    int tableDepth = 0;  // inside the first table, counting tables nested in its cells
    bool seenTable = false;
    int sheets = 0;
    int skipDepth = 0;  // inside a sheet not chosen, counting tables nested in its cells
    int rowRepeats = 1;
    // Cells count only inside a row: one outside would be added to the next row.
    bool inRow = false;
    for (auto token = content.next(); token != QXmlStreamReader::EndDocument; token = content.next()) {
        if (token == QXmlStreamReader::Invalid) {
            return fileError(content.error());
        }
        if (skipDepth > 0) {
            skipDepth += isStart(content, token, u"table") ? 1 : isEnd(content, token, u"table") ? -1 : 0;
            continue;
        }
        if (tableDepth == 0 && isStart(content, token, u"style")) {
            styleName = attribute(content, u"name");
        } else if (tableDepth == 0 && isStart(content, token, u"table-properties") &&
                   attribute(content, u"display") == u"false" && hiddenStyles.size() < 256) {
            hiddenStyles.push_back(styleName);
        }
        if (isStart(content, token, u"table")) {
            if (tableDepth == 0) {
                const std::string name = attribute(content, u"name").toStdString();
                ++sheets;
                const QString style = attribute(content, u"style-name");
                const bool hidden = !style.isEmpty() && std::find(hiddenStyles.begin(), hiddenStyles.end(), style) !=
                                                            hiddenStyles.end();
                const bool wanted = choice.named() ? isChosen(choice, sheets, name)
                                                   : rowsRead == 0 && (!hidden || choice.includeHidden);
                if (!wanted) {
                    if (!choice.named() && hidden && !choice.includeHidden) {
                        passedOver.push_back(hiddenSheetNote(name));
                    }
                    skipDepth = 1;
                    continue;
                }
                if (sheetName != nullptr) {
                    *sheetName = name;
                }
                lastRead = name;
                ++sheetsRead;
                seenTable = true;
                rowNumber = 0;
                merged = MergedCells();
            }
            ++tableDepth;
        } else if (isEnd(content, token, u"table")) {
            if (--tableDepth == 0 && choice.named()) {
                break;
            }
        } else if (tableDepth == 1 && isStart(content, token, u"table-row")) {
            column = 0;
            rowRepeats = repeatCount(content, u"number-rows-repeated");
            inRow = true;
            const QString visibility = attribute(content, u"visibility");
            if (visibility == u"collapse" || visibility == u"filter") {
                row.hide();
            }
        } else if (tableDepth == 1 && isEnd(content, token, u"table-row")) {
            if (!inRow) {
                return fileError("the sheet is damaged: a row ends that never started");
            }
            inRow = false;
            if (!row.empty() && rowNumber + rowRepeats > kMaxSheetRows) {
                return rowsPastTheLast(rowNumber);
            }
            if (auto error = row.finish(rowNumber + 1, rowRepeats)) {
                return error;
            }
            rowNumber += rowRepeats;
        } else if (tableDepth == 1 &&
                   (isStart(content, token, u"table-cell") || isStart(content, token, u"covered-table-cell"))) {
            if (!inRow) {
                return fileError("the sheet is damaged: a cell outside any row");
            }
            const int repeats = repeatCount(content, u"number-columns-repeated");
            const OdsCellKind kind = odsCellKind(content);
            if (content.xml().name() == u"covered-table-cell") {
                const std::int64_t end = std::min<std::int64_t>(std::int64_t{column} + repeats, kMaxReadColumns + 1);
                for (int c = column + 1; c <= std::min<std::int64_t>(end, kMaxReadColumns); ++c) {
                    row.set(c, merged.textAt(rowNumber + 1, c));
                }
                column = static_cast<int>(end);
                continue;
            }
            const int rowsSpanned = repeatCount(content, u"number-rows-spanned");
            const int columnsSpanned = repeatCount(content, u"number-columns-spanned");
            std::optional<std::u16string> text = odsCellText(content);
            if (!text) {
                return fileError(content.error());
            }
            // The text the file stores beside the value is what the sheet shows, in every format.
            if (const std::optional<std::string> refusal = odsRefusal(kind, *text)) {
                for (int r = 0; r < repeats && column < kMaxReadColumns; ++r) {
                    row.refuse(++column, *refusal);
                }
                continue;
            }
            merged.add(rowNumber + 1, column + 1, rowsSpanned, columnsSpanned, *text);
            if (text->empty()) {
                // An empty stretch takes no room until a cell follows it.
                column = static_cast<int>(std::min<std::int64_t>(std::int64_t{column} + repeats, kMaxReadColumns + 1));
                continue;
            }
            for (int r = 0; r < repeats; ++r) {
                if (!row.set(++column, *text)) {
                    return textTooFarRight(rowNumber + 1, column);
                }
            }
        }
    }
    if (auto failure = content.finish()) {
        return fileError(*failure);
    }
    if (!seenTable) {
        if (sheets == 0) {
            return fileError("the spreadsheet has no sheet");
        }
        return choice.named() ? noSuchSheet(choice, sheets) : fileError("every sheet of the spreadsheet is hidden");
    }
    if (notes != nullptr) {
        *notes = passedOver;
        if (rowsRead > 0 && (sheetsRead > 1 || !passedOver.empty())) {
            notes->push_back(sheetReadNote(lastRead));
        }
    }
    return std::nullopt;
}

}  // namespace pp::kqd::sheet
