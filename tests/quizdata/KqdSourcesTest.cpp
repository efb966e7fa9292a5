// The tables kqd reads as quiz makers save them: Shift_JIS CSV, Excel and LibreOffice files,
// large tables read a piece at a time, and hostile files.
#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "KqdRun.h"
#include "SpreadsheetFixtures.h"
#include "authoring/SourceTable.h"
#include "authoring/Spreadsheet.h"
#include "record/Cp932.h"
#include "tools/common/Utf8.h"

namespace pp::kqd {
namespace {

using test::CellKind;
using test::SheetCell;
using test::SheetRows;

using test::kqd;
using test::Outcome;

// One quiz in every form: a number stored as a number, inline and shared texts, equal
// neighbouring cells, empty cells after the seventh, and a comment row.
SheetRows quizRows() {
    const auto text = [](const char* t) { return SheetCell{t, CellKind::Text}; };
    return {
        {text("# 歴史と科学のクイズ")},
        {text("歴史"), text("関ヶ原の戦いは何年？"), {"1600", CellKind::Number}, text("1582"), text("1615"),
         text("1573"), text("1603")},
        {text("科学"), text("水の化学式は \"H2O\"？"), text("はい"), text("いいえ"), text("CO2"), text("O2"),
         text("NaCl")},
        {text("同じ"), text("同じ"), {"0.5", CellKind::Number}, text("1/3"), text("2"), text("0.25"), text("1")},
        {text("歴史"), text("鎌倉幕府を開いたのは？"), {"源頼朝", CellKind::Inline}, text("足利尊氏"), text("平清盛"),
         text("徳川家康"), text("北条時政"), text(""), text("")},
    };
}

std::string tsvOf(const SheetRows& rows) {
    std::string out;
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            out += (c == 0 ? "" : "\t") + row[c].text;
        }
        out += "\n";
    }
    return out;
}

std::string csvOf(const SheetRows& rows) {
    std::string out;
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            std::string cell = row[c].text;
            if (cell.find_first_of(",\"\n") != std::string::npos) {
                std::string quoted = "\"";
                for (const char ch : cell) {
                    quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
                }
                cell = quoted + "\"";
            }
            out += (c == 0 ? "" : ",") + cell;
        }
        out += "\r\n";
    }
    return out;
}

class KqdSources : public ::testing::Test {
protected:
    std::string path(const std::string& name) { return (folder_ / name).string(); }
    void write(const std::string& name, const std::string& bytes) { test::writeBytes(folder_ / name, bytes); }
    std::string build(const std::string& name, std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"build", path(name), "-o", path(name + ".kqd")};
        args.insert(args.end(), extra.begin(), extra.end());
        last_ = kqd(args);
        EXPECT_EQ(last_.status, kExitOk) << last_.err;
        return test::readBytes(folder_ / (name + ".kqd"));
    }

    test::TempDir folder_;
    Outcome last_;
};

TEST_F(KqdSources, ShiftJisCsvBuildsLikeItsUtf8Twin) {
    const std::string utf8 = csvOf(quizRows());
    write("utf8.csv", utf8);
    write("sjis.csv", *encodeCp932(*utf16FromUtf8(utf8)));
    const std::string expected = build("utf8.csv");
    EXPECT_EQ(build("sjis.csv"), expected);
    EXPECT_NE(last_.err.find("Shift_JIS"), std::string::npos);
    EXPECT_EQ(last_.err.find('\n'), last_.err.size() - 1) << last_.err;  // said in one line
    EXPECT_EQ(build("sjis.csv", {"--encoding", "cp932"}), expected);

    const Outcome forced = kqd({"build", path("sjis.csv"), "-o", path("x.kqd"), "--encoding", "utf-8"});
    EXPECT_EQ(forced.status, kExitFailure);
    EXPECT_NE(forced.err.find("sjis.csv:2:1: the text is not valid UTF-8"), std::string::npos) << forced.err;

    write("neither.csv", "ok,\x80\x82\n");  // 0x80 is neither UTF-8 nor a code page 932 character
    const Outcome neither = kqd({"build", path("neither.csv"), "-o", path("x.kqd")});
    EXPECT_EQ(neither.status, kExitFailure);
    EXPECT_NE(neither.err.find("neither.csv:1:2:"), std::string::npos) << neither.err;
    EXPECT_NE(neither.err.find("save the table as UTF-8 or Shift_JIS CSV"), std::string::npos) << neither.err;
    EXPECT_FALSE(std::filesystem::exists(folder_ / "x.kqd"));
}

