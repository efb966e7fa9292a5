#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "KqdRun.h"
#include "QuizFixtures.h"
#include "authoring/QuizBuild.h"
#include "authoring/SourceTable.h"
#include "quizdata/QuizFile.h"
#include "support/Json.h"

namespace pp::kqd {
namespace {

using test::Json;
using test::JsonParser;

SourceTable tableOf(std::string_view text, TableFormat format) {
    auto parsed = parseSourceTable(text, format);
    if (auto* error = std::get_if<SourceError>(&parsed)) {
        ADD_FAILURE() << "line " << error->line << " column " << error->column << ": " << error->message;
        return {};
    }
    return std::get<SourceTable>(parsed);
}

SourceError errorOf(std::string_view text, TableFormat format) {
    auto parsed = parseSourceTable(text, format);
    if (auto* error = std::get_if<SourceError>(&parsed)) {
        return *error;
    }
    auto built = buildQuiz(std::get<SourceTable>(parsed));
    if (auto* error = std::get_if<SourceError>(&built)) {
        return *error;
    }
    ADD_FAILURE() << "no error in:\n" << text;
    return {};
}

std::string row(const std::string& genre, const std::string& question, const std::string& separator = "\t") {
    return genre + separator + question + separator + "正解" + separator + "誤1" + separator + "誤2" + separator +
           "誤3" + separator + "誤4\n";
}

TEST(SourceTableTsv, SkipsBlankAndCommentLinesAndKeepsLineNumbers) {
    const SourceTable table = tableOf(
        "\xEF\xBB\xBF# genre\tquestion\r\n" + row("歴史", "問一") + "\r\n  \t \n" + row("科学", "\"引用\",です"), TableFormat::Tsv);
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].line, 2);
    EXPECT_EQ(table[0].cells[0], u"歴史");
    EXPECT_EQ(table[0].cells[6], u"誤4");
    EXPECT_EQ(table[1].line, 5);
    EXPECT_EQ(table[1].cells[1], u"\"引用\",です");  // no quoting in tab-separated tables
}

TEST(SourceTableTsv, TakesWindowsLineEndsAndEmptyCells) {
    const SourceTable table = tableOf("a\t\tc\r\n\t\t\n", TableFormat::Tsv);
    ASSERT_EQ(table.size(), 1u);  // the line of empty cells counts as blank
    EXPECT_EQ(table[0].cells, (std::vector<std::u16string>{u"a", u"", u"c"}));
}

TEST(SourceTableCsv, UnquotesCellsAcrossCommasQuotesAndLines) {
    const SourceTable table = tableOf(
        "# comment\n\"a,b\",\"say \"\"hi\"\"\",plain\r\n\"two\r\nlines\",x\n,,,\nlast,\"\"", TableFormat::Csv);
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[0].line, 2);
    EXPECT_EQ(table[0].cells, (std::vector<std::u16string>{u"a,b", u"say \"hi\"", u"plain"}));
    EXPECT_EQ(table[1].line, 3);
    EXPECT_EQ(table[1].cells[0], u"two\nlines");
    EXPECT_EQ(table[2].line, 6);  // after the two-line record and the empty ",,," row
    EXPECT_EQ(table[2].cells, (std::vector<std::u16string>{u"last", u""}));
}

TEST(SourceTableCsv, NamesWhereQuotingGoesWrong) {
    auto parsed = parseSourceTable("a,b\nc,\"open\nstill open", TableFormat::Csv);
    ASSERT_TRUE(std::holds_alternative<SourceError>(parsed));
    EXPECT_EQ(std::get<SourceError>(parsed).line, 2);
    EXPECT_EQ(std::get<SourceError>(parsed).column, 2);

    parsed = parseSourceTable("a,\"b\"x,c\n", TableFormat::Csv);
    ASSERT_TRUE(std::holds_alternative<SourceError>(parsed));
    EXPECT_EQ(std::get<SourceError>(parsed).column, 2);
}

