#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/SheetCells.h"

namespace pp::kqd::sheet {
namespace {

struct Collected {
    std::vector<SourceRow> rows;
    RowSink sink = [this](SourceRow&& row) -> std::optional<SourceError> {
        rows.push_back(std::move(row));
        return std::nullopt;
    };
};

// What a formula's cell shows decides: an error value of either program is refused by its
// column, while a formula whose shown text the file keeps without a value type is taken.
TEST(SheetCells, OdsFormulaCellsAreJudgedByTheTextTheyShow) {
    Collected got;
    OdsSheetRows rows(got.sink);
    rows.startRow(1, false);
    ASSERT_FALSE(rows.cell({}, u"雑学", 1, 1, 1));
    ASSERT_FALSE(rows.cell({.formula = true}, u"Err:502", 1, 1, 1));
    ASSERT_FALSE(rows.cell({.formula = true}, u"3776", 1, 1, 1));
    ASSERT_FALSE(rows.endRow());
    ASSERT_EQ(got.rows.size(), 1u);
    const SourceRow& row = got.rows[0];
    ASSERT_EQ(row.problems.size(), 1u);
    EXPECT_EQ(row.problems[0].column, 2);
    EXPECT_NE(row.problems[0].message.find("Err:502"), std::string::npos);
    ASSERT_EQ(row.cells.size(), 3u);
    EXPECT_EQ(row.cells[2], u"3776");
}

// A row number that does not go up would make messages name the wrong rows.
TEST(SheetCells, XlsxRowsMustGoUp) {
    Collected got;
    const XlsxBook book;
    XlsxSheetRows rows(book, got.sink);
    ASSERT_FALSE(rows.startRow(3, false));
    ASSERT_FALSE(rows.endRow());
    const std::optional<SourceError> again = rows.startRow(3, false);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->line, 3);
}

}  // namespace
}  // namespace pp::kqd::sheet
