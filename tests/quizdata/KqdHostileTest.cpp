// kqd against what it must not trust: spreadsheets built to cost minutes or gigabytes, damaged
// or encrypted archives, pipes and devices where files belong, tables in the wrong encoding or
// with old Mac line ends.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "KqdHostileSheets.h"
#include "KqdRun.h"
#include "QuizFixtures.h"
#include "authoring/SourceTable.h"
#include "authoring/Spreadsheet.h"
#include "record/Cp932.h"
#include "tools/common/Utf8.h"

namespace pp::kqd {
namespace {

using test::kqd;
using test::Outcome;
using test::PatternPart;

const RowSink kIgnoreRows = [](SourceRow&&) { return std::optional<SourceError>(); };

std::optional<SourceError> readSheet(const std::string& file, const std::string& bytes) {
    std::string sheet;
    return file.ends_with(".ods") ? readOds(bytes, kIgnoreRows, &sheet) : readXlsx(bytes, kIgnoreRows, &sheet);
}

TEST(KqdHostileSheets, EachIsRefusedNamingItsPart) {
    for (const test::HostileSheet& hostile : test::hostileSheets()) {
        const std::optional<SourceError> error = readSheet(hostile.file, test::patternZip(hostile.parts));
        ASSERT_TRUE(error.has_value()) << hostile.file;
        EXPECT_TRUE(error->message.starts_with(hostile.badPart + ": ") ||
                    error->message.starts_with(hostile.badPart + " holds"))
            << hostile.file << ": " << error->message;
        EXPECT_NE(error->message.find(hostile.says), std::string::npos) << hostile.file << ": " << error->message;
    }
}

// A workbook whose sheet holds one question; `change` may replace any part.
std::vector<PatternPart> quizWorkbook(const std::vector<PatternPart>& change = {}) {
    std::string cells;
    for (const char* text : {"歴史", "問", "正", "誤1", "誤2", "誤3", "誤4"}) {
        cells += std::string("<c t=\"inlineStr\"><is><t>") + text + "</t></is></c>";
    }
    std::vector<PatternPart> parts =
        test::xlsxWith(test::plainPart("xl/worksheets/sheet1.xml", "<worksheet><sheetData><row r=\"1\">" + cells +
                                                                       "</row></sheetData></worksheet><!--ZZZZ-->"));
    for (const PatternPart& changed : change) {
        for (PatternPart& part : parts) {
            part = part.name == changed.name ? changed : part;
        }
    }
    return parts;
}

std::vector<PatternPart> quizOds(const std::string& afterTable) {
    std::vector<PatternPart> parts =
        test::odsWith("<table:table-row>", "<table:table-cell><text:p>x</text:p></table:table-cell>", 7,
                      "</table:table-row>");
    parts[1].tail.insert(parts[1].tail.find("</office:spreadsheet>"), afterTable);
    return parts;
}

TEST(KqdHostileSheets, APartFailingItsCrcIsRefusedEvenWhereReadingStopsEarly) {
    struct Case {
        std::string file;
        std::vector<PatternPart> parts;
        std::string part;
    };
    // The sheet is read to its end; the workbook and content.xml only up to the first sheet.
    std::vector<Case> cases{
        {"sheet.xlsx", quizWorkbook(), "xl/worksheets/sheet1.xml"},
        {"book.xlsx",
         quizWorkbook({test::plainPart("xl/workbook.xml", "<workbook xmlns:r=\"urn:r\"><sheets><sheet name=\"S\" "
                                                          "r:id=\"rId1\"/></sheets><!--ZZZZ--></workbook>")}),
         "xl/workbook.xml"},
        {"rels.xlsx",
         quizWorkbook({test::plainPart("xl/_rels/workbook.xml.rels",
                                       "<Relationships><Relationship Id=\"rId1\" Type=\"worksheet\" "
                                       "Target=\"worksheets/sheet1.xml\"/><!--ZZZZ--></Relationships>")}),
         "xl/_rels/workbook.xml.rels"},
        {"content.ods", quizOds("<table:table table:name=\"Other\"><!--ZZZZ--></table:table>"), "content.xml"},
    };
    for (Case& c : cases) {
        for (PatternPart& part : c.parts) {
            part.stored = part.stored || part.name == c.part;
        }
        std::string bytes = test::patternZip(c.parts);
        ASSERT_FALSE(readSheet(c.file, bytes).has_value()) << c.file;
        bytes.replace(bytes.find("ZZZZ"), 4, "YYYY");
        const std::optional<SourceError> error = readSheet(c.file, bytes);
        ASSERT_TRUE(error.has_value()) << c.file;
        EXPECT_EQ(error->message, c.part + " is damaged: its CRC-32 does not match its content");
    }
}

TEST(KqdHostileSheets, OdsRowsPastTheLastAreNeverNamed) {
    // 2^31 blank rows, then one with text: the row it would name is past any sheet's last.
    const std::optional<SourceError> error = readSheet(
        "far.ods",
        test::patternZip(test::odsWith("", "<table:table-row table:number-rows-repeated=\"1073741824\"/>", 2,
                                       "<table:table-row><table:table-cell><text:p>x</text:p></table:table-cell>"
                                       "</table:table-row>")));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->line, 0);
    EXPECT_EQ(error->message, "the sheet has more rows than a spreadsheet can: text after row 1048576, its last");
}

TEST(KqdHostileSheets, BoundsRefuseJustPastTheirLimitAndNoSooner) {
    // The workbook is depth 1, so 255 elements inside it reach the deepest allowed, 256 one past.
    const auto nested = [](int depth) {
        std::string open;
        std::string close;
        for (int i = 0; i < depth; ++i) {
            open += "<a>";
            close += "</a>";
        }
        return test::plainPart("xl/workbook.xml", "<workbook xmlns:r=\"urn:r\">" + open + close +
                                                      "<sheets><sheet name=\"S\" r:id=\"rId1\"/></sheets></workbook>");
    };
    EXPECT_FALSE(readSheet("deep.xlsx", test::patternZip(quizWorkbook({nested(255)}))).has_value());
    const std::optional<SourceError> deeper = readSheet("deeper.xlsx", test::patternZip(quizWorkbook({nested(256)})));
    ASSERT_TRUE(deeper.has_value());
    EXPECT_NE(deeper->message.find("nested more than 256 deep"), std::string::npos) << deeper->message;

    const std::optional<SourceError> shared =
        readSheet("shared.xlsx", test::patternZip(test::xlsxWith({"xl/sharedStrings.xml", "<sst>", "<si/>",
                                                                  1'600'001, "</sst>"})));
    ASSERT_TRUE(shared.has_value());
    EXPECT_NE(shared->message.find("more than 1600000 shared texts"), std::string::npos) << shared->message;

    // The text limit holds for one text between two tags, not for all the cells of a sheet.
    std::string cells;
    for (int c = 0; c < 20; ++c) {
        cells += "<c t=\"inlineStr\"><is><t>" + std::string(60'000, 'x') + "</t></is></c>";
    }
    EXPECT_FALSE(readSheet("wide.xlsx", test::patternZip(test::xlsxWith(test::plainPart(
                                            "xl/worksheets/sheet1.xml", "<worksheet><sheetData><row r=\"1\">" +
                                                                            cells + "</row></sheetData></worksheet>"))))
                     .has_value());

    // Text after exactly the last row's worth of blank rows is past the last row too.
    const std::optional<SourceError> far = readSheet(
        "far.ods", test::patternZip(test::odsWith(
                       "", "<table:table-row table:number-rows-repeated=\"1048576\"/>", 1,
                       "<table:table-row><table:table-cell><text:p>x</text:p></table:table-cell></table:table-row>")));
    ASSERT_TRUE(far.has_value());
    EXPECT_EQ(far->line, 0);
}

class KqdFiles : public ::testing::Test {
protected:
    std::string path(const std::string& name) { return (folder_ / name).string(); }
    void write(const std::string& name, const std::string& bytes) { test::writeBytes(folder_ / name, bytes); }

    // The tool as a program, stopped after ten seconds: a pipe must not hang it.
    int run(const std::string& args) {
        const int status = std::system(("timeout 10 " + std::string(KQD_EXECUTABLE) + " " + args + " >" +
                                        path("out.txt") + " 2>" + path("err.txt") + " </dev/null")
                                           .c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string err() { return test::readBytes(folder_ / "err.txt"); }

    test::TempDir folder_;
};

TEST_F(KqdFiles, AnEncryptedPartIsNamedAsEncrypted) {
    std::vector<PatternPart> parts = quizWorkbook();
    parts[0].encrypted = true;
    write("secret.xlsx", test::patternZip(parts));
    const Outcome build = kqd({"build", path("secret.xlsx"), "-o", path("out.kqd")});
    EXPECT_EQ(build.status, kExitFailure);
    EXPECT_NE(build.err.find("secret.xlsx: xl/workbook.xml is encrypted: save the spreadsheet without a password"),
              std::string::npos)
        << build.err;
}

TEST_F(KqdFiles, InputsThatAreNotRegularFilesAreRefusedBeforeOpening) {
    ASSERT_EQ(::mkfifo(path("pipe.csv").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("pipe.csv", path("pipe.xlsx").c_str()), 0);
    ASSERT_EQ(::symlink("pipe.csv", path("pipe.kqd").c_str()), 0);
    std::filesystem::create_directory(folder_ / "folder.kqd");
    for (const std::string& args : {"build " + path("pipe.csv") + " -o " + path("a.kqd"),
                                    "build " + path("pipe.xlsx") + " -o " + path("a.kqd"),
                                    "dump " + path("pipe.kqd"), "check " + path("pipe.kqd"),
                                    "check " + path("folder.kqd")}) {
        EXPECT_EQ(run(args), kExitFailure) << args;
        EXPECT_NE(err().find("not a regular file"), std::string::npos) << args << ": " << err();
    }
    EXPECT_FALSE(std::filesystem::exists(folder_ / "a.kqd"));

    // A link to a regular file is read as that file.
    write("quiz.tsv", "歴史\t問\t正\t誤1\t誤2\t誤3\t誤4\n");
    ASSERT_EQ(::symlink("quiz.tsv", path("link.tsv").c_str()), 0);
    EXPECT_EQ(kqd({"build", path("link.tsv"), "-o", path("a.kqd")}).status, kExitOk);
}

TEST_F(KqdFiles, OutputReplacesOnlyRegularFilesAndWritesThroughLinks) {
    write("quiz.tsv", "歴史\t問\t正\t誤1\t誤2\t誤3\t誤4\n");
    const auto build = [&](const std::string& out) { return kqd({"build", path("quiz.tsv"), "-o", out}); };

    // A link stays a link, its target gets the quiz, even a target not made yet.
    std::filesystem::create_directory(folder_ / "real");
    write("real/old.kqd", "old");
    std::filesystem::create_symlink("real/old.kqd", folder_ / "link.kqd");
    std::filesystem::create_symlink("real/new.kqd", folder_ / "dangling.kqd");
    for (const char* link : {"link.kqd", "dangling.kqd"}) {
        ASSERT_EQ(build(path(link)).status, kExitOk) << link;
        EXPECT_TRUE(std::filesystem::is_symlink(folder_ / link)) << link;
    }
    EXPECT_EQ(kqd({"check", path("real/old.kqd")}).status, kExitOk);
    EXPECT_EQ(kqd({"check", path("real/new.kqd")}).status, kExitOk);

    // A pipe, a socket, a folder and (where this user may make one) a device stay what they are.
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = path("socket");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    std::filesystem::create_directory(folder_ / "folder");
    std::vector<std::string> nodes{"pipe", "socket", "folder"};
    if (::mknod(path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        nodes.push_back("null");  // as root: a copy of /dev/null
    }
    std::filesystem::create_symlink("pipe", folder_ / "to-pipe");
    nodes.push_back("to-pipe");
    for (const std::string& node : nodes) {
        const auto type = std::filesystem::status(folder_ / node).type();
        const Outcome refused = build(path(node));
        EXPECT_EQ(refused.status, kExitFailure) << node;
        EXPECT_NE(refused.err.find("cannot write " + path(node) + ": "), std::string::npos) << refused.err;
        EXPECT_EQ(std::filesystem::status(folder_ / node).type(), type) << node;
    }
    ::close(listener);
    // Nothing else was left beside them: quiz.tsv, real/, the two links and the nodes.
    EXPECT_EQ(static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder_.path()), {})),
              4 + nodes.size());
}

TEST_F(KqdFiles, AShiftJisTableWithOneBrokenCharacterIsReportedWhereItIs) {
    std::string table;
    for (int r = 1; r <= 500; ++r) {
        table += "歴史,問題" + std::to_string(r) + ",正,誤1,誤2,誤3,誤4\r\n";
    }
    std::string sjis = *encodeCp932(*utf16FromUtf8(table));
    const std::size_t digits = sjis.find(*encodeCp932(u"問題400,")) + 4;
    sjis[digits] = '\x81';     // a lead byte
    sjis[digits + 1] = ',';  // with no trail byte after it
    write("broken.csv", sjis);
    const Outcome build = kqd({"build", path("broken.csv"), "-o", path("out.kqd")});
    EXPECT_EQ(build.status, kExitFailure);
    EXPECT_NE(build.err.find("broken.csv:400:2: the text is not valid Shift_JIS (code page 932), nor UTF-8"),
              std::string::npos)
        << build.err;
}

TEST(KqdLineEnds, CarriageReturnsAloneEndLinesWhereverThePiecesSplit) {
    // Lines of a table saved on an old Mac, with a carriage return alone or before a line feed
    // at the end of the first 1 MiB piece of the streaming reader.
    for (const std::string& boundary : {std::string("\r"), std::string("\r\n")}) {
        std::string text;
        for (int r = 0; text.size() < (1u << 20) - 64; ++r) {
            text += "歴史,問" + std::to_string(r) + ",正,誤,誤,誤,誤\r";
        }
        text.resize((1u << 20) - 1, 'x');
        text += boundary + "last,a,b\rend,c\r";
        std::istringstream in(text);
        std::vector<SourceRow> streamed;
        std::vector<SourceRow> whole;
        const auto keep = [](std::vector<SourceRow>& rows) {
            return [&rows](SourceRow&& row) {
                rows.push_back(std::move(row));
                return std::optional<SourceError>();
            };
        };
        ASSERT_FALSE(readSourceTable(in, TableFormat::Csv, TextEncoding::Utf8, keep(streamed)).has_value());
        ASSERT_FALSE(parseSourceTable(text, TableFormat::Csv, TextEncoding::Utf8, keep(whole)).has_value());
        ASSERT_EQ(streamed.size(), whole.size());
        ASSERT_GT(whole.size(), 1000u);
        for (std::size_t r = 0; r < whole.size(); ++r) {
            ASSERT_EQ(streamed[r].line, whole[r].line);
            ASSERT_EQ(streamed[r].cells, whole[r].cells);
            ASSERT_LE(whole[r].cells.size(), 7u) << r;
        }
        EXPECT_EQ(whole.back().line, static_cast<LineNumber>(whole.size()));
        EXPECT_EQ(whole.back().cells, (std::vector<std::u16string>{u"end", u"c"}));
    }
}

TEST(KqdLineEnds, EncodingIsJudgedOverPiecesCutAtLineEndsOfEitherKind) {
    // Over 2 MiB with no line feed: a piece not cut at a carriage return would split a character.
    std::string crOnly;
    while (crOnly.size() < (5u << 19)) {
        crOnly += "あいう\r";
    }
    std::istringstream utf8(crOnly);
    EXPECT_EQ(detectEncoding(utf8), TextEncoding::Utf8);

    // ASCII lines, then Shift_JIS lines broken in the second 1 MiB piece but before it has gone
    // as far as the first non-UTF-8 line did in the first: Shift_JIS still goes further.
    std::string mixed;
    while (mixed.size() < 600'000) {
        mixed += "q,a,b,c,d,e,f\n";
    }
    const std::string line = *encodeCp932(u"歴史,問題,正,誤1,誤2,誤3,誤4\n");
    while (mixed.size() < (1u << 20) + 50'000) {
        mixed += line;
    }
    mixed += "\x81,\n" + line;
    TextEncoding closest = TextEncoding::Utf8;
    std::istringstream broken(mixed);
    EXPECT_FALSE(detectEncoding(broken, &closest).has_value());
    EXPECT_EQ(closest, TextEncoding::Cp932);
}

}  // namespace
}  // namespace pp::kqd
