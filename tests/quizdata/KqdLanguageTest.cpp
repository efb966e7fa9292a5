#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "KqdRun.h"
#include "QuizFixtures.h"

namespace pp::kqd {
namespace {

// kqd as a quiz maker runs it, in the language the environment asks for.
class KqdLanguage : public ::testing::Test {
protected:
    void SetUp() override {
        // A question of 61 full-width characters, three past what the field holds.
        std::string question;
        for (int i = 0; i < 61; ++i) {
            question += "あ";
        }
        test::writeBytes(folder_ / "long.csv", "地理," + question + ",富士山,北岳,奥穂高岳,間ノ岳,槍ヶ岳\n");
    }

    // The standard error of building the table under `environment` (assignments for env(1)).
    std::string buildUnder(const std::string& environment) const {
        const std::filesystem::path err = folder_ / "err.txt";
        const std::string command = "env -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG " + environment + " " +
                                    KQD_EXECUTABLE + " build " + (folder_ / "long.csv").string() + " -o " +
                                    (folder_ / "long.kqd").string() + " 2>" + err.string();
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << environment;
        std::ifstream in(err);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    test::TempDir folder_;
};

TEST_F(KqdLanguage, SpeaksJapaneseWhenTheLocaleIsJapaneseAndEnglishOtherwise) {
    const std::string japanese = ": 問題文は全角58文字（半角116文字）までです（この問題は全角61文字）\n";
    const std::string english =
        ": a question holds at most 58 full-width characters (116 half-width); this question has 61 full-width "
        "(122 half-width)\n";
    for (const char* environment : {"LC_ALL=ja_JP.UTF-8", "LANG=ja_JP.UTF-8", "LANG=C.UTF-8 LANGUAGE=ja"}) {
        const std::string err = buildUnder(environment);
        EXPECT_TRUE(err.ends_with(japanese)) << environment << ": " << err;
    }
    for (const char* environment : {"LC_ALL=C", "LANG=C.UTF-8", "LC_ALL=C LANGUAGE=ja", "LANG=de_DE.UTF-8"}) {
        const std::string err = buildUnder(environment);
        EXPECT_TRUE(err.ends_with(english)) << environment << ": " << err;
    }
}

// A message put together from pieces keeps its spaces in English.
TEST(KqdMessages, UsageErrorsNameTheHelpToRead) {
    EXPECT_TRUE(test::kqd({"build", "x.tsv"}).err.ends_with("(see kqd build --help)\n"));
    EXPECT_TRUE(test::kqd({"frobnicate"}).err.ends_with("(see kqd --help)\n"));
}

}  // namespace
}  // namespace pp::kqd
