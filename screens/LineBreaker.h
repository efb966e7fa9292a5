#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

namespace pp {

// One laid-out line: a run of the text, without its line break or the spaces it was broken at.
struct TextLine {
    std::size_t start = 0;
    std::size_t length = 0;
    friend bool operator==(const TextLine&, const TextLine&) = default;
};

// The width of a run of text in pixels, as the surface would draw it. The layout measures one
// character at a time and adds the widths up, so the font must not kern.
using MeasureText = std::function<int(std::u16string_view)>;

// Lays `text` out in lines. Every "\n", "\r\n" or "\r" starts a new line. With `wrap`, lines
// are also broken to fit `width`: between Japanese characters and after spaces, never inside a
// Latin word unless the word alone is wider than the line, never before closing punctuation or
// after an opening bracket. A wrapped line never starts with the spaces it was broken at.
// Every line holds at least one character, so a tiny width cannot stall the layout.
std::vector<TextLine> breakLines(std::u16string_view text, int width, bool wrap,
                                 const MeasureText& measure);

// True when a wrapped line may end between `before` and `after`.
bool mayBreakBetween(char16_t before, char16_t after);

// The index after the character that starts at `i`: a surrogate pair is one character.
std::size_t characterEnd(std::u16string_view text, std::size_t i);

}  // namespace pp
