#include <gtest/gtest.h>

#include <sstream>

#include "persistence/SettingsFile.h"
#include "support/Json.h"
#include "quizdata/QuizFixtures.h"
#include "tools/replay/Replay.h"

namespace pp::replay {
namespace {

using test::Json;
using test::JsonParser;

// Keeps the screen of every frame, and can refuse one to stand for a full disk.
class RecordingFrames final : public FrameSink {
public:
    Surface& surface() override { return surface_; }
    void beginFrame() override { ++begun; }
    bool endFrame(Screen painted, std::string& failure) override {
        painted_.push_back(painted);
        if (refuseFrom != 0 && static_cast<int>(painted_.size()) >= refuseFrom) {
            failure = "disk full";
            return false;
        }
        return true;
    }
    const std::vector<Screen>& painted() const { return painted_; }

    int begun = 0;
    int refuseFrom = 0;

private:
    NullSurface surface_;
    std::vector<Screen> painted_;
};

class ReplayTest : public ::testing::Test {
protected:
    ReplayTest() {
        test::writeBytes(folder / "quiz.kqd", test::quizBytes(test::labelledQuiz(std::vector<int>(8, 8))));
    }

    Event event(Event::Kind kind, int line = 1) {
        Event made;
        made.kind = kind;
        made.line = line;
        return made;
    }
    Event open(const std::string& name) {
        Event made = event(Event::Kind::Open);
        made.path = folder / name;
        return made;
    }
    Event ticks(std::uint32_t count) {
        Event made = event(Event::Kind::Tick);
        made.ticks = count;
        return made;
    }
    Event answer(bool right, int line = 1) {
        Event made = event(Event::Kind::Answer, line);
        made.right = right;
        return made;
    }

    // Starts the replay on first use, then runs the events.
    void runAll(const std::vector<Event>& events) {
        if (!started_) {
            started_ = true;
            ASSERT_FALSE(replayer.start().has_value());
        }
        for (const Event& e : events) {
            const auto error = replayer.run(e);
            ASSERT_FALSE(error.has_value()) << error->message;
        }
    }

    // Every line printed so far, parsed.
    std::vector<Json> lines() const {
        std::vector<Json> parsed;
        std::istringstream in(out.str());
        for (std::string line; std::getline(in, line);) {
            auto json = JsonParser::parse(line);
            EXPECT_TRUE(json.has_value()) << line;
            if (json) parsed.push_back(*json);
        }
        return parsed;
    }

    test::TempDir folder;
    RecordingFrames frames;
    std::ostringstream out;
    Replayer replayer{settingsPathIn(folder.path()), 1, frames, out};
    const GameState& state = replayer.state();

private:
    bool started_ = false;
};

TEST_F(ReplayTest, ReportsEachScreenAndSoundWithItsTick) {
    Event settings = event(Event::Kind::Settings);
    settings.reveal = 0;
    runAll({settings, open("quiz.kqd"), ticks(26)});
    EXPECT_EQ(lines().back()["correctPosition"].number, state.correctPosition);
    runAll({answer(true), ticks(42)});

    struct Expected {
        int t;
        std::string screen;  // empty for a sound line
        int sound;
    };
    const std::vector<Expected> expected{
        {0, "Title", 0},      {0, "QuestionIntro", 0}, {2, "", 136},          {25, "LoadQuestion", 0},
        {26, "Answering", 0}, {27, "Judging", 0},      {27, "", 140},         {68, "QuestionIntro", 0},
    };
    const auto printed = lines();
    ASSERT_EQ(printed.size(), expected.size()) << out.str();
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(printed[i]["t"].number, expected[i].t) << i;
        if (expected[i].screen.empty()) {
            EXPECT_EQ(printed[i]["sound"].number, expected[i].sound) << i;
        } else {
            EXPECT_EQ(printed[i]["screen"].string, expected[i].screen) << i;
            EXPECT_EQ(printed[i].members.count("correctPosition"), expected[i].screen == "Answering" ? 1u : 0u);
        }
    }
    EXPECT_EQ(printed[7]["score"].number, 90);
    EXPECT_EQ(printed[7]["questionIndex"].number, 1);
    EXPECT_EQ(printed[7]["levelCorrect"].number, 1);
    EXPECT_EQ(printed[7]["slotsLeft"].number, 7);

