#include "shell/PartyServer.h"

#include <QAbstractHttpServer>
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QImage>
#include <QNetworkInterface>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QWebSocket>

#include <algorithm>

#include <qrencode.h>

#include "party/Messages.h"
#include "persistence/StoredName.h"
#include "screens/Painter.h"
#include "shell/QtSurface.h"

namespace pp {
namespace {

using namespace party;

// The page's files, the only ones served: a path not listed here is not found, whatever it holds.
struct PageFile {
    const char* path;
    const char* resource;
    const char* type;
};
constexpr PageFile kPageFiles[] = {
    {"/", ":/party/index.html", "text/html; charset=utf-8"},
    {"/play.js", ":/party/play.js", "text/javascript; charset=utf-8"},
    {"/play.css", ":/party/play.css", "text/css; charset=utf-8"},
    {"/host", ":/party/host.html", "text/html; charset=utf-8"},
    {"/host.js", ":/party/host.js", "text/javascript; charset=utf-8"},
};
constexpr int kTicksPerSecondShown = 20;
constexpr int kQuietZoneModules = 4;

// The browser build's files by their ending; one of any other kind is not served.
struct GameFileType {
    const char* suffix;
    const char* type;
};
constexpr GameFileType kGameFileTypes[] = {
    {".html", "text/html; charset=utf-8"},    {".js", "text/javascript; charset=utf-8"},
    {".css", "text/css; charset=utf-8"},      {".wasm", "application/wasm"},
    {".png", "image/png"},                    {".svg", "image/svg+xml"},
    {".webmanifest", "application/manifest+json"}, {".json", "application/json"},
    {".woff2", "font/woff2"},                 {".pack", "application/octet-stream"},
    {".kqd", "application/octet-stream"},     {".wav", "audio/wav"},
    {".txt", "text/plain; charset=utf-8"},
};
constexpr const char* kGamePrefix = "/game/";
// The game's module is compiled in the browser, which a page may do only when allowed to.
constexpr const char* kGamePolicy =
    "default-src 'self'; script-src 'self' 'wasm-unsafe-eval'; style-src 'self' 'unsafe-inline'; "
    "img-src 'self' data: blob:; media-src 'self' data: blob:";

const char* gameFileType(const QString& name) {
    for (const GameFileType& type : kGameFileTypes) {
        if (name.endsWith(QLatin1String(type.suffix))) {
            return type.type;
        }
    }
    return nullptr;
}

// Unpredictable tokens and PIN: a guessed token would let anyone play as someone else.
class SystemRandom final : public RandomSource {
public:
    std::uint32_t next() override { return QRandomGenerator::system()->generate(); }
};

QString hostPart(const QHostAddress& address) {
    return address.protocol() == QAbstractSocket::IPv6Protocol ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                                                               : address.toString();
}

}  // namespace

bool isPrivateAddress(const QHostAddress& address) {
    if (address.isLoopback()) {
        return true;
    }
    for (const char* subnet : {"10.0.0.0/8", "172.16.0.0/12", "192.168.0.0/16", "fc00::/7"}) {
        if (address.isInSubnet(QHostAddress::parseSubnet(QLatin1String(subnet)))) {
            return true;
        }
    }
    return false;
}

struct PartyServer::Connection {
    QWebSocket* socket = nullptr;
    PlayerId player = 0;
    bool host = false;
    bool closed = false;
    int wrongPins = 0;
    double allowance = kBurst;
    qint64 lastMessageMs = 0;
};

// The page's files by exact path, and nothing else; the Host and Origin headers must name this
// server, so a page elsewhere cannot reach a phone's game through a rebound name.
class PartyHttpServer final : public QAbstractHttpServer {
public:
    explicit PartyHttpServer(PartyServer& owner) : owner_(owner) {}

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        // Taken without a reply, an upgrade on the game's path becomes a WebSocket, whose Origin is
        // checked on arrival.
        if (request.url().path() == QLatin1String("/ws") &&
            request.value("Upgrade").compare("websocket", Qt::CaseInsensitive) == 0) {
            return true;
        }
        QHttpServerResponder responder = makeResponder(request, socket);
        const QString host = QString::fromLatin1(request.value("Host"));
        const QByteArray origin = request.value("Origin");
        if (!owner_.originAllowed(QStringLiteral("http://") + host) ||
            (!origin.isEmpty() && !owner_.originAllowed(QString::fromLatin1(origin)))) {
            responder.write(QHttpServerResponder::StatusCode::Forbidden);
            return true;
        }
        if (request.method() != QHttpServerRequest::Method::Get) {
            responder.write(QHttpServerResponder::StatusCode::MethodNotAllowed);
            return true;
        }
        const QString path = request.url().path();
        const auto game = owner_.gameFiles_.constFind(path);
        if (game != owner_.gameFiles_.constEnd()) {
            QFile file(game.value());
            if (file.open(QIODevice::ReadOnly)) {
                responder.write(file.readAll(),
                                {{"Content-Type", gameFileType(game.value())},
                                 {"Cache-Control", "no-cache"},
                                 {"X-Content-Type-Options", "nosniff"},
                                 {"Content-Security-Policy", kGamePolicy}},
                                QHttpServerResponder::StatusCode::Ok);
                return true;
            }
        }
        // The host page's pictures, made afresh: they change with the game, never with the path.
        if (path == QLatin1String("/qr.svg") || path == QLatin1String("/picture.png")) {
            QByteArray body;
            QByteArray type = "image/svg+xml";
            if (path == QLatin1String("/qr.svg")) {
                body = owner_.qrSvg();
            } else {
                QBuffer buffer(&body);
                buffer.open(QIODevice::WriteOnly);
                owner_.picture().save(&buffer, "PNG");
                type = "image/png";
            }
            responder.write(body, {{"Content-Type", type}, {"Cache-Control", "no-store"}, {"X-Content-Type-Options", "nosniff"}},
                            QHttpServerResponder::StatusCode::Ok);
            return true;
        }
        for (const PageFile& file : kPageFiles) {
            if (path == QLatin1String(file.path)) {
                QFile resource(QLatin1String(file.resource));
                if (!resource.open(QIODevice::ReadOnly)) {
                    break;
                }
                // The name's length and the PIN's digits come from the rules, each written once.
                QByteArray body = resource.readAll();
                body.replace("@NAME_CHARS@", QByteArray::number(static_cast<qulonglong>(kNameChars)));
                body.replace("@SHORTEST_PIN@", QByteArray::number(static_cast<qulonglong>(kShortestPin)));
                body.replace("@PIN_DIGITS@", QByteArray::number(static_cast<qulonglong>(kPinDigits)));
                responder.write(body,
                                {{"Content-Type", file.type},
                                 {"Cache-Control", "no-store"},
                                 {"X-Content-Type-Options", "nosniff"},
                                 {"Content-Security-Policy", "default-src 'self'; img-src 'self' data:"}},
                                QHttpServerResponder::StatusCode::Ok);
                return true;
            }
        }
        responder.write(QHttpServerResponder::StatusCode::NotFound);
        return true;
    }

    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override {
        makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
    }

private:
    PartyServer& owner_;
};

