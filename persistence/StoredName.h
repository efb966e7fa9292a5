#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pp {

// The most bytes a ranking name takes in the settings file: ten double-byte characters.
inline constexpr std::size_t kNameFieldBytes = 20;

// The most characters a ranking name has.
inline constexpr std::size_t kNameChars = 10;

// True for a character a ranking name keeps: one of code page 932 that is neither a control
// character nor the settings file's field separator, so the file keeps it as it is.
bool keptInName(char16_t c);

// The name a row gets when the player typed none.
inline constexpr std::u16string_view kNamelessName = u"ななし";

// What the ranking keeps of a typed name: with the file's delimiters replaced (storableName),
// the characters keptInName allows, the first ten; kNamelessName when nothing but spaces is left. The game stores every name through this,
// whichever dialog or script gave it, so what the ranking shows is what the settings file keeps.
std::u16string rankingName(std::u16string_view typed);

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
