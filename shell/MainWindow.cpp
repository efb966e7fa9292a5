#include "shell/MainWindow.h"
#include "shell/LazyParts.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <random>
#include <array>
#include <string_view>
#include <utility>

#include "engine/Commands.h"
#include "persistence/HistoryDb.h"
#include "shell/StatsWindow.h"
#include "engine/Input.h"
#include "engine/Ticker.h"
#include "persistence/MissedList.h"
#include "persistence/SafeFile.h"
#include "persistence/SettingsFile.h"
#include "resources/Resources.h"
#include "shell/DesktopOptions.h"
#include "shell/Dialogs.h"
#include "shell/GamePad.h"
#include "shell/QtSurface.h"
#include "shell/ReviewDialog.h"
#include "shell/ScreenView.h"
#include "shell/SheetOpener.h"
#include "shell/SoundPlayer.h"
#include "tools/replay/Recorder.h"

namespace pp {
namespace {

constexpr int kDefaultWindowScale = 2;

const QString kTitle = QStringLiteral("ポケットペルナ");
const QString kOpenTitle = QStringLiteral("クイズ問題ファイルを開く");
// "*" rather than "*.*", which would hide the files whose names have no dot.
// A teacher's question table opens as well as a quiz file.
const QString kQuizFilter = QStringLiteral(
    "ペルナ形式と問題の表 (*.kqd *.xlsx *.ods *.csv *.tsv);;ペルナ形式(*.kqd);;すべてのファイル (*)");
const QString kRecordingTitle = QStringLiteral("この対局を保存");
const QString kRecordingFilter = QStringLiteral("対局の記録 (*.script);;すべてのファイル (*)");
const QString kRecordingName = QStringLiteral("対局.script");
const QString kRecordingErrorText = QStringLiteral("対局を保存できませんでした。");

// What the window adds around the picture: the menu bar, and a guess at the frame the window
// manager puts around it, which is known only once the window is on screen.
QSize windowChrome(const QStyle& style, int menuBarHeight) {
    const int border = style.pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
    const int titleBar = style.pixelMetric(QStyle::PM_TitleBarHeight);
    return {2 * border, menuBarHeight + titleBar + 2 * border};
}

// The recent files' menu shows a path in at most this many characters, cut in the middle.
constexpr int kRecentPathChars = 60;

// The game's key code for a key, or none for keys the game does not use: Qt's keys by the
// browser's names of engine/Keys.h. The number keys of the main row and of the keypad arrive as
// the same Qt key.
std::optional<int> gameKeyCode(int qtKey) {
    static constexpr std::array<std::pair<int, std::string_view>, 10> kQtKeys{{
        {Qt::Key_Up, "ArrowUp"}, {Qt::Key_Down, "ArrowDown"}, {Qt::Key_Return, "Enter"}, {Qt::Key_Enter, "NumpadEnter"},
        {Qt::Key_Space, "Space"}, {Qt::Key_1, "1"}, {Qt::Key_2, "2"}, {Qt::Key_3, "3"}, {Qt::Key_4, "4"}, {Qt::Key_5, "5"},
    }};
    for (const auto& [qt, name] : kQtKeys) {
        if (qt == qtKey) {
            return keyCodeNamed(name);
        }
    }
    return std::nullopt;
}

QString shownPath(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

std::filesystem::path pathOf(const QString& shown) {
    return std::filesystem::path(QFile::encodeName(shown).toStdString());
}


}  // namespace

QString samplesFolder() {
    const QDir programFolder(QCoreApplication::applicationDirPath());
    for (const QString& relative : {QStringLiteral("../share/pocketperna/samples"), QStringLiteral("../samples")}) {
        const QFileInfo folder(programFolder.filePath(relative));
        if (folder.isDir()) {
            return folder.canonicalFilePath();
        }
    }
    return {};
}

std::optional<std::filesystem::path> installedSample() {
    const QString folder = samplesFolder();
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    const QFileInfo sample(QDir(folder).filePath(QStringLiteral("sample.kqd")));
    if (!sample.isFile()) {
        return std::nullopt;
    }
    return pathOf(sample.filePath());
}

int initialWindowScale(QSize available, QSize chrome) {
    const int byWidth = (available.width() - chrome.width()) / kClientWidth;
    const int byHeight = (available.height() - chrome.height()) / kClientHeight;
    return std::max(1, std::min(byWidth, byHeight));
}

MainWindow::MainWindow(ShellConfig config, QWidget* parent) : QMainWindow(parent), config_(std::move(config)) {
    options_ = std::make_unique<DesktopOptions>(config_.optionsFile, !config_.anotherCopySaves);
    pauseWhenInactive_ = options_->pauseWhenInactive();
    // Drawn here rather than inside the random source, so that a recording can name it.
    seed_ = config_.randomSeed.value_or(std::random_device{}());
    Host& host = *this;
    game_ = std::make_unique<Game>(host, settingsPathIn(config_.documentsFolder), std::make_unique<MersenneRandom>(seed_));
    if (config_.anotherCopySaves) {
        game_->leaveSavingToAnotherCopy();
    }
    game_->setNoRepeats(options_->noRepeats());
    game_->setAskBeforeOpening(options_->askBeforeOpening());
    if (!config_.dataFolder.empty()) {
        game_->keepPlayerRecordsIn(config_.dataFolder);
        // The history keeps the missed lists now, taking in the old list file's once.
        game_->keepHistoryIn(std::make_unique<HistoryDb>(config_.dataFolder / std::string(kHistoryFileName),
                                                         config_.dataFolder / std::string(kMissedListFileName)));
    }
    setWindowTitle(kTitle);

    std::filesystem::path builtFolder = config_.dataFolder / "sheets";
    if (config_.dataFolder.empty()) {
        builtForThisRun_ = std::make_unique<QTemporaryDir>();
        builtFolder = pathOf(builtForThisRun_->path());
    }
    sheets_ = new SheetOpener(builtFolder, config_.documentsFolder, this);
    connect(sheets_, &SheetOpener::reopenRequested, this, &MainWindow::openQuizOrTable);
    buildMenus();

    // The window opens at the scale it had, or else the largest whole one, as long as all of it
    // fits the screen's free area.
    int windowScale = config_.windowScale > 0 ? config_.windowScale : kDefaultWindowScale;
    setInterfaceScale(windowScale);
    int fittingScale = windowScale;
    if (const QScreen* screen = QGuiApplication::primaryScreen(); screen && config_.windowScale <= 0) {
        const int remembered = options_->windowPlacement().scale;
        // The menu bar's font grows with the scale: try each scale with its own font.
        for (int tried = kLargestInterfaceScale; tried >= 1; --tried) {
            setInterfaceScale(tried);
            fittingScale = initialWindowScale(screen->availableGeometry().size(),
                                              windowChrome(*style(), menuBar()->sizeHint().height()));
            if (fittingScale >= tried || tried == 1) {
                break;
            }
        }
        windowScale = remembered > 0 ? std::min(remembered, fittingScale) : fittingScale;
        setInterfaceScale(windowScale);
    }
    windowedScale_ = windowScale;
    surface_ = std::make_unique<QtSurface>(windowScale);
    if (config_.sound) {
        sound_ = std::make_unique<SoundPlayer>();
    }
    if (config_.gamePad) {
        pad_ = std::make_unique<GamePad>();
        connect(pad_.get(), &GamePad::keyPressed, this, &MainWindow::padKey);
    }

    view_ = new ScreenView(&surface_->image(), QSize(kClientWidth, kClientHeight), this);
    view_->setPreferredScale(windowScale);
    setCentralWidget(view_);
    // The picture is painted again, sharp, at whatever whole scale the window shows it.
    connect(view_, &ScreenView::displayScaleChanged, this, &MainWindow::changeScale);
    connect(view_, &ScreenView::tapped, this, [this](QPoint logical) { game_->tap(logical.x(), logical.y()); });
    connect(view_, &ScreenView::fileDropped, this, [this](const QString& path) { openQuizOrTable(pathOf(path)); });
    // Top-level windows default to two thirds of the screen; the picture wants its own size.
    resize(view_->sizeHint() + QSize(0, menuBar()->sizeHint().height()));
    placeAsRemembered(fittingScale);

    // The options and ranking are in place before the first tick.
    game_->start();
    // Every game is recorded from its start, so that "この対局を保存..." can save it at any time.
    recorder_ = std::make_unique<replay::Recorder>(seed_);
    game_->listen(recorder_.get());
    updateCommands();
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &MainWindow::clockTick);
    updateClock();
}

void MainWindow::updateClock() {
    // The title, results and ranking wait on nothing: the timer sleeps there, so that an idle
    // window costs no wake-ups.
    if (config_.clockRunning && game_->playing()) {
        if (!timer_.isActive()) {
            timer_.start();
        }
    } else if (timer_.isActive()) {
        timer_.stop();
    }
    updatePause();
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
    saveQuiz_ = file->addAction(QStringLiteral("問題集として保存(&K)..."));
    saveQuiz_->setEnabled(false);
    connect(saveQuiz_, &QAction::triggered, sheets_, &SheetOpener::saveOpenQuiz);
    exportTable_ = file->addAction(QStringLiteral("表として書き出す(&E)..."));
    exportTable_->setEnabled(false);
    connect(exportTable_, &QAction::triggered, sheets_, &SheetOpener::exportOpenQuiz);
    connect(sheets_, &SheetOpener::openTableChanged, this, [this] {
        saveQuiz_->setEnabled(sheets_->openTable().has_value());
        exportTable_->setEnabled(sheets_->openQuiz().has_value());
    });
    recentMenu_ = file->addMenu(QStringLiteral("最近使ったファイル(&R)"));
    rebuildRecentFiles();
    connect(recentMenu_, &QMenu::aboutToShow, this, &MainWindow::fitRecentFilesBesideMenu);
    file->addSeparator();
    // Ctrl+Q is shown on the menu item; one action holds it, since two would make it ambiguous.
    actions_[command::kQuitAccelerator] =
        addCommand(file, command::kQuit, QStringLiteral("終了(&X)"), QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* play = menuBar()->addMenu(QStringLiteral("ゲーム(&G)"));
    addCommand(play, command::kBackToTitle, QStringLiteral("タイトルに戻る(&T)"), QKeySequence(Qt::CTRL | Qt::Key_W));

    QMenu* tools = menuBar()->addMenu(QStringLiteral("ツール(&T)"));
    addCommand(tools, command::kAbout, QStringLiteral("バージョン情報(&A)"),
               QKeySequence(Qt::CTRL | Qt::Key_A));
    addCommand(tools, command::kSettings, QStringLiteral("設定(&S)..."));
    addCommand(tools, command::kShowRanking, QStringLiteral("ランキング表示(&R)..."));
    addCommand(tools, command::kMissedQuestions, QStringLiteral("間違えた問題(&M)..."));
    addCommand(tools, command::kReviewDue, QStringLiteral("今日の復習 (0問)"));
    auto* progress = tools->addAction(QStringLiteral("成績(&P)..."));
    connect(progress, &QAction::triggered, this, &MainWindow::showProgress);
    tools->addSeparator();
    // The window's own command: the game is not told, so saving leaves no mark in the recording.
    QAction* saveGame = tools->addAction(QStringLiteral("この対局を保存(&G)..."));
    connect(saveGame, &QAction::triggered, this, &MainWindow::chooseRecordingFile);
    tools->addAction(QStringLiteral("みんなで遊ぶ(&H)..."), this, &MainWindow::hostSharedGame);
    connect(tools, &QMenu::aboutToShow, this, &MainWindow::updateCommands);
    updateCommands();

    auto* fullScreen = new QAction(this);
    fullScreen->setShortcut(QKeySequence(Qt::Key_F11));
    connect(fullScreen, &QAction::triggered, this,
            [this] { isFullScreen() ? showNormal() : showFullScreen(); });
    addAction(fullScreen);
}

void MainWindow::hostSharedGame() {
    const std::filesystem::path& quiz = game_->state().quizPath;
    QString error = QStringLiteral("クイズファイルを開いてから選んでください。");
    QWidget* party = nullptr;
    if (!quiz.empty()) {
        PartyRequest request;
        request.quiz = quiz;
        party = openPartyWindow(request, error, this);
    }
    if (party == nullptr) {
        auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("みんなで遊ぶ"), error, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    party->show();
}

void MainWindow::rebuildRecentFiles(int pathWidth) {
    recentMenu_->clear();
    const std::vector<std::filesystem::path> files = options_->recentFiles();
    // Short enough that the list opens beside the file menu rather than over it.
    int width = kRecentPathChars * recentMenu_->fontMetrics().averageCharWidth();
    if (const QScreen* shownOn = screen()) {
        width = std::min(width, shownOn->availableGeometry().width() / 2);
    }
    if (pathWidth > 0) {
        width = std::min(width, pathWidth);
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::filesystem::path path = files[i];
        const QString shown = recentMenu_->fontMetrics().elidedText(shownPath(path), Qt::ElideMiddle, width);
        // "&1" to "&8": the digit reaches the item from the keyboard.
        QAction* item = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown));
        item->setToolTip(shownPath(path));
        connect(item, &QAction::triggered, this, [this, path] { openQuizOrTable(path); });
    }
    recentMenu_->setEnabled(!files.empty());
}

void MainWindow::fitRecentFilesBesideMenu() {
    // Qt opens a submenu on whichever side of its menu has room, and over the menu when neither
    // has: the paths are cut until the list fits on the wider side.
    const auto* menu = qobject_cast<QMenu*>(recentMenu_->parentWidget());
    const QScreen* shownOn = menu != nullptr ? menu->screen() : nullptr;
    if (shownOn == nullptr || !menu->isVisible()) {
        return;
    }
    const QRect area = shownOn->availableGeometry();
    const QRect beside = menu->geometry();
    const int room = std::max(area.right() - beside.right(), beside.left() - area.left());
    const int em = recentMenu_->fontMetrics().averageCharWidth();
    int width = kRecentPathChars * em;
    rebuildRecentFiles(width);
    while (recentMenu_->sizeHint().width() > room && width > 4 * em) {
        width -= 4 * em;
        rebuildRecentFiles(width);
    }
}

void MainWindow::updateCommands() {
    action(command::kShowRanking)->setEnabled(game_->state().screen == Screen::Title);
    action(command::kBackToTitle)->setEnabled(game_->state().screen != Screen::Title);
    action(command::kMissedQuestions)->setEnabled(game_->hasMissedQuestions());
    updateDueCount();
}

StatsWindow* MainWindow::showProgress() {
    const std::array<Genre, kGenreCount> genres = game_->state().genres;
    QString error;
    StatsWindow* window = openProgressWindow(
        game_->progress(), genres, game_->today(),
        [this] { return game_->history() ? historyCsv(game_->history()->answers()) : std::string(); }, this, error);
    if (window == nullptr) {
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("成績"), error, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return nullptr;
    }
    window->show();
    return window;
}

void MainWindow::updateDueCount() {
    const int due = game_->dueCountToday();
    if (due == shownDue_) {
        return;
    }
    shownDue_ = due;
    QAction* review = action(command::kReviewDue);
    review->setText(QStringLiteral("今日の復習 (%1問)").arg(due));
    review->setEnabled(due > 0);
    setWindowTitle(due > 0 ? kTitle + QStringLiteral(" - 今日の復習: %1問").arg(due) : kTitle);
}

void MainWindow::activateFromOtherCopy(const QByteArray& quizPath) {
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
    if (!quizPath.isEmpty()) {
        openQuizOrTable(std::filesystem::path(std::string(quizPath.constData(), static_cast<std::size_t>(quizPath.size()))));
    }
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && game_->playing()) {
        game_->command(command::kBackToTitle);  // asks first: a slip of the finger loses nothing
        event->accept();
        return;
    }
    if (gameKey(event->key())) {
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

bool MainWindow::gameKey(int qtKey) {
    const std::optional<int> code = gameKeyCode(qtKey);
    if (code) {
        game_->key(*code);
    }
    return code.has_value();
}

void MainWindow::padKey(int qtKey) {
    QWidget* open = QApplication::activePopupWidget();
    if (open == nullptr) {
        open = QApplication::activeModalWidget();
    }
    if (open == nullptr) {
        gameKey(qtKey);
        return;
    }
    // A message box or menu takes the pad's keys as it takes the keyboard's, so A closes it.
    QWidget* target = open->focusWidget() != nullptr ? open->focusWidget() : open;
    QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

void MainWindow::clockTick() {
    updatePause();
    if (!clockHeld()) {
        game_->tick();
    }
}

bool MainWindow::clockHeld() const {
    if (!pauseWhenInactive_) {
        return false;  // the game runs on behind everything, as the handheld's did
    }
    if (game_->requestPending() || QApplication::activeModalWidget() != nullptr ||
        QApplication::activePopupWidget() != nullptr) {
        return true;
    }
    // A window never shown (a test's, driven from outside) has nothing to lose focus from.
    return isVisible() && (isMinimized() || !isActiveWindow());
}

void MainWindow::updatePause() {
    // The veil only where a clock matters: the title and results wait for the player anyway.
    view_->setPaused(clockHeld() && game_->playing());
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange || event->type() == QEvent::WindowStateChange) {
        updatePause();
    }
    if (event->type() == QEvent::WindowStateChange && !isMinimized() && game_->needsPaint()) {
        requestRepaint();  // the paint held back while minimised
    }
    QMainWindow::changeEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    rememberPlacement();
    if (!config_.recordFile.empty() && !saveRecording(config_.recordFile)) {
        std::fprintf(stderr, "pocketperna: cannot write the recording %s\n", config_.recordFile.c_str());
    }
    game_->suspend();
    QMainWindow::closeEvent(event);
}

int MainWindow::interfaceScaleFor(int pictureScale) const {
    const int menuHeight = menuBar()->height();
    const int lineNow = QFontMetrics(menuBar()->font()).height();
    const QSize room(view_->width(), view_->height() + menuHeight);
    for (int scale = std::min(pictureScale, kLargestInterfaceScale); scale > 1; --scale) {
        if (scale <= interfaceScale_) {
            return scale;  // a font no larger than now leaves the picture at least this room
        }
        const int menu = menuHeight - lineNow + QFontMetrics(interfaceFont(scale)).height();
        const int byHeight = (room.height() - menu) / kClientHeight;
        const int byWidth = room.width() / kClientWidth;
        if (std::min(byWidth, byHeight) >= pictureScale) {
            return scale;
        }
    }
    return 1;
}

void MainWindow::setInterfaceScale(int scale) {
    scale = std::clamp(scale, 1, kLargestInterfaceScale);
    if (scale == interfaceScale_) {
        return;
    }
    interfaceScale_ = scale;
    applyInterfaceFont(*menuBar(), scale);
    if (recentMenu_ != nullptr) {
        rebuildRecentFiles();  // the paths are cut to the new font's widths
    }
}

void MainWindow::rememberPlacement() {
    DesktopOptions::WindowPlacement placement = options_->windowPlacement();
    placement.fullScreen = isFullScreen();
    if (!placement.fullScreen) {
        // In full screen the window's own size and place are the screen's: the last ones stand.
        placement.scale = windowedScale_;
        placement.position = pos();
        placement.size = size();
    }
    options_->setWindowPlacement(placement);
}

void MainWindow::placeAsRemembered(int fittingScale) {
    const DesktopOptions::WindowPlacement placement = options_->windowPlacement();
    // The exact size it had, when that is no smaller than its scale's and still fits the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen();
        placement.size && screen != nullptr && placement.scale == windowedScale_ &&
        placement.size->width() >= width() && placement.size->height() >= height() &&
        screen->availableGeometry().size().expandedTo(*placement.size) == screen->availableGeometry().size()) {
        resize(*placement.size);
    }
    if (!placement.position || fittingScale <= 0) {
        return;
    }
    // Only where a screen still is: a monitor unplugged since must not hide the window.
    const QScreen* screen = QGuiApplication::screenAt(*placement.position);
    if (screen != nullptr && screen->availableGeometry().contains(*placement.position)) {
        move(*placement.position);
    }
}

void MainWindow::showAsRemembered() {
    if (options_->windowPlacement().fullScreen) {
        showFullScreen();
    } else {
        show();
    }
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
    updateClock();  // every change of screen asks for a paint
    // A minimised window draws nothing: the request waits for the window to come back, while
    // the game goes on without it.
    if ((isVisible() && isMinimized()) || !game_->takePaintRequest()) {
        return;
    }
    surface_->beginPaint();
    game_->paint(*surface_);
    surface_->endPaint();
    view_->update();
    updateCommands();
}

void MainWindow::changeScale(int scale) {
    if (!isFullScreen()) {
        windowedScale_ = scale;
    }
    setInterfaceScale(interfaceScaleFor(scale));
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

void MainWindow::openDialog(QDialog* dialog, std::function<void(int)> answer) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, this, [this, answer = std::move(answer)](int result) {
        takeBackFocus();
        answer(result);
        updateCommands();
    });
    dialog->open();
}

