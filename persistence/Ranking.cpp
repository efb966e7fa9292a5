#include "persistence/Ranking.h"

#include "persistence/StoredName.h"

namespace pp {

int rankingInsertIndex(const std::array<RankEntry, kRankingRows>& rows, std::int16_t score) {
    // Scanning up from the ninth place finds the lowest row the new score does not beat; the
    // new row goes right below it, so equal scores keep the order they came in.
    for (int row = kRankingRows - 2; row >= 0; --row) {
        if (score <= rows[static_cast<std::size_t>(row)].score) {
            return row + 1;
        }
    }
    return 0;
}

int rankingInsertIndex(const GameState& state, std::int16_t score) { return rankingInsertIndex(state.ranking, score); }

namespace {

bool beatsTenth(const std::array<RankEntry, kRankingRows>& rows, std::int16_t score) {
    return score > rows[kRankingRows - 1].score;
}

// Inserts the row and returns its index.
int insertRow(std::array<RankEntry, kRankingRows>& rows, std::int16_t score, std::u16string_view name) {
    const auto newRow = static_cast<std::size_t>(rankingInsertIndex(rows, score));
    for (std::size_t row = kRankingRows - 1; row > newRow; --row) {
        rows[row] = rows[row - 1];
    }
    rows[newRow].score = score;
    rows[newRow].name = name;
    return static_cast<int>(newRow);
}

}  // namespace

bool rankingOffered(const GameState& state) {
    // A score that does not beat the tenth place would push out a row that belongs there.
    return state.playerName.empty() && !state.rankingEntered &&
           (beatsTenth(state.ranking, state.score) || (state.fileRankingKept && beatsTenth(state.fileRanking, state.score)));
}

void enterRanking(GameState& state, std::u16string_view typedName) {
    if (!rankingOffered(state)) {
        return;
    }
    state.playerName = rankingName(typedName);
    // Stored as the file will keep it, so the ranking reads the same after a restart.
    const std::u16string stored = storableName(state.playerName.view());
    if (beatsTenth(state.ranking, state.score)) {
        state.rankingHighlight = insertRow(state.ranking, state.score, stored);
    }
    if (state.fileRankingKept && beatsTenth(state.fileRanking, state.score)) {
        state.fileRankingHighlight = insertRow(state.fileRanking, state.score, stored);
    }
    state.rankingEntered = true;
}

}  // namespace pp
