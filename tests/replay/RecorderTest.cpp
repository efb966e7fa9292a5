#include <gtest/gtest.h>

#include "engine/Commands.h"
#include "engine/Keys.h"
#include "tools/replay/Recorder.h"
#include "tools/replay/ReplayScript.h"

namespace pp::replay {
namespace {

// The recorder's placement rules, which the golden round trips cannot reach: the dialogs that
// answer later, a name asked in the middle of a run of ticks, and what a script line cannot hold.
TEST(Recorder, WritesTheSetUpAndPlacesLateAnswers) {
    GameState state;
    state.options = Options{1, 0, 1, 0, 0};
    state.noRepeats = true;
    state.ranking[0] = RankEntry{PlayerName(u"はなこ"), 5760};
    Recorder recorder(42);
    recorder.listening(state, "/quizzes/a.kqd");

    recorder.commanded(command::kOpen);  // the dialog: heard by its answer
    recorder.opened("/quizzes/b.kqd");
    recorder.ticked();
    recorder.keyPressed(key::kDown);
    recorder.keyPressed(0x99);
    recorder.tapped(-3, 70000);
    recorder.commanded(command::kSettings);
    recorder.noRepeatsSet(false);
    recorder.settingsConfirmed(Options{0, 1, 0, 1, 1});
    for (int i = 0; i < 3; ++i) {
        recorder.ticked();
    }
    state.screen = Screen::GameOver;
    state.score = 120;
    recorder.screenEntered(state);
    recorder.nameAsked();  // on the third of those ticks
    recorder.ticked();
    recorder.ticked();
    recorder.nameEntered(u"a\nb");
    recorder.commanded(command::kShowRanking);

    std::string expected =
        "# A recorded game: quiz-replay plays it again.\n"
        "seed 42\n"
        "quiz /quizzes/a.kqd\n"
        "rank 5760 はなこ\n";
    for (int row = 1; row < kRankingRows; ++row) {
        expected += "rank 0\n";
    }
    expected +=
        "options sound=1 correct=0 limit=1 reveal=0 study=0 norepeat=1\n"
        "open /quizzes/b.kqd\n"
        "tick 1\n"
        "key ArrowDown\n"
        "key 0x99\n"
        "tap 0 65535\n"
        "settings sound=0 correct=1 limit=0 reveal=1 study=1 norepeat=0\n"
        "tick 2\n"
        "name a b\n"
        "tick 1\n"
        "# t=4 GameOver score=120 level=0 question=0 right=0 slots=0\n"
        "tick 2\n"
        "command 40013\n";
    EXPECT_EQ(recorder.script(), expected);
}

// What the game read of the player's files: each quiz file written once, under its kept line,
// only with something kept, and a card that reads back to the same figures, whatever the locale.
TEST(Recorder, WritesTheKeptStateOfEachQuizFileOnce) {
    Recorder recorder(1);
    recorder.listening(GameState{}, {});
    recorder.keepsHistory(20544);  // 2026-04-01
    KeptForQuiz kept;
    kept.missed = {3, 1};
    kept.fileRanking.emplace();
    (*kept.fileRanking)[0] = RankEntry{PlayerName(u"先生"), 400};
    const ReviewCard card{4, 1.1915148912345678, 8.392655420000001, 20544, 20548, 3, 1};
    kept.cards = std::vector<ReviewCard>{card};
    recorder.keptRead("/q/a.kqd", kept);
    recorder.keptRead("/q/a.kqd", KeptForQuiz{{9}, std::nullopt, std::nullopt});  // this game's own writes
    recorder.keptRead("/q/b.kqd", KeptForQuiz{{}, std::array<RankEntry, kRankingRows>{}, std::vector<ReviewCard>{}});
    recorder.ticked();
    recorder.dayChanged(20545);
    recorder.ticked();
    recorder.leaveAnswered(false);

    const std::string script = recorder.script();
    std::string expected = "\nkept /q/a.kqd\nmissed 3,1\nfilerank 400 先生\n";
    for (int row = 1; row < kRankingRows; ++row) {
        expected += "filerank 0\n";
    }
    EXPECT_NE(script.find(expected), std::string::npos) << script;
    EXPECT_EQ(script.find("/q/b.kqd"), std::string::npos) << script;
    EXPECT_EQ(script.find("missed 9"), std::string::npos) << script;
    EXPECT_NE(script.find("date 2026-04-01\ntick 1\ndate 2026-04-02\ntick 1\nleave no\n"), std::string::npos) << script;

    const std::size_t at = script.find("card ");
    ASSERT_NE(at, std::string::npos);
    auto read = parseLine(script.substr(at, script.find('\n', at) - at), 1, "/");
    ASSERT_TRUE(std::holds_alternative<Event>(read)) << script;
    const ReviewCard back = std::get<Event>(read).card;
    EXPECT_EQ(back.question, card.question);
    EXPECT_EQ(back.stability, card.stability);
    EXPECT_EQ(back.difficulty, card.difficulty);
    EXPECT_EQ(back.lastDay, card.lastDay);
    EXPECT_EQ(back.dueDay, card.dueDay);
    EXPECT_EQ(back.reps, card.reps);
    EXPECT_EQ(back.lapses, card.lapses);
}

}  // namespace
}  // namespace pp::replay
