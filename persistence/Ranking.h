#pragma once

#include <string_view>

#include "record/GameState.h"

namespace pp {

// The row a new score takes: below every row with an equal or greater score.
int rankingInsertIndex(const GameState& state, std::int16_t score);
int rankingInsertIndex(const std::array<RankEntry, kRankingRows>& rows, std::int16_t score);

// True when this game's score beats the tenth place and the game has not entered the ranking
// yet: the moment to ask for a name.
bool rankingOffered(const GameState& state);

// Enters this game's score under what the ranking keeps of `typedName` (see rankingName) in the
// overall ranking and, when one is kept, the quiz file's, wherever it beats the tenth place; marks
// the game as entered and the new rows as the ones to highlight. Does nothing unless offered.
void enterRanking(GameState& state, std::u16string_view typedName);

}  // namespace pp
