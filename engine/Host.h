#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/GameState.h"
#include "record/Random.h"

namespace pp {

// One row of the missed-questions dialog, as texts the game has decoded.
struct MissedQuestionRow {
    std::int32_t number = 0;  // the question's number in the quiz file
    std::u16string genre;
    std::u16string question;
    std::u16string given;  // the choice judged; empty when the question timed out
    bool timedOut = false;
    std::u16string right;
};

// What the game asks of the platform. The Qt window implements it once, the headless replay
// driver once, and tests with fakes; the game never reaches the platform any other way.
// Every call comes from inside a call of Game, on the thread that drives the game.
class Host {
public:
    virtual ~Host() = default;

    // Marks the whole picture for a repaint. The paint does not happen inside this call: the
    // frontend calls Game::paint once the current event has been handled, and several requests
    // before it coalesce into one paint.
    virtual void requestRepaint() = 0;

    // Starts sound `id` (135..142) and returns at once; it replaces a sound still playing.
    // An unknown id plays nothing. The game checks the sound option first.
    virtual void playSound(int id) = 0;

    // Shows a modal message box with one OK button and returns when it is closed.
    virtual void showMessage(std::u16string_view text, std::u16string_view caption) = 0;

    // Shows the modal name dialog and returns what the edit box held when it was confirmed.
    // There is no cancel: closing the dialog counts as confirming it.
    virtual std::u16string askPlayerName() = 0;

    // The open dialog: the quiz file the player chose, or nothing when it was cancelled.
    virtual std::optional<std::filesystem::path> chooseQuizFile() { return std::nullopt; }

    // The settings dialog, showing `current`: the options chosen, or nothing when the dialog
    // changed nothing.
    virtual std::optional<Options> editOptions(const Options& current) {
        (void)current;
        return std::nullopt;
    }

    // The modal version box.
    virtual void showAbout() {}

    // The modal missed-questions dialog over `rows` (never empty): true when the player asked
    // for a review run over them.
    virtual bool showMissedQuestions(const std::vector<MissedQuestionRow>& rows) {
        (void)rows;
        return false;
    }

    // A quiz file the game has just opened (`accepted`), or refused, whoever chose it.
    virtual void quizFileOpened(const std::filesystem::path& path, bool accepted) {
        (void)path;
        (void)accepted;
    }

    // The quiz file opened last in an earlier run, for the title screen to start again on.
    virtual std::optional<std::filesystem::path> lastQuizFile() { return std::nullopt; }

    // Ends the program once the current event has been handled.
    virtual void quit() {}
};

// What the game knows about saving the settings file, so that the player hears of each cause of
// a failure once rather than at every save.
struct SettingsNotices {
    bool savesRefused = false;     // the file could not be read at start: it is never written over
    bool anotherCopySaves = false;  // another copy holds the settings folder: this one saves nothing
    std::uint32_t toldCauses = 0;  // one bit for each cause (a FileStatus) already shown
};

// Everything the parts of the engine work with: the record and the platform behind it.
struct Context {
    GameState& state;
    Host& host;
    RandomSource& random;
    std::filesystem::path settingsPath;  // the settings-and-ranking file, saved on every change
    SettingsNotices settingsNotices{};
    std::filesystem::path lastQuizFile{};  // the quiz file opened last: the title starts again on it
};

}  // namespace pp
