// What the game object promises its frontends: entry work once per entry whether or not anyone
// paints, paints that can be repeated, dialogs as requests, and the menu commands.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "GameDriver.h"
#include "engine/Commands.h"
#include "engine/Input.h"
#include "engine/Sounds.h"

namespace pp {
namespace {

using test::GameDriver;
using test::withOptions;
using Kind = test::RecordingSurface::Kind;

const std::vector<int> kFullQuiz(kGenreCount, 8);

// Plays right answers until the game enters `screen`.
void playRightUntil(GameDriver& game, Screen screen) {
    for (int i = 0; i < 5000 && game.state.screen != screen; ++i) {
        if (game.state.screen == Screen::Answering && game.state.confirmed == 0) {
            game.answer(true);
        }
        game.tick();
    }
    ASSERT_EQ(game.state.screen, screen);
}

TEST(Game, RepaintingAScreenDrawsTheSameAndRunsItsWorkOnce) {
    GameDriver game(withOptions(1, 0, 1, 0, 0));
    game.open(game.writeQuiz(kFullQuiz));
    playRightUntil(game, Screen::LevelClear);
    const auto first = game.surface.calls.size();
    const auto sounds = game.host.sounds.size();
    for (int again = 0; again < 3; ++again) {
        game.surface.clear();
        game.game.paint(game.surface);
        EXPECT_EQ(game.surface.calls.size(), first);
    }
    EXPECT_EQ(game.host.sounds.size(), sounds);
    EXPECT_EQ(game.host.sounds.back(), 139);
}

TEST(Game, TheGameMovesOnWithoutBeingPainted) {
    GameDriver game(withOptions(1, 0, 1, 0, 0));
    game.open(game.writeQuiz(kFullQuiz));
    // Ticks straight into the game, with nobody taking the paint requests (a minimised window).
    for (int i = 0; i < 100 && game.state.screen != Screen::Answering; ++i) {
        game.game.tick();
    }
    EXPECT_EQ(game.state.screen, Screen::Answering);
    EXPECT_EQ(game.host.sounds, (std::vector<int>{sound::kQuestionIntro}));
    EXPECT_FALSE(game.state.questionText.empty());
}

// Held open, the name dialog keeps the picture before the results, the keys and a file handed
// over; the clock runs on; the answer stores the name, paints the results and opens the file.
TEST(Game, TheNameDialogIsARequestThatHoldsTheResultsAndAWaitingFile) {
    GameDriver game(withOptions(0, 0, 0, 0, 0));
    const auto first = game.writeQuiz(kFullQuiz, "first.kqd");
    const auto second = game.writeQuiz({2, 2}, "second.kqd");
    game.open(first);
    game.holdDialogs = true;
    for (int question = 0; question < kQuestionsPerLevel; ++question) {
        game.tickUntil(Screen::Answering);
        game.answer(question < 2);
        game.tick();
    }
    game.tickUntil(Screen::GameOver);
    ASSERT_TRUE(game.host.nameOpen);
    const int paints = game.paints;
    game.tick(10);
    game.key(key::kReturn);
    game.open(second);
    EXPECT_EQ(game.paints, paints);
    EXPECT_EQ(game.state.screen, Screen::GameOver);
    EXPECT_EQ(game.state.quizPath, first.u16string());
    EXPECT_EQ(game.host.nameRequests, 1);

    game.host.names.push_back(u"はなこ");
    game.answerDialogs();
    EXPECT_EQ(game.state.ranking[0].name, u"はなこ");
    EXPECT_EQ(game.state.ranking[0].score, 20);
    EXPECT_EQ(game.state.quizPath, second.u16string());
    EXPECT_EQ(game.state.screen, Screen::QuestionIntro);
    EXPECT_EQ(game.paints, paints + 1);
    GameState saved;
    loadSettings(saved, game.settingsPath());
    EXPECT_EQ(saved.ranking[0].name, u"はなこ");

    game.game.enterName(u"二度目");  // no dialog asked for it
    for (const RankEntry& row : game.state.ranking) {
        EXPECT_NE(row.name, u"二度目");
    }
}

// What a recorder hears, a word or two an event; a run of ticks is one "tick".
class HeardLog final : public GameEvents {
public:
    std::vector<std::string> heard;