TEST_F(KqdSources, CsvErrorsAfterACellWithLineBreaksNameTheSpreadsheetRowToo) {
    write("multi.csv", "雑学,\"一行目\r\n二行目\n三行目\",a,b,c,d,e\n\n雑学,q,a,,c,d,e\n");
    const Outcome built = kqd({"build", path("multi.csv"), "-o", path("x.kqd")});
    EXPECT_EQ(built.status, kExitFailure);
    EXPECT_NE(built.err.find("multi.csv:5:4 (row 3 in a spreadsheet): "), std::string::npos) << built.err;
    EXPECT_EQ(built.err.find("multi.csv:1:"), std::string::npos) << built.err;
}

TEST_F(KqdSources, SpreadsheetsBuildLikeTheTsv) {
    write("quiz.tsv", tsvOf(quizRows()));
    write("quiz.xlsx", test::xlsxBytes(quizRows(), folder_ / "scratch.zip"));
    write("quiz.ods", test::odsBytes(quizRows(), folder_ / "scratch.zip"));
    const std::string expected = build("quiz.tsv");
    EXPECT_EQ(build("quiz.xlsx"), expected);
    build("quiz.ods");
    EXPECT_NE(last_.out.find("4 questions in 3 genres"), std::string::npos) << last_.out;

    // Numbers come out as the spreadsheet shows them (the .ods shows 1600 as "1,600"), the
    // phonetic guide and the note do not.
    const Outcome dump = kqd({"dump", path("quiz.ods.kqd"), "--tsv"});
    EXPECT_NE(dump.out.find("関ヶ原の戦いは何年？\t1,600\t"), std::string::npos) << dump.out;
    EXPECT_NE(dump.out.find("同じ\t同じ\t0.5\t"), std::string::npos) << dump.out;
    EXPECT_EQ(dump.out.find("ヨミ"), std::string::npos);
    EXPECT_EQ(dump.out.find("a note"), std::string::npos);
}

TEST_F(KqdSources, SpreadsheetErrorsNameTheSheetCell) {
    SheetRows rows = quizRows();
    rows[3][3].text.clear();  // wrong answers 1 and 2 of the question on row 4: one empty stretch
    rows[3][4].text.clear();
    write("quiz.xlsx", test::xlsxBytes(rows, folder_ / "scratch.zip", "問題"));
    write("quiz.ods", test::odsBytes(rows, folder_ / "scratch.zip", "My quiz"));
    const Outcome xlsx = kqd({"build", path("quiz.xlsx"), "-o", path("x.kqd")});
    EXPECT_EQ(xlsx.status, kExitFailure);
    EXPECT_NE(xlsx.err.find("quiz.xlsx: 問題!D4: the wrong answer 1 is empty\nkqd: " + path("quiz.xlsx") +
                            ": 問題!E4: the wrong answer 2 is empty\n"),
              std::string::npos)
        << xlsx.err;
    const Outcome ods = kqd({"build", path("quiz.ods"), "-o", path("x.kqd")});
    EXPECT_NE(ods.err.find("quiz.ods: 'My quiz'!D4: the wrong answer 1 is empty\nkqd: " + path("quiz.ods") +
                           ": 'My quiz'!E4: the wrong answer 2 is empty\n"),
              std::string::npos)
        << ods.err;

    rows = quizRows();
    rows[2][6].text = "はい";
    write("dup.xlsx", test::xlsxBytes(rows, folder_ / "scratch.zip"));
    const Outcome dup = kqd({"build", path("dup.xlsx"), "-o", path("x.kqd")});
    EXPECT_NE(dup.err.find("Sheet1!G3: the right answer is repeated as wrong answer 4 (columns C and G)"),
              std::string::npos)
        << dup.err;
}

