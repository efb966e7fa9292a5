#include "shell/LazyParts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include <map>
#include <memory>
#include <string>
#include <utility>

namespace pp::lazy {
namespace {

QStringList& addedFolders() {
    static QStringList folders;
    return folders;
}

// Each module is loaded once and stays for the life of the program: its windows' code is in it.
// A module stays loaded for the program's life (its windows may outlive any one call); deleting
// its QLibrary at exit does not unload it.
std::map<std::string, std::unique_ptr<QLibrary>>& loaded() {
    static std::map<std::string, std::unique_ptr<QLibrary>> modules;
    return modules;
}

}  // namespace

void addSearchFolder(const QString& folder) { addedFolders().append(folder); }

QStringList searchFolders() {
    QStringList folders = addedFolders();
    const QDir program(QCoreApplication::applicationDirPath());
    folders.append(program.path());
    folders.append(QDir::cleanPath(program.filePath(QStringLiteral("../" PERNA_MODULE_SUBDIR))));
    return folders;
}

void* resolve(const char* module, const char* entry, QString& error) {
    std::unique_ptr<QLibrary>& library = loaded()[module];
    if (library == nullptr) {
        const QString file = QString::fromLatin1(module) + QStringLiteral(".so");
        const QStringList folders = searchFolders();
        QString found;
        for (const QString& folder : folders) {
            if (QFileInfo(QDir(folder).filePath(file)).isFile()) {
                found = QDir(folder).filePath(file);
                break;
            }
        }
        if (found.isEmpty()) {
            error = QStringLiteral("ゲームの部品 %1 が見つかりません（探した場所: %2）。インストールし直してください。")
                        .arg(file, folders.join(QStringLiteral(", ")));
            loaded().erase(module);
            return nullptr;
        }
        auto candidate = std::make_unique<QLibrary>(found);
        // Every symbol now, so that a module that does not fit this program fails here with a
        // message rather than later in the middle of a window.
        candidate->setLoadHints(QLibrary::ResolveAllSymbolsHint);
        if (!candidate->load()) {
            error = QStringLiteral("ゲームの部品 %1 を読み込めません: %2").arg(found, candidate->errorString());
            loaded().erase(module);
            return nullptr;
        }
        library = std::move(candidate);
    }
    QFunctionPointer function = library->resolve(entry);
    if (function == nullptr) {
        error = QStringLiteral("ゲームの部品 %1 に %2 がありません。インストールし直してください。")
                    .arg(library->fileName(), QString::fromLatin1(entry));
    }
    return reinterpret_cast<void*>(function);
}

}  // namespace pp::lazy

namespace pp {

StatsWindow* openProgressWindow(const Progress& progress, const std::array<Genre, kGenreCount>& genres,
                                std::int32_t today, std::function<std::string()> csv, QWidget* parent,
                                QString& error) {
    auto* open = reinterpret_cast<lazy::ProgressWindowEntry*>(
        lazy::resolve(lazy::kProgressModule, lazy::kProgressEntry, error));
    return open != nullptr ? open(progress, genres, today, std::move(csv), parent) : nullptr;
}

QWidget* openPartyWindow(const PartyRequest& request, QString& error, QWidget* parent, QString* hostDetails) {
    auto* open = reinterpret_cast<lazy::PartyWindowEntry*>(lazy::resolve(lazy::kPartyModule, lazy::kPartyEntry, error));
    return open != nullptr ? open(request, error, parent, hostDetails) : nullptr;
}

}  // namespace pp
