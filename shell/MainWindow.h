#pragma once

#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>

#include "engine/GameState.h"
#include "engine/Host.h"
#include "engine/Random.h"

class QAction;

namespace pp {

class QtSurface;
class ScreenView;
class SoundPlayer;

// Where the window keeps its files and how it draws; tests replace the defaults.
struct ShellConfig {
    std::filesystem::path documentsFolder;    // the settings file and quiz files live here
    std::optional<std::uint32_t> randomSeed;  // empty: seeded from the OS
    int windowScale = 0;                      // 0: the largest whole scale the screen leaves room for
    bool sound = true;                        // false: the sound effects are never opened
};

// The one window of the game. It turns Qt's events into calls of the engine (keys, taps, the
// 50 ms timer, menu commands) and stands for the platform the engine asks things of: repaints,
// sounds, the message box and the name dialog.
class MainWindow final : public QMainWindow, public Host {
    Q_OBJECT

public:
    explicit MainWindow(ShellConfig config, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Runs the menu command `id` (the command ids of the menus and shortcuts).
    void runCommand(int id);

    // Opens `path` as if it had been chosen with "開く...".
    void openQuizFile(const QString& path);

    // Comes to the front at the request of a later copy, opening its quiz file if it gave one.
    void activateFromOtherCopy(const QString& quizPath);

    [[nodiscard]] GameState& state() { return state_; }
    [[nodiscard]] const GameState& state() const { return state_; }
    [[nodiscard]] QAction* action(int commandId) const;
    [[nodiscard]] ScreenView* view() const { return view_; }
    [[nodiscard]] const QImage& picture() const;
    [[nodiscard]] std::filesystem::path settingsPath() const { return context_.settingsPath; }
    [[nodiscard]] const QTimer& gameTimer() const { return timer_; }
    [[nodiscard]] int ticksSeen() const { return ticksSeen_; }

    // Host: what the engine asks of the platform.
    void requestRepaint() override;
    void playSound(int id) override;
    void showMessage(std::u16string_view text, std::u16string_view caption) override;
    std::u16string askPlayerName() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:

    void buildMenus();
    void onTick();
    void paintGame();
    void chooseQuizFile();
    void editSettings();
    void openWhenNoDialogIsOpen(const QString& path);

    ShellConfig config_;
    GameState state_;
    MersenneRandom random_;
    Context context_;
    std::unique_ptr<QtSurface> surface_;
    std::unique_ptr<SoundPlayer> sound_;
    ScreenView* view_ = nullptr;
    QTimer timer_;
    std::map<int, QAction*> actions_;
    bool repaintPending_ = false;
    bool painting_ = false;
    bool repaintAgain_ = false;
    int ticksSeen_ = 0;
};

}  // namespace pp
