#pragma once

#include "engine/Host.h"
#include "screens/Surface.h"

namespace pp {

// Paints the current screen on `surface`, doing the work the screen does when it appears
// (loading the question, judging, the end-screen sounds and ranking entry) once per entry.
void paintScreen(Context& context, Surface& surface);

}  // namespace pp
