// The history at the size of years of study: recording an answer (its p95 must stay under 1 ms)
// and opening the progress window (under 200 ms), with 100,000 answers stored; and the cost of
// the quiz file's fingerprint, which reads a whole 10 MB quiz each time a file is opened.
// Run: QT_QPA_PLATFORM=offscreen build/bench/history_bench
#include <benchmark/benchmark.h>

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "engine/ReviewSchedule.h"
#include "engine/StudyHistory.h"
#include "persistence/HistoryDb.h"
#include "shell/StatsWindow.h"

namespace {

constexpr int kStoredAnswers = 100000;
constexpr int kQuestions = 2000;
const pp::QuizFingerprint kQuiz{"/bench/quiz.kqd", 1, 1, 1};

std::filesystem::path filledHistory() {
    static const std::filesystem::path file = [] {
        const auto path = std::filesystem::temp_directory_path() / "perna-history-bench.sqlite3";
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::filesystem::remove(path.string() + suffix);
        }
        pp::HistoryDb db(path);
        db.selectQuiz(kQuiz);
        std::vector<pp::ReviewCard> cards(kQuestions);
        for (int i = 0; i < kStoredAnswers; ++i) {
            const int question = (i * 7919) % kQuestions;
            const bool right = (i % 3) != 0;
            const std::int32_t day = 20000 + i / 300;
            auto& card = cards[static_cast<std::size_t>(question)];
            card.question = question;
            card = pp::reviewCard(card, right ? pp::Grade::Good : pp::Grade::Again, day);
            db.recordAnswer(pp::AnswerRecord{day, question, question % pp::kGenreCount, 0, right, 100}, card);
            if (i % 20 == 19) {
                db.recordGame(pp::GameRecord{day, "game", 1000 + i % 5000, {}, {}});
            }
        }
        return path;
    }();
    return file;
}

double percentile95(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0 : samples[samples.size() * 95 / 100];
}

void RecordAnswerWith100kStored(benchmark::State& state) {
    pp::HistoryDb db(filledHistory());
    db.selectQuiz(kQuiz);
    std::vector<double> millis;
    int i = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int question = i++ % kQuestions;
        db.recordAnswer(pp::AnswerRecord{30000, question, 0, 0, true, 150},
                        pp::ReviewCard{question, 3, 5, 30000, 30004, 2, 0});
        millis.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    state.counters["p95_ms"] = percentile95(millis);
}
BENCHMARK(RecordAnswerWith100kStored)->Iterations(2000)->Unit(benchmark::kMicrosecond);

void OpenProgressWindowWith100kStored(benchmark::State& state) {
    pp::StudyHistory history;
    history.keepIn(std::make_unique<pp::HistoryDb>(filledHistory()));
    std::vector<double> millis;
    std::array<pp::Genre, pp::kGenreCount> genres{};
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        // What "成績..." does: select the quiz (its cards), gather the figures, show the window.
        auto* store = history.store();
        store->selectQuiz(kQuiz);
        pp::Progress progress;
        progress.dueByDay = pp::dueCounts(store->cards(), 20400, pp::kProgressDays);
        progress.games = store->games();
        progress.genreDays = store->genreDays();
        if (progress.genreDays.size() > pp::kProgressGenreDays) {
            progress.genreDays.erase(progress.genreDays.begin(), progress.genreDays.end() - pp::kProgressGenreDays);
        }
        for (const pp::MissCount& missed : store->mostMissed(pp::kProgressMissed)) {
            progress.mostMissed.push_back(pp::OftenMissed{missed.question, missed.misses, missed.answers, u"問題", u"正解"});
        }
        auto* window = new pp::StatsWindow(progress, genres, 20400, {}, nullptr);
        window->show();
        QApplication::processEvents();
        millis.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        delete window;
    }
    state.counters["p95_ms"] = percentile95(millis);
}
BENCHMARK(OpenProgressWindowWith100kStored)->Iterations(20)->Unit(benchmark::kMillisecond);

void FingerprintA10MBQuizFile(benchmark::State& state) {
    const auto path = std::filesystem::temp_directory_path() / "perna-fingerprint-bench.kqd";
    {
        std::ofstream out(path, std::ios::binary);
        std::string block(1024 * 1024, '\0');
        for (std::size_t i = 0; i < block.size(); ++i) {
            block[i] = static_cast<char>((i * 2654435761u) >> 13);
        }
        for (int i = 0; i < 10; ++i) {
            out << block;
        }
    }
    for (auto _ : state) {
        // Setting the time moves the change time too: every round reads the file afresh.
        state.PauseTiming();
        std::filesystem::last_write_time(path, std::filesystem::last_write_time(path));
        state.ResumeTiming();
        benchmark::DoNotOptimize(pp::fingerprintQuizFile(path));
    }
    std::filesystem::remove(path);
}
BENCHMARK(FingerprintA10MBQuizFile)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
