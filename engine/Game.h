#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "engine/GameEvents.h"
#include "engine/Host.h"
#include "engine/MissedQuestions.h"
#include "persistence/PlayerRecords.h"
#include "engine/StudyHistory.h"
#include "screens/Surface.h"

namespace pp {

// The game: the one object that every frontend (the window, the page, quiz-replay, the tests)
// drives. The frontend reports events through the calls below, answers the game's requests (see
// engine/Host.h) through the calls named for them, and paints when asked; the game decides
// everything else and reaches the platform only through its Host. No call waits on the player:
// each returns once the game has done its part, the new screen's one-time work included.
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

    // One 50 ms tick of the clock. Ticks run on while a request is pending.
    void tick();
    // A key pressed, as the handheld's key code (see engine/Input.h).
    void key(int keyCode);
    // A tap lifted at (x, y) in the 240 x 268 picture.
    void tap(int x, int y);
    // A quiz file handed over (the recent files, a drop, another copy of the program): a new
    // game on that file once it passes the check; a refused file shows the load error and
    // leaves the running game as it was. While the name dialog is pending the file waits for it.
    void open(const std::filesystem::path& path);
    // "ランキング表示...": the ranking, from the title screen only.
    void showRanking();
    // A menu command or shortcut by its id (see engine/Commands.h); unknown ids do nothing.
    void command(int id);

    // Another copy of the game holds the settings folder (call before start()): the settings file
    // is read but never written, so that the other copy's saves stay whole.
    void leaveSavingToAnotherCopy() { context_.settingsNotices.anotherCopySaves = true; }
    // Answers to the requests. An answer that no pending request asked for does nothing, except
    // confirmSettings, which is also how a script or a test changes the options.
    // A message box closed.
    void dismissMessage();
    // The name dialog confirmed with `name`; what the settings file cannot keep is dropped, so
    // the ranking shows what the file keeps.
    void enterName(std::u16string_view name);
    // The open dialog: `path` chosen, or cancelled.
    void chooseFile(const std::filesystem::path& path);
    void cancelFile();
    // The settings dialog confirmed with `chosen`, or cancelled.
    void confirmSettings(const Options& chosen);
    void cancelSettings();
    // "同じ問題を出さない", the desktop's option: takes effect at the next question drawn.
    void setNoRepeats(bool on);
    // The version box closed.
    void closeAbout();
    // The answer to confirmLeave: end the game under way (and go on as asked), or keep playing.
    void answerLeave(bool leave);
    // The answer to offerResume: go on with the kept run from where it stood, or drop it.
    void answerResume(bool resume);

    // Whether another quiz file handed over while a game is under way asks first; off, it opens
    // at once, as on the handheld.
    void setAskBeforeOpening(bool on) { askBeforeOpening_ = on; }
    // Keeps a study or review run's place and each quiz file's own ranking in files in `folder`
    // (call before start()); without it neither is kept.
    void keepPlayerRecordsIn(const std::filesystem::path& folder);
    // The program is about to end: a study or review run under way keeps its place for the next
    // start, and anything else leaves no place behind. A ranked game is never kept.
    void suspend();
    // The missed-questions dialog closed; `review` when the player asked for a review run.
    void closeMissedQuestions(bool review);

    // Tells `events` (or nobody, with nullptr) of every event from now on; it must outlive the game
    // or be detached first.
    void listen(GameEvents* events);

    // True while a request waits for its answer.
    [[nodiscard]] bool requestPending() const;
    // True while the name dialog waits: keys, taps and commands do nothing until it is answered.
    [[nodiscard]] bool nameRequested() const { return pending_.name; }

    // Keeps the missed-question lists in `file` across runs (call before start()); without it
    // they last as long as the game object.
    void keepMissedListsIn(std::filesystem::path file) { missed_.keepListsIn(std::move(file)); }

    // Keeps every answer and finished game in `history`, with each question's review schedule
    // (call before start()); without it nothing is kept and nothing is ever due.
    // A history that keeps missed lists keeps them in place of keepMissedListsIn's file.
    void keepHistoryIn(std::unique_ptr<History> history) {
        history_.keepIn(std::move(history));
        missed_.keepListsIn(history_.store());
    }
    [[nodiscard]] bool keepsHistory() const { return history_.inUse(); }
    [[nodiscard]] History* history() { return history_.store(); }
    // The questions of the quiz file opened last due on the host's today, hardest first.
    [[nodiscard]] std::vector<std::int32_t> dueToday() { return history_.due(host_.today()); }
    [[nodiscard]] std::vector<ReviewCard> reviewCards() const { return history_.cards(); }
    // The host's day, as the history counts days.
    [[nodiscard]] std::int32_t today() override { return host_.today(); }
    // What the progress window charts, for the quiz file opened last.
    [[nodiscard]] Progress progress() { return history_.progress(context_.lastQuizFile, host_.today()); }
    // How many of them there are, without ordering them (cheap enough for every paint).
    [[nodiscard]] int dueCountToday() { return history_.dueCount(host_.today()); }

