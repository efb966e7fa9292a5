#include "tools/replay/ReplayScript.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <locale>
#include <sstream>
#include <string_view>

#include "engine/Calendar.h"
#include "engine/Commands.h"
#include "engine/Keys.h"
#include "encoding/Utf8.h"

namespace pp::replay {
namespace {

// Tap coordinates travel as the two 16-bit halves of one message parameter.
constexpr unsigned kLargestCoordinate = 0xFFFF;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

// The first word of `text`, which is left holding the rest.
std::string_view takeWord(std::string_view& text) {
    text = trim(text);
    std::size_t end = 0;
    while (end < text.size() && !isBlank(text[end])) ++end;
    const std::string_view word = text.substr(0, end);
    text = trim(text.substr(end));
    return word;
}

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> found;
    for (std::string_view word = takeWord(text); !word.empty(); word = takeWord(text)) {
        found.push_back(word);
    }
    return found;
}

template <typename Number>
std::optional<Number> parseNumber(std::string_view word, int base = 10) {
    Number value{};
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value, base);
    if (error != std::errc() || end != word.data() + word.size() || word.empty()) {
        return std::nullopt;
    }
    return value;
}

using LineResult = std::variant<std::monostate, Event, ScriptError>;

LineResult parseOpen(Event event, std::string_view rest, const std::filesystem::path& scriptFolder) {
    if (rest.empty()) {
        return ScriptError{event.line, std::string(event.kind == Event::Kind::Quiz   ? "quiz"
                                                   : event.kind == Event::Kind::Kept ? "kept"
                                                                                     : "open") +
                                           " needs the path of a quiz file"};
    }
    const std::filesystem::path path(std::string{rest});
    event.path = path.is_absolute() ? path : scriptFolder / path;
    return event;
}

LineResult parseTick(Event event, const std::vector<std::string_view>& args) {
    const auto ticks = args.size() == 1 ? parseNumber<std::uint32_t>(args[0]) : std::nullopt;
    if (!ticks) {
        return ScriptError{event.line, "tick needs one count of ticks, e.g. 'tick 25'"};
    }
    event.ticks = *ticks;
    return event;
}

LineResult parseTap(Event event, const std::vector<std::string_view>& args) {
    const auto x = args.size() == 2 ? parseNumber<unsigned>(args[0]) : std::nullopt;
    const auto y = args.size() == 2 ? parseNumber<unsigned>(args[1]) : std::nullopt;
    if (!x || !y || *x > kLargestCoordinate || *y > kLargestCoordinate) {
        return ScriptError{event.line, "tap needs two coordinates from 0 to 65535, e.g. 'tap 120 80'"};
    }
    event.x = *x;
    event.y = *y;
    return event;
}

LineResult parseKey(Event event, const std::vector<std::string_view>& args) {
    const auto code = args.size() == 1 ? keyCodeFor(args[0]) : std::nullopt;
    if (!code) {
        return ScriptError{event.line,
                           "key needs a key name (ArrowUp, Enter, up, return, space, app1, 1..5, ...) or a hexadecimal key code"};
    }
    event.keyCode = *code;
    return event;
}

LineResult parseAnswer(Event event, const std::vector<std::string_view>& args) {
    if (args.size() != 1 || (args[0] != "right" && args[0] != "wrong")) {
        return ScriptError{event.line, "answer needs 'right' or 'wrong'"};
    }
    event.right = args[0] == "right";
    return event;
}