PartyServer::PartyServer(std::filesystem::path quiz, int questionCount, QObject* parent)
    : QObject(parent), secrets_(std::make_unique<SystemRandom>()) {
    std::uint32_t pinValues = 1;
    for (std::size_t digit = 0; digit < kPinDigits; ++digit) {
        pinValues *= 10;
    }
    std::string pin = std::to_string(secrets_->next() % pinValues);
    pin.insert(0, kPinDigits - pin.size(), '0');
    session_ = std::make_unique<Session>(std::move(quiz), draws_, *secrets_, pin, questionCount);
    for (int i = 0; i < 4; ++i) {
        hostKey_ += QStringLiteral("%1").arg(secrets_->next(), 8, 16, QLatin1Char('0'));
    }
    clock_.start();
    // The host's clock closes a question even when no message arrives.
    judgeTimer_.setInterval(100);
    connect(&judgeTimer_, &QTimer::timeout, this, &PartyServer::judgeIfDue);
    judgeTimer_.start();
    // Joins come in bursts when a class scans the code; one list for the burst, not one per join.
    lobbyTimer_.setSingleShot(true);
    lobbyTimer_.setInterval(300);
    connect(&lobbyTimer_, &QTimer::timeout, this, &PartyServer::sendLobby);
}

QImage PartyServer::picture() const {
    const Session& session = *session_;
    GameState state = session.gameState();
    if (surface_ == nullptr) {
        surface_ = std::make_unique<QtSurface>(2);
    }
    QtSurface& surface = *surface_;
    surface.beginPaint();
    if (session.phase() == Phase::Lobby || session.questionNumber() == 0) {
        // A lobby is no title screen: no word of opening a quiz file, only who is in.
        const std::u16string count = QStringLiteral("参加者 %1 人").arg(session.players().size()).toStdU16String();
        const std::array<std::u16string_view, 2> lines{u"みんなで遊ぶ", count};
        paintTitleWith(lines, surface);
    } else {
        if (session.phase() == Phase::Open) {
            pp::setScreen(state, Screen::Answering);
            state.timeLeftTicks = static_cast<std::int32_t>(session.timeLeftMs(nowMs()) * kTicksPerSecondShown / 1000);
        } else {
            // The verdict's picture with the right choice lit: the answer everyone was waiting for.
            pp::setScreen(state, Screen::Judging);
            state.selection = state.correctPosition + 1;
        }
        state.revealDone = 1;
        // A shared game has no levels: the progress row shows its slots open, neither right nor wrong.
        state.levelCorrect = 0;
        state.slotsLeft = kQuestionsPerLevel;
        paintScreen(state, surface);
    }
    surface.endPaint();
    return surface.image();
}

