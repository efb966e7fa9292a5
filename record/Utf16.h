#pragma once

#include <cstddef>
#include <string_view>

namespace pp {

// Surrogate pairs, in one place: every text of the game is UTF-16, and a pair is one character
// that no line, cut or conversion may split.

constexpr bool isHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool isLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
constexpr bool isSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// Whether the character at `i` is a whole surrogate pair.
constexpr bool isPairAt(std::u16string_view text, std::size_t i) {
    return i + 1 < text.size() && isHighSurrogate(text[i]) && isLowSurrogate(text[i + 1]);
}

// The units of the character at `i`: two for a pair, else one (a lone surrogate is its own).
constexpr std::size_t characterUnits(std::u16string_view text, std::size_t i) { return isPairAt(text, i) ? 2 : 1; }

// The code point of the character at `i`; a lone surrogate is returned as it is.
constexpr char32_t codePointAt(std::u16string_view text, std::size_t i) {
    if (isPairAt(text, i)) {
        return 0x10000 + ((static_cast<char32_t>(text[i]) - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
    }
    return text[i];
}

// Writes `c` to `out` as one unit or a pair; returns the units written.
constexpr std::size_t putCodePoint(char32_t c, char16_t* out) {
    if (c < 0x10000) {
        out[0] = static_cast<char16_t>(c);
        return 1;
    }
    out[0] = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    out[1] = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    return 2;
}

}  // namespace pp
