#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QUrl>

#include <set>
#include <utility>

#include <qrencode.h>

#include "ShellFixture.h"
#include "shell/PartyServer.h"

namespace pp::test {
namespace {

// A shared game listens where only the local network can reach it.
TEST(PartyAddresses, OnlyLoopbackAndThePrivateRangesAreLocal) {
    for (const char* address : {"127.0.0.1", "::1", "10.0.0.1", "10.255.255.254", "172.16.0.1", "172.31.255.255",
                                "192.168.1.20", "fd12:3456::1", "fc00::1"}) {
        EXPECT_TRUE(isPrivateAddress(QHostAddress(QLatin1String(address)))) << address;
    }
    for (const char* address : {"8.8.8.8", "11.0.0.1", "172.15.255.255", "172.32.0.1", "192.167.1.1", "192.169.0.1",
                                "2001:db8::1", "fe00::1", "0.0.0.0"}) {
        EXPECT_FALSE(isPrivateAddress(QHostAddress(QLatin1String(address)))) << address;
    }
}

// The status the host answers a GET of `path` with, or 0 when it does not answer.
int statusOf(quint16 port, const QByteArray& path) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n\r\n");
    QByteArray reply;
    waitFor([&] {
        reply += socket.readAll();
        return reply.contains("\r\n");
    });
    return reply.startsWith("HTTP/1.1 ") ? reply.mid(9, 3).toInt() : 0;
}

// Of the browser build's folder the host serves the page's own kinds of file, and no hidden file,
// no file of another kind and no link, wherever they lie.
TEST(PartyGameFiles, OnlyThePagesOwnKindsOfFileAreServed) {
    TempDir folder;
    const QDir site(QString::fromStdString((folder.path() / "site").string()));
    ASSERT_TRUE(site.mkpath(QStringLiteral("fonts/.cache")));
    for (const char* name : {"index.html", "perna.js", "fonts/face.woff2", ".secret.js", "notes.exe", "fonts/.cache/old.js"}) {
        QFile file(site.filePath(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    ASSERT_TRUE(QFile::link(QStringLiteral("/etc/hostname"), site.filePath(QStringLiteral("host.txt"))));
    const std::filesystem::path quiz = folder.path() / "quiz.kqd";
    writeBytes(quiz, quizBytes(labelledQuiz({4, 4, 4, 4, 4, 4, 4, 4})));
    PartyServer server(quiz, 3);
    ASSERT_EQ(server.listen(QHostAddress(QHostAddress::LocalHost), 0), QString());
    const quint16 port = QUrl(server.joinUrls().front()).port();
    EXPECT_EQ(statusOf(port, "/game/"), 404) << "nothing under /game/ before a folder is given";
    server.serveGame(site.path());
    EXPECT_TRUE(server.servesGame());
    for (const char* path : {"/game/", "/game/index.html", "/game/perna.js", "/game/fonts/face.woff2"}) {
        EXPECT_EQ(statusOf(port, path), 200) << path;
    }
    for (const char* path : {"/game/.secret.js", "/game/notes.exe", "/game/fonts/.cache/old.js", "/game/host.txt",
                             "/game", "/perna.js"}) {
        EXPECT_EQ(statusOf(port, path), 404) << path;
    }
    server.serveGame(QString::fromStdString((folder.path() / "nowhere").string()));
    EXPECT_FALSE(server.servesGame());
}

// The host page's QR code draws each dark module of the join address's code where it lies,
// inside the quiet zone a phone's camera needs.
TEST(PartyQrCode, TheSvgHasTheAddressesModulesInPlace) {
    TempDir folder;
    const std::filesystem::path quiz = folder.path() / "quiz.kqd";
    writeBytes(quiz, quizBytes(labelledQuiz({4, 4, 4, 4, 4, 4, 4, 4})));
    PartyServer server(quiz, 3);
    ASSERT_EQ(server.listen(QHostAddress(QHostAddress::LocalHost), 0), QString());
    const QByteArray address = server.joinUrls().front().toUtf8();
    QRcode* code = QRcode_encodeString(address.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    ASSERT_NE(code, nullptr);
    std::set<std::pair<int, int>> expected;
    for (int y = 0; y < code->width; ++y) {
        for (int x = 0; x < code->width; ++x) {
            if ((code->data[y * code->width + x] & 1) != 0) {
                expected.emplace(x + 4, y + 4);
            }
        }
    }
    const int side = code->width + 8;
    QRcode_free(code);
    const QString svg = QString::fromUtf8(server.qrSvg());
    EXPECT_TRUE(svg.contains(QStringLiteral("viewBox=\"0 0 %1 %1\"").arg(side))) << svg.left(200).toStdString();
    std::set<std::pair<int, int>> drawn;
    const QRegularExpression module(QStringLiteral("M(\\d+) (\\d+)h1v1h-1z"));
    for (auto match = module.globalMatch(svg); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        drawn.emplace(found.captured(1).toInt(), found.captured(2).toInt());
    }
    EXPECT_EQ(drawn, expected);
}

}  // namespace
}  // namespace pp::test
