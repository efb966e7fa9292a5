#pragma once

#include <span>
#include <string_view>

#include "record/GameState.h"
#include "screens/Surface.h"

namespace pp {

// Paints the current screen whole on `surface` from the state: the picture is made white,
// then the screen's painter draws it. Painting changes nothing, so it can be repeated at any
// time (an expose, a new scale) and draws the same picture. `dueToday` is how many questions of
// the open quiz file are due for review, which the title tells of.
void paintScreen(const GameState& state, Surface& surface, int dueToday = 0);

// The title's picture with up to three lines of `lines` in place of its words, for a screen
// that is not the game's title (a shared game's lobby), painted whole as paintScreen does.
void paintTitleWith(std::span<const std::u16string_view> lines, Surface& surface);

}  // namespace pp
