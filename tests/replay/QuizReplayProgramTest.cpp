#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "support/Json.h"
#include "quizdata/QuizFixtures.h"

namespace pp {
namespace {

using test::Json;

// Runs the quiz-replay program on scripts and a generated quiz in a folder of their own.
class QuizReplayProgram : public ::testing::Test {
protected:
    QuizReplayProgram() {
        // Every question text is four characters long ("問0-0" .. "問7-7"), so the reveal takes
        // five ticks for each.
        test::writeBytes(folder / "quiz.kqd", test::quizBytes(test::labelledQuiz(std::vector<int>(8, 8))));
    }

    // Runs the program with `options` on `script`; returns its exit status. `shell` runs first
    // in the same shell (limits, traps, variables), `output` takes standard output.
    int run(const std::string& script, const std::string& options = "", const std::string& shell = "",
            std::string output = "") {
        const auto scriptPath = folder / "script.replay";
        std::ofstream(scriptPath) << script;
        if (output.empty()) output = (folder / "out.txt").string();
        const std::string command = shell + " exec " + std::string(QUIZ_REPLAY_EXECUTABLE) + " " + options + " " +
                                    scriptPath.string() + " >" + output + " 2>" + (folder / "err.txt").string();
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::vector<Json> output() const {
        std::vector<Json> lines;
        std::istringstream in(test::readBytes(folder / "out.txt"));
        for (std::string line; std::getline(in, line);) {
            auto json = test::JsonParser::parse(line);
            EXPECT_TRUE(json.has_value()) << line;
            if (json) lines.push_back(*json);
        }
        return lines;
    }
    std::string errors() const { return test::readBytes(folder / "err.txt"); }

    static std::vector<Json> screens(const std::vector<Json>& lines, const std::string& screen) {
        std::vector<Json> found;
        std::copy_if(lines.begin(), lines.end(), std::back_inserter(found), [&](const Json& line) {
            return line.members.count("screen") != 0 && line["screen"].string == screen && line.members.count("t");
        });
        return found;
    }
    static std::vector<Json> sounds(const std::vector<Json>& lines, int id) {
        std::vector<Json> found;
        std::copy_if(lines.begin(), lines.end(), std::back_inserter(found), [&](const Json& line) {
            return line.members.count("sound") != 0 && line["sound"].number == id;
        });
        return found;
    }

    test::TempDir folder;
};

TEST_F(QuizReplayProgram, PlaysToAllClearWithTheRightTimings) {
    std::string script = "settings sound=1 correct=0 limit=1 reveal=0 study=0\nname 勝者\nopen quiz.kqd\n";
    for (int question = 0; question < 64; ++question) {
        script += "tick 26\nanswer right\ntick 42\n";  // intro and load; confirm and judging
        if (question % 8 == 7 && question != 63) {
            script += "tick 81\n";  // the level card
        }
    }
    const auto documents = folder / "documents";
    ASSERT_EQ(run(script, "--documents " + documents.string()), 0) << errors();
    const auto lines = output();

    // 64 questions of 68 ticks and seven level cards of 81.
    const auto allClear = screens(lines, "AllClear");
    ASSERT_EQ(allClear.size(), 1u);
    EXPECT_EQ(allClear[0]["t"].number, 64 * 68 + 7 * 81);
    EXPECT_EQ(allClear[0]["level"].number, 7);
    EXPECT_EQ(allClear[0]["levelCorrect"].number, 8);

    const auto levelCards = screens(lines, "LevelClear");
    ASSERT_EQ(levelCards.size(), 7u);
    for (int level = 0; level < 7; ++level) {
        EXPECT_EQ(levelCards[level]["t"].number, 8 * 68 * (level + 1) + 81 * level) << level;
        EXPECT_EQ(levelCards[level]["level"].number, level);
    }
    const auto answering = screens(lines, "Answering");
    ASSERT_EQ(answering.size(), 64u);
    EXPECT_EQ(answering[0]["t"].number, 26);
    EXPECT_EQ(answering[1]["t"].number, 68 + 26);
    EXPECT_EQ(answering[8]["t"].number, 8 * 68 + 81 + 26);

    EXPECT_EQ(sounds(lines, 136).size(), 64u);
    EXPECT_EQ(sounds(lines, 136)[0]["t"].number, 2);
    EXPECT_EQ(sounds(lines, 140).size(), 64u);
    EXPECT_EQ(sounds(lines, 139).size(), 7u);
    ASSERT_EQ(sounds(lines, 137).size(), 1u);
    EXPECT_EQ(sounds(lines, 137)[0]["t"].number, 64 * 68 + 7 * 81);
    EXPECT_TRUE(sounds(lines, 142).empty());

    const Json& end = lines.back();
    EXPECT_TRUE(end["end"].boolean);
    EXPECT_EQ(end["screen"].string, "AllClear");
    EXPECT_EQ(end["score"].number, 64 * 90);
    double answered = 0;
    for (const Json& count : end["genreAnswered"].items) answered += count.number;
    EXPECT_EQ(answered, 64);
    EXPECT_EQ(end["ranking"][0]["name"].string, "勝者");
    EXPECT_EQ(end["ranking"][0]["score"].number, 5760);

    // The new row is already in the settings file, in code page 932, first place first.
    const std::string settings = test::readBytes(documents / u"ポケットペルナ.txt");
    const std::string firstRow = "\r\n\x8f\x9f\x8e\xd2,5760\r\n";  // 勝者,5760
    EXPECT_EQ(settings.find(firstRow), 9u) << settings;
}

TEST_F(QuizReplayProgram, PlaysToGameOverWithTheRevealTimings) {
    std::string script = "settings sound=1 correct=0 limit=1 reveal=1 study=0\nname 負け\nopen quiz.kqd\n";
    for (int question = 0; question < 8; ++question) {
        script += "tick 31\n";  // intro 25, load 1, reveal 5
        script += question < 2 ? "answer right\n" : "answer wrong\n";
        script += "tick 42\n";
    }
    script += "tick 100\ntap 10 10\ncommand 40008\ntick 5000\n";
    ASSERT_EQ(run(script), 0) << errors();
    const auto lines = output();

    const auto reveal = screens(lines, "RevealQuestion");
    const auto answering = screens(lines, "Answering");
    ASSERT_EQ(answering.size(), 8u);
    EXPECT_EQ(reveal[0]["t"].number, 26);
    EXPECT_EQ(answering[0]["t"].number, 31);
    EXPECT_EQ(answering[7]["t"].number, 7 * 73 + 31);

    const auto gameOver = screens(lines, "GameOver");
    ASSERT_EQ(gameOver.size(), 1u);
    EXPECT_EQ(gameOver[0]["t"].number, 8 * 73);
    EXPECT_EQ(gameOver[0]["levelCorrect"].number, 2);
    EXPECT_EQ(gameOver[0]["questionIndex"].number, 7);
    EXPECT_EQ(sounds(lines, 142).size(), 6u);
    ASSERT_EQ(sounds(lines, 135).size(), 1u);
    EXPECT_EQ(sounds(lines, 135)[0]["t"].number, 8 * 73);

    // The tap moved on to the ranking; the quit command ended the replay before the last ticks.
    const Json& end = lines.back();
    EXPECT_EQ(end["screen"].string, "Ranking");
    EXPECT_EQ(end["score"].number, 180);
    EXPECT_EQ(end["ranking"][0]["name"].string, "負け");
    EXPECT_EQ(end["ranking"][0]["score"].number, 180);
    EXPECT_EQ(end["ranking"][1]["score"].number, 0);
}

TEST_F(QuizReplayProgram, SameSeedSameGameOtherSeedOtherGame) {
    const std::string script = "settings reveal=0\nopen quiz.kqd\ntick 26\nanswer right\ntick 68\ntick 1\n";
    ASSERT_EQ(run(script, "--seed 5"), 0);
    const std::string first = test::readBytes(folder / "out.txt");
    ASSERT_EQ(run(script, "--seed 5"), 0);
    EXPECT_EQ(test::readBytes(folder / "out.txt"), first);
    bool differs = false;
    for (int seed = 6; seed < 12 && !differs; ++seed) {
        ASSERT_EQ(run(script, "--seed " + std::to_string(seed)), 0);
        differs = test::readBytes(folder / "out.txt") != first;
    }
    EXPECT_TRUE(differs);
}

TEST_F(QuizReplayProgram, WritesEveryPaintedFrame) {
    const auto frames = folder / "frames";
    ASSERT_EQ(run("open quiz.kqd\ntick 33\n", "--frames " + frames.string() + " --scale 2"), 0) << errors();
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(frames)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    // The title, the intro card, the load, five reveal paints, then the answer screen; the
    // countdown's first refresh would come on the clock's tenth tick.
    const std::vector<std::string> expected{
        "00001-Title.png",          "00002-QuestionIntro.png",  "00003-LoadQuestion.png",
        "00004-RevealQuestion.png", "00005-RevealQuestion.png", "00006-RevealQuestion.png",
        "00007-RevealQuestion.png", "00008-RevealQuestion.png", "00009-Answering.png",
    };
    EXPECT_EQ(names, expected);

    // A PNG's size stands in its header: 240 x 268 at scale 2.
    const std::string png = test::readBytes(frames / "00009-Answering.png");
    ASSERT_GT(png.size(), 24u);
    auto bigEndian = [&](std::size_t at) {
        return (static_cast<unsigned char>(png[at]) << 24) | (static_cast<unsigned char>(png[at + 1]) << 16) |
               (static_cast<unsigned char>(png[at + 2]) << 8) | static_cast<unsigned char>(png[at + 3]);
    };
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(bigEndian(16), 480);
    EXPECT_EQ(bigEndian(20), 536);
}

TEST_F(QuizReplayProgram, OutputAndFramesThatCannotBeWrittenFailTheRun) {
    EXPECT_EQ(run("open quiz.kqd\ntick 33\n", "", "", "/dev/full"), 1);
    EXPECT_EQ(errors(), "quiz-replay: cannot write the output: No space left on device\n");

    // A file size limit stands in for a full disk: the first frame does not fit in 512 bytes.
    const auto frames = folder / "frames";
    EXPECT_EQ(run("open quiz.kqd\ntick 33\n", "--frames " + frames.string(), "ulimit -f 1; trap '' XFSZ;",
                  "/dev/null"), 1);
    const std::string message = errors();
    EXPECT_NE(message.find("cannot write the frame"), std::string::npos) << message;
    EXPECT_EQ(message.find("quiz-replay:"), message.rfind("quiz-replay:")) << "more than one line: " << message;
    EXPECT_TRUE(std::filesystem::is_empty(frames));  // no empty or partial frame left behind
}

// The temporary documents folder is made only when none is given, and removed even when the
// replay is stopped by a signal.
TEST_F(QuizReplayProgram, LeavesNoTemporaryFolderBehind) {
    const auto tmp = folder / "tmp";
    std::filesystem::create_directories(tmp);
    const std::string env = "TMPDIR=" + tmp.string() + "; export TMPDIR;";
    EXPECT_EQ(run("open quiz.kqd\ntick 3\n", "--documents " + (folder / "docs").string(), env), 0) << errors();
    EXPECT_TRUE(std::filesystem::is_empty(tmp));

    // A replay that would run for hours, stopped as soon as its folder exists.
    const auto scriptPath = folder / "long.replay";
    std::ofstream(scriptPath) << "open quiz.kqd\nsettings limit=0\ntick 4000000000\n";
    const std::string command = env + " exec " + std::string(QUIZ_REPLAY_EXECUTABLE) + " " + scriptPath.string() +
                                " >/dev/null 2>&1 & pid=$!; for i in $(seq 100); do ls " + tmp.string() +
                                " | grep -q . && break; sleep 0.05; done; kill -TERM $pid; wait $pid";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
    EXPECT_TRUE(std::filesystem::is_empty(tmp));
}

TEST_F(QuizReplayProgram, SettingsFileProblemsArePrintedAsMessageBoxesOncePerCause) {
    const auto messages = [this] {
        std::vector<std::string> texts;
        for (const Json& line : output()) {
            if (line.members.count("message") != 0) {
                texts.push_back(line["message"].string);
            }
        }
        return texts;
    };
    // Documents is a file: the settings file can be neither created at start nor saved later.
    const auto documents = folder / "Documents";
    test::writeBytes(documents, "not a folder");
    const std::string settings = (documents / u"ポケットペルナ.txt").string();
    ASSERT_EQ(run("settings sound=0\nsettings sound=1\n", "--documents " + documents.string()), 0) << errors();
    EXPECT_EQ(messages(), std::vector<std::string>{"ランキングと設定を保存できませんでした。"
                                                   "保存先のフォルダがありません。\n" + settings});

    // A settings file that cannot be read is never saved over.
    std::filesystem::remove(documents);
    std::filesystem::create_directories(documents / u"ポケットペルナ.txt");
    ASSERT_EQ(run("settings sound=0\n", "--documents " + documents.string()), 0) << errors();
    EXPECT_EQ(messages(), std::vector<std::string>{"設定ファイルを読み込めませんでした。ファイルの内容を守るため、"
                                                   "ランキングと設定は保存しません。\n" + settings});
    EXPECT_TRUE(std::filesystem::is_directory(documents / u"ポケットペルナ.txt"));
}

TEST_F(QuizReplayProgram, BadLinesAndArgumentsAreRefused) {
    EXPECT_EQ(run("open quiz.kqd\ntick 5\njump\n"), 1);
    EXPECT_NE(errors().find("script.replay:3: unknown event 'jump'"), std::string::npos) << errors();
    EXPECT_TRUE(test::readBytes(folder / "out.txt").empty());  // nothing ran

    EXPECT_EQ(run("open quiz.kqd\ntick 5\nanswer right\n"), 1);
    EXPECT_NE(errors().find(":3: answer: the game is on QuestionIntro"), std::string::npos) << errors();

    EXPECT_EQ(run("tick 1\n", "--scale 0"), 2);
    EXPECT_NE(errors().find("Usage: quiz-replay"), std::string::npos);
    EXPECT_EQ(run("tick 1\n", "--seed"), 2);
    EXPECT_EQ(run("tick 1\n", "--bogus"), 2);
}

}  // namespace
}  // namespace pp
