#include "persistence/Ranking.h"

#include "persistence/StoredName.h"

namespace pp {

int rankingInsertIndex(const GameState& state, std::int16_t score) {
    // Scanning up from the ninth place finds the lowest row the new score does not beat; the
    // new row goes right below it, so equal scores keep the order they came in.
    for (int row = kRankingRows - 2; row >= 0; --row) {
        if (score <= state.ranking[static_cast<std::size_t>(row)].score) {
            return row + 1;
        }
    }
    return 0;
}

bool rankingOffered(const GameState& state) {
    // A score that does not beat the tenth place would push out a row that belongs there.
    return state.playerName.empty() && !state.rankingEntered && state.score > state.ranking[kRankingRows - 1].score;
}

void enterRanking(GameState& state, std::u16string_view typedName) {
    if (!rankingOffered(state)) {
        return;
    }
    const auto newRow = static_cast<std::size_t>(rankingInsertIndex(state, state.score));
    for (std::size_t row = kRankingRows - 1; row > newRow; --row) {
        state.ranking[row] = state.ranking[row - 1];
    }
    state.playerName = rankingName(typedName);
    state.ranking[newRow].score = state.score;
    // Stored as the file will keep it, so the ranking reads the same after a restart.
    state.ranking[newRow].name = storableName(state.playerName.view());
    state.rankingEntered = true;
}

}  // namespace pp
