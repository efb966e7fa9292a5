#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "engine/Host.h"
#include "engine/MissedQuestions.h"
#include "screens/Surface.h"

namespace pp {

// The game: the one object that every frontend (the window, quiz-replay, the tests) drives.
// The frontend reports events through the calls below and paints when asked; the game decides
// everything else and reaches the platform only through its Host.
//
// Calls may nest: while a dialog of the game is open (the name dialog, a message box, the open
// and settings dialogs) the frontend keeps running ticks and paints. A quiz file handed to
// open() meanwhile is opened once the dialog has closed.
class Game final : private Host {
public:
    // `host` stands for the platform; `settingsPath` is the settings-and-ranking file.
    Game(Host& host, std::filesystem::path settingsPath, std::unique_ptr<RandomSource> random);
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;
    ~Game() override;

    // Reads the options and ranking, creating the settings file with the defaults when it is
    // missing (and telling the player when that fails or the file cannot be read), and asks for
    // the first picture.
    void start();

    // One 50 ms tick of the clock.
    void tick();
    // A key pressed, as the handheld's key code (see engine/Input.h).
    void key(int keyCode);
    // A tap lifted at (x, y) in the 240 x 268 picture.
    void tap(int x, int y);
    // The open command with `path` chosen: a new game on that file once it passes the check;
    // a refused file shows the load error and leaves the running game as it was.
    void open(const std::filesystem::path& path);
    // The settings dialog confirmed with `chosen`.
    void confirmSettings(const Options& chosen);
    // "同じ問題を出さない", the desktop's option: takes effect at the next question drawn.
    void setNoRepeats(bool on) { state_.noRepeats = on; }
    // "ランキング表示...": the ranking, from the title screen only.
    void showRanking();
    // A menu command or shortcut by its id (see engine/Commands.h); unknown ids do nothing.
    void command(int id);

    // Another copy of the game holds the settings folder (call before start()): the settings file
    // is read but never written, so that the other copy's saves stay whole.
    void leaveSavingToAnotherCopy() { context_.settingsNotices.anotherCopySaves = true; }

    // Keeps the missed-question lists in `file` across runs (call before start()); without it
    // they last as long as the game object.
    void keepMissedListsIn(std::filesystem::path file) { missed_.keepListsIn(std::move(file)); }

    // The missed questions the dialog would show, by their numbers in the quiz file: those of the
    // game under way, or else of the last finished game on the quiz file opened last.
    [[nodiscard]] std::vector<std::int32_t> missedQuestions() const { return missed_.questionNumbers(); }
    [[nodiscard]] bool hasMissedQuestions() const { return !missed_.list().empty(); }

    // True while the game's clock matters: from a question's intro card to the end of a level.
    // On the title, results and ranking screens nothing waits on the clock.
    [[nodiscard]] bool playing() const;

    // True when a paint has been asked for and has not happened yet.
    [[nodiscard]] bool needsPaint() const { return needsPaint_; }

    // Runs the work the current screen does when it appears (loading the question, judging,
    // the sounds, the ranking offer), once per entry into the screen, then paints the whole
    // screen. Painting again without a change draws the same picture, at any scale.
    void paint(Surface& surface);

    [[nodiscard]] const GameState& state() const { return state_; }
    [[nodiscard]] const std::filesystem::path& settingsPath() const { return context_.settingsPath; }

private:
    // Counts the game's calls under way; the outermost one runs what had to wait.
    class Call;

    // Host: the engine's requests pass through the game on their way to the frontend.
    void requestRepaint() override;
    void playSound(int id) override { host_.playSound(id); }
    void showMessage(std::u16string_view text, std::u16string_view caption) override;
    std::u16string askPlayerName() override;
    std::optional<std::filesystem::path> chooseQuizFile() override;
    std::optional<Options> editOptions(const Options& current) override;
    void showAbout() override;
    bool showMissedQuestions(const std::vector<MissedQuestionRow>& rows) override;
    void quizFileOpened(const std::filesystem::path& path, bool accepted) override;
    std::optional<std::filesystem::path> lastQuizFile() override;
    void quit() override { host_.quit(); }

    void runEntryWork();
    void offerRanking();
    void runWaitingOpen();
    void reviewMissed();
    // Tells the player, once, that the missed lists' file was kept aside or cannot be written.
    void tellMissedStore();

    Host& host_;
    std::unique_ptr<RandomSource> random_;
    GameState state_;
    Context context_;
    bool needsPaint_ = false;
    bool painting_ = false;
    int callDepth_ = 0;
    int dialogsOpen_ = 0;
    std::uint32_t entryWorkDone_ = 0;  // the screen entry whose one-time work has run
    std::optional<std::filesystem::path> waitingOpen_;
    MissedQuestions missed_;
};

}  // namespace pp