QByteArray PartyServer::qrSvg() const {
    const QStringList urls = joinUrls();
    if (urls.isEmpty()) {
        return {};
    }
    const QByteArray text = urls.front().toUtf8();
    QRcode* code = QRcode_encodeString(text.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    if (code == nullptr) {
        return {};
    }
    const int side = code->width + 2 * kQuietZoneModules;
    QByteArray svg = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %1 %1\" shape-rendering=\"crispEdges\">"
                                    "<rect width=\"%1\" height=\"%1\" fill=\"#fff\"/><path fill=\"#000\" d=\"")
                         .arg(side)
                         .toUtf8();
    for (int y = 0; y < code->width; ++y) {
        for (int x = 0; x < code->width; ++x) {
            if ((code->data[y * code->width + x] & 1) != 0) {
                svg += QStringLiteral("M%1 %2h1v1h-1z").arg(x + kQuietZoneModules).arg(y + kQuietZoneModules).toUtf8();
            }
        }
    }
    svg += "\"/></svg>";
    QRcode_free(code);
    return svg;
}

PartyServer::~PartyServer() {
    for (auto& connection : connections_) {
        connection->socket->disconnect(this);
        connection->socket->abort();
        delete connection->socket;
    }
}

QString PartyServer::listen(std::optional<QHostAddress> bind, quint16 port) {
    if (session_->questionCount() == 0) {
        return QStringLiteral("このクイズファイルでは遊べません。");
    }
    QList<QHostAddress> wanted;
    if (bind) {
        if (!isPrivateAddress(*bind)) {
            return QStringLiteral("%1 はローカルネットワークのアドレスではありません。").arg(bind->toString());
        }
        wanted.append(*bind);
    } else {
        for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
            // A link-local IPv6 address needs its interface named in every URL; phones reach the IPv4 ones.
            if (isPrivateAddress(address) && address.scopeId().isEmpty()) {
                wanted.append(address);
            }
        }
        // The machine's own non-loopback addresses first: they are the ones a phone can open.
        std::stable_partition(wanted.begin(), wanted.end(), [](const QHostAddress& a) { return !a.isLoopback(); });
    }
    http_ = std::make_unique<PartyHttpServer>(*this);
    for (const QHostAddress& address : wanted) {
        const quint16 got = http_->listen(address, port);
        if (got == 0) {
            continue;
        }
        port = got;  // every address on the same port, so one address differs from another only by host
        port_ = got;
        addresses_.append(address);
    }
    if (addresses_.isEmpty()) {
        return QStringLiteral("待ち受けできるアドレスがありません。");
    }
    connect(http_.get(), &QAbstractHttpServer::newWebSocketConnection, this, &PartyServer::acceptSockets);
    return {};
}

