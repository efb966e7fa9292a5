// How long a paint of every screen takes on the real surface at scales 1, 2 and 3, with the
// longest texts a quiz file and the ranking can hold. The game paints the whole screen on every
// paint, and RevealQuestion repaints on every 50 ms tick, so each paint is reported as a share
// of that tick: the counter tick_pct, in per cent, from the CPU time the whole process spent per
// paint (Qt's helper threads included; on a busy machine it is steadier than the wall clock).
// The goal is at most 1. RevealQuestion shows one more character on each paint, as in play.

#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <ctime>
#include <string>

#include "record/GameState.h"
#include "screens/Painter.h"
#include "shell/QtSurface.h"

namespace pp {
namespace {

constexpr double kTickSeconds = 0.050;

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

// `pattern` repeated until it fills `units` UTF-16 units exactly.
std::u16string filled(std::u16string_view pattern, std::size_t units) {
    std::u16string text;
    while (text.size() < units) {
        text += pattern;
    }
    text.resize(units);
    return text;
}

// Every text at the most its buffer holds, mostly full-width so that it wraps to the most lines,
// with the punctuation that keeps the line breaker busy.
GameState longestTexts() {
    GameState state;
    state.options = kDefaultOptions;
    resetGame(state);
    state.questionText = filled(u"日本で一番高い山は、どれでしょう？「富士山」Mount Fuji ", kQuestionTextUnits - 1);
    for (int i = 0; i < kChoiceCount; ++i) {
        state.choices[static_cast<std::size_t>(i)] =
            filled(u"選択肢の文章がいっぱいに入った長い答え（その" + std::u16string(1, u'1' + i) + u"）です。",
                   kChoiceTextUnits - 1);
        state.choiceOrder[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i);
    }
    for (int g = 0; g < kGenreCount; ++g) {
        const auto index = static_cast<std::size_t>(g);
        state.genres[index].name = filled(u"とても長いジャンルの名前です", kGenreNameUnits - 1);
        state.genreCorrect[index] = 32'000 + g;
        state.genreAnswered[index] = 32'700 + g;
    }
    for (RankEntry& entry : state.ranking) {
        entry.name = filled(u"なまえのながいプレイヤー", kNameUnits - 1);
        entry.score = 32'767;
    }
    state.score = 32'767;
    state.level = 7;
    state.questionIndex = 63;
    state.levelCorrect = 7;
    state.slotsLeft = 1;
    state.timeLeftTicks = 150;
    state.selection = 2;
    state.correctPosition = 2;
    state.revealCount = static_cast<std::int32_t>(state.questionText.size() / 2);
    return state;
}

double processCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void paintScreenRepeatedly(benchmark::State& run, Screen screen, bool rightAnswer) {
    ensureApplication();
    GameState state = longestTexts();
    if (!rightAnswer) {
        state.selection = 4;
    }
    setScreen(state, screen);
    const auto length = static_cast<std::int32_t>(state.questionText.size());
    QtSurface surface(static_cast<int>(run.range(0)));
    const double cpuStart = processCpuSeconds();
    for (auto _ : run) {
        surface.beginPaint();
        paintScreen(state, surface);
        surface.endPaint();
        benchmark::DoNotOptimize(surface.image().constBits());
        state.revealCount = state.revealCount % length + 1;
    }
    const double secondsPerPaint = (processCpuSeconds() - cpuStart) / static_cast<double>(run.iterations());
    run.counters["tick_pct"] = secondsPerPaint / kTickSeconds * 100.0;
}

void registerPaintBenchmarks() {
    struct Case {
        const char* name;
        Screen screen;
        bool rightAnswer;
    };
    const Case cases[] = {
        {"Title", Screen::Title, true},
        {"QuestionIntro", Screen::QuestionIntro, true},
        {"LoadQuestion", Screen::LoadQuestion, true},
        {"RevealQuestion", Screen::RevealQuestion, true},
        {"Answering", Screen::Answering, true},
        {"JudgingRight", Screen::Judging, true},
        {"JudgingWrong", Screen::Judging, false},
        {"ShowCorrect", Screen::ShowCorrect, true},
        {"LevelClear", Screen::LevelClear, true},
        {"GameOver", Screen::GameOver, true},
        {"AllClear", Screen::AllClear, true},
        {"Ranking", Screen::Ranking, true},
    };
    for (const Case& c : cases) {
        benchmark::RegisterBenchmark((std::string("BM_Paint/") + c.name).c_str(),
                                     [c](benchmark::State& run) { paintScreenRepeatedly(run, c.screen, c.rightAnswer); })
            ->ArgName("scale")
            ->DenseRange(1, 3)
            ->UseRealTime()
            ->Unit(benchmark::kMicrosecond);
    }
}

const bool kRegistered = (registerPaintBenchmarks(), true);

}  // namespace
}  // namespace pp
