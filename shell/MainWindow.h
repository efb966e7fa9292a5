#pragma once

#include <QByteArray>
#include <QMainWindow>
#include <QSize>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "engine/Game.h"

class QAction;
class QDialog;
class QMenu;
class QTemporaryDir;

namespace pp {

namespace replay {
class Recorder;
}

class DesktopOptions;
class GamePad;
class QtSurface;
class ScreenView;
class SheetOpener;
class SoundPlayer;
class StatsWindow;

// Where the window keeps its files and how it runs; tests replace the defaults.
struct ShellConfig {
    std::filesystem::path documentsFolder;    // the settings file and quiz files live here
    std::optional<std::uint32_t> randomSeed;  // empty: seeded from the OS
    int windowScale = 0;   // 0: the scale it had last time, or the largest the screen leaves room for
    bool sound = true;                        // false: the sound effects are never opened
    bool clockRunning = true;                 // false: no timer; whoever drives the window ticks the game
    QString optionsFile;                      // the desktop options' store; empty: the user's own
    std::filesystem::path dataFolder;         // the missed-question lists; empty: kept for this run only
    bool gamePad = true;                      // false: game controllers are left alone
    bool anotherCopySaves = false;            // true: another copy holds the folder; nothing is saved
    std::filesystem::path recordFile;         // the game written there as a replay script at close
};

// Where the sample quizzes are installed beside the program (PREFIX/share/pocketperna/samples), or
// the build tree's samples folder; empty when there is neither.
QString samplesFolder();

// The sample quiz installed with the game: what the title starts while no quiz has been played.
std::optional<std::filesystem::path> installedSample();

// The first whole scale of the window: the largest at which the picture plus `chrome` (menu bar
// and window frame) fits in `available`, the screen's free area; 1 when even that does not fit.
int initialWindowScale(QSize available, QSize chrome);

// The one window of the game: a thin frontend of Game. It turns Qt's events into the game's
// calls (keys, taps, the 50 ms timer, menu commands), paints when the game asks, and stands for
// the platform the game asks things of: sounds, message boxes and dialogs.
class MainWindow final : public QMainWindow, private Host {
    Q_OBJECT

public:
    explicit MainWindow(ShellConfig config, QWidget* parent = nullptr);
    ~MainWindow() override;

    // "成績...": the progress window over the history of the quiz file opened last, shown.
    StatsWindow* showProgress();

    // Comes to the front at the request of a later copy, opening its quiz file (the path's bytes,
    // as the file system names it) if it gave one.
    void activateFromOtherCopy(const QByteArray& quizPath);

    [[nodiscard]] Game& game() { return *game_; }
    [[nodiscard]] const Game& game() const { return *game_; }
    [[nodiscard]] QAction* action(int commandId) const;
    [[nodiscard]] ScreenView* view() const { return view_; }
    [[nodiscard]] const QImage& picture() const;
    [[nodiscard]] QMenu* recentFilesMenu() const { return recentMenu_; }
    [[nodiscard]] GamePad* gamePad() const { return pad_.get(); }
    [[nodiscard]] DesktopOptions& desktopOptions() const { return *options_; }
    [[nodiscard]] SheetOpener& sheets() const { return *sheets_; }
    // "問題集として保存...": enabled while the quiz under way was built from a table.
    [[nodiscard]] QAction* saveQuizAction() const { return saveQuiz_; }
    // "表として書き出す...": enabled once the game has opened a quiz.
    [[nodiscard]] QAction* exportTableAction() const { return exportTable_; }

    // A quiz file or question table handed over (a drop, the recent files, another copy): a
    // table is built into a quiz first, and one with errors opens nothing but its report.
    void openQuizOrTable(const std::filesystem::path& path);

    // Shows the window as it was when it last closed: full screen or not.
    void showAsRemembered();

