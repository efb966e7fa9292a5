#include "shell/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QtEndian>

#include "persistence/SafeFile.h"
#include "persistence/SettingsFile.h"

#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace pp {
namespace {

constexpr int kConnectTimeoutMs = 500;
// Between two attempts to reach the copy that holds the lock.
constexpr unsigned long kRetryPauseMs = 100;
constexpr int kIoTimeoutMs = 1000;
// Acknowledges a request, so the later copy knows someone really took it.
constexpr char kAcknowledgement = '\n';
// A request is the path's length as four bytes, most significant first, then the path's bytes,
// so that any byte may stand in a file name, newlines and trailing spaces included.
constexpr qint64 kLengthBytes = 4;
constexpr quint32 kLongestPath = 64 * 1024;
// Hex digits of the folder's hash in the socket's name: enough to keep folders apart.
constexpr int kHashDigits = 16;
// A socket's path must fit sockaddr_un, terminator included.
constexpr qsizetype kLongestSocketPath = sizeof(sockaddr_un::sun_path) - 1;

// A folder under the temporary folder that belongs to this user and nobody else may enter, or
// nothing when someone else holds its name.
QString privateTemporaryFolder() {
    const QString folder = QDir::tempPath() + QStringLiteral("/pocketperna-%1").arg(::getuid());
    const QByteArray encoded = QFile::encodeName(folder);
    (void)::mkdir(encoded.constData(), 0700);
    struct stat info {};
    if (::lstat(encoded.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
        (info.st_mode & 077) != 0) {
        return {};
    }
    return folder;
}

}  // namespace

SingleInstance::SingleInstance(QString socket, QObject* parent) : QObject(parent), socket_(std::move(socket)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPathFor(const std::filesystem::path& documentsFolder) {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::weakly_canonical(documentsFolder, error);
    if (error) {
        folder = std::filesystem::absolute(documentsFolder, error).lexically_normal();
    }
    const QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(folder.native()),
                                                     QCryptographicHash::Sha256)
                                .toHex()
                                .left(kHashDigits);
    const QString name = QStringLiteral("/pocketperna-") + QString::fromLatin1(hash);

    const QString runtime = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() &&
        QFile::encodeName(runtime + name).size() <= kLongestSocketPath) {
        return runtime + name;
    }
    const QString folderOfOurs = privateTemporaryFolder();
    // Without a private folder, a name in the temporary folder still keeps one copy per folder.
    return folderOfOurs.isEmpty() ? name.mid(1) + QStringLiteral("-%1").arg(::getuid()) : folderOfOurs + name;
}

bool SingleInstance::handOffToRunningCopy(const QByteArray& quizPath) const {
    QLocalSocket socket;
    socket.connectToServer(socket_);
    if (!socket.waitForConnected(kConnectTimeoutMs)) {
        return false;
    }
    QByteArray request(kLengthBytes, '\0');
    qToBigEndian(static_cast<quint32>(quizPath.size()), request.data());
    request.append(quizPath);
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

SingleInstance::Role SingleInstance::claim(const std::filesystem::path& documentsFolder, const QByteArray& quizPath,
                                           std::chrono::milliseconds patience) {
    lock_ = std::make_unique<FolderLock>(documentsFolder);
    QElapsedTimer waited;
    waited.start();
    // The holder may still be on its way to listening, or may be ending: ask, and try the lock
    // again, until the patience runs out.
    while (lock_->retry() == FolderLock::Outcome::HeldElsewhere) {
        if (handOffToRunningCopy(quizPath)) {
            return Role::HandedOver;
        }
        if (waited.elapsed() >= patience.count()) {
            return Role::ReadOnly;  // its socket, if any, is left to it: it may only be stopped
        }
        QThread::msleep(kRetryPauseMs);
    }
    // No lock to be had (a read-only folder, say): the socket alone keeps copies apart.
    if (!lock_->held() && handOffToRunningCopy(quizPath)) {
        return Role::HandedOver;
    }
    if (lock_->held()) {
        // No other copy saves here while the lock is held: a temporary file of the settings
        // file is a save killed with an earlier copy.
        removeLeftoverTemporaries(settingsPathIn(documentsFolder));
    }
    listen();
    return Role::Owner;
}

bool SingleInstance::listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(socket_)) {
        // Only the holder of the folder's lock (or, where none can be had, a copy that nobody
        // answered) listens, so a socket already there is a stale one.
        QLocalServer::removeServer(socket_);
        if (!server_->listen(socket_)) {
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
            if (socket->bytesAvailable() < kLengthBytes) {
                return;
            }
            const quint32 length = qFromBigEndian<quint32>(socket->peek(kLengthBytes).constData());
            if (length > kLongestPath) {
                socket->abort();  // not a copy of this game
                return;
            }
            if (socket->bytesAvailable() < kLengthBytes + static_cast<qint64>(length)) {
                return;
            }
            socket->skip(kLengthBytes);
            const QByteArray path = socket->read(length);
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
