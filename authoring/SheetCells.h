#pragma once

// What a sheet's cells show and how its rows are gathered, once each cell's parts have been taken
// out of the XML: the same rules whether Qt's stream reader (the desktop) or the browser's parser
// (the page) read the file. Plain C++ over UTF-16 texts.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "authoring/NumberFormat.h"
#include "authoring/SheetRows.h"

namespace pp::kqd::sheet {

// "C5" -> 3; 0 when the reference names no column; any column past kMaxReadColumns gives one more.
int columnOfReference(std::u16string_view reference);
// "B12" -> row 12, column 2; row 0 when it names none.
std::pair<LineNumber, int> cellOfReference(std::u16string_view reference);

// A text as Excel stores it: "_x000D_" escapes, and line breaks typed as "\r\n".
std::u16string storedText(std::u16string_view text);

// The number formats of an .xlsx's cell styles (xl/styles.xml).
class XlsxFormats {
public:
    void addCustom(int id, std::u16string code) { custom_.emplace_back(id, std::move(code)); }
    void addCellStyle(int numFmtId) { cellFormats_.push_back(numFmtId); }
    // The format code of cell style `style` (a cell's s attribute); General when the style or
    // its format is unknown, as Excel shows such a cell.
    [[nodiscard]] std::u16string formatOf(int style) const;

private:
    std::vector<int> cellFormats_;                          // numFmtId of each cellXfs entry
    std::vector<std::pair<int, std::u16string>> custom_;  // numFmtId, formatCode
};

// What the workbook part of an .xlsx says about showing the cells of its sheets.
struct XlsxBook {
    std::vector<std::u16string> sharedStrings;  // as stored, phonetic guides left out
    XlsxFormats formats;
    DateSystem dates = DateSystem::From1900;
    // The workbook asks to be calculated afresh when opened, as files written by scripts do:
    // the results stored beside its formulas are placeholders, not what the sheet shows.
    bool resultsStale = false;
};

// One <c> element of an .xlsx sheet, as the file has it.
struct XlsxCell {
    std::u16string reference;                // its r attribute, "C5"
    std::u16string type;                     // its t attribute
    std::optional<int> style;                // its s attribute
    std::u16string value;                    // the text of its <v>
    bool hasValue = false;                   // it has a <v>
    std::optional<std::u16string> inlineText;  // the text of its <is>, phonetic guides left out
    bool formula = false;                    // it has an <f>
};

// What a cell shows, or why it is refused.
struct CellValue {
    std::u16string text;
    std::optional<std::string> refusal;
    bool badIndex = false;  // a shared text the workbook does not have
};

CellValue xlsxCellValue(const XlsxBook& book, const XlsxCell& cell);

// The rows of one .xlsx sheet, told element by element, handed on as the sheet shows them:
// cells merged into one show the first cell's text in each cell they cover, so a genre merged
// over several rows is the genre of each.
class XlsxSheetRows {
public:
    XlsxSheetRows(const XlsxBook& book, const RowSink& sink) : book_(book), row_(sink) {}

    // A <mergeCell ref="A2:A5">, which the sheet lists after its rows: tell them all first.
    void merge(std::u16string_view range);

    // A <row>, with its r attribute when it has a number.
    std::optional<SourceError> startRow(std::optional<LineNumber> given, bool hidden);
    std::optional<SourceError> cell(const XlsxCell& cell);
    std::optional<SourceError> endRow();

private:
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
    static constexpr std::size_t kMaxMerges = 4096;  // far more than a sheet of questions has

    const XlsxBook& book_;
    RowBuilder row_;
    std::vector<Merge> merges_;
    bool mergesSorted_ = false;
    std::array<Cover, kMaxReadColumns + 1> covers_{};
    LineNumber rowNumber_ = 0;
    int column_ = 0;
    // Cells count only inside a row: a cell outside one, or a row's end without its start (which
    // a damaged cell's text swallowed), would put cells in the wrong row or in a row 0.
    bool inRow_ = false;
};

// What the attributes of an .ods <table:table-cell> say about its value.
struct OdsCellKind {
    bool formula = false;
    bool valued = false;  // it has a value type, so its formula was calculated
    bool error = false;   // LibreOffice's mark of an error value
};

// The rows of one .ods table, told element by element. The text a cell shows is the text the
// file stores beside its value, in every format.
class OdsSheetRows {
public:
    explicit OdsSheetRows(const RowSink& sink) : row_(sink) {}

    // A <table:table-row> repeated `repeats` times.
    void startRow(int repeats, bool hidden);
    // A <table:table-cell> with the text of its paragraphs, repeated and spanning as it says.
    std::optional<SourceError> cell(const OdsCellKind& kind, const std::u16string& text, int repeats, int rowsSpanned,
                                    int columnsSpanned);
    // A <table:covered-table-cell>, hidden under a merged cell.
    std::optional<SourceError> coveredCell(int repeats);
    std::optional<SourceError> endRow();

private:
    struct Span {
        LineNumber lastRow = 0;
        std::u16string text;
    };
    RowBuilder row_;
    std::array<Span, kMaxReadColumns + 1> spans_{};
    LineNumber rowNumber_ = 0;
    int column_ = 0;
    int rowRepeats_ = 1;
    bool inRow_ = false;
};

}  // namespace pp::kqd::sheet
