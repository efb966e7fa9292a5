#include <gtest/gtest.h>

#include "engine/Commands.h"
#include "engine/Keys.h"
#include "tools/replay/Recorder.h"

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

}  // namespace
}  // namespace pp::replay
