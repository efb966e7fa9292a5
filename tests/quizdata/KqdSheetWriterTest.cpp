// Quizzes written back out as spreadsheets to edit, and the template a new quiz starts from:
// what kqd writes, kqd builds back into the same bytes.
#include <zip.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KqdRun.h"
#include "QuizFixtures.h"
#include "authoring/HeaderRow.h"
#include "authoring/ZipWriter.h"

namespace pp::kqd {
namespace {

using test::kqd;
using test::Outcome;

// One part of the zip archive in `bytes`, or nothing when libzip cannot open it.
std::optional<std::string> zipPart(const std::string& bytes, const char* name) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t* archive = source != nullptr ? zip_open_from_source(source, ZIP_CHECKCONS, &error) : nullptr;
    zip_error_fini(&error);
    if (archive == nullptr) {
        zip_source_free(source);
        return std::nullopt;
    }
    std::optional<std::string> out;
    zip_stat_t stat;
    if (zip_stat(archive, name, 0, &stat) == 0) {
        std::string data(stat.size, '\0');
        zip_file_t* file = zip_fopen(archive, name, 0);
        if (file != nullptr && zip_fread(file, data.data(), stat.size) == static_cast<zip_int64_t>(stat.size)) {
            out = data;
        }
        zip_fclose(file);
    }
    zip_close(archive);
    return out;
}

class KqdSheetWriter : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    Outcome run(const std::vector<std::string>& args) {
        Outcome outcome = kqd(args);
        EXPECT_EQ(outcome.status, kExitOk) << outcome.err;
        return outcome;
    }

    test::TempDir folder_;
};

// Texts a spreadsheet would change on the way (numbers, spaces, a leading #, what looks like an
// escape, XML's own characters, tabs and line breaks) and a genre without questions between two
// with questions all come back byte for byte from either format.
TEST_F(KqdSheetWriter, AQuizWrittenAsASpreadsheetBuildsBackToTheSameBytes) {
    test::writeBytes(folder_ / "quiz.tsv",
                     "#kqd: escapes\n"
                     "#kqd: genre 数学\n#kqd: genre 空き\n#kqd: genre 雑学\n"
                     "数学\t0123 は？\t2.50\t12,614\t10%\t1947/5/3\t=1+1\n"
                     "雑学\t  先頭に空白  と  二つ\t#N/A\t_x0041_\ta&b<c>\"d\"\t一\\t二\t行1\\n行2\n");
    run({"build", path("quiz.tsv"), "-o", path("quiz.kqd")});
    const std::string original = test::readBytes(folder_ / "quiz.kqd");
    for (const std::string format : {"xlsx", "ods"}) {
        SCOPED_TRACE(format);
        const Outcome dumped = run({"dump", path("quiz.kqd"), "--" + format, path("back." + format)});
        EXPECT_EQ(dumped.err, "");
        run({"build", path("back." + format), "-o", path("back.kqd")});
        EXPECT_EQ(test::readBytes(folder_ / "back.kqd"), original);
    }
}

