#include "authoring/SheetCells.h"

#include <algorithm>
#include <locale>
#include <sstream>

#include "authoring/Messages.h"
#include "encoding/Utf8.h"

namespace pp::kqd::sheet {
namespace {

bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v'; }

std::u16string_view trimmed(std::u16string_view text) {
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// A number as the file stores it ("17290", "0.1", "1.5E-3"), read the same in every locale.
std::optional<double> storedNumber(std::u16string_view text) {
    text = trimmed(text);
    std::string ascii;
    for (const char16_t c : text) {
        if (c > 0x7f) {
            return std::nullopt;
        }
        ascii += static_cast<char>(c);
    }
    if (ascii.empty()) {
        return std::nullopt;
    }
    std::istringstream in(ascii);
    in.imbue(std::locale::classic());
    double number = 0;
    in >> number;
    if (in.fail() || in.peek() != std::char_traits<char>::eof()) {
        return std::nullopt;
    }
    return number;
}

// A shared text's index: digits alone.
std::optional<std::size_t> storedIndex(std::u16string_view text) {
    text = trimmed(text);
    if (text.empty() || text.size() > 18) {
        return std::nullopt;
    }
    std::size_t index = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        index = index * 10 + static_cast<std::size_t>(c - u'0');
    }
    return index;
}

std::string formulaWithoutResult() {
    return msg("a formula saved without its result (the program that wrote the file did not calculate "
               "it): open the file in a spreadsheet program and save it again, or type the text");
}

std::string errorShown(std::u16string_view text) {
    return fill(msg("the cell shows the error %1: correct the formula, or type the text"), {utf8FromUtf16(text)});
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
        return errorShown(text);
    }
    if (kind.formula && !kind.valued && text.empty()) {
        return formulaWithoutResult();
    }
    return std::nullopt;
}

}  // namespace

int columnOfReference(std::u16string_view reference) {
    int column = 0;
    for (const char16_t c : reference) {
        if (c < u'A' || c > u'Z') {
            break;
        }
        column = column * 26 + (c - u'A' + 1);
        if (column > kMaxReadColumns) {
            return kMaxReadColumns + 1;  // any column this far right is refused alike
        }
    }
    return column;
}

std::pair<LineNumber, int> cellOfReference(std::u16string_view reference) {
    std::size_t digits = 0;
    while (digits < reference.size() && (reference[digits] < u'0' || reference[digits] > u'9')) {
        ++digits;
    }
    LineNumber row = 0;
    for (std::size_t i = digits; i < reference.size(); ++i) {
        const char16_t c = reference[i];
        if (c < u'0' || c > u'9' || row > kMaxSheetRows) {
            return {0, columnOfReference(reference)};
        }
        row = row * 10 + (c - u'0');
    }
    return {row, columnOfReference(reference)};
}

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

std::u16string XlsxFormats::formatOf(int style) const {
    if (style < 0 || static_cast<std::size_t>(style) >= cellFormats_.size()) {
        return u"General";
    }
    const int id = cellFormats_[static_cast<std::size_t>(style)];
    for (const auto& [custom, code] : custom_) {
        if (custom == id) {
            return code;
        }
    }
    return std::u16string(builtinNumberFormat(id).value_or(u"General"));
}

