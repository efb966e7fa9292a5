#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Calendar.h"
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
    int timesMissed = 1;  // a game that drew the question again may have missed it again
};

// Why the game asks before it ends the game under way.
enum class LeaveReason {
    BackToTitle,  // "タイトルに戻る"
    OpenFile,     // another quiz file is to be opened
};

// What the game asks of the platform. The Qt window implements it once, the headless replay
// driver once, and tests with fakes; the game never reaches the platform any other way.
// Every call comes from inside a call of Game, on the thread that drives the game, and returns
// at once: nothing here waits on the player. A dialog is a request that the frontend shows and
// answers later, once the game's call has returned, through the Game call named beside it; it
// must not answer from inside the request. While a request is pending the game's ticks run on
// (a frontend may hold its clock behind a dialog, as an option) and the picture stays as it was.
class Host {
public:
    virtual ~Host() = default;

    // Marks the whole picture for a repaint. The paint does not happen inside this call: the
    // frontend takes the request (Game::takePaintRequest) and calls Game::paint once the current
    // event has been handled, and several requests before it coalesce into one paint. A frontend
    // may paint late or not at all (a minimised window): the game moves on all the same.
    virtual void requestRepaint() = 0;

    // The game has entered a new screen; called at the end of the game's call that entered it,
    // with the figures as they stand on entry, just before the screen's one-time work runs.
    virtual void screenEntered(const GameState& state) { (void)state; }

    // Starts sound `id` (135..142) and returns at once; it replaces a sound still playing.
    // An unknown id plays nothing. The game checks the sound option first.
    virtual void playSound(int id) = 0;

    // A message box with one OK button; answered by Game::dismissMessage when it is closed.
    // Several may be pending at once, shown one after the other in the order asked.
    virtual void showMessage(std::u16string_view text, std::u16string_view caption) = 0;

    // The name dialog for the ranking, shown over the picture of the screen before the results;
    // answered by Game::enterName with what the edit box held. There is no cancel: closing the
    // dialog counts as confirming it.
    virtual void askPlayerName() = 0;

    // The open dialog; answered by Game::chooseFile with the quiz file the player chose, or
    // Game::cancelFile.
    virtual void chooseQuizFile() {}

    // The settings dialog, showing `current`; answered by Game::confirmSettings with the options
    // chosen, or Game::cancelSettings when the dialog changed nothing.
    virtual void editOptions(const Options& current) { (void)current; }

    // The version box; answered by Game::closeAbout.
    virtual void showAbout() {}

    // The missed-questions dialog over `rows` (never empty); answered by
    // Game::closeMissedQuestions, saying whether the player asked for a review run over them.
    virtual void showMissedQuestions(const std::vector<MissedQuestionRow>& rows) { (void)rows; }

    // A quiz file the game has just opened (`accepted`), or refused, whoever chose it.
    virtual void quizFileOpened(const std::filesystem::path& path, bool accepted) {
        (void)path;
        (void)accepted;
    }

    // Asks whether to end the game under way for `reason`; answered by Game::answerLeave.
    virtual void confirmLeave(LeaveReason reason) { (void)reason; }

    // A study or review run kept when the program last ended can go on from where it stood
    // ("続きから"); answered by Game::answerResume.
    virtual void offerResume() {}

    // The quiz file opened last in an earlier run, for the title screen to start again on.
    virtual std::optional<std::filesystem::path> lastQuizFile() { return std::nullopt; }

    // Ends the program once the current event has been handled.
    virtual void quit() {}

    // The player's date, as days since 1970-01-01: the day an answer is kept under and the day
    // whose due questions the review run goes through. Replays and tests set their own.
    virtual std::int32_t today() { return localToday(); }
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
