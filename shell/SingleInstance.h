#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>

#include "persistence/FolderLock.h"

class QSocketNotifier;

namespace pp {

// Keeps one running copy of the game per settings (Documents) folder. The copy that holds the
// folder's lock (see FolderLock) is the one that runs and saves, for as long as it lives, and
// listens on a local socket; a later copy for the same folder hands its quiz file (or nothing)
// to it over the socket and ends, and the first one comes forward. Copies for other folders
// (another HOME, a test run beside a player's game) never meet.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    // `socket` is where the running copy listens: a path (see socketPathFor), or a bare name that
    // Qt places in the temporary folder.
    explicit SingleInstance(QString socket, QObject* parent = nullptr);
    ~SingleInstance() override;

    // How this copy starts, as claim() found.
    enum class Role {
        Owner,       // it holds the folder (or no lock can be had there and nobody answered): run and save
        HandedOver,  // a running copy took the request: end now
        ReadOnly,    // another copy holds the folder but did not answer in time: run, save nothing
    };

    // Takes the lock of `documentsFolder` and listens (clearing away the temporary files of the
    // settings file's saves killed earlier), or hands `quizPath` over to the copy that holds it,
    // trying for up to `patience` while that copy is still starting (or has just ended).
    Role claim(const std::filesystem::path& documentsFolder, const QByteArray& quizPath,
               std::chrono::milliseconds patience = kHandOverPatience);

    // How long a later copy keeps trying to reach the holder of the lock.
    static constexpr std::chrono::milliseconds kHandOverPatience{3000};

    // True while this copy holds its folder's lock.
    [[nodiscard]] bool holdsLock() const { return lock_ && lock_->held(); }

    // Asks a running copy to come forward and open `quizPath`, the path's bytes as the file
    // system names it (may be empty). True when a running copy took the request, in which case
    // this copy should end.
    bool handOffToRunningCopy(const QByteArray& quizPath) const;

    // Starts listening for later copies. A socket left behind by a copy that crashed is
    // removed first, so it never blocks the next start.
    bool listen();

    // The socket of the copy that keeps its settings in `documentsFolder`: named after a hash of
    // the folder's canonical path, in $XDG_RUNTIME_DIR, or where that is unset in a folder under
    // the temporary folder that only this user may enter.
    static QString socketPathFor(const std::filesystem::path& documentsFolder);

signals:
    // A later copy started; `quizPath` is the file it was given, byte for byte, or empty.
    void activationRequested(const QByteArray& quizPath);

private:
    void acceptRequests();
    void readRequest(int connection);
    void dropConnection(int connection);
    // The socket's path in the file system: a bare name is placed in the temporary folder.
    [[nodiscard]] QByteArray socketFile() const;

    // A plain Unix socket rather than Qt Network's, whose library (with Kerberos and proxy
    // support behind it) would cost every start more than the rest of the window.
    QString socket_;
    int listening_ = -1;
    std::unique_ptr<QSocketNotifier> accepting_;
    struct Connection {
        std::unique_ptr<QSocketNotifier> readable;
        QByteArray received;
    };
    std::map<int, Connection> connections_;
    std::unique_ptr<FolderLock> lock_;
};

}  // namespace pp