void MainWindow::showMessage(std::u16string_view text, std::u16string_view caption) {
    messages_.push_back({QString::fromStdU16String(std::u16string(caption)), QString::fromStdU16String(std::u16string(text))});
    if (messages_.size() == 1) {
        showNextMessage();
    }
}

void MainWindow::showNextMessage() {
    const auto& [caption, text] = messages_.front();
    auto* box = new QMessageBox(QMessageBox::Warning, caption, text, QMessageBox::Ok, this);
    openDialog(box, [this](int) {
        messages_.pop_front();
        game_->dismissMessage();
        if (!messages_.empty()) {
            showNextMessage();  // one box at a time, in the order the game asked
        }
    });
}

void MainWindow::askPlayerName() {
    auto* dialog = new NameDialog(this);
    dialog->edit->setText(options_->lastName());
    dialog->edit->selectAll();  // typing replaces the name; Return keeps it
    openDialog(dialog, [this, dialog](int) {
        const QString name = dialog->name();
        if (!name.trimmed().isEmpty()) {
            options_->setLastName(name);
        }
        game_->enterName(name.toStdU16String());
    });
}

void MainWindow::chooseQuizFile() {
    auto* dialog = new QFileDialog(this, kOpenTitle, shownPath(config_.documentsFolder), kQuizFilter);
    // Qt's own dialog, whatever the desktop: only it shows the samples among the places.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    if (const QString samples = samplesFolder(); !samples.isEmpty()) {
        QList<QUrl> places = dialog->sidebarUrls();
        places.append(QUrl::fromLocalFile(samples));
        dialog->setSidebarUrls(places);
    }
    sizeToShowNamesWhole(*dialog);
    openDialog(dialog, [this, dialog](int result) {
        const QStringList chosen = dialog->selectedFiles();
        if (result != QDialog::Accepted || chosen.isEmpty()) {
            game_->cancelFile();  // the running game goes on untouched
        } else {
            const std::optional<std::filesystem::path> quiz = sheets_->quizFor(pathOf(chosen.constFirst()));
            quiz ? game_->chooseFile(*quiz) : game_->cancelFile();
        }
    });
}

