#include "shell/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>

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

const QString kTitle = QStringLiteral("ポケットペルナ");
const QString kOpenTitle = QStringLiteral("クイズ問題ファイルを開く");
// "*" rather than "*.*", which would hide the files whose names have no dot.
const QString kQuizFilter = QStringLiteral("ペルナ形式(*.kqd);;すべてのファイル (*)");

// What the window adds around the picture: the menu bar, and a guess at the frame the window
// manager puts around it, which is known only once the window is on screen.
QSize windowChrome(const QStyle& style, int menuBarHeight) {
    const int border = style.pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
    const int titleBar = style.pixelMetric(QStyle::PM_TitleBarHeight);
    return {2 * border, menuBarHeight + titleBar + 2 * border};
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

int initialWindowScale(QSize available, QSize chrome) {
    const int byWidth = (available.width() - chrome.width()) / kClientWidth;
    const int byHeight = (available.height() - chrome.height()) / kClientHeight;
    return std::max(1, std::min(byWidth, byHeight));
}

MainWindow::MainWindow(ShellConfig config, QWidget* parent) : QMainWindow(parent), config_(std::move(config)) {
    auto random = config_.randomSeed ? std::make_unique<MersenneRandom>(*config_.randomSeed)
                                     : std::make_unique<MersenneRandom>();
    Host& host = *this;
    game_ = std::make_unique<Game>(host, settingsPathIn(config_.documentsFolder), std::move(random));
    setWindowTitle(kTitle);
    setWindowIcon(QIcon(resources::kIconPath));

    buildMenus();

    // The window opens at the largest whole scale at which all of it fits the screen's free area.
    int windowScale = config_.windowScale > 0 ? config_.windowScale : kDefaultWindowScale;
    if (const QScreen* screen = QGuiApplication::primaryScreen(); screen && config_.windowScale <= 0) {
        windowScale = initialWindowScale(screen->availableGeometry().size(),
                                         windowChrome(*style(), menuBar()->sizeHint().height()));
    }
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

    // Mnemonics in the Japanese way, a letter in brackets, so that Alt reaches every command.
    QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    addCommand(file, command::kOpen, QStringLiteral("開く(&O)..."), QKeySequence(Qt::CTRL | Qt::Key_O));
    file->addSeparator();
    // Ctrl+Q is shown on the menu item; one action holds it, since two would make it ambiguous.
    actions_[command::kQuitAccelerator] =
        addCommand(file, command::kQuit, QStringLiteral("終了(&X)"), QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* tools = menuBar()->addMenu(QStringLiteral("ツール(&T)"));
    addCommand(tools, command::kAbout, QStringLiteral("バージョン情報(&A)"),
               QKeySequence(Qt::CTRL | Qt::Key_A));
    addCommand(tools, command::kSettings, QStringLiteral("設定(&S)..."));
    addCommand(tools, command::kShowRanking, QStringLiteral("ランキング表示(&R)..."));
    connect(tools, &QMenu::aboutToShow, this, &MainWindow::updateCommands);
    updateCommands();

    auto* fullScreen = new QAction(this);
    fullScreen->setShortcut(QKeySequence(Qt::Key_F11));
    connect(fullScreen, &QAction::triggered, this,
            [this] { isFullScreen() ? showNormal() : showFullScreen(); });
    addAction(fullScreen);
}

void MainWindow::updateCommands() {
    action(command::kShowRanking)->setEnabled(game_->state().screen == Screen::Title);
}

void MainWindow::activateFromOtherCopy(const QByteArray& quizPath) {
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
    if (!quizPath.isEmpty()) {
        game_->open(std::filesystem::path(std::string(quizPath.constData(), static_cast<std::size_t>(quizPath.size()))));
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
    updateCommands();
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
    takeBackFocus();
}

std::u16string MainWindow::askPlayerName() {
    NameDialog dialog(this);
    dialog.exec();
    takeBackFocus();
    return dialog.name().toStdU16String();
}

std::optional<std::filesystem::path> MainWindow::chooseQuizFile() {
    const QString folder = QFile::decodeName(QByteArray::fromStdString(config_.documentsFolder.native()));
    const QString path = QFileDialog::getOpenFileName(this, kOpenTitle, folder, kQuizFilter);
    takeBackFocus();
    if (path.isEmpty()) {
        return std::nullopt;  // cancelled: the running game goes on untouched
    }
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

std::optional<Options> MainWindow::editOptions(const Options& current) {
    SettingsDialog dialog(current, this);
    const int result = dialog.exec();
    takeBackFocus();
    if (result != QDialog::Accepted) {
        return std::nullopt;  // キャンセル, Escape or the close button: nothing changes
    }
    return dialog.chosen();
}

void MainWindow::showAbout() {
    AboutDialog dialog(this);
    dialog.exec();
    takeBackFocus();
}

void MainWindow::quit() { close(); }

void MainWindow::takeBackFocus() {
    // A window manager gives the focus back to the window when its dialog closes; without one (a
    // kiosk, a test server) nobody does, and the window's shortcuts such as Ctrl+Q would stop.
    if (isVisible()) {
        activateWindow();
    }
}

}  // namespace pp
