#pragma once

// What the desktop's readers of .xlsx and .ods files share: a zip part read as an XML stream.
#include <zip.h>

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "authoring/Messages.h"
#include "authoring/SheetRows.h"
#include "authoring/Spreadsheet.h"

namespace pp::kqd::sheet {

inline constexpr std::size_t kReadPiece = 1 << 16;


struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

struct EntryCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using Entry = std::unique_ptr<zip_file_t, EntryCloser>;


inline std::u16string u16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

// Bounds that no spreadsheet program's file comes near, so that a small hostile file is refused
// at once instead of costing minutes or gigabytes.
// One token (a tag with its attributes, a text, a comment, CDATA or a processing instruction):
// the longest cell Excel keeps is 32,767 characters.
inline constexpr std::uint64_t kMaxTokenBytes = 1 << 20;
// One text between two tags, however many comments split it.
inline constexpr qsizetype kMaxTextUnits = 1 << 20;
// Elements inside elements: sheets nest a dozen deep.
inline constexpr int kMaxDepth = 256;

// One XML part of the archive, fed to the XML reader a piece at a time as it asks for more, and
// read to its end (so its CRC-32 is checked) once the reader is done with it.
//
// The reader starts a comment, CDATA section or processing instruction afresh each time it
// needs more data inside one, so feeding it equal pieces would cost time quadratic in the
// token's length; each piece it waits for is therefore as long as what it already waits on, and
// a token longer than kMaxTokenBytes is refused.
class XmlPart {
public:
    XmlPart(zip_t* archive, const std::string& name, std::uint64_t maxBytes) : name_(name), maxBytes_(maxBytes) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        present_ = zip_stat(archive, name.c_str(), 0, &stat) == 0;
        if (!present_) {
            return;
        }
        if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && stat.encryption_method != ZIP_EM_NONE) {
            failure_ = name_ + " is encrypted: save the spreadsheet without a password";
            return;
        }
        entry_.reset(zip_fopen(archive, name.c_str(), 0));
        if (!entry_) {
            failure_ = name_ + ": " + zip_strerror(archive);
        }
    }

    // Whether the archive holds the part, readable or not: one it cannot read fails at next().
    [[nodiscard]] bool exists() const { return present_; }

    // The next token; Invalid at an error, which error() then describes.
    QXmlStreamReader::TokenType next() {
        for (;;) {
            if (failure_) {
                return QXmlStreamReader::Invalid;
            }
            const QXmlStreamReader::TokenType token = xml_.readNext();
            if (token == QXmlStreamReader::Invalid && xml_.error() == QXmlStreamReader::PrematureEndOfDocumentError &&
                !finished_) {
                if (!feed()) {
                    return QXmlStreamReader::Invalid;
                }
                continue;
            }
            if (token != QXmlStreamReader::Invalid && !withinBounds(token)) {
                return QXmlStreamReader::Invalid;
            }
            if (token == QXmlStreamReader::EndDocument && finish()) {
                return QXmlStreamReader::Invalid;
            }
            return token;
        }
    }

    QXmlStreamReader& xml() { return xml_; }

    // Reads what is left of the part, for a reader that stops early, so that a damaged part is
    // refused whole; the failure, if any, of the part so far. A missing part is the reader's to
    // tell.
    std::optional<std::string> finish() {
        if (!present_) {
            return std::nullopt;
        }
        while (!failure_ && entry_ && !finished_ && read_ <= maxBytes_) {
            const zip_int64_t got = readPiece(kReadPiece);
            finished_ = got == 0;
        }
        return failure_;
    }

    [[nodiscard]] std::string error() const {
        if (failure_) {
            return *failure_;
        }
        return name_ + ": " + xml_.errorString().toStdString() + " (line " + std::to_string(xml_.lineNumber()) + ")";
    }

private:
    // Reads up to `size` more bytes into piece_; how many, or -1 at a failure.
    zip_int64_t readPiece(std::size_t size) {
        piece_.resize(static_cast<qsizetype>(size));
        const zip_int64_t got = zip_fread(entry_.get(), piece_.data(), size);
        if (got < 0) {
            const zip_error_t* error = zip_file_get_error(entry_.get());
            failure_ = zip_error_code_zip(error) == ZIP_ER_CRC
                           ? name_ + " is damaged: its CRC-32 does not match its content"
                           : name_ + ": " + zip_error_strerror(const_cast<zip_error_t*>(error));
            return -1;
        }
        read_ += static_cast<std::uint64_t>(got);
        piece_.resize(static_cast<qsizetype>(got));
        return got;
    }

    bool feed() {
        if (!entry_) {
            failure_ = name_ + " is missing";
            return false;
        }
        if (pending_ > kMaxTokenBytes) {
            failure_ = name_ + ": one text, tag or comment is longer than " + std::to_string(kMaxTokenBytes >> 20) +
                       " MiB, more than any spreadsheet holds";
            return false;
        }
        const zip_int64_t got = readPiece(std::max<std::size_t>(kReadPiece, pending_));
        if (got < 0) {
            return false;
        }
        if (read_ > maxBytes_) {
            failure_ = name_ + " unpacks to more than " + std::to_string(maxBytes_ >> 20) +
                       " MiB, more than any quiz needs";
            return false;
        }
        finished_ = got == 0;
        pending_ += static_cast<std::uint64_t>(got);
        xml_.addData(piece_);
        return true;
    }

    // Checks the depth and the length of text as each token comes.
    bool withinBounds(QXmlStreamReader::TokenType token) {
        pending_ = 0;
        if (token == QXmlStreamReader::StartElement || token == QXmlStreamReader::EndElement) {
            text_ = 0;
            depth_ += token == QXmlStreamReader::StartElement ? 1 : -1;
            if (depth_ > kMaxDepth) {
                failure_ = name_ + ": elements nested more than " + std::to_string(kMaxDepth) +
                           " deep, deeper than any spreadsheet goes";
            }
        } else if (token == QXmlStreamReader::Characters) {
            text_ += xml_.text().size();
            if (text_ > kMaxTextUnits) {
                failure_ = name_ + ": a text longer than " + std::to_string(kMaxTextUnits >> 20) +
                           " Mi characters, more than any cell holds";
            }
        }
        return !failure_;
    }

    std::string name_;
    std::uint64_t maxBytes_;
    bool present_ = false;
    Entry entry_;
    QXmlStreamReader xml_;
    QByteArray piece_;
    std::uint64_t read_ = 0;
    std::uint64_t pending_ = 0;  // bytes fed since the last token
    qsizetype text_ = 0;         // characters of text since the last tag
    int depth_ = 0;
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


// The readers of the two formats, on an open archive.
std::optional<SourceError> readXlsxArchive(zip_t* archive, const RowSink& sink, std::string* sheetName,
                                           std::uint64_t maxBytes, const SheetChoice& choice = {},
                                           std::vector<SourceError>* notes = nullptr);
std::optional<SourceError> readOdsArchive(zip_t* archive, const RowSink& sink, std::string* sheetName,
                                          std::uint64_t maxBytes, const SheetChoice& choice = {},
                                          std::vector<SourceError>* notes = nullptr);


}  // namespace pp::kqd::sheet
