#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pp {

// The most bytes a ranking name takes in the settings file: ten double-byte characters.
inline constexpr std::size_t kNameFieldBytes = 20;

// `name` with the characters the settings file uses as delimiters replaced, so that the name
// reads back as it was written: "," becomes the full-width "，", CR and LF become spaces.
std::u16string storableName(std::u16string_view name);

// The bytes of `name` in the settings file's name field: code page 932 ("?" for a character it
// lacks), delimiters replaced, and cut to the field's width without splitting a character.
std::string nameFieldBytes(std::u16string_view name);

// How many of the leading bytes of the code page 932 text `bytes` fit in `limit` bytes without
// cutting a double-byte character in two.
std::size_t cp932FittingLength(std::string_view bytes, std::size_t limit);

}  // namespace pp