    // One tick of the 50 ms clock: the game's tick, unless the game is paused.
    void clockTick();
    // Writes the game played so far as a replay script; false when the file cannot be written.
    bool saveRecording(const std::filesystem::path& file) const;

    // True while the clock is held: the pause option is on and the window is minimised or
    // inactive, or a menu or dialog of ours is open.
    [[nodiscard]] bool clockHeld() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Host: what the game asks of the platform.
    void requestRepaint() override;
    void playSound(int id) override;
    // Each dialog opens without waiting (QDialog::open) and answers the game when it closes.
    void showMessage(std::u16string_view text, std::u16string_view caption) override;
    void askPlayerName() override;
    void chooseQuizFile() override;
    void editOptions(const Options& current) override;
    void showAbout() override;
    void showMissedQuestions(const std::vector<MissedQuestionRow>& rows) override;
    void quizFileOpened(const std::filesystem::path& path, bool accepted) override;
    void confirmLeave(LeaveReason reason) override;
    void offerResume() override;
    std::optional<std::filesystem::path> lastQuizFile() override;
    void quit() override;

    // Opens `dialog` (deleted once closed) and runs `answer` with its result when it closes.
    void openDialog(QDialog* dialog, std::function<void(int)> answer);
    void showNextMessage();
    void showResumeOffer();

    void buildMenus();
    // ツール > みんなで遊ぶ...: a shared game of the open quiz file, in a window of its own.
    void hostSharedGame();
    void rebuildRecentFiles(int pathWidth = 0);
    void fitRecentFilesBesideMenu();
    // A key of the keyboard or a game pad, as Qt names it; false when the game has no use for it.
    bool gameKey(int qtKey);
    // A game pad's key goes to the open dialog or menu, if any, or else to the game.
    void padKey(int qtKey);
    // Runs the 50 ms timer only while the game's clock matters.
    void updateClock();
    // Shows or hides the pause over the picture as the clock is held or not.
    void updatePause();
    // The largest interface font scale, up to `pictureScale`, whose taller menu bar still leaves
    // the picture at `pictureScale`: a font that squeezed the picture smaller would make the
    // font smaller again, back and forth.
    [[nodiscard]] int interfaceScaleFor(int pictureScale) const;
    void setInterfaceScale(int scale);
    void rememberPlacement();
    void placeAsRemembered(int fittingScale);
    // Enables the commands that would do something on the game's current screen.
    void updateCommands();
    // "今日の復習 (N問)" and the window title follow the number of questions due today.
    void updateDueCount();
    void paintGame();
    void changeScale(int scale);
    // Makes the window active again once one of its dialogs has closed.
    void takeBackFocus();
    // "この対局を保存...": asks where, then saves the recording there.
    void chooseRecordingFile();

    ShellConfig config_;
    std::unique_ptr<DesktopOptions> options_;
    std::uint32_t seed_ = 0;  // of the game's draws, which a recording names
    std::unique_ptr<replay::Recorder> recorder_;  // before the game, which tells it every event
    std::unique_ptr<Game> game_;
    std::unique_ptr<QtSurface> surface_;
    std::unique_ptr<SoundPlayer> sound_;
    std::unique_ptr<GamePad> pad_;
    ScreenView* view_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    int shownDue_ = -1;  // the due count the menu and title show
    QAction* saveQuiz_ = nullptr;
    QAction* exportTable_ = nullptr;
    std::unique_ptr<QTemporaryDir> builtForThisRun_;  // the tables' quizzes without a data folder
    SheetOpener* sheets_ = nullptr;
    QTimer timer_;
    std::map<int, QAction*> actions_;
    std::deque<std::pair<QString, QString>> messages_;  // caption and text; the first is on show
    bool paintQueued_ = false;
    bool pauseWhenInactive_ = true;
    int windowedScale_ = 0;  // the scale outside full screen, remembered at close
    int interfaceScale_ = 0;  // of the menus' and dialogs' font
};

}  // namespace pp
