#pragma once

// What the readers of .xlsx and .ods files share: a zip part read as an XML stream, and the
// gathering of a sheet's row into dense cells.
#include <zip.h>

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Spreadsheet.h"

namespace pp::kqd::sheet {

inline constexpr std::size_t kReadPiece = 1 << 16;

// A cell's text is kept up to this many units: far more than any field holds, so a longer one
// is still refused as too long, while a cell of a billion repeated spaces cannot fill memory.
inline constexpr std::size_t kMaxCellUnits = 1 << 16;

// Sheets end at row 1,048,576, as in Excel.
inline constexpr LineNumber kMaxSheetRows = 1 << 20;

inline void appendCapped(std::u16string& text, std::u16string_view more) {
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

inline SourceError fileError(std::string message) { return SourceError{0, 0, std::move(message)}; }

inline std::u16string u16(const QString& text) {
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

inline bool isStart(XmlPart& part, QXmlStreamReader::TokenType token, QStringView name) {
    return token == QXmlStreamReader::StartElement && part.xml().name() == name;
}

inline bool isEnd(XmlPart& part, QXmlStreamReader::TokenType token, QStringView name) {
    return token == QXmlStreamReader::EndElement && part.xml().name() == name;
}

inline QString attribute(XmlPart& part, QStringView name) {
    for (const QXmlStreamAttribute& attr : part.xml().attributes()) {
        if (attr.name() == name) {
            return attr.value().toString();
        }
    }
    return {};
}

// A number as a spreadsheet shows it in the general format: at most 15 significant digits,
// no trailing zeros, so 1600 stays "1600".
inline std::u16string generalNumber(const QString& value) {
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

    // Sets cell `column` (from 1) of the current row; false for text past kMaxReadColumns.
    bool set(int column, std::u16string text) {
        if (text.empty()) {
            return true;
        }
        if (column < 1 || column > kMaxReadColumns) {
            return false;
        }
        if (cells_.size() < static_cast<std::size_t>(column)) {
            cells_.resize(static_cast<std::size_t>(column));
        }
        cells_[static_cast<std::size_t>(column - 1)] = std::move(text);
        return true;
    }

    // Refuses cell `column` of the current row, saying why; the row is handed on all the same.
    void refuse(int column, std::string why) {
        if (cells_.size() < static_cast<std::size_t>(column)) {
            cells_.resize(static_cast<std::size_t>(column));
        }
        problems_.push_back(SourceError{0, column, std::move(why)});
    }

    // Marks the current row as hidden in the sheet.
    void hide() { hidden_ = true; }

    [[nodiscard]] bool empty() const { return cells_.empty(); }

    // Hands on the row as rows `first` .. `first + repeats - 1`; a blank row needs no copies.
    std::optional<SourceError> finish(LineNumber first, int repeats = 1) {
        std::vector<std::u16string> cells = std::move(cells_);
        std::vector<SourceError> problems = std::move(problems_);
        const bool hidden = hidden_;
        cells_.clear();
        problems_.clear();
        hidden_ = false;
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
            SourceRow row{first + r, r + 1 < repeats ? cells : std::move(cells), directive, problems};
            for (SourceError& problem : row.problems) {
                problem.line = first + r;
            }
            row.hidden = hidden;
            if (auto error = sink_(std::move(row))) {
                return error;
            }
        }
        return std::nullopt;
    }

private:
    const RowSink& sink_;
    std::vector<std::u16string> cells_;
    std::vector<SourceError> problems_;
    bool hidden_ = false;
};

inline std::optional<SourceError> textTooFarRight(LineNumber row, int column) {
    return SourceError{row, column, "text far to the right of the seven columns of a question"};
}

// The readers of the two formats, on an open archive.
std::optional<SourceError> readXlsxArchive(zip_t* archive, const RowSink& sink, std::string* sheetName,
                                           std::uint64_t maxBytes);
std::optional<SourceError> readOdsArchive(zip_t* archive, const RowSink& sink, std::string* sheetName,
                                          std::uint64_t maxBytes);

}  // namespace pp::kqd::sheet
