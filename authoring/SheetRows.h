#pragma once

// What every reader of a sheet shares, whatever parses its XML (Qt's stream reader on the desktop,
// the browser's own parser in the page): the gathering of a row into dense cells, and the notes
// and errors that name sheets. Plain C++, so that every build of the game compiles it.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "authoring/Messages.h"
#include "authoring/Spreadsheet.h"

namespace pp::kqd::sheet {

// A cell's text is kept up to this many units: far more than any field holds, so a longer one
// is still refused as too long, while a cell of a billion repeated spaces cannot fill memory.
inline constexpr std::size_t kMaxCellUnits = 1 << 16;

// Sheets end at row 1,048,576, as in Excel.
inline constexpr LineNumber kMaxSheetRows = 1 << 20;

inline void appendCapped(std::u16string& text, std::u16string_view more) {
    text.append(more.substr(0, kMaxCellUnits - std::min(kMaxCellUnits, text.size())));
}

// Shared texts: a quiz of 8 genres of 32,767 questions has at most 1,572,824 different texts
// (8 genre names, and a question and five choices each).
inline constexpr std::size_t kMaxSharedStrings = 1'600'000;

inline SourceError fileError(std::string message) { return SourceError{0, 0, std::move(message)}; }

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
    return SourceError{row, column, msg("text far to the right of the seven columns of a question")};
}

// The notes of a sheet passed over by default, and of the sheet read in its stead.
inline SourceError hiddenSheetNote(const std::string& name) {
    return SourceError{0, 0, "note: the sheet " + name + " is hidden and left out (--include-hidden reads it)"};
}
inline SourceError sheetReadNote(const std::string& name) {
    return SourceError{0, 0, "note: the questions are read from the sheet " + name +
                                 ", the first visible sheet that holds data"};
}

// Whether the sheet at `place` (from 1) named `name` is the one `choice` asks for.
inline bool isChosen(const SheetChoice& choice, int place, const std::string& name) {
    return !choice.name.empty() ? name == choice.name : place == choice.number;
}

inline SourceError noSuchSheet(const SheetChoice& choice, int sheets) {
    return fileError(!choice.name.empty()
                         ? fill(msg("the spreadsheet has no sheet named %1"), {choice.name})
                         : fill(sheets == 1 ? msg("the spreadsheet has %1 sheet, not %2")
                                             : msg("the spreadsheet has %1 sheets, not %2"),
                                {std::to_string(sheets), std::to_string(choice.number)}));
}

}  // namespace pp::kqd::sheet
