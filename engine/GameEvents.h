#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "persistence/History.h"
#include "persistence/PlayerRecords.h"
#include "record/GameState.h"

namespace pp {

// What the game read from its files about one quiz file when it opened it: the state a replay
// must start from to play the same game, since it has none of the player's files.
struct KeptForQuiz {
    std::vector<std::int32_t> missed;  // the last finished game's missed questions, by number
    std::optional<std::array<RankEntry, kRankingRows>> fileRanking;  // when rankings are kept per file
    std::optional<std::vector<ReviewCard>> cards;                    // when a history is kept
};

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
    // A quiz file's kept state as the game read it: on listening for the quiz file opened last,
    // then for every quiz file opened.
    virtual void keptRead(const std::filesystem::path& quiz, const KeptForQuiz& kept) {
        (void)quiz;
        (void)kept;
    }
    // On listening, when the game keeps a history: the day it counts as today; later, before the
    // next event, each other day it moves to.
    virtual void keepsHistory(std::int32_t today) { (void)today; }
    virtual void dayChanged(std::int32_t today) { (void)today; }
    // On listening, when the kept run of an earlier sitting waits for its answer ("続きから").
    virtual void runOffered(const ResumePoint& point) { (void)point; }
    // The answers to the leave and resume questions, heard only when one was asked.
    virtual void leaveAnswered(bool leave) { (void)leave; }
    virtual void resumeAnswered(bool resume) { (void)resume; }
};

}  // namespace pp
