#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace pp {

// Keeps one running copy of the game per user. The first copy listens on a local socket; a
// later copy hands its quiz file (or nothing) to it and ends, and the first one comes forward.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    // `key` names the socket; the default is per user.
    explicit SingleInstance(QString key = defaultKey(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Asks a running copy to come forward and open `quizPath` (may be empty). True when a
    // running copy took the request, in which case this copy should end.
    bool handOffToRunningCopy(const QString& quizPath) const;

    // Starts listening for later copies. A socket left behind by a copy that crashed is
    // removed first, so it never blocks the next start.
    bool listen();

    static QString defaultKey();

signals:
    // A later copy started; `quizPath` is the file it was given, or empty.
    void activationRequested(const QString& quizPath);

private:
    void readRequest();

    QString key_;
    QLocalServer* server_ = nullptr;
};

}  // namespace pp
