// How long one question load takes, for the first question and for the last of a file of
// 200,000: the loader seeks straight to the record, so the two should cost the same. Next to
// it, the least any load can cost: open, one pread of the record and close, on the same file in
// the same run (the goal: a load within 1.5 times that).

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "record/GameState.h"
#include "record/Random.h"
#include "record/Cp932.h"
#include "quizdata/QuestionLoader.h"
#include "quizdata/QuizFormat.h"
#include "encoding/QuizWriter.h"

namespace pp {
namespace {

constexpr int kQuestionsPerGenre = 25'000;
constexpr int kBigFileQuestions = kQuestionsPerGenre * kGenreCount;  // 200,000

// A question whose texts carry its number, so that every record differs.
EncodedQuestion numberedQuestion(int number, const std::string& questionWord, const std::string& answerWord) {
    EncodedQuestion question;
    question.text = questionWord + std::to_string(number);
    for (int k = 0; k < kChoiceCount; ++k) {
        question.choices[static_cast<std::size_t>(k)] = answerWord + std::to_string(number) + "-" + std::to_string(k);
    }
    return question;
}

// Writes the 200,000-question file into a temporary folder once, and removes it at exit.
class BigQuizFile {
public:
    BigQuizFile() {
        folder_ = std::filesystem::temp_directory_path() / ("perna-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        path_ = folder_ / "big.kqd";
        const std::string questionWord = *encodeCp932(u"問題");
        const std::string answerWord = *encodeCp932(u"答");
        std::ofstream out(path_, std::ios::binary);
        for (int g = 0; g < kGenreCount; ++g) {
            const GenreHeader header{*encodeCp932(u"ジャンル") + std::to_string(g),
                                     static_cast<std::int16_t>(kQuestionsPerGenre), 0, 0};
            out.write(encodeGenreHeader(header).data(), kRecordSize);
        }
        for (int q = 0; q < kBigFileQuestions; ++q) {
            const Record record = *encodeQuestionRecord(numberedQuestion(q, questionWord, answerWord));
            out.write(record.data(), kRecordSize);
        }
        out.close();
        // A quiz file is played long after it was written, and the loader reads the headers of
        // a file changed in the last two seconds again on every load: let it settle first.
        std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    }
    ~BigQuizFile() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path folder_;
    std::filesystem::path path_;
};

const BigQuizFile& bigQuizFile() {
    static const BigQuizFile file;
    return file;
}

// Study mode: the question number is the argument.
void BM_LoadStudyQuestion(benchmark::State& state) {
    const std::filesystem::path& path = bigQuizFile().path();
    GameState game;
    MersenneRandom random(1);
    game.options.studyMode = 1;
    game.questionIndex = static_cast<std::int32_t>(state.range(0));
    LoadResult result = LoadResult::Ok;
    for (auto _ : state) {
        result = loadQuestion(game, random, path);
        benchmark::DoNotOptimize(result);
    }
    if (result != LoadResult::Ok || game.questionReady != 1) {
        state.SkipWithError("the load failed");
    }
}
BENCHMARK(BM_LoadStudyQuestion)->Arg(0)->Arg(kBigFileQuestions - 1)->Unit(benchmark::kMicrosecond);

// The system calls alone: open, read record `question` where it stands, close.
void BM_OpenPreadClose(benchmark::State& state) {
    const std::string path = bigQuizFile().path().string();
    const auto offset = static_cast<off_t>(questionOffset(state.range(0)));
    Record record{};
    ssize_t got = 0;
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        got = ::pread(fd, record.data(), record.size(), offset);
        ::close(fd);
        benchmark::DoNotOptimize(record.data());
    }
    if (got != static_cast<ssize_t>(record.size())) {
        state.SkipWithError("the read failed");
    }
}
BENCHMARK(BM_OpenPreadClose)->Arg(0)->Arg(kBigFileQuestions - 1)->Unit(benchmark::kMicrosecond);

// The two side by side in one loop, so that a busy machine slows both alike: each iteration
// loads question `n` and then opens, reads and closes its record; the counters give each one's
// mean time and the ratio (the goal: load_ratio at most 1.5).
void BM_LoadBesideSystemCalls(benchmark::State& state) {
    const std::filesystem::path& path = bigQuizFile().path();
    const std::string name = path.string();
    GameState game;
    MersenneRandom random(1);
    game.options.studyMode = 1;
    game.questionIndex = static_cast<std::int32_t>(state.range(0));
    const auto offset = static_cast<off_t>(questionOffset(state.range(0)));
    Record record{};
    using Clock = std::chrono::steady_clock;
    Clock::duration loading{};
    Clock::duration reading{};
    bool ok = true;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        ok = loadQuestion(game, random, path) == LoadResult::Ok && ok;
        const Clock::time_point loaded = Clock::now();
        const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
        ok = ::pread(fd, record.data(), record.size(), offset) == static_cast<ssize_t>(record.size()) && ok;
        ::close(fd);
        reading += Clock::now() - loaded;
        loading += loaded - start;
    }
    if (!ok) {
        state.SkipWithError("a read failed");
    }
    const auto microseconds = [&](Clock::duration total) {
        return std::chrono::duration<double, std::micro>(total).count() / static_cast<double>(state.iterations());
    };
    state.counters["load_us"] = microseconds(loading);
    state.counters["syscalls_us"] = microseconds(reading);
    state.counters["load_ratio"] = microseconds(loading) / microseconds(reading);
}
BENCHMARK(BM_LoadBesideSystemCalls)->Arg(0)->Arg(kBigFileQuestions - 1)->Unit(benchmark::kMicrosecond);

// Game mode: a random genre and question of the big file on every load.
void BM_LoadGameQuestion(benchmark::State& state) {
    const std::filesystem::path& path = bigQuizFile().path();
    GameState game;
    MersenneRandom random(1);
    LoadResult result = LoadResult::Ok;
    for (auto _ : state) {
        result = loadQuestion(game, random, path);
        benchmark::DoNotOptimize(result);
    }
    if (result != LoadResult::Ok) {
        state.SkipWithError("the load failed");
    }
}
BENCHMARK(BM_LoadGameQuestion)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pp
