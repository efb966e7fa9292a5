// The game's own work per tick and per event, without painting pixels: a whole game played
// through the headless replay must cost a tiny share of its 50 ms ticks. And a sound effect
// must start without waiting, also the first time it is converted.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <variant>

#include "record/Random.h"
#include "encoding/QuizWriter.h"
#include "shell/SoundPlayer.h"
#include "tools/replay/Replay.h"

namespace pp {
namespace {

// A quiz of eight genres of eight questions, written once for the whole run.
const std::filesystem::path& benchQuiz() {
    static const std::filesystem::path path = [] {
        std::vector<QuizGenre> genres(kGenreCount);
        for (int g = 0; g < kGenreCount; ++g) {
            genres[g].name = u"ジャンル";
            for (int q = 0; q < 8; ++q) {
                QuizQuestion question;
                question.text = u"日本で一番高い山はどれでしょう？";
                question.choices = {u"富士山", u"北岳", u"奥穂高岳", u"槍ヶ岳", u"白山"};
                genres[g].questions.push_back(question);
            }
        }
        const auto file = std::filesystem::temp_directory_path() / ("perna-bench-" + std::to_string(::getpid()) + ".kqd");
        std::ofstream(file, std::ios::binary) << std::get<std::string>(buildQuizFile(genres));
        return file;
    }();
    return path;
}

// Every question answered right at once, reveal on: 64 questions and seven level cards.
std::vector<replay::Event> allClearScript() {
    using Kind = replay::Event::Kind;
    std::vector<replay::Event> events;
    auto add = [&](Kind kind) -> replay::Event& {
        replay::Event& event = events.emplace_back();
        event.kind = kind;
        return event;
    };
    add(Kind::Open).path = benchQuiz();
    for (int question = 0; question < 64; ++question) {
        add(Kind::Tick).ticks = 26 + 17;  // intro, load, and a reveal of 16 characters
        add(Kind::Answer).right = true;
        add(Kind::Tick).ticks = 42 + (question % 8 == 7 ? 81 : 0);
    }
    return events;
}

void BM_WholeGameToAllClear(benchmark::State& run) {
    const std::vector<replay::Event> events = allClearScript();
    const auto documents = std::filesystem::temp_directory_path() / ("perna-bench-docs-" + std::to_string(::getpid()));
    std::filesystem::create_directories(documents);
    long long ticks = 0;
    for (auto _ : run) {
        replay::NullFrames frames;
        std::ostringstream out;
        replay::Replayer replayer(documents / "settings.txt", 1, frames, out);
        const GameState& state = replayer.state();
        (void)replayer.start();
        for (const replay::Event& event : events) {
            (void)replayer.run(event);
            ticks += event.ticks;
        }
        if (state.screen != Screen::AllClear) {
            run.SkipWithError("the script did not reach AllClear");
            break;
        }
        benchmark::DoNotOptimize(state.score);
    }
    run.counters["ticks"] = benchmark::Counter(static_cast<double>(ticks), benchmark::Counter::kIsRate);
    std::filesystem::remove_all(documents);
}
BENCHMARK(BM_WholeGameToAllClear)->Unit(benchmark::kMillisecond);

// A WAVE file of `seconds` of 8-bit stereo at 22050 Hz, like most of the game's sounds.
std::vector<std::uint8_t> benchWave(double seconds) {
    const auto frames = static_cast<std::uint32_t>(22050 * seconds);
    const std::uint32_t dataBytes = frames * 2;
    std::vector<std::uint8_t> out;
    auto tag = [&](const char* t) { for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(t[i])); };
    auto u32 = [&](std::uint32_t v) { for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i))); };
    auto u16 = [&](std::uint32_t v) { out.push_back(static_cast<std::uint8_t>(v)); out.push_back(static_cast<std::uint8_t>(v >> 8)); };
    tag("RIFF"); u32(36 + dataBytes); tag("WAVE"); tag("fmt "); u32(16); u16(1); u16(2); u32(22050); u32(44100);
    u16(2); u16(8); tag("data"); u32(dataBytes);
    for (std::uint32_t i = 0; i < dataBytes; ++i) out.push_back(static_cast<std::uint8_t>(128 + (i % 64) - 32));
    return out;
}

// The dummy driver plays like a device without needing one.
void useDummyAudio() { ::setenv("SDL_AUDIODRIVER", "dummy", 1); }

void BM_PlaySoundAgain(benchmark::State& run) {
    useDummyAudio();
    SoundPlayer player([](int) { return benchWave(3.24); });
    player.waitForDevice();
    player.play(137);
    for (auto _ : run) {
        player.play(137);
    }
}
BENCHMARK(BM_PlaySoundAgain)->Unit(benchmark::kMicrosecond);

void BM_PlaySoundFirstTime(benchmark::State& run) {
    useDummyAudio();
    const std::vector<std::uint8_t> wave = benchWave(3.24);  // the longest sound, 137
    for (auto _ : run) {
        run.PauseTiming();
        auto player = std::make_unique<SoundPlayer>([&](int) { return wave; });
        player->waitForDevice();
        run.ResumeTiming();
        player->play(137);
        run.PauseTiming();
        player.reset();
        run.ResumeTiming();
    }
}
BENCHMARK(BM_PlaySoundFirstTime)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pp
