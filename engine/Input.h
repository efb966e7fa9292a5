#pragma once

#include "engine/Host.h"
#include "engine/Keys.h"

namespace pp {

bool isActionKey(int keyCode);

// A key pressed: up and down move the highlight, the number keys answer with their row, the
// action keys confirm or move on (on the title, they start a game again).
void onKeyDown(Context& context, int keyCode);

// A tap lifted at (x, y) in logical pixels of the client area; on screens other than Answering
// it acts like the action key.
void onStylusUp(Context& context, int x, int y);

}  // namespace pp
