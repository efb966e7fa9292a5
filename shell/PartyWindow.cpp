#include "shell/PartyWindow.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <qrencode.h>

#include "party/Session.h"
#include "shell/PartyServer.h"

namespace pp {
namespace {

using namespace party;

constexpr int kQuietZoneModules = 4;

QString qstring(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QLabel* bigLabel(int points, QWidget* parent) {
    auto* label = new QLabel(parent);
    QFont font = label->font();
    font.setPointSize(points);
    font.setBold(true);
    label->setFont(font);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

QImage PartyWindow::qrCode(const QString& text, int scale) {
    const QByteArray bytes = text.toUtf8();
    QRcode* code = QRcode_encodeString(bytes.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    if (code == nullptr) {
        return {};
    }
    const int side = (code->width + 2 * kQuietZoneModules) * scale;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < code->width; ++y) {
        for (int x = 0; x < code->width; ++x) {
            if ((code->data[y * code->width + x] & 1) != 0) {
                painter.fillRect((x + kQuietZoneModules) * scale, (y + kQuietZoneModules) * scale, scale, scale, Qt::black);
            }
        }
    }
    QRcode_free(code);
    return image;
}

PartyWindow* PartyWindow::open(const Options& options, QString& error, QWidget* parent) {
    auto server = std::make_unique<PartyServer>(options.quiz, options.questions);
    server->serveGame(PartyServer::gameFolder());
    error = server->listen(options.bind, options.port);
    if (!error.isEmpty()) {
        return nullptr;
    }
    auto* window = new PartyWindow(*server, parent);
    if (parent != nullptr) {
        window->setWindowFlag(Qt::Window);
    }
    window->setAttribute(Qt::WA_DeleteOnClose);
    server.release()->setParent(window);
    return window;
}

PartyWindow::PartyWindow(PartyServer& server, QWidget* parent)
    : QWidget(parent), server_(server) {
    setWindowTitle(QStringLiteral("みんなで遊ぶ - ポケットペルナ"));
    auto* layout = new QHBoxLayout(this);

    auto* left = new QVBoxLayout;
    auto* heading = bigLabel(14, this);
    heading->setText(QStringLiteral("スマートフォンで参加"));
    left->addWidget(heading);
    address_ = bigLabel(16, this);
    left->addWidget(address_);
    qr_ = new QLabel(this);
    left->addWidget(qr_);
    pin_ = bigLabel(28, this);
    left->addWidget(pin_);
    players_ = new QListWidget(this);
    left->addWidget(players_, 1);
    layout->addLayout(left);

    auto* middle = new QVBoxLayout;
    status_ = bigLabel(14, this);
    middle->addWidget(status_);
    picture_ = new QLabel(this);
    picture_->setFixedSize(server_.picture().size());
    middle->addWidget(picture_);
    auto* buttons = new QGridLayout;
    start_ = new QPushButton(QStringLiteral("開始"), this);
    next_ = new QPushButton(QStringLiteral("次の問題"), this);
    skip_ = new QPushButton(QStringLiteral("締め切る"), this);
    pause_ = new QPushButton(QStringLiteral("一時停止"), this);
    remove_ = new QPushButton(QStringLiteral("選んだ人を外す"), this);
    end_ = new QPushButton(QStringLiteral("終了"), this);
    buttons->addWidget(start_, 0, 0);
    buttons->addWidget(next_, 0, 1);
    buttons->addWidget(skip_, 0, 2);
    buttons->addWidget(pause_, 1, 0);
    buttons->addWidget(remove_, 1, 1);
    buttons->addWidget(end_, 1, 2);
    middle->addLayout(buttons);
    middle->addStretch(1);
    layout->addLayout(middle);

    standings_ = bigLabel(14, this);
    standings_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    standings_->setMinimumWidth(260);
    layout->addWidget(standings_, 1);

    connect(start_, &QPushButton::clicked, &server_, &PartyServer::start);
    connect(next_, &QPushButton::clicked, &server_, &PartyServer::next);
    connect(skip_, &QPushButton::clicked, &server_, &PartyServer::skip);
    connect(pause_, &QPushButton::clicked, &server_, &PartyServer::togglePause);
    connect(end_, &QPushButton::clicked, &server_, &PartyServer::end);
    connect(remove_, &QPushButton::clicked, this, [this] {
        if (QListWidgetItem* item = players_->currentItem()) {
            server_.removePlayer(item->data(Qt::UserRole).toUInt());
        }
    });
    // A class answering at once changes the game hundreds of times a second; the screen follows
    // a few times a second.
    coalesce_ = new QTimer(this);
    coalesce_->setSingleShot(true);
    coalesce_->setInterval(150);
    connect(coalesce_, &QTimer::timeout, this, &PartyWindow::refresh);
    connect(&server_, &PartyServer::changed, this, [this] {
        if (!coalesce_->isActive()) {
            coalesce_->start();
        }
    });
    // The countdown moves on its own between messages.
    clock_ = new QTimer(this);
    clock_->setInterval(250);
    connect(clock_, &QTimer::timeout, this, &PartyWindow::refreshPicture);
    clock_->start();
    refresh();
}

PartyWindow::~PartyWindow() = default;

void PartyWindow::refresh() {
    const QStringList urls = server_.joinUrls();
    const QString url = urls.isEmpty() ? QString() : urls.front();
    if (address_->text() != url) {
        address_->setText(url);
        address_->setToolTip(urls.join(QLatin1Char('\n')));
        qr_->setPixmap(QPixmap::fromImage(qrCode(url, 5)));
    }
    const Session& session = server_.session();
    pin_->setText(QStringLiteral("PIN %1").arg(QString::fromStdString(session.pin())));
    const QVariant selected = players_->currentItem() != nullptr ? players_->currentItem()->data(Qt::UserRole) : QVariant();
    players_->clear();
    for (const Player* player : session.players()) {
        auto* item = new QListWidgetItem(QStringLiteral("%1  %2点").arg(qstring(player->name)).arg(player->score), players_);
        item->setData(Qt::UserRole, player->id);
        if (selected.isValid() && selected.toUInt() == player->id) {
            players_->setCurrentItem(item);
        }
    }
    refreshPicture();
    refreshStandings();
    refreshButtons();
}

void PartyWindow::refreshPicture() {
    const Session& session = server_.session();
    switch (session.phase()) {
        case Phase::Lobby:
            status_->setText(QStringLiteral("参加者 %1 人").arg(session.players().size()));
            break;
        case Phase::Open: {
            const qint64 left = session.timeLeftMs(server_.nowMs());
            int answered = 0;
            for (const Player* player : session.players()) {
                answered += player->answer != 0 ? 1 : 0;
            }
            status_->setText(QStringLiteral("第%1問 / %2問　残り %3 秒　回答 %4 人%5")
                                 .arg(session.questionNumber())
                                 .arg(session.questionCount())
                                 .arg((left + 999) / 1000)
                                 .arg(answered)
                                 .arg(session.paused() ? QStringLiteral("　一時停止中") : QString()));
            break;
        }
        case Phase::Judged:
        case Phase::Finished:
            status_->setText(session.phase() == Phase::Finished ? QStringLiteral("結果発表")
                                                                 : QStringLiteral("第%1問の正解").arg(session.questionNumber()));
            break;
    }
    picture_->setPixmap(QPixmap::fromImage(server_.picture()));
}

void PartyWindow::refreshStandings() {
    const Session& session = server_.session();
    const std::vector<Standing> rows = session.standings();
    const bool final = session.phase() == Phase::Finished;
    QString text = final ? QStringLiteral("最終順位\n") : QStringLiteral("上位5人\n");
    int shown = 0;
    for (const Standing& row : rows) {
        if (!final && shown == kTopCount) {
            break;
        }
        text += QStringLiteral("%1位  %2  %3点\n").arg(row.place).arg(qstring(row.name)).arg(row.score);
        ++shown;
    }
    standings_->setText(session.phase() == Phase::Lobby ? QString() : text);
}

void PartyWindow::refreshButtons() {
    const Phase phase = server_.session().phase();
    start_->setEnabled(phase == Phase::Lobby);
    next_->setEnabled(phase == Phase::Judged);
    skip_->setEnabled(phase == Phase::Open);
    pause_->setEnabled(phase == Phase::Open);
    pause_->setText(server_.session().paused() ? QStringLiteral("再開") : QStringLiteral("一時停止"));
    remove_->setEnabled(phase != Phase::Finished);
    end_->setEnabled(phase != Phase::Finished);
}

}  // namespace pp
