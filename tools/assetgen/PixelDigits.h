#pragma once

#include "tools/assetgen/Mask.h"

namespace pp::assetgen {

// Hand-drawn digits with two-pixel stems, which stay legible at the tiny sizes of the buttons.
inline constexpr int kLargeDigitWidth = 7;   // choice buttons
inline constexpr int kLargeDigitHeight = 11;
inline constexpr int kSmallDigitWidth = 5;   // place numbers, where "10" needs two side by side
inline constexpr int kSmallDigitHeight = 9;

void stampLargeDigit(Mask& mask, int digit, int x, int y);
void stampSmallDigit(Mask& mask, int digit, int x, int y);

}  // namespace pp::assetgen