void MainWindow::editOptions(const Options& current) {
    auto* dialog = new SettingsDialog(current, this, pauseWhenInactive_);
    dialog->noRepeats->setChecked(options_->noRepeats());
    openDialog(dialog, [this, dialog](int result) {
        if (result != QDialog::Accepted) {
            game_->cancelSettings();  // キャンセル, Escape or the close button: nothing changes
            return;
        }
        pauseWhenInactive_ = dialog->pauseWhenInactive->isChecked();
        options_->setPauseWhenInactive(pauseWhenInactive_);
        options_->setNoRepeats(dialog->noRepeats->isChecked());
        game_->setNoRepeats(dialog->noRepeats->isChecked());
        options_->sync();
        game_->confirmSettings(dialog->chosen());
    });
}

void MainWindow::showMissedQuestions(const std::vector<MissedQuestionRow>& rows) {
    openDialog(new ReviewDialog(rows, this),
               [this](int result) { game_->closeMissedQuestions(result == QDialog::Accepted); });
}

void MainWindow::quizFileOpened(const std::filesystem::path& path, bool accepted) {
    // A file the game refuses, most often one gone since, has no place among the recent ones.
    // A quiz built from a table is listed by the table, which is what the teacher edits.
    sheets_->quizOpened(path, accepted);
    if (accepted) {
        options_->addRecentFile(sheets_->sourceOf(path));
    } else {
        options_->removeRecentFile(sheets_->sourceOf(path));
    }
    rebuildRecentFiles();
    updateCommands();
}

