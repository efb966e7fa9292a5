// OpenDocument spreadsheets (.ods), as LibreOffice saves them: the first table of content.xml.
#include <algorithm>
#include <array>

#include "authoring/Messages.h"
#include "authoring/SheetCells.h"
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
    std::vector<SourceError> passedOver;  // the hidden sheets left out
    std::vector<QString> hiddenStyles;    // the table styles that hide a sheet
    QString styleName;
    int sheetsRead = 0;
    std::string lastRead;
    std::optional<OdsSheetRows> rows;
    int tableDepth = 0;  // inside the first table, counting tables nested in its cells
    bool seenTable = false;
    int sheets = 0;
    int skipDepth = 0;  // inside a sheet not chosen, counting tables nested in its cells
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
                rows.emplace(counted);
            }
            ++tableDepth;
        } else if (isEnd(content, token, u"table")) {
            if (--tableDepth == 0 && choice.named()) {
                break;
            }
        } else if (tableDepth == 1 && isStart(content, token, u"table-row")) {
            const QString visibility = attribute(content, u"visibility");
            rows->startRow(repeatCount(content, u"number-rows-repeated"),
                           visibility == u"collapse" || visibility == u"filter");
        } else if (tableDepth == 1 && isEnd(content, token, u"table-row")) {
            if (auto error = rows->endRow()) {
                return error;
            }
        } else if (tableDepth == 1 &&
                   (isStart(content, token, u"table-cell") || isStart(content, token, u"covered-table-cell"))) {
            const int repeats = repeatCount(content, u"number-columns-repeated");
            if (content.xml().name() == u"covered-table-cell") {
                if (auto error = rows->coveredCell(repeats)) {
                    return error;
                }
                continue;
            }
            const OdsCellKind kind = odsCellKind(content);
            const int rowsSpanned = repeatCount(content, u"number-rows-spanned");
            const int columnsSpanned = repeatCount(content, u"number-columns-spanned");
            std::optional<std::u16string> text = odsCellText(content);
            if (!text) {
                return fileError(content.error());
            }
            if (auto error = rows->cell(kind, *text, repeats, rowsSpanned, columnsSpanned)) {
                return error;
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
