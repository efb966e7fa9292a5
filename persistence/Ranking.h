#pragma once

#include <string_view>

#include "record/GameState.h"

namespace pp {

// The row a new score takes: below every row with an equal or greater score.
int rankingInsertIndex(const GameState& state, std::int16_t score);

// True when this game's score beats the tenth place and the game has not entered the ranking
// yet: the moment to ask for a name.
bool rankingOffered(const GameState& state);

// Enters this game's score in the ranking under what it keeps of `typedName` (see rankingName)
// and marks the game as entered. Does nothing unless the ranking is offered.
void enterRanking(GameState& state, std::u16string_view typedName);

}  // namespace pp
