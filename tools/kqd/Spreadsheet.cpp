#include "Spreadsheet.h"

#include <zip.h>

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace pp::kqd {
namespace {

constexpr std::size_t kReadPiece = 1 << 16;

// A cell's text is kept up to this many units: far more than any field holds, so a longer one
// is still refused as too long, while a cell of a billion repeated spaces cannot fill memory.
constexpr std::size_t kMaxCellUnits = 1 << 16;

// Sheets end at row 1,048,576, as in Excel.
constexpr LineNumber kMaxSheetRows = 1 << 20;

void appendCapped(std::u16string& text, std::u16string_view more) {
    text.append(more.substr(0, kMaxCellUnits - std::min(kMaxCellUnits, text.size())));
}

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

struct EntryCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using Entry = std::unique_ptr<zip_file_t, EntryCloser>;

SourceError fileError(std::string message) { return SourceError{0, 0, std::move(message)}; }

std::u16string u16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

// One XML part of the archive, fed to the XML reader a piece at a time as it asks for more.
class XmlPart {
public:
    XmlPart(zip_t* archive, const std::string& name, std::uint64_t maxBytes) : name_(name), maxBytes_(maxBytes) {
        entry_.reset(zip_fopen(archive, name.c_str(), 0));
    }

    [[nodiscard]] bool exists() const { return entry_ != nullptr; }

    // The next token; Invalid at an error, which error() then describes.
    QXmlStreamReader::TokenType next() {
        for (;;) {
            const QXmlStreamReader::TokenType token = xml_.readNext();
            if (token != QXmlStreamReader::Invalid || xml_.error() != QXmlStreamReader::PrematureEndOfDocumentError ||
                finished_) {
                return token;
            }
            if (!feed()) {
                return QXmlStreamReader::Invalid;
            }
        }
    }

    QXmlStreamReader& xml() { return xml_; }

    [[nodiscard]] std::string error() const {
        if (failure_) {
            return *failure_;
        }
        return name_ + ": " + xml_.errorString().toStdString() + " (line " + std::to_string(xml_.lineNumber()) + ")";
    }

private:
    bool feed() {
        if (!entry_) {
            failure_ = name_ + " is missing";
            return false;
        }
        char buffer[kReadPiece];
        const zip_int64_t got = zip_fread(entry_.get(), buffer, sizeof buffer);
        if (got < 0) {
            failure_ = name_ + ": " + zip_error_strerror(zip_file_get_error(entry_.get()));
            return false;
        }
        read_ += static_cast<std::uint64_t>(got);
        if (read_ > maxBytes_) {
            failure_ = name_ + " unpacks to more than " + std::to_string(maxBytes_ >> 20) +
                       " MiB, more than any quiz needs";
            return false;
        }
        if (got == 0) {
            finished_ = true;
        }
        xml_.addData(QByteArray(buffer, static_cast<qsizetype>(got)));
        return true;
    }

    std::string name_;
    std::uint64_t maxBytes_;
    Entry entry_;
    QXmlStreamReader xml_;
    std::uint64_t read_ = 0;
    bool finished_ = false;
    std::optional<std::string> failure_;
};

bool isStart(XmlPart& part, QXmlStreamReader::TokenType token, QStringView name) {
    return token == QXmlStreamReader::StartElement && part.xml().name() == name;
}

bool isEnd(XmlPart& part, QXmlStreamReader::TokenType token, QStringView name) {
    return token == QXmlStreamReader::EndElement && part.xml().name() == name;
}

QString attribute(XmlPart& part, QStringView name) {
    for (const QXmlStreamAttribute& attr : part.xml().attributes()) {
        if (attr.name() == name) {
            return attr.value().toString();
        }
    }
    return {};
}

// A number as a spreadsheet shows it in the general format: at most 15 significant digits,
// no trailing zeros, so 1600 stays "1600".
std::u16string generalNumber(const QString& value) {
    bool ok = false;
    const double number = value.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number)) {
        return u16(value);
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", number == 0 ? 0.0 : number);
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

// Gathers the cells of one row and hands it on, skipping blank and comment rows.
class RowBuilder {
public:
    explicit RowBuilder(const RowSink& sink) : sink_(sink) {}

    // Sets cell `column` (from 1) of the current row; false past the last column.
    bool set(int column, std::u16string text) {
        if (column < 1 || column > kMaxSheetColumns) {
            return false;
        }
        if (!text.empty()) {
            if (cells_.size() < static_cast<std::size_t>(column)) {
                cells_.resize(static_cast<std::size_t>(column));
            }
            cells_[static_cast<std::size_t>(column - 1)] = std::move(text);
        }
        return true;
    }

    [[nodiscard]] bool empty() const { return cells_.empty(); }

    // Hands on the row as rows `first` .. `first + repeats - 1`; a blank row needs no copies.
    std::optional<SourceError> finish(LineNumber first, int repeats = 1) {
        std::vector<std::u16string> cells = std::move(cells_);
        cells_.clear();
        if (cells.empty()) {
            return std::nullopt;
        }
        constexpr std::u16string_view kPrefix = u"#kqd:";
        const bool directive = cells[0].starts_with(kPrefix);
        if (directive) {
            cells = {cells[0].substr(kPrefix.size())};
            repeats = 1;
        } else if (cells[0].starts_with(u'#')) {
            return std::nullopt;
        }
        for (int r = 0; r < repeats; ++r) {
            SourceRow row{first + r, r + 1 < repeats ? cells : std::move(cells), directive};
            if (auto error = sink_(std::move(row))) {
                return error;
            }
        }
        return std::nullopt;
    }

private:
    const RowSink& sink_;
    std::vector<std::u16string> cells_;
};

std::optional<SourceError> tooManyColumns(LineNumber row) {
    return SourceError{row, kMaxSheetColumns + 1, "the sheet has more columns than a spreadsheet can"};
}

// ---- Office Open XML ----

// "C5" -> 3; 0 when the reference names no column.
int columnOfReference(const QString& reference) {
    int column = 0;
    for (const QChar c : reference) {
        if (c >= u'A' && c <= u'Z') {
            column = column * 26 + (c.unicode() - u'A' + 1);
            if (column > kMaxSheetColumns) {
                return kMaxSheetColumns + 1;
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
    for (auto token = sheet.next(); token != QXmlStreamReader::EndDocument; token = sheet.next()) {
        if (token == QXmlStreamReader::Invalid) {
            return fileError(sheet.error());
        }
        if (isStart(sheet, token, u"row")) {
            bool ok = false;
            const LineNumber given = attribute(sheet, u"r").toLongLong(&ok);
            rowNumber = ok && given > 0 ? given : rowNumber + 1;
            column = 0;
        } else if (isEnd(sheet, token, u"row")) {
            if (auto error = row.finish(rowNumber)) {
                return error;
            }
        } else if (isStart(sheet, token, u"c")) {
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
                return tooManyColumns(rowNumber);
            }
        }
    }
    return std::nullopt;
}

// ---- OpenDocument ----

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

std::optional<SourceError> readOdsArchive(zip_t* archive, const RowSink& sink, std::string* sheetName,
                                          std::uint64_t maxBytes) {
    XmlPart content(archive, "content.xml", maxBytes);
    if (!content.exists()) {
        return fileError("not an OpenDocument spreadsheet (.ods): it has no content.xml");
    }
    RowBuilder row(sink);
    LineNumber rowNumber = 0;
    int column = 0;
    int tableDepth = 0;  // inside the first table, counting tables nested in its cells
    bool seenTable = false;
    int rowRepeats = 1;
    for (auto token = content.next(); token != QXmlStreamReader::EndDocument; token = content.next()) {
        if (token == QXmlStreamReader::Invalid) {
            return fileError(content.error());
        }
        if (isStart(content, token, u"table")) {
            if (seenTable && tableDepth == 0) {
                break;  // only the first sheet
            }
            if (!seenTable && sheetName != nullptr) {
                *sheetName = attribute(content, u"name").toStdString();
            }
            seenTable = true;
            ++tableDepth;
        } else if (isEnd(content, token, u"table")) {
            if (--tableDepth == 0) {
                break;
            }
        } else if (tableDepth == 1 && isStart(content, token, u"table-row")) {
            column = 0;
            rowRepeats = repeatCount(content, u"number-rows-repeated");
        } else if (tableDepth == 1 && isEnd(content, token, u"table-row")) {
            if (!row.empty() && rowNumber + rowRepeats > kMaxSheetRows) {
                return SourceError{rowNumber + 1, 0, "the sheet has more rows than a spreadsheet can"};
            }
            if (auto error = row.finish(rowNumber + 1, rowRepeats)) {
                return error;
            }
            rowNumber += rowRepeats;
        } else if (tableDepth == 1 &&
                   (isStart(content, token, u"table-cell") || isStart(content, token, u"covered-table-cell"))) {
            const int repeats = repeatCount(content, u"number-columns-repeated");
            const QString type = attribute(content, u"value-type");
            const QString value = attribute(content, u"value");
            const bool covered = content.xml().name() == u"covered-table-cell";
            std::optional<std::u16string> text = covered ? std::u16string() : odsCellText(content);
            if (!text) {
                return fileError(content.error());
            }
            if (type == u"float" && !value.isEmpty()) {
                text = generalNumber(value);
            }
            if (text->empty()) {
                column += repeats;  // an empty stretch takes no room until a cell follows it
                continue;
            }
            for (int r = 0; r < repeats; ++r) {
                if (!row.set(++column, *text)) {
                    return tooManyColumns(rowNumber + 1);
                }
            }
        }
    }
    if (!seenTable) {
        return fileError("the spreadsheet has no sheet");
    }
    return std::nullopt;
}

using ArchiveReader = std::optional<SourceError> (*)(zip_t*, const RowSink&, std::string*, std::uint64_t);

std::optional<SourceError> readArchiveInMemory(std::string_view bytes, ArchiveReader reader, const RowSink& sink,
                                               std::string* sheetName, std::uint64_t maxBytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (source == nullptr) {
        zip_error_fini(&error);
        return fileError("cannot read the spreadsheet");
    }
    Archive archive(zip_open_from_source(source, ZIP_RDONLY, &error));
    if (!archive) {
        zip_source_free(source);
        const std::string reason = zip_error_strerror(&error);
        zip_error_fini(&error);
        return fileError("not a spreadsheet file (" + reason + ")");
    }
    zip_error_fini(&error);
    return reader(archive.get(), sink, sheetName, maxBytes);
}

}  // namespace

std::optional<SourceError> readXlsx(std::string_view bytes, const RowSink& sink, std::string* sheetName,
                                    std::uint64_t maxPartBytes) {
    return readArchiveInMemory(bytes, readXlsxArchive, sink, sheetName, maxPartBytes);
}

std::optional<SourceError> readOds(std::string_view bytes, const RowSink& sink, std::string* sheetName,
                                   std::uint64_t maxPartBytes) {
    return readArchiveInMemory(bytes, readOdsArchive, sink, sheetName, maxPartBytes);
}

std::optional<SourceError> readSpreadsheetFile(const std::filesystem::path& path, TableFormat format,
                                               const RowSink& sink, std::string* sheetName) {
    int code = 0;
    Archive archive(zip_open(path.c_str(), ZIP_RDONLY, &code));
    if (!archive) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const std::string reason = zip_error_strerror(&error);
        zip_error_fini(&error);
        return fileError(code == ZIP_ER_NOENT || code == ZIP_ER_OPEN ? "cannot read the file"
                                                                      : "not a spreadsheet file (" + reason + ")");
    }
    const ArchiveReader reader = format == TableFormat::Xlsx ? readXlsxArchive : readOdsArchive;
    return reader(archive.get(), sink, sheetName, kMaxPartBytes);
}

std::string cellName(std::string_view sheet, LineNumber row, int column) {
    std::string letters;
    for (int c = column; c > 0; c = (c - 1) / 26) {
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    }
    const bool plain = !sheet.empty() && std::all_of(sheet.begin(), sheet.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80;
    });
    std::string quoted;
    if (!plain) {
        quoted = "'";
        for (const char c : sheet) {
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        }
        quoted += "'";
    }
    return (plain ? std::string(sheet) : quoted) + "!" + letters + std::to_string(row);
}

}  // namespace pp::kqd
