#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QThread>
#include <QUuid>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "ShellFixture.h"
#include "shell/SingleInstance.h"

namespace pp::test {
namespace {

QString uniqueKey() { return QStringLiteral("perna-test-") + QUuid::createUuid().toString(QUuid::Id128); }

// The copy that starts later runs in its own thread, as a separate process would, so that the
// first copy's event loop can answer it.
bool handOffFromAnotherThread(const QString& key, const QString& path) {
    bool handedOff = false;
    QThread* thread = QThread::create([&] { handedOff = SingleInstance(key).handOffToRunningCopy(path); });
    thread->start();
    waitFor([&] { return thread->isFinished(); }, 5000);
    thread->wait();
    delete thread;
    return handedOff;
}

TEST(SingleInstance, TheFirstCopyListensAndALaterOneHandsOverItsFile) {
    const QString key = uniqueKey();
    SingleInstance first(key);
    EXPECT_FALSE(first.handOffToRunningCopy(QString()));  // nobody runs yet
    ASSERT_TRUE(first.listen());
    QSignalSpy spy(&first, &SingleInstance::activationRequested);

    EXPECT_TRUE(handOffFromAnotherThread(key, QStringLiteral("/tmp/クイズ.kqd")));
    ASSERT_TRUE(waitFor([&] { return spy.count() == 1; }));
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("/tmp/クイズ.kqd"));

    EXPECT_TRUE(handOffFromAnotherThread(key, QString()));
    ASSERT_TRUE(waitFor([&] { return spy.count() == 2; }));
    EXPECT_TRUE(spy.at(1).at(0).toString().isEmpty());
}

TEST(SingleInstance, ASocketLeftByACrashedCopyDoesNotBlockTheNextStart) {
    const QString key = uniqueKey();
    // What a crashed copy leaves: a socket file that nobody listens on.
    const QString socketPath = QDir::tempPath() + QLatin1Char('/') + key;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(socketPath);
    std::strncpy(address.sun_path, encoded.constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(socketPath));

    SingleInstance next(key);
    EXPECT_FALSE(next.handOffToRunningCopy(QString()));
    EXPECT_TRUE(next.listen());
}

}  // namespace
}  // namespace pp::test
