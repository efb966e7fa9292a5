#include "engine/Keys.h"

#include <algorithm>

namespace pp {
namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

std::optional<int> keyCodeNamed(std::string_view name) {
    for (const NamedKey& key : kNamedKeys) {
        if (sameIgnoringCase(name, key.name) || sameIgnoringCase(name, key.word)) {
            return key.code;
        }
    }
    return std::nullopt;
}

std::optional<std::string_view> keyNameOf(int code) {
    for (const NamedKey& key : kNamedKeys) {
        if (key.code == code) {
            return key.name;
        }
    }
    return std::nullopt;
}

}  // namespace pp
