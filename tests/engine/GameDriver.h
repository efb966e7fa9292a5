#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "engine/Commands.h"
#include "engine/GameState.h"
#include "engine/Input.h"
#include "engine/Random.h"
#include "engine/Ticker.h"
#include "persistence/SettingsFile.h"
#include "quizdata/QuizFixtures.h"
#include "screens/Painter.h"
#include "support/FakeHost.h"
#include "support/RecordingSurface.h"

namespace pp::test {

// Drives the real engine, loader, painters and ranking the way the shell does: every tick or
// input that asks for a repaint is followed by one paint before the next event.
class GameDriver {
public:
    explicit GameDriver(const Options& options, std::uint32_t seed = 1) : random(seed) {
        context.settingsPath = settingsPathIn(folder.path());
        loadSettings(state, context.settingsPath);
        state.options = options;
        painted_ = host.repaints;
    }

    // Writes a quiz with `counts[g]` labelled questions in genre g and returns its path.
    std::filesystem::path writeQuiz(const std::vector<int>& counts, const std::string& name = "quiz.kqd") {
        const std::filesystem::path path = folder / name;
        writeBytes(path, quizBytes(labelledQuiz(counts)));
        return path;
    }

    void open(const std::filesystem::path& path) { after([&] { openQuizFile(context, path); }); }
    void settings(const Options& chosen) { after([&] { confirmSettings(context, chosen); }); }
    void tap(unsigned x, unsigned y) { after([&] { onStylusUp(context, x, y); }); }
    void key(int code) { after([&] { onKeyDown(context, code); }); }

    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) {
            ++ticks;
            after([&] { pp::tick(context); });
        }
    }

    // Ticks until the game enters `screen`; fails the test when it takes more than `limit`.
    void tickUntil(Screen screen, int limit = 2000) {
        for (int i = 0; i < limit && state.screen != screen; ++i) {
            tick();
        }
        ASSERT_EQ(state.screen, screen) << "after " << ticks << " ticks";
    }

    // The y of the middle of display row 1..5.
    static unsigned rowY(int row) { return static_cast<unsigned>(30 + 35 * row + 15); }

    // Taps the right row, or the first wrong one, twice: highlight, then confirm.
    void answer(bool right) {
        ASSERT_EQ(state.screen, Screen::Answering);
        int row = state.correctPosition + 1;
        if (!right) {
            row = state.correctPosition == 0 ? 2 : 1;
        }
        tap(120, rowY(row));
        tap(120, rowY(row));
        ASSERT_EQ(state.confirmed, 1);
    }

    // The tick at which each screen was entered, in order.
    std::vector<std::pair<int, Screen>> entries;
    int paints = 0;
    int ticks = 0;

    TempDir folder;
    GameState state;
    FakeHost host;
    RecordingSurface surface;
    MersenneRandom random;
    Context context{state, host, random, {}};

private:
    template <typename Event>
    void after(Event&& event) {
        const auto entry = state.screenEntry;
        event();
        if (state.screenEntry != entry) {
            entries.emplace_back(ticks, state.screen);
        }
        if (host.repaints != painted_) {
            painted_ = host.repaints;
            ++paints;
            surface.clear();
            paintScreen(context, surface);
        }
    }

    int painted_ = 0;
};

// Options by name, for readable tests.
inline Options withOptions(std::int16_t sound, std::int16_t showCorrect, std::int16_t limit, std::int16_t reveal,
                           std::int16_t study) {
    return Options{sound, showCorrect, limit, reveal, study};
}

}  // namespace pp::test