CellValue xlsxCellValue(const XlsxBook& book, const XlsxCell& cell) {
    CellValue shown;
    if (cell.formula && (!cell.hasValue || book.resultsStale)) {
        shown.refusal = formulaWithoutResult();
        return shown;
    }
    const std::u16string& type = cell.type;
    if (type == u"inlineStr") {
        shown.text = storedText(cell.inlineText.value_or(std::u16string()));
    } else if (type == u"s") {
        const std::optional<std::size_t> index = storedIndex(cell.value);
        shown.badIndex = !index || *index >= book.sharedStrings.size();
        shown.text = shown.badIndex ? std::u16string() : storedText(book.sharedStrings[*index]);
    } else if (type == u"b") {
        shown.text = trimmed(cell.value) == u"1" ? u"TRUE" : u"FALSE";
    } else if (type == u"e") {
        shown.refusal = errorShown(trimmed(cell.value));
    } else if (type == u"str" || type == u"d" || cell.value.empty()) {
        shown.text = storedText(cell.value);
    } else {
        const std::optional<double> number = storedNumber(cell.value);
        if (!number) {
            shown.text = cell.value;
            return shown;
        }
        const std::u16string code = book.formats.formatOf(cell.style.value_or(0));
        NumberText text = formatNumber(*number, code, book.dates);
        if (text.unrenderable) {
            shown.refusal = fill(msg("the cell's number format \"%1\" shows %2, which kqd cannot show as the sheet "
                                     "does: format the column as text"),
                                 {utf8FromUtf16(code), msg(text.unrenderable->c_str())});
        }
        shown.text = std::move(text.text);
    }
    return shown;
}

void XlsxSheetRows::merge(std::u16string_view range) {
    const std::size_t colon = range.find(u':');
    if (merges_.size() >= kMaxMerges || colon == std::u16string_view::npos || range.find(u':', colon + 1) !=
                                                                                  std::u16string_view::npos) {
        return;
    }
    const auto [top, left] = cellOfReference(range.substr(0, colon));
    const auto [bottom, right] = cellOfReference(range.substr(colon + 1));
    if (top > 0 && left > 0 && bottom >= top && right >= left) {
        merges_.push_back({top, left, bottom, std::min(right, kMaxReadColumns)});
        mergesSorted_ = false;
    }
}

std::optional<SourceError> XlsxSheetRows::startRow(std::optional<LineNumber> given, bool hidden) {
    if (!mergesSorted_) {
        std::sort(merges_.begin(), merges_.end(), [](const Merge& a, const Merge& b) {
            return a.top != b.top ? a.top < b.top : a.left < b.left;
        });
        mergesSorted_ = true;
    }
    const LineNumber next = given && *given > 0 ? *given : rowNumber_ + 1;
    // Excel writes rows in ascending order and refuses a file that does not: a row number going
    // back, or past the last row, would make messages name the wrong rows.
    if (next <= rowNumber_) {
        return SourceError{next, 0, "row " + std::to_string(next) + " comes after row " + std::to_string(rowNumber_) +
                                        ": the sheet's rows are out of order"};
    }
    if (next > kMaxSheetRows) {
        return SourceError{rowNumber_ + 1, 0, "the sheet has more rows than a spreadsheet can"};
    }
    rowNumber_ = next;
    column_ = 0;
    inRow_ = true;
    if (hidden) {
        row_.hide();
    }
    return std::nullopt;
}

std::optional<SourceError> XlsxSheetRows::cell(const XlsxCell& cell) {
    if (!inRow_) {
        return fileError("the sheet is damaged: a cell outside any row");
    }
    const int given = columnOfReference(cell.reference);
    column_ = given > 0 ? given : column_ + 1;
    CellValue shown = xlsxCellValue(book_, cell);
    if (shown.badIndex) {
        return SourceError{rowNumber_, column_, msg("the cell names a shared text the workbook does not have")};
    }
    // A merge starting here covers its cells with this text.
    if (!merges_.empty() && !shown.text.empty()) {
        const auto starts = std::equal_range(merges_.begin(), merges_.end(), Merge{rowNumber_, column_, 0, 0},
                                             [](const Merge& a, const Merge& b) {
                                                 return a.top != b.top ? a.top < b.top : a.left < b.left;
                                             });
        for (auto merge = starts.first; merge != starts.second; ++merge) {
            for (int c = merge->left; c <= merge->right; ++c) {
                covers_[static_cast<std::size_t>(c)] = Cover{rowNumber_, column_, merge->bottom, shown.text};
            }
        }
    }
    if (shown.refusal && column_ <= kMaxReadColumns) {
        row_.refuse(column_, std::move(*shown.refusal));
    } else if (!row_.set(column_, std::move(shown.text))) {
        return textTooFarRight(rowNumber_, column_);
    }
    return std::nullopt;
}