void MainWindow::confirmLeave(LeaveReason reason) {
    const bool opening = reason == LeaveReason::OpenFile;
    auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("確認"),
                                opening ? QStringLiteral("いまのゲームをやめて開きますか？")
                                        : QStringLiteral("いまのゲームをやめてタイトルに戻りますか？"),
                                QMessageBox::Yes | QMessageBox::No, this);
    box->setDefaultButton(QMessageBox::No);
    if (opening) {
        box->setCheckBox(new QCheckBox(QStringLiteral("今後は確認しない"), box));
        fitIndicatorsToText(*box);
    }
    openDialog(box, [this, box, opening](int result) {
        const bool leave = result == QMessageBox::Yes;
        if (opening && leave && box->checkBox()->isChecked()) {
            options_->setAskBeforeOpening(false);
            options_->sync();
            game_->setAskBeforeOpening(false);
        }
        game_->answerLeave(leave);
    });
}

void MainWindow::offerResume() {
    // Asked at start, before the window is shown and made active: the box opens once it is, or
    // the activation would take the keys from it.
    QMetaObject::invokeMethod(this, &MainWindow::showResumeOffer, Qt::QueuedConnection);
}

void MainWindow::showResumeOffer() {
    auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("続きから"),
                                QStringLiteral("前回の学習が途中で終わっています。続きから始めますか？"),
                                QMessageBox::NoButton, this);
    QPushButton* resume = box->addButton(QStringLiteral("続きから"), QMessageBox::AcceptRole);
    box->addButton(QStringLiteral("はじめから"), QMessageBox::RejectRole);
    box->setDefaultButton(resume);
    openDialog(box, [this, box, resume](int) { game_->answerResume(box->clickedButton() == resume); });
}

