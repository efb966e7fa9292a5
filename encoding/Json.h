#pragma once

#include <string>
#include <string_view>

namespace pp {

// `text` as a JSON string literal in UTF-8, quotes included; a lone surrogate becomes U+FFFD.
std::string jsonString(std::u16string_view text);

}  // namespace pp