LineResult parseSettings(Event event, const std::vector<std::string_view>& args) {
    const std::array<std::pair<std::string_view, std::optional<std::int16_t> Event::*>, 6> options{{
        {"sound", &Event::sound},
        {"correct", &Event::correct},
        {"limit", &Event::limit},
        {"reveal", &Event::reveal},
        {"study", &Event::study},
        {"norepeat", &Event::noRepeats},
    }};
    for (std::string_view arg : args) {
        const std::size_t equals = arg.find('=');
        const std::string_view name = arg.substr(0, equals);
        const std::string_view value = equals == std::string_view::npos ? "" : arg.substr(equals + 1);
        bool known = false;
        for (const auto& [optionName, member] : options) {
            if (name == optionName && (value == "0" || value == "1")) {
                event.*member = static_cast<std::int16_t>(value == "1");
                known = true;
            }
        }
        if (!known) {
            return ScriptError{event.line, std::string(event.kind == Event::Kind::Options ? "options" : "settings") +
                                               " takes sound=, correct=, limit=, reveal=, study=, norepeat= with 0 or 1;"
                                               " not '" + std::string(arg) + "'"};
        }
    }
    return event;
}

LineResult parseName(Event event, std::string_view rest) {
    const std::optional<std::u16string> name = utf16FromUtf8(rest);
    if (!name) {
        return ScriptError{event.line, "name is not valid UTF-8"};
    }
    event.name = *name;
    return event;
}

LineResult parseSeed(Event event, const std::vector<std::string_view>& args) {
    const auto seed = args.size() == 1 ? parseNumber<std::uint32_t>(args[0]) : std::nullopt;
    if (!seed) {
        return ScriptError{event.line, "seed needs one number from 0 to 4294967295"};
    }
    event.seed = *seed;
    return event;
}

// A ranking row: the score, then the name to the end of the line (none for an empty row).
LineResult parseRank(Event event, std::string_view rest) {
    const std::string_view scoreWord = takeWord(rest);
    const auto score = parseNumber<std::int16_t>(scoreWord);
    const std::optional<std::u16string> name = utf16FromUtf8(rest);
    if (!score || *score < 0 || !name) {
        return ScriptError{event.line, std::string(event.kind == Event::Kind::FileRank ? "filerank" : "rank") + " needs a score from 0 to 32767 and a name in UTF-8, e.g. 'rank 5760 山田'"};
    }
    event.score = *score;
    event.name = *name;
    return event;
}

LineResult parseCommand(Event event, const std::vector<std::string_view>& args) {
    const auto id = args.size() == 1 ? parseNumber<int>(args[0]) : std::nullopt;
    if (!id) {
        return ScriptError{event.line, "command needs one menu command id, e.g. 'command 40013'"};
    }
    if (*id == command::kOpen) {
        return ScriptError{event.line, "command 40007 opens the file dialog; write 'open PATH' instead"};
    }
    if (*id == command::kSettings) {
        return ScriptError{event.line, "command 40012 opens the settings dialog; write 'settings sound=1 ...' instead"};
    }
    event.commandId = *id;
    return event;
}

// A day as YYYY-MM-DD; nothing for anything else. Checked by the way back, so that 2025-02-30 is
// refused rather than taken as March 2nd.
std::optional<std::int32_t> parseDay(std::string_view text) {
    const bool shaped = text.size() == 10 && text[4] == '-' && text[7] == '-';
    const auto year = shaped ? parseNumber<int>(text.substr(0, 4)) : std::nullopt;
    const auto month = shaped ? parseNumber<unsigned>(text.substr(5, 2)) : std::nullopt;
    const auto day = shaped ? parseNumber<unsigned>(text.substr(8, 2)) : std::nullopt;
    if (!year || !month || !day || *month < 1 || *month > 12 || *day < 1 ||
        civilFromDay(dayFromCivil(*year, *month, *day)) != text) {
        return std::nullopt;
    }
    return dayFromCivil(*year, *month, *day);
}

// A decimal number as the recorder writes it, whatever the program's locale.
std::optional<double> parseDecimal(std::string_view word) {
    std::istringstream in{std::string(word)};
    in.imbue(std::locale::classic());
    double value = 0;
    if (word.empty() || !(in >> value) || !in.eof() || !(value >= 0 && value < 1e9)) {
        return std::nullopt;
    }
    return value;
}

