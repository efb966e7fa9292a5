#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pp::cp932gen {

// ICU's converter "windows-31j", Windows' own code page 932 with the NEC and IBM extensions:
// the reference that the committed tables are made from and tested against. Only the table
// generator and the tests link ICU; the game reads the tables.

// Decodes `bytes`, writing U+FFFD for every invalid or unmapped sequence.
std::u16string icuDecode(std::string_view bytes);

// The bytes of one character (one code unit, or a surrogate pair) on the strict path, without
// ICU's look-alike fallbacks; nothing when ICU has no form for it, maps it to nothing, maps it
// to a zero byte, or maps it to bytes that read back as another character.
std::optional<std::string> icuEncodeCharacter(std::u16string_view character);

}  // namespace pp::cp932gen
