#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "record/GameState.h"

namespace pp {

// The byte layout of a quiz file: eight 256-byte genre headers, then the question records
// grouped by genre in genre order.
inline constexpr std::size_t kRecordSize = 256;
inline constexpr std::size_t kHeadersSize = kRecordSize * kGenreCount;

// Genre header fields. The two values around the count mean nothing to the game.
inline constexpr std::size_t kGenreNameBytes = 16;
inline constexpr std::size_t kHeaderFirstValueOffset = 16;
inline constexpr std::size_t kHeaderCountOffset = 18;
inline constexpr std::size_t kHeaderThirdValueOffset = 20;

// Question record fields: the scrambled question, then the five choices, right answer first.
inline constexpr std::size_t kQuestionTextBytes = 116;
inline constexpr std::size_t kChoiceTextBytes = 28;
inline constexpr std::size_t kFirstChoiceOffset = kQuestionTextBytes;
static_assert(kFirstChoiceOffset + kChoiceCount * kChoiceTextBytes == kRecordSize);

// A stored 0x20 at a character start ends a scrambled text; every other byte is XOR 0x80.
inline constexpr unsigned char kStoredPad = 0x20;
inline constexpr unsigned char kScrambleMask = 0x80;

using Record = std::array<char, kRecordSize>;

// Where question record `question` (0-based) starts in the file.
constexpr std::int64_t questionOffset(std::int64_t question) {
    return static_cast<std::int64_t>(kHeadersSize) + static_cast<std::int64_t>(kRecordSize) * question;
}

constexpr std::size_t choiceOffset(int storedChoice) {
    return kFirstChoiceOffset + static_cast<std::size_t>(storedChoice) * kChoiceTextBytes;
}

// Undoes the scrambling of one text field: returns the field's bytes, same length, with the
// terminating pad turned into zero bytes and every other byte XOR 0x80. A byte after a
// Shift-JIS lead byte is a trail byte and is never taken for the terminator.
std::string descramble(std::string_view field);

// The Shift-JIS text of a scrambled field: the descrambled bytes up to the first zero byte
// (a text that fills the field to its last byte ends with the field).
std::string scrambledFieldText(std::string_view field);

// Writes the same text to `out`, which holds at least field.size() bytes; returns its length.
std::size_t fieldText(std::string_view field, char* out);

// Scrambles Shift-JIS `text` into `field` and fills the rest with pad bytes. Returns false,
// leaving the field undefined, when the text is longer than the field or would not read back
// as the same bytes (a zero byte, or a byte the reader would take for a terminator or a lead).
bool scramble(std::string_view text, std::span<char> field);

// One genre header as stored.
struct GenreHeader {
    std::string name;  // Shift-JIS bytes up to the first NUL, at most 16
    std::int16_t questionCount = 0;
    std::int16_t firstValue = 0;
    std::int16_t thirdValue = 0;
};

GenreHeader parseGenreHeader(std::span<const char, kRecordSize> record);

// Writes `header` as a 256-byte record; a name longer than its field is cut to the field.
Record encodeGenreHeader(const GenreHeader& header);

// The genre name as the game shows it: code page 932 decoded into its 16-unit buffer.
GenreName decodeGenreName(const GenreHeader& header);

// A question record decoded the way the game shows it, stored choice 0 being the right answer.
struct DecodedQuestion {
    QuestionText text;
    std::array<ChoiceText, kChoiceCount> choices;
};

DecodedQuestion decodeQuestionRecord(const Record& record);

// The same texts decoded straight into the game record's buffers: a question load allocates
// nothing.
void decodeQuestionTexts(const Record& record, QuestionText& text, std::array<ChoiceText, kChoiceCount>& choices);

}  // namespace pp
