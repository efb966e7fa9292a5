#include "shell/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QThread>
#include <QtEndian>

#include "persistence/SafeFile.h"
#include "persistence/SettingsFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
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

// The address of the socket file `path`; false when the path does not fit.
bool addressOf(const QByteArray& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || path.size() > kLongestSocketPath) {
        return false;
    }
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    return true;
}

// Waits up to `timeoutMs` for `events` on `fd`.
bool waitFor(int fd, short events, int timeoutMs) {
    pollfd watched{fd, events, 0};
    int ready = 0;
    do {
        ready = ::poll(&watched, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready == 1 && (watched.revents & events) != 0;
}

// Closes a descriptor when it goes out of scope.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

}  // namespace

SingleInstance::SingleInstance(QString socket, QObject* parent) : QObject(parent), socket_(std::move(socket)) {}

SingleInstance::~SingleInstance() {
    for (auto& [fd, connection] : connections_) {
        ::close(fd);
    }
    if (listening_ >= 0) {
        accepting_.reset();
        ::close(listening_);
        // The next copy finds no stale socket.
        ::unlink(socketFile().constData());
    }
}

QByteArray SingleInstance::socketFile() const {
    return QFile::encodeName(socket_.startsWith(QLatin1Char('/')) ? socket_ : QDir::tempPath() + QLatin1Char('/') + socket_);
}

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
    sockaddr_un address{};
    if (!addressOf(socketFile(), address)) {
        return false;
    }
    const Descriptor socket{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)};
    if (socket.fd < 0) {
        return false;
    }
    if (::connect(socket.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // A listener whose queue is full: wait a little for room, as for any slow connection.
        if ((errno != EAGAIN && errno != EINPROGRESS) || !waitFor(socket.fd, POLLOUT, kConnectTimeoutMs)) {
            return false;
        }
        int failure = 0;
        socklen_t size = sizeof failure;
        if (::getsockopt(socket.fd, SOL_SOCKET, SO_ERROR, &failure, &size) != 0 || failure != 0) {
            return false;
        }
    }
    QByteArray request(kLengthBytes, '\0');
    qToBigEndian(static_cast<quint32>(quizPath.size()), request.data());
    request.append(quizPath);
    qsizetype sent = 0;
    while (sent < request.size()) {
        const ssize_t written = ::send(socket.fd, request.constData() + sent, static_cast<std::size_t>(request.size() - sent),
                                       MSG_NOSIGNAL);
        if (written > 0) {
            sent += written;
        } else if (written < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else if (!waitFor(socket.fd, POLLOUT, kIoTimeoutMs)) {
            return false;
        }
    }
    // A copy that hangs or is shutting down does not answer: start normally instead.
    if (!waitFor(socket.fd, POLLIN, kIoTimeoutMs)) {
        return false;
    }
    char answer = 0;
    return ::recv(socket.fd, &answer, 1, 0) == 1 && answer == kAcknowledgement;
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
    sockaddr_un address{};
    const QByteArray file = socketFile();
    if (listening_ >= 0 || !addressOf(file, address)) {
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return false;
    }
    // Only this user may connect: the socket file is made without rights for anyone else.
    const mode_t mask = ::umask(077);
    bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (!bound && errno == EADDRINUSE) {
        // Only the holder of the folder's lock (or, where none can be had, a copy that nobody
        // answered) listens, so a socket already there is a stale one.
        ::unlink(file.constData());
        bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ::umask(mask);
    if (!bound || ::listen(fd, SOMAXCONN) != 0) {
        ::close(fd);
        return false;
    }
    listening_ = fd;
    accepting_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(accepting_.get(), &QSocketNotifier::activated, this, &SingleInstance::acceptRequests);
    return true;
}

void SingleInstance::acceptRequests() {
    int fd = -1;
    while ((fd = ::accept4(listening_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0) {
        Connection& connection = connections_[fd];
        connection.readable = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(connection.readable.get(), &QSocketNotifier::activated, this, [this, fd] { readRequest(fd); });
        // The request may have arrived with the connection.
        readRequest(fd);
    }
}

void SingleInstance::readRequest(int fd) {
    const auto found = connections_.find(fd);
    if (found == connections_.end()) {
        return;
    }
    QByteArray& received = found->second.received;
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
        if (count > 0) {
            received.append(buffer, count);
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count == 0 || errno != EAGAIN) {
            dropConnection(fd);  // closed before a whole request, or broken
            return;
        }
        break;
    }
    if (received.size() < kLengthBytes) {
        return;
    }
    const quint32 length = qFromBigEndian<quint32>(received.constData());
    if (length > kLongestPath) {
        dropConnection(fd);  // not a copy of this game
        return;
    }
    if (received.size() < kLengthBytes + static_cast<qint64>(length)) {
        return;
    }
    const QByteArray path = received.mid(kLengthBytes, length);
    (void)::send(fd, &kAcknowledgement, 1, MSG_NOSIGNAL);
    dropConnection(fd);
    emit activationRequested(path);
}

void SingleInstance::dropConnection(int fd) {
    const auto found = connections_.find(fd);
    if (found != connections_.end()) {
        // Its notifier may be the one whose signal is being handled.
        found->second.readable->setEnabled(false);
        found->second.readable.release()->deleteLater();
        connections_.erase(found);
    }
    ::close(fd);
}

}  // namespace pp
