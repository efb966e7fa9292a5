#pragma once

#include <QHostAddress>
#include <QWidget>

#include <filesystem>
#include <memory>
#include <optional>

class QLabel;
class QListWidget;
class QPushButton;
class QTimer;

namespace pp {

class PartyServer;

// The host's screen of a shared game, made for a projector: the lobby with the join address,
// its QR code, the PIN and who has joined; then each question in the game's own pictures, the
// top five after it and the final standings; and the host's controls.
class PartyWindow final : public QWidget {
    Q_OBJECT
public:
    // The window shows `server`, which it does not own.
    explicit PartyWindow(PartyServer& server, QWidget* parent = nullptr);
    ~PartyWindow() override;

    struct Options {
        std::filesystem::path quiz;
        std::optional<QHostAddress> bind;  // none: every private address of the machine
        quint16 port = 0;                  // 0: a free one
        int questions = 10;
    };
    // Starts a server on `options` and its window, which owns it and deletes itself on close;
    // null, with the reason in `error`, when the quiz or the addresses do not allow a game.
    static PartyWindow* open(const Options& options, QString& error, QWidget* parent = nullptr);

    [[nodiscard]] PartyServer& server() { return server_; }

    // The QR code of `text`, `scale` pixels a module with the standard quiet zone; null on failure.
    static QImage qrCode(const QString& text, int scale);

    // Redraws everything from the server's session.
    void refresh();

private:
    void refreshPicture();
    void refreshStandings();
    void refreshButtons();

    PartyServer& server_;
    QLabel* address_ = nullptr;
    QLabel* qr_ = nullptr;
    QLabel* pin_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* picture_ = nullptr;
    QLabel* standings_ = nullptr;
    QListWidget* players_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* skip_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* end_ = nullptr;
    QTimer* clock_ = nullptr;
    QTimer* coalesce_ = nullptr;
};

}  // namespace pp
