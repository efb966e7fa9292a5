// kqd as a quiz maker meets it: what the game cannot catch is refused, a quiz file goes back
// to a table and builds again to the same bytes, and the tool says when its output is lost.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>

#include "KqdRun.h"
#include "QuizFixtures.h"
#include "encoding/Utf8.h"

namespace pp::kqd {
namespace {

using test::kqd;
using test::Outcome;

class KqdQuizMaker : public ::testing::Test {
protected:
    std::string path(const std::string& name) { return (folder_ / name).string(); }
    void write(const std::string& name, const std::string& text) { test::writeBytes(folder_ / name, text); }

    // Dumps `quiz` as a table and builds the table again.
    std::string roundTrip(const std::string& quiz) {
        const Outcome dump = kqd({"dump", path(quiz), "--tsv"});
        EXPECT_EQ(dump.status, kExitOk) << dump.err;
        EXPECT_EQ(dump.err, "");
        write("again.tsv", dump.out);
        const Outcome build = kqd({"build", path("again.tsv"), "-o", path("again.kqd")});
        EXPECT_EQ(build.status, kExitOk) << build.err << dump.out;
        return test::readBytes(folder_ / "again.kqd");
    }

    test::TempDir folder_;
};

TEST_F(KqdQuizMaker, RefusesWhatTheGameCannotCatch) {
    struct Case {
        std::string row;
        std::string says;
    };
    const std::vector<Case> cases{
        {"A\tq\tr\tw1\tr\tw3\tw4", "1:5: the right answer is repeated as wrong answer 2 (columns 3 and 5)"},
        {"A\tq\tr\tw1\tw2\tw3\tw1", "1:7: wrong answer 1 and wrong answer 4 are the same (columns 4 and 7)"},
        {"A\tq\t〜\t～\tw2\tw3\tw4", "1:4: the right answer is repeated as wrong answer 1"},  // stored alike
        {"A\t\tr\tw1\tw2\tw3\tw4", "1:2: the question is empty"},
        {"A\tq\tr\tw1\t\tw3\tw4", "1:5: the wrong answer 2 is empty"},
        {"A\tq\tr\tw1\tw2\tw3", "1:7: 6 columns, a question takes 7"},  // text after the 7th is only a note
    };
    for (const Case& c : cases) {
        write("t.tsv", c.row + "\n");
        const Outcome run = kqd({"build", path("t.tsv"), "-o", path("t.kqd")});
        EXPECT_EQ(run.status, kExitFailure) << c.row;
        EXPECT_NE(run.err.find("t.tsv:" + c.says), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(folder_ / "t.kqd"));
    }
    // Empty cells after the seventh are what spreadsheets export, not an error.
    write("t.csv", "A,q,r,w1,w2,w3,w4,,,\r\n");
    EXPECT_EQ(kqd({"build", path("t.csv"), "-o", path("t.kqd")}).status, kExitOk);

    write("d.tsv", cases[0].row + "\n");
    const Outcome allowed = kqd({"build", path("d.tsv"), "-o", path("d.kqd"), "--allow-duplicates"});
    EXPECT_EQ(allowed.status, kExitOk);
    EXPECT_NE(allowed.err.find("d.tsv:1:5: warning: the right answer is repeated"), std::string::npos) << allowed.err;
    EXPECT_EQ(allowed.out, "wrote " + path("d.kqd") + ": 1 question in 1 genre\n");
}

TEST_F(KqdQuizMaker, NeverWritesOverItsOwnTable) {
    const std::string table = "A\tq\tr\tw1\tw2\tw3\tw4\n";
    write("quiz.tsv", table);
    std::filesystem::create_directory(folder_ / "sub");
    std::filesystem::create_symlink(folder_ / "quiz.tsv", folder_ / "link.kqd");
    std::filesystem::create_hard_link(folder_ / "quiz.tsv", folder_ / "hard.kqd");
    for (const std::string& output : {path("quiz.tsv"), path("sub/../quiz.tsv"), path("link.kqd"), path("hard.kqd")}) {
        const Outcome run = kqd({"build", path("quiz.tsv"), "-o", output});
        EXPECT_EQ(run.status, kExitFailure) << output;
        EXPECT_NE(run.err.find(output + " is the table itself"), std::string::npos) << run.err;
    }
    EXPECT_EQ(test::readBytes(folder_ / "quiz.tsv"), table);

    // A failed write names the output as given, never the temporary file.
    const std::string nowhere = path("missing/quiz.kqd");
    const Outcome failed = kqd({"build", path("quiz.tsv"), "-o", nowhere});
    EXPECT_EQ(failed.status, kExitFailure);
    EXPECT_EQ(failed.err, "kqd: cannot write " + nowhere + ": No such file or directory\n");
}

TEST_F(KqdQuizMaker, CheckTellsATableFromAQuizFile) {
    write("quiz.tsv", "A\tq\tr\tw1\tw2\tw3\tw4\n");
    write("quiz.kqd", "A\tq\tr\tw1\tw2\tw3\tw4\n");  // a table under a quiz file's name
    for (const std::string name : {"quiz.tsv", "quiz.kqd"}) {
        const Outcome check = kqd({"check", path(name)});
        EXPECT_EQ(check.status, kExitFailure);
        EXPECT_NE(check.err.find("looks like a question table"), std::string::npos) << check.err;
        EXPECT_NE(check.err.find("kqd build " + path(name) + " -o"), std::string::npos) << check.err;
    }
    write("one.kqd", test::quizBytes(test::labelledQuiz({1})));
    EXPECT_EQ(kqd({"check", path("one.kqd")}).out, path("one.kqd") + ": accepted, 1 question\n");
}

TEST_F(KqdQuizMaker, SampleComesBackFromItsTableDump) {
    ASSERT_EQ(kqd({"build", PERNA_SAMPLE_TABLE, "-o", path("sample.kqd")}).status, kExitOk);
    EXPECT_EQ(roundTrip("sample.kqd"), test::readBytes(folder_ / "sample.kqd"));
}

TEST_F(KqdQuizMaker, AwkwardTextsAndEmptyGenresComeBackFromTheTableDump) {
    std::vector<QuizGenre> genres = test::labelledQuiz({2, 0, 1, 0, 1, 0});
    genres[0].name = u"#始まり";  // would make the line a comment
    genres[1].name = u"空";         // a named genre without questions between filled ones
    genres[3].name = u"";           // an unnamed one
    genres[2].name = u"末尾に空白\u3000";  // spaces at a genre's ends are its own in a dump
    genres[4].name = u" 空白";
    genres[5].name = u"末尾";       // and a named empty one at the end
    QuizQuestion& awkward = genres[0].questions[0];
    awkward.text = u"タブ\tと改行\nと\r\nと\"引用\"と\\n";
    awkward.choices = {u"\\", u"a\tb", u"\"", u"#", u" "};
    genres[2].questions[0].choices[4] = u"〜ではない";  // stored as ～
    write("awkward.kqd", test::quizBytes(genres));
    EXPECT_EQ(roundTrip("awkward.kqd"), test::readBytes(folder_ / "awkward.kqd"));

    // A file that a table cannot give back says so, question by question.
    std::string damaged = test::readBytes(folder_ / "awkward.kqd");
    damaged[questionOffset(1) + kFirstChoiceOffset + 20] = 0x01;  // garbage after a text's end
    write("damaged.kqd", damaged);
    const Outcome dump = kqd({"dump", path("damaged.kqd"), "--tsv"});
    EXPECT_EQ(dump.status, kExitOk);
    EXPECT_NE(dump.err.find("question 1 (genre 0) will not come back byte for byte"), std::string::npos) << dump.err;
}

// The tool itself, with its standard output on a full disk.
TEST_F(KqdQuizMaker, OutputThatCannotBeWrittenIsAFailure) {
    write("quiz.tsv", "A\tq\tr\tw1\tw2\tw3\tw4\n");
    ASSERT_EQ(kqd({"build", path("quiz.tsv"), "-o", path("quiz.kqd")}).status, kExitOk);
    const std::string tool = KQD_EXECUTABLE;
    for (const std::string& args : std::vector<std::string>{"--help", "build --help", "build " + path("quiz.tsv") + " -o " + path("b.kqd"),
                                    "dump " + path("quiz.kqd"), "dump --json " + path("quiz.kqd"),
                                    "dump --tsv " + path("quiz.kqd"), "check " + path("quiz.kqd")}) {
        const std::string home = "HOME=" + folder_.path().string() + " XDG_RUNTIME_DIR=" + folder_.path().string();
        const int status = std::system((home + " " + tool + " " + args + " >/dev/full 2>" + path("err.txt")).c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kExitFailure) << args;
        const std::string err = test::readBytes(folder_ / "err.txt");
        EXPECT_EQ(err, "kqd: cannot write the output (standard output is full or closed)\n") << args;
    }
}

}  // namespace
}  // namespace pp::kqd
