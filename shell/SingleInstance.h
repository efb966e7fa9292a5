#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <filesystem>

class QLocalServer;

namespace pp {

// Keeps one running copy of the game per settings (Documents) folder. The first copy listens on
// a local socket; a later copy for the same folder hands its quiz file (or nothing) to it and
// ends, and the first one comes forward. Copies for other folders (another HOME, a test run
// beside a player's game) never meet.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    // `socket` is where the running copy listens: a path (see socketPathFor), or a bare name that
    // Qt places in the temporary folder.
    explicit SingleInstance(QString socket, QObject* parent = nullptr);
    ~SingleInstance() override;

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
    void readRequest();

    QString socket_;
    QLocalServer* server_ = nullptr;
};

}  // namespace pp