    // The missed questions the dialog would show, by their numbers in the quiz file: those of the
    // game under way, or else of the last finished game on the quiz file opened last.
    [[nodiscard]] std::vector<std::int32_t> missedQuestions() const { return missed_.questionNumbers(); }
    [[nodiscard]] bool hasMissedQuestions() const { return !missed_.list().empty(); }

    // True while the game's clock matters: from a question's intro card to the end of a level.
    // On the title, results and ranking screens nothing waits on the clock.
    [[nodiscard]] bool playing() const;

    // True when a paint has been asked for and has not been taken yet.
    [[nodiscard]] bool needsPaint() const { return needsPaint_; }
    // True when a paint has been asked for since the last time; the frontend that takes the
    // request paints, and the next request reaches its Host again. While the name dialog is
    // pending no paint is due: the dialog shows over the picture before the results.
    bool takePaintRequest();

    // Paints the whole current screen. It only reads: the work a screen does when it appears
    // (loading the question, judging, the sounds, the ranking offer) has already run at the end
    // of the call that entered it, so painting again, or never, changes nothing in the game.
    void paint(Surface& surface) const;

    [[nodiscard]] const GameState& state() const { return state_; }
    [[nodiscard]] const std::filesystem::path& settingsPath() const { return context_.settingsPath; }

private:
    // The requests waiting for their answers.
    struct Pending {
        int messages = 0;
        bool name = false;
        bool file = false;
        bool settings = false;
        bool about = false;
        bool missed = false;
        std::optional<LeaveReason> leave;
        std::optional<ResumePoint> resume;
    };

    // Host: the engine's requests pass through the game on their way to the frontend.
    void requestRepaint() override;
    void playSound(int id) override { host_.playSound(id); }
    void showMessage(std::u16string_view text, std::u16string_view caption) override;
    void askPlayerName() override;
    void chooseQuizFile() override;
    void editOptions(const Options& current) override;
    void showAbout() override;
    void showMissedQuestions(const std::vector<MissedQuestionRow>& rows) override;
    void quizFileOpened(const std::filesystem::path& path, bool accepted) override;
    std::optional<std::filesystem::path> lastQuizFile() override;
    void quit() override { host_.quit(); }

    // Ends every call of the game: the new screen's one-time work, then a file that waited.
    void settle();
    void runEntryWork();
    void runScreenWork();
    void offerRanking();
    void reviewMissed();
    // Tells the player, once, that the missed lists' file was kept aside or cannot be written.
    void tellMissedStore();
    // The quiz file changed since its missed list was kept: the list is dropped, and the player told.
    void tellMissedStale();
    // Opens `path` now, or first asks whether to end the game under way.
    void openAsking(const std::filesystem::path& path);
    void askLeave(LeaveReason reason);
    void backToTitle();
    // Reads the kept run at start and offers it when its quiz file is still the same.
    void offerKeptRun();
    // The quiz file's own ranking, read when the file is opened; none without a records folder.
    void readFileRanking(const std::filesystem::path& path);
    void saveFileRanking();
    // Tells the player, once for each cause, that the history could not be kept.
    void tellHistoryStore();
    // Tells the listener what was read of `path`'s kept state, for a recording to set up.
    void tellKept(const std::filesystem::path& path);
    // Tells the listener of a new day before the event that happens on it, when the day counts.
    void noteDay();
    void reviewDue();

    Host& host_;
    std::unique_ptr<RandomSource> random_;
    GameState state_;
    Context context_;
    bool needsPaint_ = false;
    std::uint32_t entryWorkDone_ = 0;  // the screen entry whose one-time work has run (or is running)
    Pending pending_;
    std::optional<std::filesystem::path> waitingOpen_;
    std::filesystem::path leaveFor_;  // the quiz file to open once the player agrees to leave
    bool askBeforeOpening_ = false;
    std::filesystem::path resumeFile_;
    std::filesystem::path rankingsFile_;
    std::optional<QuizFingerprint> rankedQuiz_;  // the quiz file whose ranking state_.fileRanking is
    MissedQuestions missed_;
    GameEvents* events_ = nullptr;
    StudyHistory history_;
    std::int32_t toldDay_ = 0;  // the day the listener last heard of
};

}  // namespace pp
