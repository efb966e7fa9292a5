// kqd on a table of 200,000 questions (about 44 MB): `kqd build` and `kqd dump --json` run as
// programs, next to iconv converting the same table to code page 932, with each child's peak
// resident memory. Then `kqd build` on each hostile spreadsheet of KqdHostileSheets.h, which it
// must refuse within a second and 256 MB. Run: build/bench/kqd_bench

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "KqdHostileSheets.h"

extern char** environ;

namespace {

constexpr int kQuestions = 200'000;
constexpr int kGenres = 8;

// Japanese text of a given length in characters, varied by `seed` so that no two are alike.
std::string kana(int seed, int length) {
    static const char* const kSyllables[] = {"あ", "い", "う", "え", "お", "か", "き", "く", "け", "こ", "さ", "し",
                                             "す", "せ", "そ", "た", "ち", "つ", "て", "と", "漢", "字", "問", "題"};
    std::string out;
    for (int i = 0; i < length; ++i) {
        out += kSyllables[(seed * 7 + i * 13 + i * i) % 24];
    }
    return out;
}

// The 200,000-question table, written once into a temporary folder and removed at exit.
class BigTable {
public:
    BigTable() {
        folder_ = std::filesystem::temp_directory_path() / ("perna-kqd-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        std::ofstream out(table(), std::ios::binary);
        for (int q = 0; q < kQuestions; ++q) {
            const std::string number = std::to_string(q);
            out << "ジャンル" << q % kGenres << '\t' << kana(q, 30) << "の問題" << number << "は？";
            for (int k = 0; k < 5; ++k) {
                out << '\t' << kana(q + k, 4) << number << "-" << k;
            }
            out << '\n';
        }
    }
    ~BigTable() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    [[nodiscard]] std::string table() const { return (folder_ / "big.tsv").string(); }
    [[nodiscard]] std::string quiz() const { return (folder_ / "big.kqd").string(); }

private:
    std::filesystem::path folder_;
};

const BigTable& bigTable() {
    static const BigTable table;
    return table;
}

struct ChildRun {
    double seconds = 0;
    long peakKiB = 0;
    bool ok = false;
};

// Runs `args` as a child with its standard output (and, if asked, its errors) thrown away, and
// reads its peak resident memory from wait4.
ChildRun runChild(const std::vector<std::string>& args, bool discardErrors = false) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (discardErrors) {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    ChildRun run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        if (::wait4(pid, &status, 0, &usage) == pid) {
            run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
            run.peakKiB = usage.ru_maxrss;
        }
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

void measureChild(benchmark::State& state, const std::vector<std::string>& args, const std::string& removeFirst = "") {
    long peakKiB = 0;
    for (auto _ : state) {
        if (!removeFirst.empty()) {
            // A first build: replacing a file makes ext4 flush it to disk at the rename.
            std::filesystem::remove(removeFirst);
        }
        const ChildRun run = runChild(args);
        if (!run.ok) {
            state.SkipWithError(("failed: " + args[0] + " " + args[1]).c_str());
            return;
        }
        state.SetIterationTime(run.seconds);
        peakKiB = std::max(peakKiB, run.peakKiB);
    }
    state.counters["questions/s"] =
        benchmark::Counter(static_cast<double>(kQuestions), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak_MiB"] = static_cast<double>(peakKiB) / 1024.0;
}

void BM_KqdBuild(benchmark::State& state) {
    measureChild(state, {KQD_EXECUTABLE, "build", bigTable().table(), "-o", bigTable().quiz()}, bigTable().quiz());
}
BENCHMARK(BM_KqdBuild)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_KqdDumpJson(benchmark::State& state) {
    if (!std::filesystem::exists(bigTable().quiz())) {
        runChild({KQD_EXECUTABLE, "build", bigTable().table(), "-o", bigTable().quiz()});
    }
    measureChild(state, {KQD_EXECUTABLE, "dump", "--json", bigTable().quiz()});
}
BENCHMARK(BM_KqdDumpJson)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor: converting the same bytes to code page 932 and nothing else.
void BM_IconvSameTable(benchmark::State& state) {
    measureChild(state, {"iconv", "-f", "UTF-8", "-t", "CP932", bigTable().table()});
}
BENCHMARK(BM_IconvSameTable)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// A hostile spreadsheet, written once, refused by `kqd build`: the time and peak memory it costs.
void BM_KqdRefusesHostile(benchmark::State& state, const pp::test::HostileSheet& hostile) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("perna-kqd-hostile-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = folder / hostile.file;
    pp::test::writePatternZip(file, hostile.parts);
    long peakKiB = 0;
    for (auto _ : state) {
        const ChildRun run = runChild({KQD_EXECUTABLE, "build", file.string(), "-o", (folder / "out.kqd").string()}, true);
        state.SetIterationTime(run.seconds);
        peakKiB = std::max(peakKiB, run.peakKiB);
        if (run.ok) {
            state.SkipWithError("kqd built a quiz from a hostile spreadsheet");
            break;
        }
    }
    state.counters["packed_KiB"] = static_cast<double>(std::filesystem::file_size(file)) / 1024.0;
    state.counters["peak_MiB"] = static_cast<double>(peakKiB) / 1024.0;
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

const bool kHostileRegistered = [] {
    for (const pp::test::HostileSheet& hostile : pp::test::hostileSheets()) {
        benchmark::RegisterBenchmark(("BM_KqdRefusesHostile/" + hostile.file).c_str(), BM_KqdRefusesHostile, hostile)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
    }
    return true;
}();

}  // namespace
