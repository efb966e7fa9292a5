#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pp {

// Code page 932 (Shift-JIS with the NEC and IBM extensions, as Windows has it) <-> UTF-16.

// Decodes `bytes`; an invalid or unmapped sequence becomes U+FFFD, never an error.
std::u16string decodeCp932(std::string_view bytes);

// The same into `out`, which holds at least bytes.size() units (never more characters than
// bytes); returns the units written. For callers that decode into fixed buffers.
std::size_t decodeCp932(std::string_view bytes, char16_t* out);

// Encodes `text`, or nothing when some character has no code page 932 form (including the
// invisible ones that a converter would silently drop or turn into a zero byte).
std::optional<std::string> encodeCp932(std::u16string_view text);

// Encodes `text`, writing "?" for each character that has no code page 932 form, as the
// platform's own conversion does.
std::string encodeCp932Lossy(std::u16string_view text);

}  // namespace pp
