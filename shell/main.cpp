// The game's entry point: one window, one copy per settings (Documents) folder.

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <cstring>
#include <filesystem>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>

#include "party/Session.h"
#include "persistence/MissedList.h"
#include "persistence/PlayerRecords.h"
#include "persistence/SafeFile.h"
#include "resources/Resources.h"
#include "shell/DesktopOptions.h"
#include "shell/Dialogs.h"
#include "shell/Documents.h"
#include "shell/FirstFrame.h"
#include "shell/GamePad.h"
#include "shell/MainWindow.h"
#include "shell/LazyParts.h"
#include "shell/QtSurface.h"
#include "shell/ScreenView.h"
#include "shell/SingleInstance.h"
#include "shell/SoundPlayer.h"
#include "version/Version.h"

namespace {

constexpr const char* kUsage =
    "Usage: pocketperna [--record FILE] [--seed N] [QUIZ.kqd]\n"
    "\n"
    "       pocketperna --host QUIZ.kqd [--port N] [--bind ADDRESS] [--questions N]\n"
    "\n"
    "A five-choice quiz game. Opens QUIZ.kqd at start when it is given; a copy already\n"
    "running on the same Documents folder comes to the front instead and opens it.\n"
    "With --host, hosts a shared game of QUIZ.kqd that phones join through their browser,\n"
    "on every private address of this machine (or on ADDRESS only), and prints its address,\n"
    "PIN and host key on standard output.\n"
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "  --debug    say on standard error why no sound device could be opened\n"
    "  --record FILE  write the game as a quiz-replay script to FILE when the window closes\n"
    "  --seed N       seed the question and choice draws with N (0 to 4294967295)\n";

// Another copy holds the settings folder but did not answer: this one runs, keeping nothing.
const QString kAnotherCopyText = QStringLiteral(
    "同じ設定フォルダを使うポケットペルナがすでに動いていますが、応答がありません。"
    "このウィンドウではランキングと設定を保存しません。");

struct Arguments {
    std::string quizPath;  // the bytes given, as the file system names the file
    bool host = false;
    std::string port;
    std::string bind;
    std::string questions;
    bool exitNow = false;
    int exitCode = 0;
    bool debug = false;
    std::filesystem::path recordFile;
    std::optional<std::uint32_t> seed;
};

std::optional<std::uint32_t> seedFrom(const char* text) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (text[0] < '0' || text[0] > '9' || *end != '\0' || errno != 0 || value > 0xFFFFFFFFULL) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

// Where the value of a shared game's option goes; null for any other argument.
std::string* hostOption(Arguments& arguments, const char* argument) {
    if (std::strcmp(argument, "--port") == 0) {
        return &arguments.port;
    }
    if (std::strcmp(argument, "--bind") == 0) {
        return &arguments.bind;
    }
    if (std::strcmp(argument, "--questions") == 0) {
        return &arguments.questions;
    }
    return nullptr;
}

// An IPv4 or IPv6 address, the latter maybe with its interface ("fe80::1%eth0"), checked without
// Qt Network, which only the shared game's module loads.
bool isIpAddress(const std::string& text) {
    in6_addr address{};
    const std::string bare = text.substr(0, text.find('%'));
    return ::inet_pton(AF_INET, text.c_str(), &address) == 1 ||
           (::inet_pton(AF_INET6, bare.c_str(), &address) == 1 && (bare.size() == text.size() || bare.size() + 1 < text.size()));
}

// Hosts a shared game without the game's own window; a bad option or quiz ends with a message.
int runHost(const Arguments& arguments) {
    pp::PartyRequest request;
    request.quiz = arguments.quizPath;
    bool ok = true;
    if (!arguments.port.empty()) {
        const int port = QString::fromStdString(arguments.port).toInt(&ok);
        ok = ok && port >= 0 && port <= 65535;
        request.port = static_cast<std::uint16_t>(port);
    }
    if (ok && !arguments.questions.empty()) {
        request.questions = QString::fromStdString(arguments.questions).toInt(&ok);
        ok = ok && request.questions >= 1 && request.questions <= pp::party::kMostQuestions;
    }
    if (ok && !arguments.bind.empty()) {
        request.bind = QString::fromStdString(arguments.bind);
        ok = isIpAddress(arguments.bind);
    }
    if (!ok || arguments.quizPath.empty()) {
        std::fputs("pocketperna: --host needs a quiz file; --port 0..65535, --questions 1..100, --bind an IP address\n",
                   stderr);
        return 2;
    }
    QString error;
    QString details;
    QWidget* window = pp::openPartyWindow(request, error, nullptr, &details);
    if (window == nullptr) {
        std::fprintf(stderr, "pocketperna: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    std::fputs(details.toUtf8().constData(), stdout);
    std::fflush(stdout);
    window->show();
    return QApplication::exec();
}

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
        } else if ((std::strcmp(argument, "--record") == 0 || std::strcmp(argument, "--seed") == 0) && i + 1 == argc) {
            std::fprintf(stderr, "pocketperna: %s needs a value (try --help)\n", argument);
            arguments.exitNow = true;
            arguments.exitCode = 2;
        } else if (std::strcmp(argument, "--record") == 0) {
            arguments.recordFile = argv[++i];
        } else if (std::strcmp(argument, "--seed") == 0) {
            arguments.seed = seedFrom(argv[++i]);
            if (!arguments.seed) {
                std::fprintf(stderr, "pocketperna: --seed needs a number from 0 to 4294967295, not %s\n", argv[i]);
                arguments.exitNow = true;
                arguments.exitCode = 2;
            }
        } else if (std::strcmp(argument, "--host") == 0) {
            arguments.host = true;
        } else if (std::string* value = hostOption(arguments, argument); value != nullptr && i + 1 < argc) {
            *value = argv[++i];
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
    // A shared game's host keeps no settings, so it runs beside the game's own copy.
    if (arguments.host) {
        return runHost(arguments);
    }

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
    config.randomSeed = arguments.seed;
    if (!arguments.recordFile.empty()) {
        std::error_code error;
        config.recordFile = std::filesystem::absolute(arguments.recordFile, error);
        if (error) {
            config.recordFile = arguments.recordFile;
        }
    }
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
        for (const std::string_view name : {pp::kMissedListFileName, pp::kResumeFileName, pp::kFileRankingsName}) {
            pp::removeLeftoverTemporaries(config.dataFolder / std::string(name));
        }
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
