#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pp::party {

// UTF-8, the text of every message, to and from the game's UTF-16. A malformed sequence, an
// overlong form or a lone surrogate gives nothing: a player's name is either whole or refused.
std::optional<std::u16string> utf16FromUtf8(std::string_view bytes);
std::string utf8FromUtf16(std::u16string_view text);

}  // namespace pp::party