// A cell holds the text its number format shows; a cell that shows no text of its own (an
// error value, a formula saved without its result) or one shown in a way kqd cannot copy is
// refused by name, all of them in one pass.
TEST_F(KqdSources, SheetOptionPicksASheetByNameOrPlace) {
    write("quiz.xlsx", test::xlsxBytes(quizRows(), folder_ / "scratch.zip", "問題"));
    write("quiz.ods", test::odsBytes(quizRows(), folder_ / "scratch.zip", "問題"));
    for (const std::string file : {"quiz.xlsx", "quiz.ods"}) {
        const std::string expected = build(file);
        EXPECT_EQ(build(file, {"--sheet", "問題"}), expected) << file;
        EXPECT_EQ(build(file, {"--sheet", "1"}), expected) << file;
        const Outcome other = kqd({"build", path(file), "-o", path("x.kqd"), "--sheet", "Other"});
        EXPECT_EQ(other.status, kExitFailure) << file;  // the second sheet holds no question
        const Outcome third = kqd({"build", path(file), "-o", path("x.kqd"), "--sheet", "3"});
        EXPECT_NE(third.err.find(file + ": the spreadsheet has 2 sheets, not 3"), std::string::npos) << third.err;
        const Outcome missing = kqd({"build", path(file), "-o", path("x.kqd"), "--sheet", "Nope"});
        EXPECT_NE(missing.err.find("has no sheet named Nope"), std::string::npos) << missing.err;
    }
    write("quiz.csv", "a,b\n");
    EXPECT_EQ(kqd({"build", path("quiz.csv"), "-o", path("x.kqd"), "--sheet", "1"}).status, kExitFailure);
    EXPECT_FALSE(std::filesystem::exists(folder_ / "x.kqd"));
}

TEST_F(KqdSources, XlsxCellsHoldWhatTheSheetShowsOrAreRefusedByCell) {
    const auto raw = [](const char* xml) { return SheetCell{xml, CellKind::RawXlsx}; };
    SheetRows rows = quizRows();
    rows[1][2] = raw("s=\"1\"><v>17290</v>");
    rows[1][3] = raw("s=\"2\"><v>0.1</v>");
    rows[1][4] = raw("t=\"str\"><f>A1</f><v>0123</v>");
    rows[2][3] = {"いい_x000D_\nえ", CellKind::Text};
    write("shown.xlsx", test::xlsxBytes(rows, folder_ / "scratch.zip"));
    build("shown.xlsx");
    const Outcome dump = kqd({"dump", path("shown.xlsx.kqd"), "--tsv"});
    EXPECT_NE(dump.out.find("\t1947/5/3\t10%\t0123\t"), std::string::npos) << dump.out;
    EXPECT_NE(dump.out.find("\tはい\tいい\\nえ\t"), std::string::npos) << dump.out;

    rows[2][4] = raw("t=\"e\"><f>1/0</f><v>#DIV/0!</v>");
    rows[3][4] = raw("><f>B2</f>");
    rows[4][3] = raw("s=\"4\"><v>17290</v>");
    rows[4][5] = {"", CellKind::Text};
    write("bad.xlsx", test::xlsxBytes(rows, folder_ / "scratch.zip"));
    const Outcome bad = kqd({"build", path("bad.xlsx"), "-o", path("bad.kqd")});
    EXPECT_EQ(bad.status, kExitFailure);
    EXPECT_EQ(bad.err,
              "kqd: " + path("bad.xlsx") + ": Sheet1!E3: the cell shows the error #DIV/0!: correct the formula, or "
              "type the text\n"
              "kqd: " + path("bad.xlsx") + ": Sheet1!E4: a formula saved without its result (the program that wrote "
              "the file did not calculate it): open the file in a spreadsheet program and save it again, or type "
              "the text\n"
              "kqd: " + path("bad.xlsx") + ": Sheet1!D5: the cell's number format \"[$-411]ggge\"年\"m\"月\"d\"日\"\" "
              "shows an era date, which kqd cannot show as the sheet does: format the column as text\n"
              "kqd: " + path("bad.xlsx") + ": Sheet1!F5: the wrong answer 3 is empty\n"
              "kqd: " + path("bad.xlsx") + ": 4 errors; nothing written\n");
    EXPECT_FALSE(std::filesystem::exists(folder_ / "bad.kqd"));
}

std::optional<SourceError> readAll(std::string_view bytes, bool ods, std::uint64_t cap = kMaxPartBytes) {
    std::string sheet;
    const RowSink ignore = [](SourceRow&&) { return std::optional<SourceError>(); };
    return ods ? readOds(bytes, ignore, &sheet, cap) : readXlsx(bytes, ignore, &sheet, cap);
}