void PartyServer::serveGame(const QString& folder) {
    gameFiles_.clear();
    const QDir root(folder);
    if (folder.isEmpty() || !root.exists(QStringLiteral("index.html"))) {
        return;
    }
    // The list is made once: a request names one of these paths exactly or gets nothing, so no
    // path it spells can reach outside the folder. Without QDir::Hidden the walk passes over
    // hidden files and folders, and with NoSymLinks over links.
    QDirIterator files(root.path(), QDir::Files | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString file = files.next();
        const QString relative = root.relativeFilePath(file);
        if (gameFileType(relative) != nullptr) {
            gameFiles_.insert(QLatin1String(kGamePrefix) + relative, file);
        }
    }
    gameFiles_.insert(QLatin1String(kGamePrefix), root.filePath(QStringLiteral("index.html")));
}

QString PartyServer::gameFolder() {
    const QDir programFolder(QCoreApplication::applicationDirPath());
    for (const QString& relative : {QStringLiteral("../web/site"), QStringLiteral("../share/pocketperna/web")}) {
        const QFileInfo index(programFolder.filePath(relative + QStringLiteral("/index.html")));
        if (index.isFile()) {
            return index.absolutePath();
        }
    }
    return {};
}

QStringList PartyServer::joinUrls() const {
    QStringList urls;
    for (const QHostAddress& address : addresses_) {
        urls.append(QStringLiteral("http://%1:%2/").arg(hostPart(address)).arg(port_));
    }
    return urls;
}

bool PartyServer::originAllowed(const QString& origin) const {
    if (origin == QStringLiteral("http://localhost:%1").arg(port_)) {
        return std::any_of(addresses_.begin(), addresses_.end(), [](const QHostAddress& a) { return a.isLoopback(); });
    }
    return std::any_of(addresses_.begin(), addresses_.end(), [&](const QHostAddress& address) {
        return origin == QStringLiteral("http://%1:%2").arg(hostPart(address)).arg(port_);
    });
}

void PartyServer::acceptSockets() {
    while (http_->hasPendingWebSocketConnections()) {
        QWebSocket* socket = http_->nextPendingWebSocketConnection().release();
        if (socket == nullptr) {
            continue;
        }
        socket->setParent(nullptr);
        if (socket->requestUrl().path() != QLatin1String("/ws") || !originAllowed(socket->origin())) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
            socket->deleteLater();
            continue;
        }
        socket->setMaxAllowedIncomingMessageSize(kLargestMessage);
        socket->setMaxAllowedIncomingFrameSize(kLargestMessage);
        auto& connection = *connections_.emplace_back(std::make_unique<Connection>());
        connection.socket = socket;
        connection.lastMessageMs = nowMs();
        Connection* raw = &connection;
        connect(socket, &QWebSocket::textMessageReceived, this, [this, raw](const QString& text) { onMessage(*raw, text); });
        connect(socket, &QWebSocket::binaryMessageReceived, this, [this, raw] { drop(*raw, QStringLiteral("binary")); });
        connect(socket, &QWebSocket::disconnected, this, [this, raw] { drop(*raw, {}); });
    }
}

