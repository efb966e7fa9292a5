#include "authoring/SourceTable.h"

#include <algorithm>
#include <cctype>

#include "authoring/Messages.h"
#include "record/Cp932.h"
#include "encoding/Utf8.h"

namespace pp::kqd {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kReadPiece = 1 << 20;

// A row as split, cells still in the file's encoding.
struct RawRow {
    LineNumber line = 0;
    std::vector<std::string> cells;
};

std::string_view withoutCarriageReturn(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

bool isSkippedLine(std::string_view line) {
    line = withoutCarriageReturn(line);
    if (!line.empty() && line.front() == '#') {
        return !line.starts_with(kDirectivePrefix);
    }
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

bool allCellsEmpty(const RawRow& row) {
    return std::all_of(row.cells.begin(), row.cells.end(), [](const std::string& cell) { return cell.empty(); });
}

// Decodes one cell; a code page 932 byte sequence without a character becomes U+FFFD, which
// no real character of that code page decodes to.
std::optional<std::u16string> decodeCell(std::string_view bytes, TextEncoding encoding) {
    if (encoding == TextEncoding::Utf8) {
        return utf16FromUtf8(bytes);
    }
    std::u16string text = decodeCp932(bytes);
    if (text.find(u'\uFFFD') != std::u16string::npos) {
        return std::nullopt;
    }
    return text;
}


// Splits text into rows a piece at a time: a row that reaches the end of the piece waits for
// the next one unless the piece ends the table.
class TableParser {
public:
    TableParser(TableFormat format, TextEncoding encoding, LineNumber firstLine)
        : format_(format), encoding_(encoding), line_(firstLine) {}

    // Parses the whole rows of `text`; `used` says how many bytes they took.
    std::optional<SourceError> parse(std::string_view text, bool atEnd, std::size_t& used, const RowSink& sink) {
        text_ = text;
        atEnd_ = atEnd;
        pos_ = 0;
        used = 0;
        if (!started_) {
            if (text.size() < kByteOrderMark.size() && !atEnd) {
                return std::nullopt;
            }
            if (text.starts_with(kByteOrderMark)) {
                pos_ = kByteOrderMark.size();
            }
            started_ = true;
        }
        while (pos_ < text_.size()) {
            if (!lineComplete(pos_)) {
                break;
            }
            const std::string_view line = lineAt(pos_);
            if (isSkippedLine(line) || line.starts_with(kDirectivePrefix)) {
                if (auto error = lineOnItsOwn(line, sink)) {
                    return error;
                }
                continue;
            }
            RawRow row{line_, {}};
            row.cells.reserve(8);
            const std::size_t start = pos_;
            const LineNumber startLine = line_;
            if (format_ == TableFormat::Tsv) {
                splitTsv(line, row);
            } else {
                bool complete = true;
                if (auto error = readCsvRecord(row, complete)) {
                    return error;
                }
                if (!complete) {
                    pos_ = start;
                    line_ = startLine;
                    break;
                }
            }
            if (auto error = emit(row, sink)) {
                return error;
            }
        }
        used = pos_;
        return std::nullopt;
    }

    [[nodiscard]] LineNumber line() const { return line_; }

private:
    bool lineComplete(std::size_t pos) const { return atEnd_ || text_.find('\n', pos) != std::string_view::npos; }

    // The physical line starting at `pos`, without its line break.
    std::string_view lineAt(std::size_t pos) const {
        const std::size_t end = text_.find('\n', pos);
        return text_.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    }

    void stepOverLine(std::string_view line) {
        pos_ += line.size() + (pos_ + line.size() < text_.size() ? 1 : 0);
        ++line_;
    }

    // A comment, a blank line or a directive.
    std::optional<SourceError> lineOnItsOwn(std::string_view line, const RowSink& sink) {
        const LineNumber number = line_;
        stepOverLine(line);
        if (!line.starts_with(kDirectivePrefix)) {
            return std::nullopt;
        }
        std::optional<std::u16string> text =
            decodeCell(withoutCarriageReturn(line).substr(kDirectivePrefix.size()), encoding_);
        if (!text) {
            return SourceError{number, 1, invalidTextMessage(encoding_)};
        }
        SourceRow row{number, {std::move(*text)}, true};
        return sink(std::move(row));
    }

    void splitTsv(std::string_view line, RawRow& row) {
        const std::string_view content = withoutCarriageReturn(line);
        for (std::size_t start = 0;;) {
            const std::size_t tab = content.find('\t', start);
            row.cells.emplace_back(
                content.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
            if (tab == std::string_view::npos) {
                break;
            }
            start = tab + 1;
        }
        stepOverLine(line);
    }

    // Reads the comma-separated cells of one record, which may span lines inside quotes.
    std::optional<SourceError> readCsvRecord(RawRow& row, bool& complete) {
        for (;;) {
            const int column = static_cast<int>(row.cells.size()) + 1;
            std::string cell;
            if (pos_ < text_.size() && text_[pos_] == '"') {
                if (auto error = readQuoted(cell, column, complete); error || !complete) {
                    return error;
                }
            } else if (!readPlain(cell)) {
                complete = false;
                return std::nullopt;
            }
            row.cells.push_back(std::move(cell));
            if (pos_ < text_.size() && text_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < text_.size() && text_[pos_] == '\n') {
                ++pos_;
            }
            ++line_;
            return std::nullopt;
        }
    }

    std::optional<SourceError> readQuoted(std::string& cell, int column, bool& complete) {
        const LineNumber startLine = line_;
        ++pos_;
        for (;;) {
            if (pos_ + 1 >= text_.size() && !atEnd_) {
                complete = false;  // a quote or line break may follow in the next piece
                return std::nullopt;
            }
            if (pos_ >= text_.size()) {
                return SourceError{startLine, column, msg("the quoted cell is never closed")};
            }
            const char c = text_[pos_];
            if (c == '"') {
                if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
                    cell += '"';
                    pos_ += 2;
                    continue;
                }
                ++pos_;
                break;
            }
            if (c == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') {
                ++pos_;  // a Windows line break inside a cell is kept as a plain one
                continue;
            }
            if (c == '\n') {
                ++line_;
            }
            cell += c;
            ++pos_;
        }
        // Only a comma or the end of the line may follow the closing quote.
        const char next = pos_ < text_.size() ? text_[pos_] : '\n';
        if (next == '\r' && pos_ + 1 >= text_.size() && !atEnd_) {
            complete = false;
            return std::nullopt;
        }
        if (next == '\r' && (pos_ + 1 >= text_.size() || text_[pos_ + 1] == '\n')) {
            ++pos_;  // step over a '\r' before the line break
        } else if (next != ',' && next != '\n') {
            return SourceError{line_, column, msg("text after the closing quote of the cell")};
        }
        if (pos_ >= text_.size() && !atEnd_) {
            complete = false;  // the record may go on in the next piece
        }
        return std::nullopt;
    }

    // Reads a cell up to the next comma or line break, each character looked at once.
    bool readPlain(std::string& cell) {
        const std::size_t stop = text_.find_first_of(",\n", pos_);
        if (stop == std::string_view::npos && !atEnd_) {
            return false;
        }
        const std::size_t end = stop == std::string_view::npos ? text_.size() : stop;
        std::string_view content = text_.substr(pos_, end - pos_);
        if (end == text_.size() || text_[end] == '\n') {
            content = withoutCarriageReturn(content);
        }
        cell.assign(content);
        pos_ = end;
        return true;
    }

    std::optional<SourceError> emit(const RawRow& raw, const RowSink& sink) {
        if (allCellsEmpty(raw)) {
            return std::nullopt;
        }
        SourceRow row{raw.line, {}, false};
        row.cells.reserve(raw.cells.size());
        for (std::size_t c = 0; c < raw.cells.size(); ++c) {
            std::optional<std::u16string> cell = decodeCell(raw.cells[c], encoding_);
            if (!cell) {
                return SourceError{raw.line, static_cast<int>(c) + 1, invalidTextMessage(encoding_)};
            }
            row.cells.push_back(std::move(*cell));
        }
        return sink(std::move(row));
    }

    TableFormat format_;
    TextEncoding encoding_;
    LineNumber line_;
    bool started_ = false;
    std::string_view text_;
    bool atEnd_ = false;
    std::size_t pos_ = 0;
};

// The end of the last whole line in `bytes`: after it a character always starts afresh, in
// UTF-8 and in code page 932 alike (a line break is never a trail byte).
std::size_t wholeLinesEnd(std::string_view bytes) {
    const std::size_t last = bytes.find_last_of("\r\n");
    return last == std::string_view::npos ? 0 : last + 1;
}

bool decodesAsCp932(std::string_view bytes) { return decodeCp932(bytes).find(u'\uFFFD') == std::u16string::npos; }

// Where the first line of `bytes` that `valid` refuses starts.
std::size_t firstBadLine(std::string_view bytes, bool (*valid)(std::string_view)) {
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = std::min(bytes.find_first_of("\r\n", start), bytes.size());
        if (!valid(bytes.substr(start, end - start))) {
            return start;
        }
        start = end + 1;
    }
    return bytes.size();
}

// Old Mac programs end lines with a carriage return alone: each one not followed by a line feed
// becomes a line feed, from `from` on. One at the very end waits for the next piece unless the
// text ends there, since a line feed may follow.
void loneCarriageReturnsToLineFeeds(std::string& text, std::size_t from, bool atEnd) {
    for (std::size_t i = text.find('\r', from); i != std::string::npos; i = text.find('\r', i + 1)) {
        if (i + 1 < text.size() ? text[i + 1] != '\n' : atEnd) {
            text[i] = '\n';
        }
    }
}

bool hasLoneCarriageReturn(std::string_view text) {
    for (std::size_t i = text.find('\r'); i != std::string_view::npos; i = text.find('\r', i + 1)) {
        if (i + 1 == text.size() || text[i + 1] != '\n') {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string invalidTextMessage(TextEncoding encoding) {
    return encoding == TextEncoding::Utf8 ? msg("the text is not valid UTF-8")
                                          : msg("the text is not valid Shift_JIS (code page 932)");
}

std::optional<TableFormat> tableFormatOf(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".tsv") {
        return TableFormat::Tsv;
    }
    if (extension == ".csv") {
        return TableFormat::Csv;
    }
    if (extension == ".xlsx") {
        return TableFormat::Xlsx;
    }
    if (extension == ".ods") {
        return TableFormat::Ods;
    }
    return std::nullopt;
}

std::optional<SourceError> parseSourceTable(std::string_view text, TableFormat format, TextEncoding encoding,
                                            const RowSink& sink, LineNumber firstLine) {
    TableParser parser(format, encoding, firstLine);
    std::size_t used = 0;
    if (hasLoneCarriageReturn(text)) {
        std::string lines(text);
        loneCarriageReturnsToLineFeeds(lines, 0, true);
        return parser.parse(lines, true, used, sink);
    }
    return parser.parse(text, true, used, sink);
}

std::variant<SourceTable, SourceError> parseSourceTable(std::string_view text, TableFormat format) {
    SourceTable table;
    auto error = parseSourceTable(text, format, TextEncoding::Utf8, [&](SourceRow&& row) {
        if (!row.directive) {
            table.push_back(std::move(row));
        }
        return std::optional<SourceError>();
    });
    if (error) {
        return *error;
    }
    return table;
}

std::optional<SourceError> readSourceTable(std::istream& in, TableFormat format, TextEncoding encoding,
                                           const RowSink& sink) {
    TableParser parser(format, encoding, 1);
    std::string buffer;
    for (;;) {
        const std::size_t held = buffer.size();
        buffer.resize(held + kReadPiece);
        in.read(buffer.data() + held, static_cast<std::streamsize>(kReadPiece));
        buffer.resize(held + static_cast<std::size_t>(in.gcount()));
        const bool atEnd = !in;
        if (atEnd && in.bad()) {
            return SourceError{parser.line(), 0, msg("cannot read the file")};
        }
        loneCarriageReturnsToLineFeeds(buffer, held == 0 ? 0 : held - 1, atEnd);
        std::size_t used = 0;
        if (auto error = parser.parse(buffer, atEnd, used, sink)) {
            return error;
        }
        if (atEnd) {
            return std::nullopt;
        }
        buffer.erase(0, used);
        if (buffer.size() > kMaxRowBytes) {
            return SourceError{parser.line(), 0,
                               msg("the row starting here is longer than 1 MiB, far more than a question takes "
                                   "(a quote that is never closed?)")};
        }
    }
}

std::optional<TextEncoding> detectEncoding(std::istream& in, TextEncoding* closest) {
    bool utf8 = true;
    bool cp932 = true;
    std::uint64_t consumed = 0;
    std::uint64_t utf8Bad = 0;
    std::uint64_t cp932Bad = 0;
    std::string buffer;
    bool atStart = true;
    while (utf8 || cp932) {
        const std::size_t held = buffer.size();
        buffer.resize(held + kReadPiece);
        in.read(buffer.data() + held, static_cast<std::streamsize>(kReadPiece));
        buffer.resize(held + static_cast<std::size_t>(in.gcount()));
        const bool atEnd = !in;
        std::size_t end = atEnd ? buffer.size() : wholeLinesEnd(buffer);
        if (end == 0 && buffer.size() > kMaxRowBytes) {
            end = buffer.size();  // no line break at all: judge it as it is
        }
        std::string_view piece(buffer.data(), end);
        if (atStart && piece.starts_with(kByteOrderMark)) {
            piece.remove_prefix(kByteOrderMark.size());
        }
        atStart = atStart && end == 0;
        const std::uint64_t pieceStart = consumed + (end - piece.size());
        if (utf8 && !isValidUtf8(piece)) {
            utf8 = false;
            utf8Bad = pieceStart + firstBadLine(piece, isValidUtf8);
        }
        if (cp932 && !decodesAsCp932(piece)) {
            cp932 = false;
            cp932Bad = pieceStart + firstBadLine(piece, decodesAsCp932);
        }
        consumed += end;
        buffer.erase(0, end);
        if (atEnd) {
            break;
        }
    }
    if (utf8) {
        return TextEncoding::Utf8;
    }
    if (cp932) {
        return TextEncoding::Cp932;
    }
    if (closest != nullptr) {
        *closest = cp932Bad > utf8Bad ? TextEncoding::Cp932 : TextEncoding::Utf8;
    }
    return std::nullopt;
}

}  // namespace pp::kqd