    // One paint per event or tick that asked for one, in order.
    EXPECT_EQ(frames.painted(),
              (std::vector<Screen>{Screen::Title, Screen::QuestionIntro, Screen::LoadQuestion, Screen::Answering,
                                   Screen::Answering, Screen::Answering, Screen::Judging, Screen::QuestionIntro}));
    EXPECT_EQ(frames.begun, 8);
}

TEST_F(ReplayTest, NoSoundLinesWithSoundEffectsOff) {
    Event settings = event(Event::Kind::Settings);
    settings.sound = 0;
    runAll({settings, open("quiz.kqd"), ticks(300)});
    EXPECT_EQ(out.str().find("sound"), std::string::npos);
}

TEST_F(ReplayTest, LoadFailureShowsTheMessageAndStaysOnTheTitle) {
    runAll({open("missing.kqd"), ticks(10)});
    const auto printed = lines();
    ASSERT_EQ(printed.size(), 2u);  // the title at start, then the message: the title never left
    EXPECT_EQ(printed[1]["message"].string, "データの読み込みに失敗しました。\nmissing.kqd\nファイルが見つかりません");
    EXPECT_EQ(state.screen, Screen::Title);
}

TEST_F(ReplayTest, AnswerOnlyWhileTheGameWaitsForOne) {
    ASSERT_FALSE(replayer.start().has_value());
    auto error = replayer.run(answer(true, 7));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->line, 7);
    EXPECT_NE(error->message.find("Title"), std::string::npos);

    Event settings = event(Event::Kind::Settings);
    settings.reveal = 0;
    ASSERT_FALSE(replayer.run(settings));
    ASSERT_FALSE(replayer.run(open("quiz.kqd")));
    ASSERT_FALSE(replayer.run(ticks(26)));
    ASSERT_FALSE(replayer.run(answer(false)));
    EXPECT_FALSE(state.selection - 1 == state.correctPosition);
    error = replayer.run(answer(true, 9));  // already confirmed
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->line, 9);
}

TEST_F(ReplayTest, AFrameThatCannotBeKeptStopsTheReplay) {
    frames.refuseFrom = 2;
    ASSERT_FALSE(replayer.start().has_value());
    ASSERT_FALSE(replayer.run(ticks(5)));  // the title asks for no paint
    auto error = replayer.run(open("quiz.kqd"));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->message, "disk full");
}

TEST_F(ReplayTest, EndSummaryEscapesNames) {
    GameState stored;
    stored.ranking[0].name = u"a\"b\\c\tд";
    stored.ranking[0].score = -5;
    test::writeBytes(settingsPathIn(folder.path()), encodeSettings(stored));
    runAll({});
    replayer.finish();
    const auto printed = lines();
    const Json& end = printed.back();
    EXPECT_TRUE(end["end"].boolean);
    EXPECT_EQ(end["screen"].string, "Title");
    EXPECT_EQ(end["ranking"].items.size(), 10u);
    EXPECT_EQ(end["ranking"][0]["name"].string, "a\"b\\c\tд");
    EXPECT_EQ(end["ranking"][0]["score"].number, -5);
    EXPECT_EQ(end["genreAnswered"].items.size(), 8u);
    EXPECT_EQ(end["missed"].kind, Json::Kind::Array);  // no game played: nothing missed
    EXPECT_TRUE(end["missed"].items.empty());
}

// A recording's set-up: the ranking and options reach the game through its settings file, the
// quiz file is the one the title starts again on, and eleven rows are one too many.
TEST_F(ReplayTest, SetUpLinesPrepareTheGameBeforeItStarts) {
    std::istringstream script(
        "seed 9\nquiz quiz.kqd\nrank 900 はなこ\nrank 40\noptions sound=0 reveal=0 norepeat=1\nkey return\n");
    auto parsed = parseScript(script, folder.path());
    ASSERT_TRUE(std::holds_alternative<std::vector<Event>>(parsed));
    const auto& events = std::get<std::vector<Event>>(parsed);
    ASSERT_FALSE(replayer.setUp(events).has_value());
    runAll(events);
    EXPECT_EQ(state.ranking[0].name, u"はなこ");
    EXPECT_EQ(state.ranking[0].score, 900);
    EXPECT_EQ(state.ranking[1].score, 40);
    EXPECT_EQ(state.options.soundEffects, 0);
    EXPECT_EQ(state.options.timeLimit, 1);  // not named: the default
    EXPECT_TRUE(state.noRepeats);
    EXPECT_EQ(state.screen, Screen::QuestionIntro);  // Return on the title started quiz.kqd
    EXPECT_EQ(state.quizPath, folder / "quiz.kqd");
    Event settings = event(Event::Kind::Settings);
    settings.noRepeats = 0;
    runAll({settings});
    EXPECT_FALSE(state.noRepeats);

    std::vector<Event> tooMany(11, event(Event::Kind::Rank));
    tooMany.back().line = 11;
    const auto error = replayer.setUp(tooMany);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->line, 11);
}

}  // namespace
}  // namespace pp::replay
