#pragma once

#include "engine/Host.h"

namespace pp {

// Judges the confirmed `selection`: the score, the level and genre counters, and the right or
// wrong sound. The Judging screen then shows the verdict's mark.
void judgeAnswer(Context& context);

}  // namespace pp
