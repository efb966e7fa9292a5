#pragma once

#include "engine/Host.h"

namespace pp {

// Key codes the game reacts to (the handheld's virtual-key codes).
namespace key {
inline constexpr int kReturn = 0x0D;
inline constexpr int kUp = 0x26;
inline constexpr int kDown = 0x28;
inline constexpr int kAction = 0x86;
inline constexpr int kApp1 = 0xC1;
inline constexpr int kApp2 = 0xC2;
inline constexpr int kApp3 = 0xC3;
inline constexpr int kApp4 = 0xC4;
// The number keys 1 to 5 answer with that row at once (the desktop's virtual keys of '1'..'5').
inline constexpr int kChoice1 = 0x31;
inline constexpr int kChoice5 = 0x35;
}  // namespace key

bool isActionKey(int keyCode);

// A key pressed: up and down move the highlight, the number keys answer with their row, the
// action keys confirm or move on (on the title, they start a game again).
void onKeyDown(Context& context, int keyCode);

// A tap lifted at (x, y) in logical pixels of the client area; on screens other than Answering
// it acts like the action key.
void onStylusUp(Context& context, int x, int y);

}  // namespace pp