void PartyServer::drop(Connection& connection, const QString& why) {
    if (connection.closed) {
        return;
    }
    connection.closed = true;
    if (!why.isEmpty()) {
        connection.socket->close(QWebSocketProtocol::CloseCodePolicyViolated, why);
    }
    connection.socket->deleteLater();
    // Removed after this event: the connection's own signal may be what called us.
    QTimer::singleShot(0, this, [this, raw = &connection] {
        std::erase_if(connections_, [raw](const auto& c) { return c.get() == raw; });
    });
}

void PartyServer::send(Connection& connection, const std::string& text) {
    if (!connection.closed) {
        connection.socket->sendTextMessage(QString::fromStdString(text));
    }
}

void PartyServer::onMessage(Connection& connection, const QString& text) {
    if (connection.closed) {
        return;
    }
    // A token bucket: a player's taps come a few a second; a flood closes its own connection only.
    const qint64 now = nowMs();
    connection.allowance = std::min(kBurst, connection.allowance + (now - connection.lastMessageMs) * kMessagesPerSecond / 1000.0);
    connection.lastMessageMs = now;
    if (connection.allowance < 1.0) {
        drop(connection, QStringLiteral("flood"));
        return;
    }
    connection.allowance -= 1.0;
    const QByteArray bytes = text.toUtf8();
    const std::optional<ClientMessage> message = parseClientMessage(std::string_view(bytes.constData(), bytes.size()));
    if (!message) {
        drop(connection, QStringLiteral("malformed"));
        return;
    }
    std::visit([this, &connection](const auto& m) { handle(connection, m); }, *message);
}

void PartyServer::handle(Connection& connection, const JoinMessage& message) {
    if (connection.player != 0 || connection.host) {
        drop(connection, QStringLiteral("joined"));
        return;
    }
    const JoinResult result = session_->join(message.pin, message.name);
    if (result.refusal != JoinRefusal::None) {
        send(connection, refusedMessage(joinRefusalName(result.refusal)));
        if (result.refusal == JoinRefusal::WrongPin && ++connection.wrongPins >= kWrongPinsAllowed) {
            drop(connection, QStringLiteral("pin"));
        }
        return;
    }
    bindPlayer(connection, result.id);
    broadcastLobby();
}

void PartyServer::handle(Connection& connection, const RejoinMessage& message) {
    const Player* player = session_->playerByToken(message.token);
    if (player == nullptr || connection.player != 0 || connection.host) {
        send(connection, refusedMessage("token"));
        if (++connection.wrongPins >= kWrongPinsAllowed) {
            drop(connection, QStringLiteral("token"));
        }
        return;
    }
    // A reloaded tab comes back on a new connection; the old one, if still open, is let go.
    for (auto& other : connections_) {
        if (other.get() != &connection && other->player == player->id) {
            other->player = 0;
            drop(*other, QStringLiteral("rejoined"));
        }
    }
    bindPlayer(connection, player->id);
}

void PartyServer::bindPlayer(Connection& connection, PlayerId id) {
    connection.player = id;
    const Player* player = session_->player(id);
    send(connection, joinedMessage(*player, session_->questionNumber()));
    sendState(connection);
    emit changed();
}

void PartyServer::sendState(Connection& connection) {
    const Player* player = session_->player(connection.player);
    switch (session_->phase()) {
        case Phase::Lobby:
            send(connection, lobbyMessage(*session_));
            break;
        case Phase::Open: {
            const bool mayAnswer = connection.host || (player != nullptr && player->joinedAfter < session_->questionNumber() &&
                                                       player->answer == 0);
            send(connection, questionMessage(*session_, nowMs(), mayAnswer));
            if (player != nullptr && player->answer != 0) {
                send(connection, ackMessage(session_->questionNumber(), player->answer));
            }
            break;
        }
        case Phase::Judged:
            send(connection, resultMessage(*session_, player));
            break;
        case Phase::Finished:
            send(connection, finalMessage(*session_, player));
            break;
    }
}