TEST(SourceTable, RefusesBrokenUtf8NamingTheCell) {
    const SourceError error = errorOf("ok\tok\n" + std::string("a\tb\t\xE3\x81") + "\n", TableFormat::Tsv);
    EXPECT_EQ(error.line, 2);
    EXPECT_EQ(error.column, 3);
    EXPECT_NE(error.message.find("UTF-8"), std::string::npos);
    EXPECT_EQ(errorOf("x,\xC0\xAF\n", TableFormat::Csv).column, 2);  // overlong '/'
}

TEST(QuizBuilding, NumbersGenresByFirstAppearanceAndGroupsTheirQuestions) {
    const SourceTable table = tableOf(row("B", "b1") + row("A", "a1") + row("B", "b2") + row("A", "a2") +
                                          row("C", "c1"), TableFormat::Tsv);
    auto built = buildQuiz(table);
    ASSERT_TRUE(std::holds_alternative<BuiltQuiz>(built));
    std::istringstream in(std::get<BuiltQuiz>(built).file);
    const QuizLayout layout = readQuizLayout(in);
    ASSERT_TRUE(layout.accepted());
    EXPECT_EQ(layout.genres[0].name, "B");
    EXPECT_EQ(layout.genres[1].name, "A");
    EXPECT_EQ(layout.genres[2].name, "C");
    EXPECT_EQ(layout.genres[0].questionCount, 2);
    EXPECT_EQ(layout.genres[3].questionCount, 0);
    const std::vector<std::u16string> order{u"b1", u"b2", u"a1", u"a2", u"c1"};
    for (int q = 0; q < 5; ++q) {
        EXPECT_EQ(decodeQuestionRecord(*readQuestionRecord(in, q)).text.view(), order[static_cast<std::size_t>(q)]);
    }
}

TEST(QuizBuilding, SpellingsThatStoreAlikeAreOneGenre) {
    auto built = buildQuiz(tableOf(row("A〜B", "1") + row("A～B", "2"), TableFormat::Tsv));
    ASSERT_TRUE(std::holds_alternative<BuiltQuiz>(built));
    EXPECT_EQ(std::get<BuiltQuiz>(built).genres, 1);
}

// A space a sheet does not show makes neither a genre of its own nor a choice of its own.
TEST(QuizBuilding, SpacesAroundGenresAndChoicesDoNotCount) {
    auto built = buildQuiz(tableOf(row("雑学 ", "1") + row("雑学", "2") + row("\u3000雑学", "3"), TableFormat::Tsv));
    ASSERT_TRUE(std::holds_alternative<BuiltQuiz>(built));
    EXPECT_EQ(std::get<BuiltQuiz>(built).genres, 1);
    const auto& warnings = std::get<BuiltQuiz>(built).warnings;
    EXPECT_EQ(std::count_if(warnings.begin(), warnings.end(), [](const SourceError& w) { return w.column == 1; }), 2);
    const SourceError duplicate = errorOf("A\tq\tr\tw \tx\t\u3000w\ty\n", TableFormat::Tsv);
    EXPECT_EQ(duplicate.column, 6);
    EXPECT_NE(duplicate.message.find("are the same"), std::string::npos) << duplicate.message;
}

