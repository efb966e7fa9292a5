#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "persistence/SettingsFile.h"

namespace pp::soak {

// Version `number` of writer `tag`'s settings: every ranking row and the options carry the
// number, so that a file mixing two versions, or cut short, matches none.
inline GameState settingsVersion(char tag, long number) {
    GameState state;
    state.options = Options{static_cast<std::int16_t>(number & 1), static_cast<std::int16_t>((number >> 1) & 1),
                            static_cast<std::int16_t>((number >> 2) & 1), static_cast<std::int16_t>((number >> 3) & 1),
                            static_cast<std::int16_t>((number >> 4) & 1)};
    for (int row = 0; row < kRankingRows; ++row) {
        const std::string name = tag + std::to_string(number % 1000000) + static_cast<char>('a' + row);
        state.ranking[static_cast<std::size_t>(row)].name = std::u16string(name.begin(), name.end());
        state.ranking[static_cast<std::size_t>(row)].score = static_cast<std::int16_t>((number * 7 + row) % 32000);
    }
    return state;
}

struct Version {
    char tag = 0;
    long number = 0;
};

// The version whose exact bytes `file` holds, or nothing.
inline std::optional<Version> versionIn(std::string_view file) {
    GameState state;
    decodeSettings(file, state);
    const std::u16string_view first = state.ranking[0].name.view();
    if (first.size() < 3 || first.back() != u'a') {
        return std::nullopt;
    }
    Version version{static_cast<char>(first.front()), 0};
    for (const char16_t digit : first.substr(1, first.size() - 2)) {
        if (digit < u'0' || digit > u'9') {
            return std::nullopt;
        }
        version.number = version.number * 10 + (digit - u'0');
    }
    if (encodeSettings(settingsVersion(version.tag, version.number)) != file) {
        return std::nullopt;
    }
    return version;
}

}  // namespace pp::soak
