#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pp {

// Decodes UTF-8 strictly (no overlong forms, surrogates or values past U+10FFFF); on a bad
// sequence returns nothing and sets `badOffset` to its first byte.
std::optional<std::u16string> utf16FromUtf8(std::string_view bytes, std::size_t* badOffset = nullptr);

// Whether `bytes` is well-formed UTF-8, by the same rules, without decoding it.
bool isValidUtf8(std::string_view bytes);

// Appends code point `c` to `out` in UTF-8.
void appendUtf8(std::string& out, char32_t c);

// Encodes UTF-16 as UTF-8; a lone surrogate becomes U+FFFD.
std::string utf8FromUtf16(std::u16string_view text);

}  // namespace pp