TEST_F(KqdSources, HostileSpreadsheetsAreRefusedQuickly) {
    for (const bool ods : {false, true}) {
        EXPECT_TRUE(readAll("", ods).has_value());
        EXPECT_TRUE(readAll("PK\x03\x04 not really a zip", ods).has_value());
    }
    // A part that unpacks past the cap is refused while it is read.
    SheetRows big(5000, quizRows()[1]);
    const std::string bomb = test::xlsxBytes(big, folder_ / "scratch.zip");
    EXPECT_FALSE(readAll(bomb, false).has_value());
    const std::optional<SourceError> capped = readAll(bomb, false, 1 << 20);
    ASSERT_TRUE(capped.has_value());
    EXPECT_NE(capped->message.find("unpacks to more than 1 MiB"), std::string::npos) << capped->message;

    // Deep nesting, a shared text that does not exist, a column past XFD, broken XML.
    const std::string main = "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
    std::string deep = main + "<sheetData><row r=\"1\">";
    for (int i = 0; i < 100000; ++i) {
        deep += "<x>";
    }
    for (const std::string& sheet : {deep, main + "<sheetData><row><c t=\"s\"><v>99</v></c></row></sheetData></worksheet>",
                                     main + "<sheetData><row><c r=\"XFE1\" t=\"inlineStr\"><is><t>x</t></is></c></row>",
                                     main + "<sheetData><row><c></row></sheetData></worksheet>"}) {
        const std::string bytes = test::zipBytes(
            {{"xl/workbook.xml", "<workbook><sheets><sheet name=\"S\" r:id=\"r1\" xmlns:r=\"urn:r\"/></sheets></workbook>"},
             {"xl/_rels/workbook.xml.rels", "<Relationships><Relationship Id=\"r1\" Target=\"s.xml\"/></Relationships>"},
             {"xl/s.xml", sheet}},
            folder_ / "scratch.zip");
        EXPECT_TRUE(readAll(bytes, false).has_value());
    }
}

TEST_F(KqdSources, XlsxRowsOutOfOrderPastTheLastRowOrCellsOutsideRowsAreRefused) {
    const auto xlsx = [&](const std::string& rows) {
        return test::zipBytes(
            {{"xl/workbook.xml", "<workbook><sheets><sheet name=\"S\" r:id=\"r1\" xmlns:r=\"urn:r\"/></sheets></workbook>"},
             {"xl/_rels/workbook.xml.rels", "<Relationships><Relationship Id=\"r1\" Target=\"s.xml\"/></Relationships>"},
             {"xl/s.xml", "<worksheet><sheetData>" + rows + "</sheetData></worksheet>"}},
            folder_ / "scratch.zip");
    };
    const std::string cell = "<c t=\"inlineStr\"><is><t>x</t></is></c>";
    const std::optional<SourceError> back = readAll(xlsx("<row r=\"5\">" + cell + "</row><row r=\"3\">" + cell + "</row>"), false);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->line, 3);
    EXPECT_NE(back->message.find("out of order"), std::string::npos) << back->message;
    const std::optional<SourceError> far = readAll(xlsx("<row r=\"1048577\">" + cell + "</row>"), false);
    ASSERT_TRUE(far.has_value());
    EXPECT_NE(far->message.find("more rows"), std::string::npos) << far->message;
    // A cell before any row would land in the first row, or alone in a row 0.
    const std::optional<SourceError> stray = readAll(xlsx(cell + "<row r=\"1\"></row>"), false);
    ASSERT_TRUE(stray.has_value());
    EXPECT_NE(stray->message.find("outside any row"), std::string::npos) << stray->message;
}

