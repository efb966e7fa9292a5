#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "screens/LineBreaker.h"
#include "screens/Surface.h"

namespace pp {

// Every line of text is exactly this many logical pixels high, on every surface.
inline constexpr int kTextLineHeight = 12;

// One line of a laid-out text and where it stands, relative to the top-left corner of the
// text's rectangle.
struct PlacedLine {
    std::size_t start = 0;   // the first unit of the line in the text
    std::size_t length = 0;  // units, without its line break or the spaces it was broken at
    int left = 0;
    int top = 0;
    int width = 0;       // the line's own width
    int drawnWidth = 0;  // the width it is drawn at: the rectangle's when a condensing format squeezes it
    friend bool operator==(const PlacedLine&, const PlacedLine&) = default;
};

// Lays `text` out in a rectangle of `width` x `height` as every surface draws it with `format`:
// the lines breakLines makes, one below the other from the top, each aligned as the format
// says. Lines that would start below the rectangle are left out. `measure` gives the width of
// one character.
std::vector<PlacedLine> layoutText(std::u16string_view text, int width, int height, TextFormat format,
                                   const MeasureText& measure);

// The width of `text` on one line: its characters' widths added up.
int lineWidth(std::u16string_view text, const MeasureText& measure);

// A condensing format squeezes a line at most to this share of its width (in per cent); further,
// 12-pixel glyphs run into each other and cannot be read.
inline constexpr int kMostSqueezePercent = 80;

// What a surface draws of `text` in a box `width` wide with `format`: the text itself, except
// that under a condensing format each line too wide to be squeezed readably into the box is cut
// after its last whole character that still fits the squeeze, and ends with "…".
std::u16string fitCondensed(std::u16string_view text, int width, TextFormat format, const MeasureText& measure);

}  // namespace pp