// A header row is known by its words, in either language; its columns may stand in any order
// and beside others, and problems are named by the table's own columns.
TEST(QuizBuilding, AHeaderRowNamesTheColumns) {
    const std::string header = "問題\tGenre\t解説\t正解\t不正解1\t不正解２\tWrong answer 3\t誤答④\n";
    auto built = buildQuiz(tableOf(header + "q1\tA\tなぜなら\tr\tw1\tw2\tw3\tw4\n", TableFormat::Tsv));
    ASSERT_TRUE(std::holds_alternative<BuiltQuiz>(built));
    std::istringstream in(std::get<BuiltQuiz>(built).file);
    const Record record = *readQuestionRecord(in, 0);
    EXPECT_EQ(decodeQuestionRecord(record).text.view(), u"q1");
    EXPECT_EQ(decodeQuestionRecord(record).choices[0].view(), u"r");
    ASSERT_EQ(std::get<BuiltQuiz>(built).warnings.size(), 1u);
    EXPECT_EQ(std::get<BuiltQuiz>(built).warnings[0].column, 3);  // 解説, ignored

    const SourceError duplicate = errorOf(header + "q1\tA\t\tr\tw1\tw1\tw3\tw4\n", TableFormat::Tsv);
    EXPECT_EQ(duplicate.column, 6);
    EXPECT_NE(duplicate.message.find("(columns 5 and 6)"), std::string::npos) << duplicate.message;

    // Without a header the columns after the seventh are ignored, with a note.
    built = buildQuiz(tableOf("A\tq\tr\tw1\tw2\tw3\tw4\tメモ\n", TableFormat::Tsv));
    ASSERT_TRUE(std::holds_alternative<BuiltQuiz>(built));
    EXPECT_EQ(std::get<BuiltQuiz>(built).warnings.at(0).column, 8);
}

TEST(QuizBuilding, NamesTheLineAndColumnOfEachProblem) {
    struct Case {
        std::string text;
        int line;
        int column;
        std::string says;
    };
    std::string nineGenres;
    for (int g = 0; g < 9; ++g) {
        nineGenres += row("G" + std::to_string(g), "q");
    }
    const std::vector<Case> cases{
        {row("A", "q") + "A\tq\tr\tw\tw\tw\n", 2, 7, "6 columns"},
        {"ジャンル\t問題\t正解\t不正解\n" + row("A", "q"), 1, 0, "not one genre, one question, one right answer and four"},
        {nineGenres, 9, 1, "ninth genre \"G8\""},
        {"# c\n" + row("A", "q") + "A\tq\t" + std::string(29, 'x') + "\tw\tw\tw\tw\n", 3, 3,
         "an answer holds at most 14 full-width characters (28 half-width); this right answer has 15 full-width"},
        {"A\t" + std::string(117, 'x') + "\tr\tw\tw\tw\tw\n", 1, 2, "at most 58 full-width characters (116 half-width)"},
        {"とても長いジャンルの名前\tq\tr\tw\tw\tw\tw\n", 1, 1, "this genre has 12 full-width (24 half-width)"},
        {"A\tq\tr\tw\t😀\tw\tw\n", 1, 5, "U+1F600"},
        {"A\tq\tr\tw\tw\tsoft\u00ADhyphen\tw\n", 1, 6, "U+00AD"},
        {"A\tq\t\tw\tw\tw\tw\n", 1, 3, "right answer is empty"},
    };
    for (const Case& c : cases) {
        const SourceError error = errorOf(c.text, TableFormat::Tsv);
        EXPECT_EQ(error.line, c.line) << c.says;
        EXPECT_EQ(error.column, c.column) << c.says;
        EXPECT_NE(error.message.find(c.says), std::string::npos) << error.message;
    }
    EXPECT_NE(errorOf("# nothing\n", TableFormat::Tsv).message.find("no questions"), std::string::npos);
}

TEST(QuizBuilding, WarnsOfTextsTheGameShowsCutShort) {
    auto built = buildQuiz(tableOf("ABCDEFGHIJKLMNOP\tq\tr\tw1\tw2\tw3\tw4\n", TableFormat::Tsv));
    ASSERT_TRUE(std::holds_alternative<BuiltQuiz>(built));
    const auto& warnings = std::get<BuiltQuiz>(built).warnings;
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].column, 1);
}

using test::kqd;
using test::Outcome;

bool isOneLine(const std::string& text) {
    return !text.empty() && text.back() == '\n' && text.find('\n') == text.size() - 1;
}

