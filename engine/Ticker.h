#pragma once

#include "engine/Host.h"

namespace pp {

// The length of one tick of the game's clock, as every frontend runs it.
inline constexpr int kTickMs = 50;

// Advances the screen state machine by one timer tick of kTickMs.
void tick(Context& context);

}  // namespace pp
