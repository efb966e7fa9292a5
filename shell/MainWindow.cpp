#include "shell/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>

#include "engine/Commands.h"
#include "engine/Input.h"
#include "persistence/SettingsFile.h"
#include "resources/Resources.h"
#include "shell/Dialogs.h"
#include "shell/QtSurface.h"
#include "shell/ScreenView.h"
#include "shell/SoundPlayer.h"

namespace pp {
namespace {

constexpr int kTickMs = 50;
constexpr int kDefaultWindowScale = 2;
// Room the window frame, menu bar and task bars take from the screen, in device pixels.
constexpr int kScreenMargin = 120;

const QString kTitle = QStringLiteral("ポケットペルナ");
const QString kQuizFilter = QStringLiteral("ペルナ形式(*.kqd);;すべてのファイル(*.*)");

// The largest whole scale at which the picture fits the primary screen, at least `floor`.
int largestScaleFor(QSize available, int floor) {
    const int byWidth = available.width() / kClientWidth;
    const int byHeight = available.height() / kClientHeight;
    return std::max(floor, std::min(byWidth, byHeight));
}

// The handheld's key code for a key, or none for keys the game does not use.
std::optional<int> gameKeyCode(const QKeyEvent& event) {
    switch (event.key()) {
        case Qt::Key_Up: return key::kUp;
        case Qt::Key_Down: return key::kDown;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space: return key::kReturn;
        default: return std::nullopt;
    }
}

}  // namespace

MainWindow::MainWindow(ShellConfig config, QWidget* parent) : QMainWindow(parent), config_(std::move(config)) {
    auto random = config_.randomSeed ? std::make_unique<MersenneRandom>(*config_.randomSeed)
                                     : std::make_unique<MersenneRandom>();
    Host& host = *this;
    game_ = std::make_unique<Game>(host, settingsPathIn(config_.documentsFolder), std::move(random));
    setWindowTitle(kTitle);

    // The window opens at the largest whole scale the screen leaves room for, at least 2.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize available = screen ? screen->availableSize() - QSize(0, kScreenMargin)
                                   : QSize(kClientWidth, kClientHeight) * kDefaultWindowScale;
    const int windowScale =
        config_.windowScale > 0 ? config_.windowScale : largestScaleFor(available, kDefaultWindowScale);
    surface_ = std::make_unique<QtSurface>(windowScale);
    if (config_.sound) {
        sound_ = std::make_unique<SoundPlayer>();
    }

    view_ = new ScreenView(&surface_->image(), QSize(kClientWidth, kClientHeight), this);
    view_->setPreferredScale(windowScale);
    setCentralWidget(view_);
    // The picture is painted again, sharp, at whatever whole scale the window shows it.
    connect(view_, &ScreenView::displayScaleChanged, this, &MainWindow::changeScale);
    connect(view_, &ScreenView::tapped, this, [this](QPoint logical) { game_->tap(logical.x(), logical.y()); });
    buildMenus();
    // Top-level windows default to two thirds of the screen; the picture wants its own size.
    resize(view_->sizeHint() + QSize(0, menuBar()->sizeHint().height()));

    // The options and ranking are in place before the first tick.
    game_->start();
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, [this] { game_->tick(); });
    if (config_.clockRunning) {
        timer_.start();
    }
}

MainWindow::~MainWindow() = default;

const QImage& MainWindow::picture() const { return surface_->image(); }

QAction* MainWindow::action(int commandId) const {
    const auto found = actions_.find(commandId);
    return found == actions_.end() ? nullptr : found->second;
}

void MainWindow::buildMenus() {
    auto addCommand = [this](QMenu* menu, int id, const QString& text, QKeySequence shortcut = {}) {
        auto* action = new QAction(text, this);
        action->setData(id);
        action->setShortcut(shortcut);
        connect(action, &QAction::triggered, this, [this, id] { game_->command(id); });
        actions_[id] = action;
        if (menu) {
            menu->addAction(action);
        } else {
            addAction(action);
        }
        return action;
    };

    QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル"));
    addCommand(file, command::kOpen, QStringLiteral("開く..."));
    file->addSeparator();
    addCommand(file, command::kQuit, QStringLiteral("終了"));

    QMenu* tools = menuBar()->addMenu(QStringLiteral("ツール"));
    addCommand(tools, command::kAbout, QStringLiteral("バージョン情報"),
               QKeySequence(Qt::CTRL | Qt::Key_A));
    addCommand(tools, command::kSettings, QStringLiteral("設定..."));
    addCommand(tools, command::kShowRanking, QStringLiteral("ランキング表示..."));

    // Quits from any screen; it has no menu item of its own.
    addCommand(nullptr, command::kQuitAccelerator, QStringLiteral("終了"),
               QKeySequence(Qt::CTRL | Qt::Key_Q));

    auto* fullScreen = new QAction(this);
    fullScreen->setShortcut(QKeySequence(Qt::Key_F11));
    connect(fullScreen, &QAction::triggered, this,
            [this] { isFullScreen() ? showNormal() : showFullScreen(); });
    addAction(fullScreen);
}

void MainWindow::activateFromOtherCopy(const QString& quizPath) {
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
    if (!quizPath.isEmpty()) {
        game_->open(std::filesystem::path(quizPath.toStdU16String()));
    }
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (auto code = gameKeyCode(*event)) {
        game_->key(*code);
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::requestRepaint() {
    if (paintQueued_) {
        return;
    }
    paintQueued_ = true;
    QMetaObject::invokeMethod(this, &MainWindow::paintGame, Qt::QueuedConnection);
}

void MainWindow::paintGame() {
    paintQueued_ = false;
    if (!game_->needsPaint()) {
        return;
    }
    surface_->beginPaint();
    game_->paint(*surface_);
    surface_->endPaint();
    view_->update();
}

void MainWindow::changeScale(int scale) {
    surface_->setScale(scale);
    surface_->beginPaint();
    game_->paint(*surface_);
    surface_->endPaint();
    view_->update();
}

void MainWindow::playSound(int id) {
    if (sound_) {
        sound_->play(id);
    }
}

void MainWindow::showMessage(std::u16string_view text, std::u16string_view caption) {
    QMessageBox box(QMessageBox::Warning, QString::fromStdU16String(std::u16string(caption)),
                    QString::fromStdU16String(std::u16string(text)), QMessageBox::Ok, this);
    box.exec();
}

std::u16string MainWindow::askPlayerName() {
    NameDialog dialog(this);
    dialog.exec();
    return dialog.name().toStdU16String();
}

std::optional<std::filesystem::path> MainWindow::chooseQuizFile() {
    const QString folder = QString::fromStdU16String(config_.documentsFolder.u16string());
    const QString path = QFileDialog::getOpenFileName(this, QString(), folder, kQuizFilter);
    if (path.isEmpty()) {
        return std::nullopt;  // cancelled: the running game goes on untouched
    }
    return std::filesystem::path(path.toStdU16String());
}

std::optional<Options> MainWindow::editOptions(const Options& current) {
    SettingsDialog dialog(current, this);
    dialog.exec();
    return dialog.chosen();  // closing the dialog counts as OK
}

void MainWindow::showAbout() {
    AboutDialog dialog(this);
    dialog.exec();
}

void MainWindow::quit() { close(); }

}  // namespace pp