std::optional<SourceError> XlsxSheetRows::endRow() {
    if (!inRow_) {
        return fileError("the sheet is damaged: a row ends that never started");
    }
    inRow_ = false;
    for (int c = 1; c <= kMaxReadColumns; ++c) {
        const Cover& cover = covers_[static_cast<std::size_t>(c)];
        if (cover.lastRow >= rowNumber_ && (rowNumber_ != cover.row || c != cover.column)) {
            row_.set(c, cover.text);
        }
    }
    return row_.finish(rowNumber_);
}

void OdsSheetRows::startRow(int repeats, bool hidden) {
    column_ = 0;
    rowRepeats_ = std::max(1, repeats);
    inRow_ = true;
    if (hidden) {
        row_.hide();
    }
}

std::optional<SourceError> OdsSheetRows::coveredCell(int repeats) {
    if (!inRow_) {
        return fileError("the sheet is damaged: a cell outside any row");
    }
    const std::int64_t end = std::min<std::int64_t>(std::int64_t{column_} + std::max(1, repeats), kMaxReadColumns + 1);
    for (int c = column_ + 1; c <= std::min<std::int64_t>(end, kMaxReadColumns); ++c) {
        const Span& span = spans_[static_cast<std::size_t>(c)];
        row_.set(c, span.lastRow >= rowNumber_ + 1 ? span.text : std::u16string());
    }
    column_ = static_cast<int>(end);
    return std::nullopt;
}

std::optional<SourceError> OdsSheetRows::cell(const OdsCellKind& kind, const std::u16string& text, int repeats,
                                              int rowsSpanned, int columnsSpanned) {
    if (!inRow_) {
        return fileError("the sheet is damaged: a cell outside any row");
    }
    repeats = std::max(1, repeats);
    if (const std::optional<std::string> refusal = odsRefusal(kind, text)) {
        for (int r = 0; r < repeats && column_ < kMaxReadColumns; ++r) {
            row_.refuse(++column_, *refusal);
        }
        return std::nullopt;
    }
    if ((rowsSpanned > 1 || columnsSpanned > 1) && !text.empty()) {
        const int last =
            static_cast<int>(std::min<std::int64_t>(std::int64_t{column_} + std::max(1, columnsSpanned), kMaxReadColumns));
        for (int c = column_ + 1; c <= last; ++c) {
            spans_[static_cast<std::size_t>(c)] = Span{rowNumber_ + std::max(1, rowsSpanned), text};
        }
    }
    if (text.empty()) {
        // An empty stretch takes no room until a cell follows it.
        column_ = static_cast<int>(std::min<std::int64_t>(std::int64_t{column_} + repeats, kMaxReadColumns + 1));
        return std::nullopt;
    }
    for (int r = 0; r < repeats; ++r) {
        if (!row_.set(++column_, text)) {
            return textTooFarRight(rowNumber_ + 1, column_);
        }
    }
    return std::nullopt;
}

std::optional<SourceError> OdsSheetRows::endRow() {
    if (!inRow_) {
        return fileError("the sheet is damaged: a row ends that never started");
    }
    inRow_ = false;
    if (!row_.empty() && rowNumber_ + rowRepeats_ > kMaxSheetRows) {
        // Text in rows past the last one a sheet has. Blank rows repeated may already have gone
        // past it, and a row that no spreadsheet has must not be named.
        const std::string says = "the sheet has more rows than a spreadsheet can";
        if (rowNumber_ >= kMaxSheetRows) {
            return fileError(says + ": text after row " + std::to_string(kMaxSheetRows) + ", its last");
        }
        return SourceError{rowNumber_ + 1, 0, says};
    }
    if (auto error = row_.finish(rowNumber_ + 1, rowRepeats_)) {
        return error;
    }
    rowNumber_ += rowRepeats_;
    return std::nullopt;
}

}  // namespace pp::kqd::sheet
