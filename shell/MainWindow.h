#pragma once

#include <QByteArray>
#include <QMainWindow>
#include <QSize>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>

#include "engine/Game.h"

class QAction;

namespace pp {

class QtSurface;
class ScreenView;
class SoundPlayer;

// Where the window keeps its files and how it runs; tests replace the defaults.
struct ShellConfig {
    std::filesystem::path documentsFolder;    // the settings file and quiz files live here
    std::optional<std::uint32_t> randomSeed;  // empty: seeded from the OS
    int windowScale = 0;                      // 0: the largest whole scale the screen leaves room for
    bool sound = true;                        // false: the sound effects are never opened
    bool clockRunning = true;                 // false: no timer; whoever drives the window ticks the game
};

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

    // Comes to the front at the request of a later copy, opening its quiz file (the path's bytes,
    // as the file system names it) if it gave one.
    void activateFromOtherCopy(const QByteArray& quizPath);

    [[nodiscard]] Game& game() { return *game_; }
    [[nodiscard]] const Game& game() const { return *game_; }
    [[nodiscard]] QAction* action(int commandId) const;
    [[nodiscard]] ScreenView* view() const { return view_; }
    [[nodiscard]] const QImage& picture() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Host: what the game asks of the platform.
    void requestRepaint() override;
    void playSound(int id) override;
    void showMessage(std::u16string_view text, std::u16string_view caption) override;
    std::u16string askPlayerName() override;
    std::optional<std::filesystem::path> chooseQuizFile() override;
    std::optional<Options> editOptions(const Options& current) override;
    void showAbout() override;
    void quit() override;

    void buildMenus();
    // Enables the commands that would do something on the game's current screen.
    void updateCommands();
    void paintGame();
    void changeScale(int scale);
    // Makes the window active again once one of its dialogs has closed.
    void takeBackFocus();

    ShellConfig config_;
    std::unique_ptr<Game> game_;
    std::unique_ptr<QtSurface> surface_;
    std::unique_ptr<SoundPlayer> sound_;
    ScreenView* view_ = nullptr;
    QTimer timer_;
    std::map<int, QAction*> actions_;
    bool paintQueued_ = false;
};

}  // namespace pp