// The layout a teacher edits: a header kqd recognises, every cell text in a column formatted as
// text (so what is typed later stays text too), the right answer's column marked.
TEST_F(KqdSheetWriter, EveryCellIsTextUnderAHeaderWithTheRightAnswerMarked) {
    test::writeBytes(folder_ / "quiz.tsv", "数学\t0123\t2.50\t  b  c d\tc\td\te\n");
    run({"build", path("quiz.tsv"), "-o", path("quiz.kqd")});
    run({"dump", path("quiz.kqd"), "--xlsx", path("q.xlsx")});
    run({"dump", path("quiz.kqd"), "--ods", path("q.ods")});

    const std::string xlsx = test::readBytes(folder_ / "q.xlsx");
    const std::optional<std::string> sheet = zipPart(xlsx, "xl/worksheets/sheet1.xml");
    const std::optional<std::string> strings = zipPart(xlsx, "xl/sharedStrings.xml");
    const std::optional<std::string> styles = zipPart(xlsx, "xl/styles.xml");
    ASSERT_TRUE(sheet && strings && styles);
    EXPECT_NE(strings->find(">ジャンル<"), std::string::npos);
    EXPECT_NE(strings->find(">不正解4<"), std::string::npos);
    EXPECT_NE(strings->find(">0123<"), std::string::npos);
    const auto count = [](const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
            ++n;
        }
        return n;
    };
    EXPECT_EQ(count(*sheet, "<c "), 14u);
    EXPECT_EQ(count(*sheet, " t=\"s\">"), 14u) << *sheet;  // shared texts only, no numbers
    EXPECT_NE(sheet->find("<c r=\"C2\" s=\"4\" t=\"s\">"), std::string::npos) << *sheet;
    EXPECT_NE(styles->find("numFmtId=\"49\" fontId=\"0\" fillId=\"3\""), std::string::npos);  // text, marked

    const std::string ods = test::readBytes(folder_ / "q.ods");
    EXPECT_EQ(ods.substr(30, 8), "mimetype");  // the first entry, stored, as OpenDocument wants
    const std::optional<std::string> content = zipPart(ods, "content.xml");
    ASSERT_TRUE(content);
    EXPECT_EQ(content->find("value-type=\"float\""), std::string::npos);
    EXPECT_NE(content->find("table:style-name=\"ceRight\" office:value-type=\"string\"><text:p>2.50</text:p>"),
              std::string::npos)
        << *content;
    // OpenDocument readers fold plain runs of spaces, so runs and leading spaces are counted.
    EXPECT_NE(content->find("<text:p><text:s text:c=\"2\"/>b <text:s/>c d</text:p>"), std::string::npos) << *content;
}

TEST_F(KqdSheetWriter, TheTemplateBuildsAsItIs) {
    for (const std::string name : {"テンプレート.xlsx", "テンプレート.ods"}) {
        SCOPED_TRACE(name);
        run({"template", "-o", path(name)});
        const Outcome built = run({"build", path(name), "-o", path("t.kqd")});
        EXPECT_NE(built.out.find("2 questions in 2 genres"), std::string::npos) << built.out;
        EXPECT_EQ(built.err, "");  // no note: the explanations are on a sheet of their own
    }
    EXPECT_EQ(kqd({"template", "-o", path("t.csv")}).status, kExitUsage);
    EXPECT_EQ(kqd({"template"}).status, kExitUsage);
    EXPECT_EQ(kqd({"dump", path("t.kqd"), "--xlsx"}).status, kExitUsage);
    const Outcome self = kqd({"dump", path("t.kqd"), "--ods", path("t.kqd")});
    EXPECT_EQ(self.status, kExitFailure);
    EXPECT_NE(test::readBytes(folder_ / "t.kqd").substr(0, 2), "PK");
}

// Five wrong-answer columns are no header kqd can map, rather than four taken and one dropped.
TEST(KqdHeaderRow, NamesTheColumnsOnlyWithFourWrongAnswers) {
    std::vector<std::u16string> cells = {u"ジャンル", u"問題", u"正解", u"不正解1", u"不正解2", u"不正解3", u"不正解4"};
    ASSERT_TRUE(recognizeHeader(cells));
    EXPECT_FALSE(recognizeHeader(cells)->problem);
    cells.push_back(u"不正解5");
    ASSERT_TRUE(recognizeHeader(cells));
    EXPECT_TRUE(recognizeHeader(cells)->problem);
    cells.resize(6);
    EXPECT_TRUE(recognizeHeader(cells)->problem);
}

TEST_F(KqdSheetWriter, ZipEntriesCarryTheStandardChecksum) {
    EXPECT_EQ(crc32("123456789"), 0xCBF43926U);
    EXPECT_EQ(crc32(""), 0U);
    ZipWriter zip;
    zip.add("a.txt", "hello");
    zip.add("b/c.xml", std::string(70000, 'x'));
    const std::string bytes = zip.finish();
    EXPECT_EQ(zipPart(bytes, "a.txt"), "hello");
    EXPECT_EQ(zipPart(bytes, "b/c.xml"), std::string(70000, 'x'));
}

}  // namespace
}  // namespace pp::kqd
