#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/Game.h"
#include "persistence/SettingsFile.h"
#include "quizdata/QuizFixtures.h"
#include "screens/Layout.h"
#include "support/FakeHost.h"
#include "support/RecordingSurface.h"

namespace pp::test {

// Drives the real game the way a frontend does: after every event the dialogs it asked for are
// answered from the host's values (unless the test holds them open), then the repaint it asked
// for is painted, before the next event.
class GameDriver {
public:
    explicit GameDriver(const Options& options, std::uint32_t seed = 1) : GameDriver(options, nullptr, seed) {}

    // `beforeStart` prepares the host and the game the way a frontend does before the first start().
    GameDriver(const Options& options, const std::function<void(GameDriver&)>& beforeStart, std::uint32_t seed = 1)
        : game(host, settingsPathIn(folder.path()), std::make_unique<MersenneRandom>(seed)) {
        if (beforeStart) {
            beforeStart(*this);
        }
        game.start();
        game.confirmSettings(options);
        answerDialogs();
        host.repaints = 0;
        paints = 0;
    }

    // Writes a quiz with `counts[g]` labelled questions in genre g and returns its path.
    std::filesystem::path writeQuiz(const std::vector<int>& counts, const std::string& name = "quiz.kqd") {
        const std::filesystem::path path = folder / name;
        writeBytes(path, quizBytes(labelledQuiz(counts)));
        return path;
    }

    // Answers every dialog the game waits on, as the host's values say.
    void answerDialogs() {
        while (game.requestPending()) {
            if (host.messagesOpen > 0) {
                --host.messagesOpen;
                game.dismissMessage();
            } else if (std::exchange(host.nameOpen, false)) {
                std::u16string name;
                if (!host.names.empty()) {
                    name = host.names.front();
                    host.names.pop_front();
                }
                game.enterName(name);
            } else if (std::exchange(host.fileOpen, false)) {
                host.chosenFile ? game.chooseFile(*host.chosenFile) : game.cancelFile();
            } else if (std::exchange(host.settingsOpen, false)) {
                host.chosenOptions ? game.confirmSettings(*host.chosenOptions) : game.cancelSettings();
            } else if (std::exchange(host.aboutOpen, false)) {
                game.closeAbout();
            } else if (std::exchange(host.missedOpen, false)) {
                game.closeMissedQuestions(host.reviewChosen);
            } else if (std::exchange(host.leaveOpen, false)) {
                game.answerLeave(host.leaveChosen);
            } else if (std::exchange(host.resumeOpen, false)) {
                game.answerResume(host.resumeChosen);
            } else {
                break;
            }
        }
        paintIfAsked();
    }

    // Leaves the dialogs of the following events open until answerDialogs.
    bool holdDialogs = false;

    void open(const std::filesystem::path& path) { after([&] { game.open(path); }); }
    void settings(const Options& chosen) { after([&] { game.confirmSettings(chosen); }); }
    void tap(int x, int y) { after([&] { game.tap(x, y); }); }
    void key(int code) { after([&] { game.key(code); }); }
    void command(int id) { after([&] { game.command(id); }); }
    void showRanking() { after([&] { game.showRanking(); }); }

    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) {
            ++ticks;
            after([&] { game.tick(); });
        }
    }

    // Ticks until the game enters `screen`; fails the test when it takes more than `limit`.
    void tickUntil(Screen screen, int limit = 2000) {
        for (int i = 0; i < limit && state.screen != screen; ++i) {
            tick();
        }
        ASSERT_EQ(state.screen, screen) << "after " << ticks << " ticks";
    }

    // Taps the middle of display row 1..5.
    void tapRow(int row) {
        const Point middle = layout::choiceRowMiddle(row);
        tap(middle.x, middle.y);
    }

    // Taps the right row, or the first wrong one, twice: highlight, then confirm.
    void answer(bool right) {
        ASSERT_EQ(state.screen, Screen::Answering);
        int row = state.correctPosition + 1;
        if (!right) {
            row = state.correctPosition == 0 ? 2 : 1;
        }
        tapRow(row);
        tapRow(row);
        ASSERT_EQ(state.confirmed, 1);
    }

    [[nodiscard]] const std::filesystem::path& settingsPath() const { return game.settingsPath(); }

    // The tick at which each screen was entered, in order.
    std::vector<std::pair<int, Screen>> entries;
    int paints = 0;
    int ticks = 0;

    TempDir folder;
    FakeHost host;
    RecordingSurface surface;
    Game game;
    const GameState& state = game.state();

private:
    template <typename Event>
    void after(Event&& event) {
        const auto entry = state.screenEntry;
        event();
        if (state.screenEntry != entry) {
            entries.emplace_back(ticks, state.screen);
        }
        if (holdDialogs) {
            paintIfAsked();
        } else {
            answerDialogs();
        }
    }

    void paintIfAsked() {
        if (game.takePaintRequest()) {
            ++paints;
            surface.clear();
            game.paint(surface);
        }
    }
};

// Options by name, for readable tests.
inline Options withOptions(std::int16_t sound, std::int16_t showCorrect, std::int16_t limit, std::int16_t reveal,
                           std::int16_t study) {
    return Options{sound, showCorrect, limit, reveal, study};
}

}  // namespace pp::test
