#pragma once

#include "engine/Host.h"

namespace pp {

// The row a new score takes: below every row with an equal or greater score.
int rankingInsertIndex(const GameState& state, std::int16_t score);

// Enters this game's score in the ranking under the name the player types, and saves the file.
// Does nothing once this game has entered the ranking.
void enterRanking(Context& context);

}  // namespace pp
