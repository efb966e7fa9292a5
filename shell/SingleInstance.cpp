#include "shell/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace pp {
namespace {

constexpr int kConnectTimeoutMs = 500;
constexpr int kIoTimeoutMs = 1000;
// Acknowledges a request, so the later copy knows someone really took it.
constexpr char kAcknowledgement = '\n';

}  // namespace

SingleInstance::SingleInstance(QString key, QObject* parent) : QObject(parent), key_(std::move(key)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultKey() { return QStringLiteral("pocketperna-%1").arg(::getuid()); }

bool SingleInstance::handOffToRunningCopy(const QString& quizPath) const {
    QLocalSocket socket;
    socket.connectToServer(key_);
    if (!socket.waitForConnected(kConnectTimeoutMs)) {
        return false;
    }
    QByteArray request = quizPath.toUtf8();
    request.append('\n');
    socket.write(request);
    if (!socket.waitForBytesWritten(kIoTimeoutMs)) {
        return false;
    }
    // A copy that hangs or is shutting down does not answer: start normally instead.
    if (!socket.waitForReadyRead(kIoTimeoutMs)) {
        return false;
    }
    return socket.read(1) == QByteArray(1, kAcknowledgement);
}

bool SingleInstance::listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(key_)) {
        // Nobody answered handOffToRunningCopy, so the socket is stale.
        QLocalServer::removeServer(key_);
        if (!server_->listen(key_)) {
            return false;
        }
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::readRequest);
    return true;
}

void SingleInstance::readRequest() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto answer = [this, socket] {
            if (!socket->canReadLine()) {
                return;
            }
            const QString path = QString::fromUtf8(socket->readLine()).trimmed();
            socket->write(QByteArray(1, kAcknowledgement));
            socket->flush();
            socket->disconnectFromServer();
            emit activationRequested(path);
        };
        connect(socket, &QLocalSocket::readyRead, this, answer);
        // The request may have arrived before the connection above was made.
        answer();
    }
}

}  // namespace pp