LineResult parseMissed(Event event, const std::vector<std::string_view>& args) {
    // Comma-separated, as the recorder writes them, or one word each.
    for (std::string_view arg : args) {
        while (!arg.empty()) {
            const std::size_t comma = arg.find(',');
            const auto number = parseNumber<std::int32_t>(arg.substr(0, comma));
            if (!number || *number < 0) {
                return ScriptError{event.line, "missed needs question numbers from 0 up, e.g. 'missed 2,5,17'"};
            }
            event.questions.push_back(*number);
            arg = comma == std::string_view::npos ? std::string_view() : arg.substr(comma + 1);
        }
    }
    if (event.questions.empty()) {
        return ScriptError{event.line, "missed needs question numbers from 0 up, e.g. 'missed 2,5,17'"};
    }
    return event;
}

LineResult parseCard(Event event, const std::vector<std::string_view>& args) {
    const ScriptError error{event.line, "card needs QUESTION STABILITY DIFFICULTY LAST-DAY DUE-DAY REPS LAPSES,"
                                        " e.g. 'card 4 2.5 5 2026-04-01 2026-04-03 1 0'"};
    if (args.size() != 7) {
        return error;
    }
    const auto question = parseNumber<std::int32_t>(args[0]);
    const auto stability = parseDecimal(args[1]);
    const auto difficulty = parseDecimal(args[2]);
    const auto last = parseDay(args[3]);
    const auto due = parseDay(args[4]);
    const auto reps = parseNumber<std::int32_t>(args[5]);
    const auto lapses = parseNumber<std::int32_t>(args[6]);
    if (!question || !stability || !difficulty || !last || !due || !reps || !lapses) {
        return error;
    }
    if (*question < 0 || *reps < 0 || *lapses < 0) {
        return error;
    }
    event.card = ReviewCard{*question, *stability, *difficulty, *last, *due, *reps, *lapses};
    return event;
}

LineResult parseYesNo(Event event, const std::vector<std::string_view>& args, std::string_view verb) {
    if (args.size() != 1 || (args[0] != "yes" && args[0] != "no")) {
        return ScriptError{event.line, std::string(verb) + " needs 'yes' or 'no'"};
    }
    event.yes = args[0] == "yes";
    return event;
}

LineResult parseDate(Event event, const std::vector<std::string_view>& args) {
    const std::string_view text = args.size() == 1 ? args[0] : std::string_view();
    const std::optional<std::int32_t> day = parseDay(text);
    if (!day) {
        return ScriptError{event.line, "date needs one day as YYYY-MM-DD, e.g. 'date 2026-04-01'"};
    }
    event.day = *day;
    return event;
}

}  // namespace

std::optional<int> keyCodeFor(std::string_view word) {
    // The digits 1 to 5 are the number keys; a code below 6 is written with its 0x prefix.
    if (const std::optional<int> named = keyCodeNamed(word)) {
        return named;
    }
    if (word.starts_with("0x") || word.starts_with("0X")) {
        word.remove_prefix(2);
    }
    if (word.size() > 4) {
        return std::nullopt;
    }
    const auto code = parseNumber<unsigned>(word, 16);
    return code ? std::optional<int>(static_cast<int>(*code)) : std::nullopt;
}

bool setsUp(Event::Kind kind) {
    using Kind = Event::Kind;
    switch (kind) {
        case Kind::Seed:
        case Kind::Quiz:
        case Kind::Rank:
        case Kind::Records:
        case Kind::Options:
        case Kind::Kept:
        case Kind::Missed:
        case Kind::FileRank:
        case Kind::Card:
        case Kind::Resumable:
            return true;
        default:
            return false;
    }
}