    void listening(const GameState&, const std::filesystem::path& last) override {
        heard.push_back("listening " + last.filename().string());
    }
    void ticked() override {
        if (heard.empty() || heard.back() != "tick") {
            heard.push_back("tick");
        }
    }
    void keyPressed(int code) override { heard.push_back("key " + std::to_string(code)); }
    void tapped(int, int) override { heard.push_back("tap"); }
    void opened(const std::filesystem::path& path) override { heard.push_back("open " + path.filename().string()); }
    void commanded(int id) override { heard.push_back("command " + std::to_string(id)); }
    void settingsConfirmed(const Options&) override { heard.push_back("settings"); }
    void noRepeatsSet(bool on) override { heard.push_back(on ? "norepeat 1" : "norepeat 0"); }
    void screenEntered(const GameState&) override {}
    void nameAsked() override { heard.push_back("name?"); }
    void nameEntered(std::u16string_view) override { heard.push_back("name"); }
};

// A recording played without dialogs must make the same game: under the name dialog the keys,
// taps, commands and a file handed over are not heard until the game acts on them, and answers
// nobody asked for are not heard at all.
TEST(Game, AListenerHearsWhatTheGameActsOn) {
    GameDriver game(withOptions(0, 0, 0, 0, 0));
    const auto first = game.writeQuiz(kFullQuiz, "first.kqd");
    const auto second = game.writeQuiz({2, 2}, "second.kqd");
    HeardLog log;
    game.game.open(first);
    game.game.listen(&log);
    game.holdDialogs = true;
    for (int question = 0; question < kQuestionsPerLevel; ++question) {
        game.tickUntil(Screen::Answering);
        game.answer(question < 2);
        game.tick();
    }
    game.tickUntil(Screen::GameOver);
    ASSERT_TRUE(game.host.nameOpen);
    game.tick(3);
    game.key(key::kReturn);
    game.tap(120, 120);
    game.command(command::kAbout);
    game.showRanking();
    game.open(second);
    game.host.names.push_back(u"はなこ");
    game.answerDialogs();
    game.game.chooseFile(first);
    game.game.closeMissedQuestions(true);
    game.game.setNoRepeats(true);
    game.showRanking();

    ASSERT_GE(log.heard.size(), 3U);
    EXPECT_EQ(log.heard[0], "listening first.kqd");
    EXPECT_EQ(log.heard[1], "tick");
    EXPECT_EQ(log.heard[2], "tap");  // the first answer's highlight
    const auto asked = std::find(log.heard.begin(), log.heard.end(), "name?");
    ASSERT_NE(asked, log.heard.end());
    EXPECT_EQ(std::vector<std::string>(asked - 1, log.heard.end()),
              (std::vector<std::string>{"tick", "name?", "tick", "name", "open second.kqd", "norepeat 1", "command 40013"}));
}

// Each message box closed is one request less; a close nobody asked for does nothing.
TEST(Game, DismissedMessagesAreNoLongerPending) {
    GameDriver game(withOptions(0, 0, 0, 0, 0));
    const auto missing = game.writeQuiz({1}, "present.kqd").parent_path() / "missing.kqd";
    game.holdDialogs = true;
    game.open(missing);
    game.open(missing);
    ASSERT_TRUE(game.game.requestPending());
    game.game.dismissMessage();
    EXPECT_TRUE(game.game.requestPending());
    game.game.dismissMessage();
    EXPECT_FALSE(game.game.requestPending());
    game.game.dismissMessage();
    EXPECT_FALSE(game.game.requestPending());
}

TEST(Game, MenuCommandsReachTheirDialogs) {
    GameDriver game(kDefaultOptions);
    const auto quiz = game.writeQuiz(kFullQuiz);
    game.command(command::kOpen);  // cancelled
    EXPECT_EQ(game.host.fileDialogs, 1);
    EXPECT_EQ(game.state.screen, Screen::Title);
    game.host.chosenFile = quiz;
    game.command(command::kOpen);
    EXPECT_EQ(game.state.screen, Screen::QuestionIntro);

    game.host.chosenOptions = withOptions(0, 1, 0, 0, 0);
    game.command(command::kSettings);
    EXPECT_EQ(game.host.shownOptions, (std::vector<Options>{kDefaultOptions}));
    EXPECT_EQ(game.state.options, withOptions(0, 1, 0, 0, 0));

    game.command(command::kAbout);
    game.command(12345);
    EXPECT_EQ(game.host.aboutBoxes, 1);
    game.command(command::kQuit);
    game.command(command::kQuitAccelerator);
    EXPECT_EQ(game.host.quits, 2);
    EXPECT_EQ(game.state.screen, Screen::QuestionIntro);
}

}  // namespace
}  // namespace pp
