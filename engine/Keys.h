#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace pp {

// Key codes the game reacts to (the handheld's virtual-key codes).
namespace key {
inline constexpr int kReturn = 0x0D;
inline constexpr int kLeft = 0x25;  // the game ignores left and right, but scripts can show it
inline constexpr int kUp = 0x26;
inline constexpr int kRight = 0x27;
inline constexpr int kDown = 0x28;
inline constexpr int kAction = 0x86;
inline constexpr int kApp1 = 0xC1;
inline constexpr int kApp2 = 0xC2;
inline constexpr int kApp3 = 0xC3;
inline constexpr int kApp4 = 0xC4;
// The number keys 1 to 5 answer with that row at once (the desktop's virtual keys of '1'..'5').
inline constexpr int kChoice1 = 0x31;
inline constexpr int kChoice5 = 0x35;
}  // namespace key

// One named key. `name` is the browser's word for it (KeyboardEvent.key, or KeyboardEvent.code
// where the key's own value is no word: "Space", "NumpadEnter"); the handheld's own buttons,
// which no keyboard has, are named after them. `word` is the short name replay scripts have
// always used.
struct NamedKey {
    std::string_view name;
    std::string_view word;
    int code;
};

// Every key a frontend or a script can name. The window maps its toolkit's keys to these names,
// the page looks the browser's names up here, and replay scripts accept both columns; the first
// row of a code gives its name back.
inline constexpr std::array<NamedKey, 17> kNamedKeys{{
    {"ArrowUp", "up", key::kUp},
    {"ArrowDown", "down", key::kDown},
    {"ArrowLeft", "left", key::kLeft},
    {"ArrowRight", "right", key::kRight},
    {"Enter", "return", key::kReturn},
    {"NumpadEnter", "enter", key::kReturn},
    {"Space", "space", key::kReturn},  // Space and Enter act as the action key
    {"1", "1", key::kChoice1},
    {"2", "2", key::kChoice1 + 1},
    {"3", "3", key::kChoice1 + 2},
    {"4", "4", key::kChoice1 + 3},
    {"5", "5", key::kChoice5},
    {"Action", "action", key::kAction},
    {"App1", "app1", key::kApp1},
    {"App2", "app2", key::kApp2},
    {"App3", "app3", key::kApp3},
    {"App4", "app4", key::kApp4},
}};

// The code of a key by its name or its script word, letter case ignored; nothing for others.
std::optional<int> keyCodeNamed(std::string_view name);

// The name of a code's first row, or nothing for a code no row names.
std::optional<std::string_view> keyNameOf(int code);

}  // namespace pp