void PartyServer::handle(Connection& connection, const AnswerMessage& message) {
    if (connection.player == 0) {
        drop(connection, QStringLiteral("not joined"));
        return;
    }
    const AnswerRefusal refusal = session_->answer(connection.player, message.question, message.choice, nowMs());
    if (refusal != AnswerRefusal::None) {
        send(connection, answerRefusedMessage(refusal));
        return;
    }
    send(connection, ackMessage(message.question, message.choice));
    emit changed();
    judgeIfDue();
}

void PartyServer::handle(Connection& connection, const HostMessage& message) {
    if (connection.player != 0 || message.key != hostKey_.toStdString()) {
        drop(connection, QStringLiteral("host"));
        return;
    }
    if (!connection.host) {
        connection.host = true;
        const QStringList urls = joinUrls();
        send(connection, hostWelcomeMessage(session_->pin(), urls.isEmpty() ? std::string() : urls.front().toStdString()));
        sendState(connection);
    }
    switch (message.action) {
        case HostAction::Watch: break;
        case HostAction::Start: start(); break;
        case HostAction::Next: next(); break;
        case HostAction::Skip: skip(); break;
        case HostAction::Pause:
        case HostAction::Resume: togglePause(); break;
        case HostAction::Remove: removePlayer(message.player); break;
        case HostAction::End: end(); break;
    }
}

void PartyServer::start() {
    if (session_->phase() == Phase::Lobby) {
        next();
    }
}

void PartyServer::next() {
    if (session_->phase() == Phase::Open) {
        return;
    }
    if (session_->openNextQuestion(nowMs())) {
        broadcastQuestion();
    } else {
        broadcastResults();
    }
    emit changed();
}

void PartyServer::skip() {
    if (session_->phase() == Phase::Open) {
        session_->judge();
        broadcastResults();
        emit changed();
    }
}

void PartyServer::togglePause() {
    if (session_->paused()) {
        session_->resume(nowMs());
    } else {
        session_->pause(nowMs());
    }
    for (auto& connection : connections_) {
        send(*connection, pausedMessage(*session_, nowMs()));
    }
    emit changed();
}

void PartyServer::removePlayer(PlayerId id) {
    if (!session_->remove(id)) {
        return;
    }
    for (auto& connection : connections_) {
        if (connection->player == id) {
            send(*connection, removedMessage());
            connection->player = 0;
            drop(*connection, QStringLiteral("removed"));
        }
    }
    broadcastLobby();
    judgeIfDue();
    emit changed();
}

void PartyServer::end() {
    if (session_->phase() != Phase::Finished) {
        session_->finish();
        broadcastResults();
        emit changed();
    }
}

void PartyServer::judgeIfDue() {
    if (session_->phase() != Phase::Open || session_->paused()) {
        return;
    }
    if (session_->timeLeftMs(nowMs()) == 0 || session_->allAnswered()) {
        session_->judge();
        broadcastResults();
        emit changed();
    }
}

void PartyServer::broadcastQuestion() {
    for (auto& connection : connections_) {
        sendState(*connection);
    }
}

void PartyServer::broadcastResults() {
    for (auto& connection : connections_) {
        sendState(*connection);
    }
}

void PartyServer::broadcastLobby() {
    if (!lobbyTimer_.isActive()) {
        lobbyTimer_.start();
    }
}

void PartyServer::sendLobby() {
    if (session_->phase() != Phase::Lobby) {
        return;
    }
    const std::string lobby = lobbyMessage(*session_);
    for (auto& connection : connections_) {
        send(*connection, lobby);
    }
}

}  // namespace pp