class KqdCommands : public ::testing::Test {
protected:
    std::string path(const std::string& name) { return (folder_ / name).string(); }
    void write(const std::string& name, const std::string& text) { test::writeBytes(folder_ / name, text); }

    test::TempDir folder_;
};

TEST_F(KqdCommands, BuildThenDumpJsonGivesBackTheTable) {
    write("quiz.csv", "\xEF\xBB\xBFgenre \"1\",\"line\nbreak\\tab\",〜,−,¢,\"£,¬\",‖\n"
                      "ｶﾀｶﾅ,漢字の問題,①,ⅰ,＼,~,\"\"\"\"\n");
    const Outcome build = kqd({"build", path("quiz.csv"), "-o", path("quiz.kqd")});
    ASSERT_EQ(build.status, kExitOk) << build.err;
    EXPECT_EQ(kqd({"check", path("quiz.kqd")}).status, kExitOk);

    const Outcome dump = kqd({"dump", path("quiz.kqd"), "--json"});
    ASSERT_EQ(dump.status, kExitOk) << dump.err;
    const std::optional<Json> json = JsonParser::parse(dump.out);
    ASSERT_TRUE(json.has_value()) << dump.out;
    const Json& genres = (*json)["genres"];
    ASSERT_EQ(genres.items.size(), 8u);
    EXPECT_EQ(genres[0]["name"].string, "genre \"1\"");
    EXPECT_EQ(genres[1]["name"].string, "ｶﾀｶﾅ");
    EXPECT_EQ(genres[1]["count"].number, 1);
    EXPECT_EQ(genres[7]["name"].string, "");
    const Json& questions = (*json)["questions"];
    ASSERT_EQ(questions.items.size(), 2u);
    EXPECT_EQ(questions[0]["number"].number, 0);
    EXPECT_EQ(questions[0]["text"].string, "line\nbreak\\tab");
    const std::vector<std::string> first{"～", "－", "￠", "￡,￢", "∥"};
    const std::vector<std::string> second{"①", "ⅰ", "＼", "~", "\""};
    for (std::size_t k = 0; k < 5; ++k) {
        EXPECT_EQ(questions[0]["choices"][k].string, first[k]);
        EXPECT_EQ(questions[1]["choices"][k].string, second[k]);
    }
    EXPECT_EQ(questions[1]["genre"].number, 1);
}

TEST_F(KqdCommands, AFailedBuildLeavesNoFileBehind) {
    write("bad.tsv", row("A", "q") + "A\tq\tr\tw\tw\tw\t" + std::string(40, 'x') + "\n");
    const Outcome fresh = kqd({"build", path("bad.tsv"), "-o", path("out.kqd")});
    EXPECT_EQ(fresh.status, kExitFailure);
    EXPECT_NE(fresh.err.find("bad.tsv:2:7:"), std::string::npos) << fresh.err;
    // The warnings of a failed build are shown with its errors.
    EXPECT_NE(fresh.err.find("bad.tsv:1:3: warning:"), std::string::npos) << fresh.err;
    EXPECT_NE(fresh.err.find("bad.tsv: 1 error, 1 warning; nothing written\n"), std::string::npos) << fresh.err;
    EXPECT_FALSE(std::filesystem::exists(folder_ / "out.kqd"));

    // An earlier output stays as it was, and no temporary file is left in the folder.
    write("out.kqd", "earlier");
    EXPECT_EQ(kqd({"build", path("bad.tsv"), "-o", path("out.kqd")}).status, kExitFailure);
    EXPECT_EQ(test::readBytes(folder_ / "out.kqd"), "earlier");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path()), {}), 2);

    // A good build replaces it.
    write("good.tsv", row("A", "q"));
    EXPECT_EQ(kqd({"build", path("good.tsv"), "-o", path("out.kqd")}).status, kExitOk);
    EXPECT_EQ(std::filesystem::file_size(folder_ / "out.kqd"), static_cast<std::uintmax_t>(questionOffset(1)));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path()), {}), 3);
}