std::optional<std::filesystem::path> MainWindow::lastQuizFile() {
    const std::vector<std::filesystem::path> files = options_->recentFiles();
    if (files.empty()) {
        return installedSample();
    }
    return sheets_->quizFor(files.front());
}

void MainWindow::openQuizOrTable(const std::filesystem::path& path) {
    if (const std::optional<std::filesystem::path> quiz = sheets_->quizFor(path)) {
        game_->open(*quiz);
    }
}

void MainWindow::showAbout() {
    openDialog(new AboutDialog(this), [this](int) { game_->closeAbout(); });
}

void MainWindow::quit() { close(); }

bool MainWindow::saveRecording(const std::filesystem::path& file) const {
    return replaceFileContents(file, recorder_->script()) == FileStatus::Ok;
}

void MainWindow::chooseRecordingFile() {
    const QString suggested = QDir(shownPath(config_.documentsFolder)).filePath(kRecordingName);
    auto* dialog = new QFileDialog(this, kRecordingTitle, suggested, kRecordingFilter);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("script"));
    sizeToShowNamesWhole(*dialog);
    openDialog(dialog, [this, dialog](int result) {
        const QStringList chosen = dialog->selectedFiles();
        if (result != QDialog::Accepted || chosen.isEmpty()) {
            return;
        }
        if (!saveRecording(pathOf(chosen.constFirst()))) {
            auto* box = new QMessageBox(QMessageBox::Warning, kRecordingTitle,
                                        kRecordingErrorText + QLatin1Char('\n') + chosen.constFirst(), QMessageBox::Ok, this);
            openDialog(box, [](int) {});
        }
    });
}

void MainWindow::takeBackFocus() {
    // A window manager gives the focus back to the window when its dialog closes; without one (a
    // kiosk, a test server) nobody does, and the window's shortcuts such as Ctrl+Q would stop.
    if (isVisible()) {
        activateWindow();
    }
}

}  // namespace pp