LineResult parseLine(std::string_view text, int line, const std::filesystem::path& scriptFolder) {
    std::string_view rest = trim(text);
    if (rest.empty() || rest.front() == '#') {
        return std::monostate{};
    }
    const std::string_view verb = takeWord(rest);
    const std::vector<std::string_view> args = words(rest);
    using Kind = Event::Kind;
    static constexpr std::array<std::pair<std::string_view, Kind>, 21> kVerbs{{
        {"open", Kind::Open}, {"tick", Kind::Tick}, {"tap", Kind::Tap}, {"key", Kind::Key},
        {"answer", Kind::Answer}, {"settings", Kind::Settings}, {"name", Kind::Name}, {"command", Kind::Command},
        {"seed", Kind::Seed}, {"quiz", Kind::Quiz}, {"rank", Kind::Rank}, {"options", Kind::Options}, {"records", Kind::Records},
        {"date", Kind::Date}, {"kept", Kind::Kept}, {"missed", Kind::Missed}, {"filerank", Kind::FileRank},
        {"card", Kind::Card}, {"resumable", Kind::Resumable}, {"leave", Kind::Leave}, {"resume", Kind::Resume},
    }};
    const auto found = std::find_if(kVerbs.begin(), kVerbs.end(), [&](const auto& entry) { return entry.first == verb; });
    if (found == kVerbs.end()) {
        return ScriptError{line, "unknown event '" + std::string(verb) +
                                     "'; expected open, tick, tap, key, answer, settings, name, command, leave, resume, date, seed, quiz,"
                                     " rank, options, records, kept, missed, filerank, card or resumable"};
    }
    Event event;
    event.line = line;
    event.kind = found->second;
    switch (event.kind) {
        case Kind::Open: return parseOpen(event, rest, scriptFolder);
        case Kind::Tick: return parseTick(event, args);
        case Kind::Tap: return parseTap(event, args);
        case Kind::Key: return parseKey(event, args);
        case Kind::Answer: return parseAnswer(event, args);
        case Kind::Settings: return parseSettings(event, args);
        case Kind::Name: return parseName(event, rest);
        case Kind::Command: return parseCommand(event, args);
        case Kind::Seed: return parseSeed(event, args);
        case Kind::Quiz: return parseOpen(event, rest, scriptFolder);
        case Kind::Rank: return parseRank(event, rest);
        case Kind::Options: return parseSettings(event, args);
        case Kind::Records:
            if (!args.empty()) {
                return ScriptError{event.line, "records takes nothing after it"};
            }
            return event;
        case Kind::Date: return parseDate(event, args);
        case Kind::Kept: return parseOpen(event, rest, scriptFolder);
        case Kind::Missed: return parseMissed(event, args);
        case Kind::FileRank: return parseRank(event, rest);
        case Kind::Card: return parseCard(event, args);
        case Kind::Resumable:
            if (rest.empty()) {
                return ScriptError{event.line, "resumable needs the kept run as JSON"};
            }
            event.json = std::string(rest);
            event.path = scriptFolder;  // a relative quiz path in it is taken from there
            return event;
        case Kind::Leave: return parseYesNo(event, args, "leave");
        case Kind::Resume: return parseYesNo(event, args, "resume");
    }
    return std::monostate{};
}

std::variant<std::vector<Event>, ScriptError> parseScript(std::istream& in, const std::filesystem::path& scriptFolder) {
    std::vector<Event> events;
    std::string text;
    // Counted wide, so that a script of more lines than an event can name stops with an error
    // instead of overflowing the count.
    constexpr std::int64_t kMostLines = std::numeric_limits<int>::max();
    for (std::int64_t count = 1; std::getline(in, text); ++count) {
        if (count > kMostLines) {
            return ScriptError{static_cast<int>(kMostLines),
                               "the script is longer than " + std::to_string(kMostLines) + " lines"};
        }
        const int line = static_cast<int>(count);
        LineResult result = parseLine(text, line, scriptFolder);
        if (auto* error = std::get_if<ScriptError>(&result)) {
            return *error;
        }
        if (auto* event = std::get_if<Event>(&result)) {
            if (setsUp(event->kind) && !events.empty() && !setsUp(events.back().kind)) {
                return ScriptError{line, "seed, quiz, rank, options, records, kept, missed, filerank, card and resumable"
                                         " lines go before every other line"};
            }
            events.push_back(std::move(*event));
        }
    }
    return events;
}

}  // namespace pp::replay