TEST_F(KqdCommands, CheckSaysWhyAFileIsRefused) {
    std::string file = test::quizBytes(test::labelledQuiz({2}));
    write("good.kqd", file);
    const Outcome good = kqd({"check", path("good.kqd")});
    EXPECT_EQ(good.status, kExitOk);
    EXPECT_TRUE(good.err.empty());

    write("short.kqd", file.substr(0, file.size() - 1));
    test::patchCount(file, 3, -4);
    write("negative.kqd", file);
    for (const auto& [name, says] : std::vector<std::pair<std::string, std::string>>{
             {"short.kqd", "promise 2 questions"}, {"negative.kqd", "genre 3 has a negative"},
             {"missing.kqd", "cannot open"}}) {
        const Outcome check = kqd({"check", path(name)});
        EXPECT_EQ(check.status, kExitFailure) << name;
        EXPECT_TRUE(isOneLine(check.err)) << check.err;
        EXPECT_NE(check.err.find(says), std::string::npos) << check.err;
        const Outcome dump = kqd({"dump", path(name)});
        EXPECT_EQ(dump.status, kExitFailure);
        EXPECT_TRUE(dump.out.empty());
    }
}

TEST_F(KqdCommands, DumpTextListsRightAnswerFirst) {
    write("quiz.kqd", test::quizBytes(test::labelledQuiz({0, 1})));
    const Outcome dump = kqd({"dump", path("quiz.kqd")});
    ASSERT_EQ(dump.status, kExitOk);
    EXPECT_NE(dump.out.find("genre 1 \"ジャンル1\": 1 question\n"), std::string::npos) << dump.out;
    EXPECT_NE(dump.out.find("question 0 (genre 1): 問1-0\n  right: 正1-0-0\n  wrong: 誤1-0-1"), std::string::npos)
        << dump.out;
}

TEST(KqdCommandLine, AnswersHelpAndRefusesBadUsage) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"build", "--help"}, {"dump", "--help"}, {"check", "--help"}}) {
        const Outcome help = kqd(args);
        EXPECT_EQ(help.status, kExitOk);
        EXPECT_NE(help.out.find("Usage: kqd"), std::string::npos);
    }
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"frobnicate"}, {"build", "x.tsv"}, {"build", "-o"}, {"dump"}, {"check", "a", "b"}, {"check", "--json", "a"}}) {
        const Outcome run = kqd(args);
        EXPECT_EQ(run.status, kExitUsage);
        EXPECT_TRUE(isOneLine(run.err)) << run.err;
    }
    const Outcome wrongKind = kqd({"build", "table.txt", "-o", "out.kqd"});
    EXPECT_EQ(wrongKind.status, kExitFailure);
    EXPECT_NE(wrongKind.err.find(".tsv, .csv, .xlsx or .ods"), std::string::npos);
}

// The installed tool itself: its exit status and streams.
TEST_F(KqdCommands, ExecutableReportsThroughExitStatusAndStreams) {
    write("quiz.tsv", row("A", "q"));
    write("bad.tsv", "A\tq\n");
    const std::string tool = KQD_EXECUTABLE;
    const auto shell = [&](const std::string& args) {
        const int status = std::system((tool + " " + args + " >" + path("out.txt") + " 2>" + path("err.txt")).c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(shell("build " + path("quiz.tsv") + " -o " + path("quiz.kqd")), 0);
    EXPECT_EQ(shell("dump --json " + path("quiz.kqd")), 0);
    EXPECT_TRUE(JsonParser::parse(test::readBytes(folder_ / "out.txt")).has_value());
    EXPECT_EQ(shell("build " + path("bad.tsv") + " -o " + path("bad.kqd")), kExitFailure);
    EXPECT_TRUE(isOneLine(test::readBytes(folder_ / "err.txt")));
    EXPECT_FALSE(std::filesystem::exists(folder_ / "bad.kqd"));
}

}  // namespace
}  // namespace pp::kqd
