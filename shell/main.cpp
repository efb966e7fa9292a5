// The game's entry point: one window, one copy per settings (Documents) folder.

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "persistence/MissedList.h"
#include "persistence/SafeFile.h"
#include "resources/Resources.h"
#include "shell/DesktopOptions.h"
#include "shell/Dialogs.h"
#include "shell/Documents.h"
#include "shell/FirstFrame.h"
#include "shell/GamePad.h"
#include "shell/MainWindow.h"
#include "shell/QtSurface.h"
#include "shell/ScreenView.h"
#include "shell/SingleInstance.h"
#include "shell/SoundPlayer.h"
#include "version/Version.h"

namespace {

constexpr const char* kUsage =
    "Usage: pocketperna [QUIZ.kqd]\n"
    "\n"
    "A five-choice quiz game. Opens QUIZ.kqd at start when it is given; a copy already\n"
    "running on the same Documents folder comes to the front instead and opens it.\n"
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "  --debug    say on standard error why no sound device could be opened\n";

// Another copy holds the settings folder but did not answer: this one runs, keeping nothing.
const QString kAnotherCopyText = QStringLiteral(
    "同じ設定フォルダを使うポケットペルナがすでに動いていますが、応答がありません。"
    "このウィンドウではランキングと設定を保存しません。");

struct Arguments {
    std::string quizPath;  // the bytes given, as the file system names the file
    bool exitNow = false;
    int exitCode = 0;
    bool debug = false;
};

// Read before Qt starts, so that --help and --version work without a display.
Arguments parseArguments(int argc, char** argv) {
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            std::fputs(kUsage, stdout);
            arguments.exitNow = true;
        } else if (std::strcmp(argument, "--version") == 0) {
            std::printf("ポケットペルナ Version %s\n", pp::kVersion);
            arguments.exitNow = true;
        } else if (std::strcmp(argument, "--debug") == 0) {
            arguments.debug = true;
        } else if (argument[0] == '-' && argument[1] != '\0') {
            std::fprintf(stderr, "pocketperna: unknown option %s (try --help)\n", argument);
            arguments.exitNow = true;
            arguments.exitCode = 2;
        } else if (arguments.quizPath.empty()) {
            arguments.quizPath = argument;
        }
    }
    return arguments;
}

}  // namespace

int main(int argc, char** argv) {
    const Arguments arguments = parseArguments(argc, argv);
    if (arguments.exitNow) {
        return arguments.exitCode;
    }

    pp::SoundPlayer::setDiagnostics(arguments.debug);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pocketperna"));
    QApplication::setApplicationDisplayName(QStringLiteral("ポケットペルナ"));
    QApplication::setApplicationVersion(QLatin1String(pp::kVersion));
    QApplication::setDesktopFileName(QStringLiteral("pocketperna"));

    // The whole game speaks Japanese, so do Qt's own dialogs, whatever the locale.
    pp::loadQtJapanese();

    // The font first, then the check for a running copy, as the handheld did; each bitmap is
    // loaded when it is first drawn.
    pp::QtSurface::loadAssets();

    // The path is kept as bytes, so that any file name reaches the running copy unchanged.
    std::filesystem::path quizPath;
    if (!arguments.quizPath.empty()) {
        std::error_code error;
        quizPath = std::filesystem::absolute(std::filesystem::path(arguments.quizPath), error);
        if (error) {
            quizPath = arguments.quizPath;
        }
    }
    pp::ShellConfig config;
    config.documentsFolder = pp::documentsFolder();
    // The missed-question lists are the game's own data, kept apart from the player's documents.
    config.dataFolder = QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).toStdString();
    pp::SingleInstance instance(pp::SingleInstance::socketPathFor(config.documentsFolder));
    const pp::SingleInstance::Role role =
        instance.claim(config.documentsFolder, QByteArray::fromStdString(quizPath.native()));
    if (role == pp::SingleInstance::Role::HandedOver) {
        return 0;
    }
    if (instance.holdsLock() && !config.dataFolder.empty()) {
        // The missed lists are saved only by the copy that holds the lock, as the settings are.
        pp::removeLeftoverTemporaries(config.dataFolder / std::string(pp::kMissedListFileName));
    }
    if (role == pp::SingleInstance::Role::ReadOnly) {
        config.anotherCopySaves = true;
        config.dataFolder.clear();
    }

    pp::MainWindow window(config);
    QObject::connect(&instance, &pp::SingleInstance::activationRequested, &window,
                     &pp::MainWindow::activateFromOtherCopy);
    // The first real frame is the title, painted once the game's first paint request is served.
    // Neither the icon nor the game pads are needed for it: the icon is decoded once, for the
    // window and its dialogs, after it; SDL is loaded for pads only once one is plugged in.
    pp::FirstFrame::whenShown(
        window.view(), [&window] { return !window.game().needsPaint(); },
        [&window] {
            pp::FirstFrame::reportIfAsked();
            // The small sizes only: the window manager draws them, and the installed icon theme
            // holds the large one for launchers, so the 256-pixel image is never decoded here.
            QIcon icon(pp::resources::kSmallIconPath);
            icon.addFile(QStringLiteral(":/icons/pocketperna-16.png"));
            window.setWindowIcon(icon);
            if (pp::GamePad* pad = window.gamePad()) {
                pad->watch();
            }
        });
    window.showAsRemembered();
    // What the player must know about this start, told once the window is there, without
    // holding the game up.
    QStringList notices;
    if (role == pp::SingleInstance::Role::ReadOnly) {
        notices.append(kAnotherCopyText);
    }
    if (!window.desktopOptions().notice().isEmpty()) {
        notices.append(window.desktopOptions().notice());
    }
    for (const QString& notice : notices) {
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("ポケットペルナ"), notice, QMessageBox::Ok, &window);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
    // Without a window manager (a kiosk, a test server) nobody else makes the window active,
    // and Qt's shortcuts such as Ctrl+Q work only in the active window.
    window.activateWindow();
    if (!quizPath.empty()) {
        QTimer::singleShot(0, &window, [&window, quizPath] { window.openQuizOrTable(quizPath); });
    }
    return QApplication::exec();
}
