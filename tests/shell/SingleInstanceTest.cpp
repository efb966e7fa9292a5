#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QThread>
#include <QUuid>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include <QElapsedTimer>

#include "ShellFixture.h"
#include "persistence/FolderLock.h"
#include "shell/SingleInstance.h"

namespace pp::test {
namespace {

QString qpathOf(const std::filesystem::path& path) { return QFile::decodeName(QByteArray::fromStdString(path.native())); }

QString uniqueKey() { return QStringLiteral("perna-test-") + QUuid::createUuid().toString(QUuid::Id128); }

// The copy that starts later runs in its own thread, as a separate process would, so that the
// first copy's event loop can answer it.
bool handOffFromAnotherThread(const QString& key, const QByteArray& path) {
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
    EXPECT_FALSE(first.handOffToRunningCopy(QByteArray()));  // nobody runs yet
    ASSERT_TRUE(first.listen());
    QSignalSpy spy(&first, &SingleInstance::activationRequested);

    // Byte for byte: a newline, trailing spaces and bytes that are not UTF-8 may all stand in a name.
    const QByteArray odd = QByteArray("/tmp/クイズ\n\xff.kqd  ");
    EXPECT_TRUE(handOffFromAnotherThread(key, odd));
    ASSERT_TRUE(waitFor([&] { return spy.count() == 1; }));
    EXPECT_EQ(spy.at(0).at(0).toByteArray(), odd);

    EXPECT_TRUE(handOffFromAnotherThread(key, QByteArray()));
    ASSERT_TRUE(waitFor([&] { return spy.count() == 2; }));
    EXPECT_TRUE(spy.at(1).at(0).toByteArray().isEmpty());
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    ~ScopedEnvironment() { had_ ? qputenv(name_, old_) : qunsetenv(name_); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

TEST(SingleInstance, OneCopyPerDocumentsFolderWithItsSocketInTheRuntimeFolder) {
    TempDir runtime;
    TempDir home;
    const ScopedEnvironment xdg("XDG_RUNTIME_DIR", QFile::encodeName(qpathOf(runtime.path())));
    std::filesystem::create_directories(home / "one");
    std::filesystem::create_directories(home / "two");
    std::filesystem::create_directory_symlink(home / "one", home / "link");

    const QString one = SingleInstance::socketPathFor(home / "one");
    EXPECT_TRUE(one.startsWith(qpathOf(runtime.path()) + QLatin1Char('/')));
    EXPECT_EQ(SingleInstance::socketPathFor(home / "link"), one);  // the same folder by another name
    EXPECT_EQ(SingleInstance::socketPathFor(home.path() / "two" / ".." / "one"), one);
    const QString two = SingleInstance::socketPathFor(home / "two");
    EXPECT_NE(two, one);

    // Another HOME's copy runs beside the first; a copy for the same folder hands over.
    SingleInstance first(one);
    ASSERT_TRUE(first.listen());
    SingleInstance second(two);
    EXPECT_FALSE(second.handOffToRunningCopy(QByteArray()));
    EXPECT_TRUE(second.listen());
    EXPECT_TRUE(handOffFromAnotherThread(one, QByteArray()));
}

TEST(SingleInstance, WithoutARuntimeFolderTheSocketIsInAPrivateFolder) {
    TempDir home;
    const ScopedEnvironment xdg("XDG_RUNTIME_DIR", QByteArray());
    const QString socket = SingleInstance::socketPathFor(home.path());
    const QString folder = QFileInfo(socket).path();
    EXPECT_EQ(QFileInfo(folder).path(), QDir::tempPath());
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, ::getuid());
}

// The folder's lock decides who runs and saves; the socket only carries the hand-over.
TEST(SingleInstance, TheHolderOfTheFolderRunsALaterCopyHandsOverOrSavesNothing) {
    TempDir home;
    const QString socket = QDir::tempPath() + QLatin1Char('/') + uniqueKey();
    // A killed save's temporary file goes when a copy takes the folder.
    const std::filesystem::path leftover = home.path() / ".ポケットペルナ.txt.a1B2c3";
    std::ofstream(leftover) << "0,0";
    SingleInstance first(socket);
    EXPECT_EQ(first.claim(home.path(), QByteArray()), SingleInstance::Role::Owner);
    EXPECT_TRUE(first.holdsLock());
    EXPECT_FALSE(std::filesystem::exists(leftover));

    SingleInstance::Role later = SingleInstance::Role::Owner;
    QThread* thread = QThread::create([&] { later = SingleInstance(socket).claim(home.path(), "/q.kqd"); });
    QSignalSpy spy(&first, &SingleInstance::activationRequested);
    thread->start();
    waitFor([&] { return thread->isFinished(); }, 8000);
    thread->wait();
    delete thread;
    EXPECT_EQ(later, SingleInstance::Role::HandedOver);
    EXPECT_EQ(spy.count(), 1);

    // A holder that never answers (stopped, or behind another runtime folder): after the
    // patience the later copy runs, saving nothing, and leaves the holder's socket alone.
    std::filesystem::create_directories(home.path() / "other");
    FolderLock holder(home.path() / "other");
    ASSERT_TRUE(holder.held());
    const std::filesystem::path running = home.path() / "other" / ".ポケットペルナ.txt.d4E5f6";  // the holder's save
    std::ofstream(running) << "0,0";
    SingleInstance copy(socket + QStringLiteral("-other"));
    QElapsedTimer waited;
    waited.start();
    EXPECT_EQ(copy.claim(home.path() / "other", QByteArray(), std::chrono::milliseconds(300)),
              SingleInstance::Role::ReadOnly);
    EXPECT_LT(waited.elapsed(), 5000);
    EXPECT_FALSE(copy.holdsLock());
    EXPECT_TRUE(std::filesystem::exists(running));
}

// Where a folder blocks the socket no hand-over can happen, and still only one copy saves.
TEST(SingleInstance, AFolderAtTheSocketPathLetsNoSecondWriterIn) {
    TempDir home;
    const QString socket = QDir::tempPath() + QLatin1Char('/') + uniqueKey();
    ASSERT_TRUE(QDir().mkpath(socket));
    SingleInstance first(socket);
    EXPECT_EQ(first.claim(home.path(), QByteArray()), SingleInstance::Role::Owner);
    SingleInstance second(socket);
    EXPECT_EQ(second.claim(home.path(), QByteArray(), std::chrono::milliseconds(300)), SingleInstance::Role::ReadOnly);
    EXPECT_TRUE(QFileInfo(socket).isDir());
    QDir(socket).removeRecursively();
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
    EXPECT_FALSE(next.handOffToRunningCopy(QByteArray()));
    EXPECT_TRUE(next.listen());
}

// Only the player's own account may ask the running copy to open files, and a copy that ends
// normally takes its socket with it.
TEST(SingleInstance, OnlyItsUserReachesTheSocketWhichGoesWithTheCopy) {
    const QString key = uniqueKey();
    const QByteArray file = QFile::encodeName(QDir::tempPath() + QLatin1Char('/') + key);
    {
        SingleInstance copy(key);
        ASSERT_TRUE(copy.listen());
        struct stat info {};
        ASSERT_EQ(::lstat(file.constData(), &info), 0);
        EXPECT_TRUE(S_ISSOCK(info.st_mode));
        EXPECT_EQ(info.st_mode & 077, 0u);
    }
    EXPECT_FALSE(QFile::exists(QFile::decodeName(file)));
}

// A request that arrives in pieces is read whole before the running copy acts on it.
TEST(SingleInstance, ARequestInPiecesOpensTheWholePathOnce) {
    const QString key = uniqueKey();
    SingleInstance first(key);
    ASSERT_TRUE(first.listen());
    QSignalSpy spy(&first, &SingleInstance::activationRequested);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(QDir::tempPath() + QLatin1Char('/') + key);
    std::strncpy(address.sun_path, encoded.constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const QByteArray path("/home/player/Documents/quiz.kqd");
    const char length[4] = {0, 0, 0, static_cast<char>(path.size())};
    ASSERT_EQ(::write(fd, length, 4), 4);
    ASSERT_EQ(::write(fd, path.constData(), 10), 10);
    EXPECT_FALSE(waitFor([&] { return spy.count() > 0; }, 200));
    ASSERT_EQ(::write(fd, path.constData() + 10, static_cast<std::size_t>(path.size() - 10)), path.size() - 10);
    ASSERT_TRUE(waitFor([&] { return spy.count() == 1; }));
    EXPECT_EQ(spy.at(0).at(0).toByteArray(), path);
    ::close(fd);
}

}  // namespace
}  // namespace pp::test
