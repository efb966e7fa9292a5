#pragma once

#include <cstdint>
#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "persistence/History.h"

namespace pp::replay {

// One line of a replay script, already checked.
struct Event {
    // Seed, Quiz, Rank, Options, Records and the kept state of quiz files (Kept and the Missed,
    // FileRank and Card lines under it, Resumable) set up the game before it starts: they come
    // before every other line (a recorded game begins with them).
    enum class Kind {
        Open, Tick, Tap, Key, Answer, Settings, Name, Command, Seed, Quiz, Rank, Options, Records, Date,
        Kept, Missed, FileRank, Card, Resumable, Leave, Resume
    };

    Kind kind = Kind::Tick;
    int line = 0;  // where it stands in the script, for error messages

    std::filesystem::path path;  // Open, Quiz, Kept: made absolute against the script's folder;
                                 // Resumable: the script's folder
    std::uint32_t ticks = 0;     // Tick
    unsigned x = 0;              // Tap
    unsigned y = 0;              // Tap
    int keyCode = 0;             // Key: the handheld's key code
    bool right = false;          // Answer
    std::u16string name;         // Name, Rank, FileRank
    int commandId = 0;           // Command
    std::uint32_t seed = 0;      // Seed
    std::int16_t score = 0;      // Rank, FileRank
    bool yes = false;            // Leave, Resume: the answer to the question
    std::vector<std::int32_t> questions;  // Missed: by their numbers in the quiz file
    ReviewCard card;                      // Card
    std::string json;                     // Resumable: the kept run as the records file holds it
    std::int32_t day = 0;        // Date: days since 1970-01-01

    // Settings and Options: the options the line names; the others keep their current values.
    std::optional<std::int16_t> sound;
    std::optional<std::int16_t> correct;
    std::optional<std::int16_t> limit;
    std::optional<std::int16_t> reveal;
    std::optional<std::int16_t> study;
    std::optional<std::int16_t> noRepeats;  // the desktop's "同じ問題を出さない"
};

struct ScriptError {
    int line = 0;
    std::string message;
};

// Reads a whole script, one event a line; blank lines and lines whose first non-blank
// character is '#' are skipped. Relative paths of `open` are taken from `scriptFolder`.
// The first bad line stops the reading.
std::variant<std::vector<Event>, ScriptError> parseScript(std::istream& in, const std::filesystem::path& scriptFolder);

// True for the lines that set the game up before it starts.
bool setsUp(Event::Kind kind);

// Reads one line; nothing for a blank line or a comment.
std::variant<std::monostate, Event, ScriptError> parseLine(std::string_view text, int line,
                                                           const std::filesystem::path& scriptFolder);

// The key code for a name of engine/Keys.h (the browser's ArrowUp, Enter, Space, ... or the short
// up, return, space, ..., the number keys 1..5) or a hexadecimal code with or without 0x;
// nothing for anything else.
std::optional<int> keyCodeFor(std::string_view word);

}  // namespace pp::replay
