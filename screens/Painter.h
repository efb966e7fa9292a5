#pragma once

#include "record/GameState.h"
#include "screens/Surface.h"

namespace pp {

// Paints the current screen whole on `surface` from the state: the picture is made white,
// then the screen's painter draws it. Painting changes nothing, so it can be repeated at any
// time (an expose, a new scale) and draws the same picture.
void paintScreen(const GameState& state, Surface& surface);

}  // namespace pp
