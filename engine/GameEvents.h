#pragma once

#include <filesystem>
#include <string_view>

#include "record/GameState.h"

namespace pp {

// What a recorder hears of a Game: the events and answers the game acts on, in order, each as it
// reaches the game. Events the game ignores (a key under the name dialog, an answer no request
// asked for) are not heard, and neither are the answers that only close a dialog, so that what is
// heard, played again without dialogs, makes the same game.
class GameEvents {
public:
    virtual ~GameEvents() = default;

    // Once, when the listener is attached: the state the game stands in and the quiz file the
    // title would start again on (empty when none).
    virtual void listening(const GameState& state, const std::filesystem::path& lastQuizFile) = 0;
    // Right after listening, when the game keeps each quiz file's own ranking (a frontend with a
    // data folder): a replay must keep one too, or the ranking screen takes one tap fewer.
    virtual void keepsPlayerRecords() {}
    virtual void ticked() = 0;
    virtual void keyPressed(int keyCode) = 0;
    virtual void tapped(int x, int y) = 0;
    // A quiz file opened by open() or chosen in the open dialog.
    virtual void opened(const std::filesystem::path& path) = 0;
    // A menu command; the ranking shown and a review asked from the missed-questions dialog are
    // heard as their commands.
    virtual void commanded(int id) = 0;
    virtual void settingsConfirmed(const Options& chosen) = 0;
    virtual void noRepeatsSet(bool on) = 0;
    // A screen entered, before its one-time work: what the game did, for a recording to show.
    virtual void screenEntered(const GameState& state) = 0;
    // The name dialog asked for, and later its answer.
    virtual void nameAsked() = 0;
    virtual void nameEntered(std::u16string_view name) = 0;
};

}  // namespace pp
