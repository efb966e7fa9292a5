// The module a shared game loads: its host window and server, with Qt HTTP Server, Qt
// WebSockets and libqrencode.

#include <type_traits>

#include "party/Session.h"
#include "shell/LazyParts.h"
#include "shell/PartyServer.h"
#include "shell/PartyWindow.h"

extern "C" Q_DECL_EXPORT QWidget* pp_party_window(const pp::PartyRequest& request, QString& error,
                                            QWidget* parent, QString* hostDetails) {
    pp::PartyWindow::Options options;
    options.quiz = request.quiz;
    options.port = request.port;
    options.questions = request.questions;
    if (!request.bind.isEmpty()) {
        options.bind = QHostAddress(request.bind);
        if (options.bind->isNull()) {
            error = QStringLiteral("%1 はIPアドレスではありません。").arg(request.bind);
            return nullptr;
        }
    }
    pp::PartyWindow* window = pp::PartyWindow::open(options, error, parent);
    if (window != nullptr && hostDetails != nullptr) {
        pp::PartyServer& server = window->server();
        *hostDetails = QStringLiteral("address %1\npin %2\nhost key %3\n")
                           .arg(server.joinUrls().front(), QString::fromStdString(server.session().pin()),
                                server.hostKey());
    }
    return window;
}
static_assert(std::is_same_v<decltype(pp_party_window), pp::lazy::PartyWindowEntry>);
