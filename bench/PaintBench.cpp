// How long the busiest paints take on the real surface: RevealQuestion repaints on every
// 50 ms tick and Answering twice a second, so each must stay far below one tick.

#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <string>

#include "record/GameState.h"
#include "screens/LineBreaker.h"
#include "screens/Painter.h"
#include "shell/QtSurface.h"

namespace pp {
namespace {

void ensureApplication() {
    if (QGuiApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        static int argc = 1;
        static char name[] = "perna_bench";
        static char* argv[] = {name, nullptr};
        // Never destroyed: tearing Qt down in the exit handlers crashes.
        new QGuiApplication(argc, argv);
    }
}

// A question that fills its whole buffer, with full-length choices: the most text to lay out.
GameState longestQuestion() {
    GameState state;
    state.options = kDefaultOptions;
    resetGame(state);
    std::u16string question;
    while (question.size() < kQuestionTextUnits - 1) {
        question += u"日本で一番高い山は？ Mount Fuji ";
    }
    state.questionText = question;
    for (int i = 0; i < kChoiceCount; ++i) {
        state.choices[static_cast<std::size_t>(i)] = u"選択肢の文章がいっぱいに入った長い答えです。あいうえおかき";
        state.choiceOrder[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i);
    }
    state.timeLeftTicks = 150;
    state.selection = 2;
    state.revealCount = static_cast<std::int32_t>(question.size() / 2);
    return state;
}

void paintRepeatedly(benchmark::State& run, Screen screen) {
    ensureApplication();
    GameState state = longestQuestion();
    QtSurface surface(static_cast<int>(run.range(0)));
    setScreen(state, screen);
    for (auto _ : run) {
        surface.beginPaint();
        paintScreen(state, surface);
        surface.endPaint();
        benchmark::DoNotOptimize(surface.image().constBits());
    }
}

void BM_PaintAnswering(benchmark::State& run) { paintRepeatedly(run, Screen::Answering); }
BENCHMARK(BM_PaintAnswering)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

void BM_PaintRevealQuestion(benchmark::State& run) { paintRepeatedly(run, Screen::RevealQuestion); }
BENCHMARK(BM_PaintRevealQuestion)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

void BM_BreakFullQuestion(benchmark::State& run) {
    ensureApplication();
    const GameState state = longestQuestion();
    for (auto _ : run) {
        benchmark::DoNotOptimize(breakLines(state.questionText.view(), 195, true, QtSurface::textWidth));
    }
}
BENCHMARK(BM_BreakFullQuestion)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pp
