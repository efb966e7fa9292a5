#include "engine/Ticker.h"

#include <algorithm>

#include "engine/Sounds.h"

namespace pp {
namespace {

// How long the timed screens stay, as the last tickCount before they are left.
constexpr std::int32_t kIntroLastTick = 24;     // 25 ticks
constexpr std::int32_t kJudgingLastTick = 40;   // 41 ticks
constexpr std::int32_t kShowCorrectLastTick = 40;
constexpr std::int32_t kLevelClearLastTick = 80;  // 81 ticks

// The intro sound starts on the card's second tick.
constexpr std::int32_t kIntroSoundTick = 1;

// The answer clock: 200 ticks, the countdown refreshed every tenth tick (twice a second).
constexpr std::int32_t kAnswerTicks = 200;
constexpr std::int32_t kCountdownRefreshTicks = 10;

// The longest question shown character by character; a longer text would not fit its buffer.
constexpr std::int32_t kLongestReveal = 117;

// Options are on only when exactly 1, like every flag of the game.
bool isOn(std::int16_t option) { return option == 1; }

// Shows one more character of the question; the step after the whole question is on screen
// marks the reveal done, and the next tick moves on to Answering.
void advanceReveal(GameState& state) {
    const auto length = static_cast<std::int32_t>(state.questionText.size());
    if (state.revealCount < length && state.revealCount <= kLongestReveal) {
        ++state.revealCount;
        state.revealDone = 0;
    } else {
        state.revealCount = 0;
        state.revealDone = 1;
    }
}

// Enters Answering with a fresh clock, so the first countdown and a quick answer see the full
// ten seconds instead of whatever the previous question left behind.
void beginAnswering(GameState& state) {
    setScreen(state, Screen::Answering);
    state.tickCount = 0;
    state.revealDone = 0;
    state.confirmed = 0;
    state.timeLeftTicks = kAnswerTicks - 1;
}

void beginJudging(GameState& state) {
    setScreen(state, Screen::Judging);
    state.confirmed = 0;
    state.tickCount = 0;
}

std::int32_t quotaOf(std::int32_t level) {
    return levelQuota[static_cast<std::size_t>(std::clamp(level, 0, kLevelCount - 1))];
}

// After the level's eighth question: the quota decides between game over and the next level.
void endLevel(GameState& state) {
    if (state.levelCorrect < quotaOf(state.level)) {
        setScreen(state, Screen::GameOver);
        return;
    }
    state.questionIndex = 0;
    setScreen(state, state.level >= kLevelCount - 1 ? Screen::AllClear : Screen::LevelClear);
}

void tickQuestionIntro(Context& context) {
    GameState& state = context.state;
    if (state.tickCount == kIntroSoundTick) {
        playEffect(context, sound::kQuestionIntro);
    }
    if (state.tickCount < kIntroLastTick) {
        ++state.tickCount;
        return;
    }
    state.tickCount = 0;
    state.questionReady = 0;
    state.revealDone = 0;
    state.revealCount = 0;
    state.confirmed = 0;
    state.selection = 0;
    setScreen(state, Screen::LoadQuestion);
    context.host.requestRepaint();
}

void tickLoadQuestion(Context& context) {
    GameState& state = context.state;
    if (state.questionReady == 0) {
        return;  // the load failed: wait, as the handheld did
    }
    state.tickCount = 0;
    if (isOn(state.options.gradualReveal)) {
        setScreen(state, Screen::RevealQuestion);
        advanceReveal(state);
    } else {
        state.questionReady = 0;
        beginAnswering(state);
    }
    context.host.requestRepaint();
}

void tickRevealQuestion(Context& context) {
    GameState& state = context.state;
    if (state.revealDone != 0) {
        beginAnswering(state);
    } else {
        advanceReveal(state);
    }
    context.host.requestRepaint();
}

void tickAnswering(Context& context) {
    GameState& state = context.state;
    if (state.confirmed != 0) {
        beginJudging(state);
        context.host.requestRepaint();
        return;
    }
    if (!isOn(state.options.timeLimit)) {
        return;
    }
    ++state.tickCount;
    state.timeLeftTicks = kAnswerTicks - state.tickCount;
    if (state.timeLeftTicks < 0) {
        beginJudging(state);  // time is up: whatever is highlighted, possibly nothing, is judged
        context.host.requestRepaint();
    } else if (state.tickCount % kCountdownRefreshTicks == 0) {
        context.host.requestRepaint();
    }
}

void tickJudging(Context& context) {
    GameState& state = context.state;
    if (state.tickCount < kJudgingLastTick) {
        ++state.tickCount;
        return;
    }
    const bool showCorrect = isOn(state.options.showCorrectAnswer) && !answerIsRight(state);
    const Screen next = showCorrect ? Screen::ShowCorrect : Screen::QuestionIntro;
    state.tickCount = 0;
    if (studyRules(state)) {
        ++state.questionIndex;
        if (state.questionIndex >= studyQuestionCount(state)) {
            state.questionIndex = 0;
            setScreen(state, Screen::GameOver);  // the file is done, even after a miss
        } else {
            setScreen(state, next);
        }
    } else if (state.questionIndex >= kQuestionsPerLevel - 1 && next == Screen::QuestionIntro) {
        endLevel(state);
    } else {
        // After a missed eighth question this leaves 8, and ShowCorrect ends the level.
        ++state.questionIndex;
        setScreen(state, next);
    }
    context.host.requestRepaint();
}

void tickShowCorrect(Context& context) {
    GameState& state = context.state;
    if (state.tickCount < kShowCorrectLastTick) {
        ++state.tickCount;
        return;
    }
    state.tickCount = 0;
    if (!studyRules(state) && state.questionIndex >= kQuestionsPerLevel) {
        endLevel(state);
    } else {
        setScreen(state, Screen::QuestionIntro);
    }
    context.host.requestRepaint();
}

void tickLevelClear(Context& context) {
    GameState& state = context.state;
    if (state.tickCount < kLevelClearLastTick) {
        ++state.tickCount;
        return;
    }
    state.tickCount = 0;
    setScreen(state, Screen::QuestionIntro);
    state.questionIndex = 0;
    state.slotsLeft = kQuestionsPerLevel;
    state.levelCorrect = 0;
    ++state.level;
    context.host.requestRepaint();
}

}  // namespace

void tick(Context& context) {
    GameState& state = context.state;
    switch (state.screen) {
        case Screen::Title:
        case Screen::GameOver:
        case Screen::AllClear:
            state.tickCount = 0;
            break;
        case Screen::Ranking:
            break;
        case Screen::QuestionIntro:
            tickQuestionIntro(context);
            break;
        case Screen::LoadQuestion:
            tickLoadQuestion(context);
            break;
        case Screen::RevealQuestion:
            tickRevealQuestion(context);
            break;
        case Screen::Answering:
            tickAnswering(context);
            break;
        case Screen::Judging:
            tickJudging(context);
            break;
        case Screen::ShowCorrect:
            tickShowCorrect(context);
            break;
        case Screen::LevelClear:
            tickLevelClear(context);
            break;
    }
}

}  // namespace pp
