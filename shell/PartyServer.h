#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "party/Messages.h"

class QImage;
class QWebSocket;

namespace pp {

class PartyHttpServer;
class QtSurface;

// True for an address a shared game may listen on: loopback and the private ranges of IPv4
// and IPv6 (10/8, 172.16/12, 192.168/16, fc00::/7), never one the internet can reach.
bool isPrivateAddress(const QHostAddress& address);

// The host of a shared game: serves its own player page and runs the game over WebSockets on
// the local network. Every decision about answers and scores is the Session's; this class only
// checks who may talk, reads their messages and sends each player what they may see.
class PartyServer final : public QObject {
    Q_OBJECT
public:
    // Connections over this many messages in a second, or a burst over kBurst, are floods.
    static constexpr double kMessagesPerSecond = 10.0;
    static constexpr double kBurst = 20.0;
    // Wrong PINs a connection may try before it is closed.
    static constexpr int kWrongPinsAllowed = 3;

    PartyServer(std::filesystem::path quiz, int questionCount, QObject* parent = nullptr);
    ~PartyServer() override;

    // Listens on `bind`, or on every private address of the machine; port 0 picks a free one.
    // Returns an empty string, or why it could not.
    QString listen(std::optional<QHostAddress> bind, quint16 port);

    // The addresses a phone can open, the first the one to show.
    [[nodiscard]] QStringList joinUrls() const;
    [[nodiscard]] const party::Session& session() const { return *session_; }
    [[nodiscard]] const QString& hostKey() const { return hostKey_; }
    [[nodiscard]] qint64 nowMs() const { return clock_.elapsed(); }
    [[nodiscard]] int connectionCount() const { return static_cast<int>(connections_.size()); }

    // The browser build of the game, served under /game/ for players who join from it: the
    // files of `folder` (the build's web/site, or the installed copy) as they are now. Without
    // it, or with an empty folder, players have the plain page alone.
    void serveGame(const QString& folder);
    [[nodiscard]] bool servesGame() const { return !gameFiles_.isEmpty(); }
    // Where the browser build lies beside this program: in the build folder, or installed; empty
    // when there is none.
    static QString gameFolder();

    // What the host's screen shows, in the game's own pictures: the lobby's title picture, the
    // open question with its countdown, then the right answer lit.
    [[nodiscard]] QImage picture() const;
    // The join address's QR code as an SVG image, for the host page; empty when there is none.
    [[nodiscard]] QByteArray qrSvg() const;

    // The host's controls, from the window or the host page.
    void start();
    void next();
    void skip();
    void togglePause();
    void removePlayer(party::PlayerId id);
    void end();

signals:
    // Something the host's screen shows has changed.
    void changed();

private:
    struct Connection;

    void acceptSockets();
    void onMessage(Connection& connection, const QString& text);
    void handle(Connection& connection, const party::JoinMessage& message);
    void handle(Connection& connection, const party::RejoinMessage& message);
    void handle(Connection& connection, const party::AnswerMessage& message);
    void handle(Connection& connection, const party::HostMessage& message);
    void bindPlayer(Connection& connection, party::PlayerId id);
    void sendState(Connection& connection);
    void judgeIfDue();
    void broadcastQuestion();
    void broadcastResults();
    void broadcastLobby();
    void sendLobby();
    void send(Connection& connection, const std::string& text);
    void drop(Connection& connection, const QString& why);
    bool originAllowed(const QString& origin) const;

    std::unique_ptr<party::Session> session_;
    MersenneRandom draws_;
    std::unique_ptr<RandomSource> secrets_;
    QString hostKey_;
    QElapsedTimer clock_;
    QTimer judgeTimer_;
    QTimer lobbyTimer_;
    std::unique_ptr<PartyHttpServer> http_;
    mutable std::unique_ptr<QtSurface> surface_;  // made on the first picture: tests run without one
    QList<QHostAddress> addresses_;
    quint16 port_ = 0;
    std::vector<std::unique_ptr<Connection>> connections_;
    QHash<QString, QString> gameFiles_;  // the path asked for -> the file served

    friend class PartyHttpServer;
};

}  // namespace pp
