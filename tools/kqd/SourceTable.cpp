#include "SourceTable.h"

#include <algorithm>
#include <cctype>

#include "tools/common/Utf8.h"

namespace pp::kqd {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// A row as split, cells still UTF-8.
struct RawRow {
    int line = 0;
    std::vector<std::string> cells;
};

using RawRows = std::vector<RawRow>;

std::string_view withoutCarriageReturn(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

bool isSkippedLine(std::string_view line) {
    line = withoutCarriageReturn(line);
    if (!line.empty() && line.front() == '#') {
        return true;
    }
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

// The physical line starting at `pos`, without its line break.
std::string_view lineAt(std::string_view text, std::size_t pos) {
    const std::size_t end = text.find('\n', pos);
    return text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
}

RawRows splitTsv(std::string_view text) {
    RawRows rows;
    int lineNumber = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::string_view line = lineAt(text, pos);
        pos += line.size() + 1;
        ++lineNumber;
        if (isSkippedLine(line)) {
            continue;
        }
        RawRow row{lineNumber, {}};
        const std::string_view content = withoutCarriageReturn(line);
        for (std::size_t start = 0;;) {
            const std::size_t tab = content.find('\t', start);
            row.cells.emplace_back(content.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
            if (tab == std::string_view::npos) {
                break;
            }
            start = tab + 1;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

// Reads the comma-separated values of one record that starts at `pos`.
class CsvReader {
public:
    explicit CsvReader(std::string_view text) : text_(text) {}

    std::variant<RawRows, SourceError> readAll() {
        RawRows rows;
        while (pos_ < text_.size()) {
            const std::string_view line = lineAt(text_, pos_);
            if (isSkippedLine(line)) {
                pos_ += line.size() + 1;
                ++line_;
                continue;
            }
            RawRow row{line_, {}};
            if (auto error = readRecord(row)) {
                return *error;
            }
            rows.push_back(std::move(row));
        }
        return rows;
    }

private:
    std::optional<SourceError> readRecord(RawRow& row) {
        for (;;) {
            const int column = static_cast<int>(row.cells.size()) + 1;
            std::string cell;
            if (pos_ < text_.size() && text_[pos_] == '"') {
                if (auto error = readQuoted(cell, column)) {
                    return error;
                }
            } else {
                readPlain(cell);
            }
            row.cells.push_back(std::move(cell));
            if (pos_ < text_.size() && text_[pos_] == ',') {
                ++pos_;
                continue;
            }
            endRecord();
            return std::nullopt;
        }
    }

    std::optional<SourceError> readQuoted(std::string& cell, int column) {
        const int startLine = line_;
        ++pos_;
        for (;;) {
            if (pos_ >= text_.size()) {
                return SourceError{startLine, column, "the quoted cell is never closed"};
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
        const std::string_view rest = withoutCarriageReturn(lineAt(text_, pos_));
        if (!rest.empty() && rest.front() != ',') {
            return SourceError{line_, column, "text after the closing quote of the cell"};
        }
        if (rest.empty()) {
            pos_ += lineAt(text_, pos_).size();  // step over a '\r' before the line break
        }
        return std::nullopt;
    }

    void readPlain(std::string& cell) {
        const std::string_view line = lineAt(text_, pos_);
        const std::size_t comma = line.find(',');
        const std::string_view content =
            comma == std::string_view::npos ? withoutCarriageReturn(line) : line.substr(0, comma);
        cell.assign(content);
        pos_ += comma == std::string_view::npos ? line.size() : comma;
    }

    // Steps over the line break that ends a record.
    void endRecord() {
        if (pos_ < text_.size() && text_[pos_] == '\n') {
            ++pos_;
        }
        ++line_;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

bool allCellsEmpty(const RawRow& row) {
    return std::all_of(row.cells.begin(), row.cells.end(), [](const std::string& cell) { return cell.empty(); });
}

}  // namespace

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
    return std::nullopt;
}

std::variant<SourceTable, SourceError> parseSourceTable(std::string_view text, TableFormat format) {
    if (text.starts_with(kByteOrderMark)) {
        text.remove_prefix(kByteOrderMark.size());
    }
    RawRows rows;
    if (format == TableFormat::Tsv) {
        rows = splitTsv(text);
    } else {
        auto split = CsvReader(text).readAll();
        if (auto* error = std::get_if<SourceError>(&split)) {
            return *error;
        }
        rows = std::move(std::get<RawRows>(split));
    }
    SourceTable table;
    for (const RawRow& raw : rows) {
        if (allCellsEmpty(raw)) {
            continue;
        }
        SourceRow row{raw.line, {}};
        for (std::size_t c = 0; c < raw.cells.size(); ++c) {
            std::optional<std::u16string> cell = utf16FromUtf8(raw.cells[c]);
            if (!cell) {
                return SourceError{raw.line, static_cast<int>(c) + 1, "the text is not valid UTF-8"};
            }
            row.cells.push_back(std::move(*cell));
        }
        table.push_back(std::move(row));
    }
    return table;
}

}  // namespace pp::kqd
