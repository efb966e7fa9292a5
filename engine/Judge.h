#pragma once

#include "engine/Host.h"
#include "screens/Surface.h"

namespace pp {

// Judges the confirmed `selection`: score, level and genre counters, the right or wrong sound,
// and the large circle or cross drawn on `surface` over the question. `client` is the client
// rectangle the mark is placed in.
void judgeAnswer(Context& context, Surface& surface, Rect client);

// True when the highlighted row is the right answer.
bool answerIsRight(const GameState& state);

}  // namespace pp
