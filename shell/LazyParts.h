#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "engine/StudyHistory.h"
#include "record/GameState.h"

class QDialog;
class QWidget;

namespace pp {

class StatsWindow;

// A shared game to host. Plain values: the program itself does not link Qt Network, which only
// the shared game's module needs.
struct PartyRequest {
    std::filesystem::path quiz;
    QString bind;        // an IP address to listen on; empty: every private address of the machine
    std::uint16_t port = 0;  // 0: a free one
    int questions = 10;
};

// The progress window and the shared game's host pull in Qt Charts, Qt HTTP Server, Qt
// WebSockets and libqrencode, which a start never uses: each lives in a module of its own, loaded
// the first time the player opens it, so that the game starts as fast as a bare window.
namespace lazy {

// What each module hands over, checked against the module's own definition when it is built.
using ProgressWindowEntry = StatsWindow*(const Progress& progress, const std::array<Genre, kGenreCount>& genres,
                                         std::int32_t today, std::function<std::string()> csv, QWidget* parent);
// `hostDetails`, when given, receives the lines a headless host prints: address, PIN, host key.
using PartyWindowEntry = QWidget*(const PartyRequest& request, QString& error, QWidget* parent,
                                      QString* hostDetails);

inline constexpr const char* kProgressModule = "pocketperna-progress";
inline constexpr const char* kProgressEntry = "pp_progress_window";
inline constexpr const char* kPartyModule = "pocketperna-party";
inline constexpr const char* kPartyEntry = "pp_party_window";

// Searched before the program's own folders; the tests add the build tree's.
void addSearchFolder(const QString& folder);

// Where modules are looked for, in order: the added folders, the program's own folder (the build
// tree) and the install's library folder beside the program's.
[[nodiscard]] QStringList searchFolders();

// `entry` of `module` (its file name without ".so"), loading the module on its first use; null,
// with a sentence naming the module and why in `error`, when it is missing or does not load.
[[nodiscard]] void* resolve(const char* module, const char* entry, QString& error);

}  // namespace lazy

// "成績...": the progress window, from its module; null with the reason in `error`.
StatsWindow* openProgressWindow(const Progress& progress, const std::array<Genre, kGenreCount>& genres,
                                std::int32_t today, std::function<std::string()> csv, QWidget* parent,
                                QString& error);

// A shared game's host window, from its module; null with the reason in `error`.
QWidget* openPartyWindow(const PartyRequest& request, QString& error, QWidget* parent = nullptr,
                             QString* hostDetails = nullptr);

}  // namespace pp