TEST_F(KqdSources, HostileRepeatsInAnOdsAreBounded) {
    const auto ods = [&](const std::string& table) {
        return test::zipBytes({{"content.xml",
                                "<office:document-content xmlns:office=\"urn:o\" xmlns:table=\"urn:t\" xmlns:text=\"urn:x\">"
                                "<office:body><office:spreadsheet><table:table table:name=\"S\">" +
                                    table + "</table:table></office:spreadsheet></office:body></office:document-content>"}},
                              folder_ / "scratch.zip");
    };
    std::int64_t rows = 0;
    std::size_t longest = 0;
    const RowSink count = [&](SourceRow&& row) {
        ++rows;
        for (const auto& cell : row.cells) {
            longest = std::max(longest, cell.size());
        }
        return std::optional<SourceError>();
    };
    std::string sheet;
    const std::string manyRows = "<table:table-row table:number-rows-repeated=\"1000000000\"><table:table-cell>"
                                 "<text:p>x</text:p></table:table-cell></table:table-row>";
    const auto error = readOds(ods(manyRows), count, &sheet);
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->message.find("more rows"), std::string::npos);
    EXPECT_EQ(rows, 0);

    // A cell before any row would be added to the first row.
    const std::string strayCell = "<table:table-cell><text:p>x</text:p></table:table-cell><table:table-row>"
                                  "<table:table-cell><text:p>y</text:p></table:table-cell></table:table-row>";
    const auto stray = readOds(ods(strayCell), count, &sheet);
    ASSERT_TRUE(stray.has_value());
    EXPECT_NE(stray->message.find("outside any row"), std::string::npos) << stray->message;

    std::string spaces = "<table:table-row><table:table-cell><text:p>";
    for (int i = 0; i < 2000; ++i) {
        spaces += "<text:s text:c=\"1000000\"/>";
    }
    spaces += "</text:p></table:table-cell></table:table-row><table:table-row><table:table-cell "
              "table:number-columns-repeated=\"99999\"><text:p>y</text:p></table:table-cell></table:table-row>";
    EXPECT_TRUE(readOds(ods(spaces), count, &sheet).has_value());  // the second row goes past the last column
    EXPECT_EQ(longest, 1u << 16);
}

// Rows as a sink sees them.
std::vector<SourceRow> rowsOf(const std::function<std::optional<SourceError>(const RowSink&)>& read) {
    std::vector<SourceRow> rows;
    const std::optional<SourceError> error = read([&](SourceRow&& row) {
        rows.push_back(std::move(row));
        return std::optional<SourceError>();
    });
    EXPECT_FALSE(error.has_value()) << error->message;
    return rows;
}

TEST(SourceTableStreaming, PiecesGiveTheSameRowsAsTheWholeText) {
    // Quoted cells with line breaks straddle the 1 MiB pieces somewhere in 3 MiB.
    for (const TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Cp932}) {
        std::string text = "\xEF\xBB\xBF";
        for (int i = 0; text.size() < (3u << 20); ++i) {
            text += "# " + std::to_string(i) + "\n\"複数\r\n行 " + std::to_string(i) + "\",\"say \"\"" +
                    std::string(static_cast<std::size_t>(i % 97), 'x') + "\"\"\",正解,誤,,\r\n";
        }
        if (encoding == TextEncoding::Cp932) {
            text = *encodeCp932(*utf16FromUtf8(text.substr(3)));
        }
        std::istringstream in(text);
        const auto pieces = rowsOf([&](const RowSink& sink) { return readSourceTable(in, TableFormat::Csv, encoding, sink); });
        const auto whole = rowsOf(
            [&](const RowSink& sink) { return parseSourceTable(text, TableFormat::Csv, encoding, sink); });
        ASSERT_EQ(pieces.size(), whole.size());
        ASSERT_GT(whole.size(), 20000u);
        for (std::size_t r = 0; r < whole.size(); ++r) {
            ASSERT_EQ(pieces[r].line, whole[r].line) << r;
            ASSERT_EQ(pieces[r].cells, whole[r].cells) << r;
        }
        EXPECT_EQ(whole.back().cells[0].substr(0, 4), u"複数\n行");
        std::istringstream again(text);
        EXPECT_EQ(detectEncoding(again), encoding);
    }
}

TEST(SourceTable, LineNumbersGoPastTwoToTheThirtyOne) {
    const RowSink keep = [](SourceRow&&) { return std::optional<SourceError>(); };
    const auto error = parseSourceTable("a\tb\n\n\xFF\n", TableFormat::Tsv, TextEncoding::Utf8, keep, INT_MAX);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->line, static_cast<LineNumber>(INT_MAX) + 2);

    std::istringstream endless(std::string(3u << 20, 'x'));
    const auto tooLong = readSourceTable(endless, TableFormat::Tsv, TextEncoding::Utf8, keep);
    ASSERT_TRUE(tooLong.has_value());
    EXPECT_NE(tooLong->message.find("longer than 1 MiB"), std::string::npos);
}

}  // namespace
}  // namespace pp::kqd
