#pragma once

#include "engine/Host.h"

namespace pp {

// Advances the screen state machine by one 50 ms timer tick.
void tick(Context& context);

}  // namespace pp
