#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

#include "engine/Host.h"
#include "persistence/History.h"
#include "persistence/MissedList.h"

namespace pp {

// The questions missed in the game under way, and the list kept from the last finished game on
// the quiz file opened last, which the missed-questions dialog and the review run go through.
class MissedQuestions {
public:
    // `storeFile` keeps the lists across runs (see persistence/MissedList.h); without one they are
    // kept for this run only.
    void keepListsIn(std::filesystem::path storeFile) { storeFile_ = std::move(storeFile); }
    [[nodiscard]] const std::filesystem::path& storeFile() const { return storeFile_; }
    // Keeps the lists in `history` instead, when it keeps missed lists; when it cannot read or
    // keep them, they last for this run, as without a store.
    void keepListsIn(History* history) { history_ = history != nullptr && history->keepsMissedLists() ? history : nullptr; }

    // A quiz file was opened: its kept list is read (dropped if the file changed since), and the
    // game under way starts with no misses.
    void quizOpened(const std::filesystem::path& path);
    // The quiz file opened last is gone: nothing is kept for it any more.
    void quizLost();
    // A new game, or a review run, starts on the same file.
    void gameStarted() {
        current_.clear();
        currentTimes_.clear();
    }

    // The Judging screen's verdict on the question in `state`: a miss is remembered with the
    // choice judged, each question once, in the order asked.
    void judged(const GameState& state);

    // The game ended: its misses (perhaps none) become the list kept for the quiz file.
    void gameFinished();

    // The misses of the game under way when there are any, otherwise the kept list.
    [[nodiscard]] const std::vector<MissedAnswer>& list() const { return current_.empty() ? kept_ : current_; }
    [[nodiscard]] std::vector<std::int32_t> questionNumbers() const;

    // The dialog's rows, read from the quiz file at `path`; questions it no longer holds are left out.
    [[nodiscard]] std::vector<MissedQuestionRow> rows(const std::filesystem::path& path) const;

    // Checks again that the quiz file at `path` is the one the lists were kept for; when it has
    // changed since, its lists are dropped (their numbers name other questions now) and false
    // comes back.
    bool stillMatches(const std::filesystem::path& path);

    // What the player should hear about the store file, once per kind in a run: a damaged file
    // kept aside, or a store that cannot be written.
    std::optional<MissedListNotice> takeNotice();

private:
    void noteStore(const MissedListNotice& notice);

    std::filesystem::path storeFile_;
    History* history_ = nullptr;
    std::optional<QuizFingerprint> quiz_;
    std::vector<MissedAnswer> kept_;
    std::vector<MissedAnswer> current_;
    // How often each listed question was missed, when more than once; for this run only, as the
    // kept lists name each question once.
    std::map<std::int32_t, int> keptTimes_;
    std::map<std::int32_t, int> currentTimes_;
    std::optional<MissedListNotice> notice_;
    std::uint32_t toldStates_ = 0;
};

}  // namespace pp
