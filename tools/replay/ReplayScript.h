#pragma once

#include <cstdint>
#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace pp::replay {

// One line of a replay script, already checked.
struct Event {
    enum class Kind { Open, Tick, Tap, Key, Answer, Settings, Name, Command, Date };

    Kind kind = Kind::Tick;
    int line = 0;  // where it stands in the script, for error messages

    std::filesystem::path path;  // Open: made absolute against the script's folder
    std::uint32_t ticks = 0;     // Tick
    unsigned x = 0;              // Tap
    unsigned y = 0;              // Tap
    int keyCode = 0;             // Key: the handheld's key code
    bool right = false;          // Answer
    std::u16string name;         // Name
    int commandId = 0;           // Command
    std::int32_t day = 0;        // Date: days since 1970-01-01

    // Settings: the options the line names; the others keep their current values.
    std::optional<std::int16_t> sound;
    std::optional<std::int16_t> correct;
    std::optional<std::int16_t> limit;
    std::optional<std::int16_t> reveal;
    std::optional<std::int16_t> study;
};

struct ScriptError {
    int line = 0;
    std::string message;
};

// Reads a whole script, one event a line; blank lines and lines whose first non-blank
// character is '#' are skipped. Relative paths of `open` are taken from `scriptFolder`.
// The first bad line stops the reading.
std::variant<std::vector<Event>, ScriptError> parseScript(std::istream& in, const std::filesystem::path& scriptFolder);

// Reads one line; nothing for a blank line or a comment.
std::variant<std::monostate, Event, ScriptError> parseLine(std::string_view text, int line,
                                                           const std::filesystem::path& scriptFolder);

// The key code for a name (up, down, return, enter, space, action, app1..app4, left, right, the
// number keys 1..5) or a hexadecimal code with or without 0x; nothing for anything else.
std::optional<int> keyCodeFor(std::string_view word);

}  // namespace pp::replay
