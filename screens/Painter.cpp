#include "screens/Painter.h"

#include "engine/GameState.h"
#include "engine/Judge.h"
#include "engine/Sounds.h"
#include "persistence/Ranking.h"
#include "quizdata/QuestionLoader.h"
#include "screens/Screens.h"

namespace pp {
namespace {

// Offers this game's score to the ranking when it beats the tenth place.
void offerRanking(Context& context) {
    const GameState& state = context.state;
    if (state.ranking[kRankingRows - 1].score < state.score) {
        enterRanking(context);
    }
}

// Extends the gradual reveal by one character per paint; the paint after the whole question
// has been shown marks the reveal done.
void advanceReveal(GameState& state) {
    const auto length = static_cast<std::int32_t>(state.questionText.size());
    if (state.revealCount < length && state.revealCount <= 117) {
        ++state.revealCount;
        state.revealDone = 0;
    } else {
        state.revealCount = 0;
        state.revealDone = 1;
    }
}

}  // namespace

void paintScreen(Context& context, Surface& surface) {
    GameState& state = context.state;
    switch (state.screen) {
        case Screen::Title:
            paintTitle(surface);
            break;
        case Screen::QuestionIntro:
            paintQuestionIntro(state, surface);
            break;
        case Screen::LoadQuestion:
            eraseClient(surface);
            if (takeEntryWork(state)) {
                // A failure has shown its message and leaves questionReady false: the tick waits.
                (void)loadQuestion(context, state.quizPath.view());
                state.revealCount = 0;
            }
            break;
        case Screen::RevealQuestion:
            advanceReveal(state);
            paintRevealQuestion(state, surface);
            break;
        case Screen::Answering:
            paintAnswering(state, surface);
            break;
        case Screen::Judging:
            // The mark goes under the texts, which are drawn over it transparently.
            surface.setBackgroundMode(BackgroundMode::Transparent);
            if (takeEntryWork(state)) {
                judgeAnswer(context, surface, surface.clientRect());
            }
            state.confirmed = 0;
            paintJudging(state, surface);
            break;
        case Screen::ShowCorrect:
            if (takeEntryWork(state)) {
                playEffect(context, sound::kShowCorrect);
            }
            paintShowCorrect(state, surface);
            break;
        case Screen::LevelClear:
            if (takeEntryWork(state)) {
                playEffect(context, sound::kLevelClear);
            }
            paintLevelClear(state, surface);
            break;
        case Screen::GameOver:
        case Screen::AllClear:
            // The name dialog shows over the previous picture; the results are drawn after it.
            if (takeEntryWork(state)) {
                playEffect(context, state.screen == Screen::GameOver ? sound::kGameOver : sound::kAllClear);
                offerRanking(context);
            }
            paintResults(state, surface);
            break;
        case Screen::Ranking:
            paintRanking(state, surface);
            break;
    }
}

}  // namespace pp
