#include "quizdata/QuizFormat.h"

#include <algorithm>
#include <cstring>

#include "record/Cp932.h"

namespace pp {
namespace {

// The descrambled byte that the stored pad 0x20 turns into, never a character of its own.
constexpr unsigned char kDecodedPad = kStoredPad ^ kScrambleMask;

// The reader's rule for a byte that starts a two-byte character; wider than code page 932's
// own lead ranges (0x80 and 0xFD..0xFF count too), and the writer must follow the same rule.
constexpr bool isLeadByte(unsigned char decoded) {
    return (decoded >= 0x80 && decoded <= 0x9F) || decoded >= 0xE0;
}

unsigned char byteAt(std::string_view bytes, std::size_t i) { return static_cast<unsigned char>(bytes[i]); }

std::int16_t readInt16(std::span<const char, kRecordSize> record, std::size_t offset) {
    const auto low = static_cast<unsigned char>(record[offset]);
    const auto high = static_cast<unsigned char>(record[offset + 1]);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (high << 8)));
}

void writeInt16(Record& record, std::size_t offset, std::int16_t value) {
    const auto bits = static_cast<std::uint16_t>(value);
    record[offset] = static_cast<char>(bits & 0xFF);
    record[offset + 1] = static_cast<char>(bits >> 8);
}

std::string_view fieldOf(const Record& record, std::size_t offset, std::size_t size) {
    return {record.data() + offset, size};
}

}  // namespace

std::string descramble(std::string_view field) {
    std::string out(field.size(), '\0');
    bool atCharacterStart = true;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const unsigned char decoded = byteAt(field, i) ^ kScrambleMask;
        if (!atCharacterStart) {
            out[i] = static_cast<char>(decoded);  // a trail byte is taken as it is
            atCharacterStart = true;
            continue;
        }
        if (decoded == kDecodedPad) {
            continue;  // the pad ends the text; out[i] stays zero
        }
        atCharacterStart = !isLeadByte(decoded);
        out[i] = static_cast<char>(decoded);
    }
    return out;
}

std::string scrambledFieldText(std::string_view field) {
    std::string text(field.size(), '\0');
    text.resize(fieldText(field, text.data()));
    return text;
}

std::size_t fieldText(std::string_view field, char* out) {
    // As descramble, stopping at the first zero it would write, a character at a time.
    const std::size_t size = field.size();
    std::size_t i = 0;
    while (i < size) {
        const unsigned char decoded = byteAt(field, i) ^ kScrambleMask;
        if (decoded == 0 || decoded == kDecodedPad) {
            break;
        }
        out[i++] = static_cast<char>(decoded);
        if (isLeadByte(decoded) && i < size) {
            const unsigned char trail = byteAt(field, i) ^ kScrambleMask;
            if (trail == 0) {
                break;
            }
            out[i++] = static_cast<char>(trail);
        }
    }
    return i;
}

bool scramble(std::string_view text, std::span<char> field) {
    if (text.size() > field.size()) {
        return false;
    }
    bool atCharacterStart = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char byte = byteAt(text, i);
        if (byte == 0) {
            return false;  // the reader stops at the first zero byte
        }
        if (atCharacterStart) {
            if (byte == kDecodedPad) {
                return false;  // would be stored as the pad
            }
            atCharacterStart = !isLeadByte(byte);
        } else {
            atCharacterStart = true;
        }
        field[i] = static_cast<char>(byte ^ kScrambleMask);
    }
    if (!atCharacterStart) {
        return false;  // a lead byte without its trail would swallow the pad
    }
    std::fill(field.begin() + static_cast<std::ptrdiff_t>(text.size()), field.end(),
              static_cast<char>(kStoredPad));
    return true;
}

GenreHeader parseGenreHeader(std::span<const char, kRecordSize> record) {
    GenreHeader header;
    const std::string_view name(record.data(), kGenreNameBytes);
    header.name = std::string(name.substr(0, std::min(name.size(), name.find('\0'))));
    header.firstValue = readInt16(record, kHeaderFirstValueOffset);
    header.questionCount = readInt16(record, kHeaderCountOffset);
    header.thirdValue = readInt16(record, kHeaderThirdValueOffset);
    return header;
}

Record encodeGenreHeader(const GenreHeader& header) {
    Record record{};
    std::memcpy(record.data(), header.name.data(), std::min(header.name.size(), kGenreNameBytes));
    writeInt16(record, kHeaderFirstValueOffset, header.firstValue);
    writeInt16(record, kHeaderCountOffset, header.questionCount);
    writeInt16(record, kHeaderThirdValueOffset, header.thirdValue);
    return record;
}

GenreName decodeGenreName(const GenreHeader& header) { return GenreName(decodeCp932(header.name)); }

void decodeQuestionTexts(const Record& record, QuestionText& text, std::array<ChoiceText, kChoiceCount>& choices) {
    // Scratch space left uninitialised: each decode writes what it then reads.
    std::array<char, kRecordSize> bytes;      // NOLINT(cppcoreguidelines-pro-type-member-init)
    std::array<char16_t, kRecordSize> units;  // NOLINT(cppcoreguidelines-pro-type-member-init)
    const auto decode = [&](std::size_t offset, std::size_t size) {
        const std::size_t length = fieldText(fieldOf(record, offset, size), bytes.data());
        return std::u16string_view(units.data(), decodeCp932({bytes.data(), length}, units.data()));
    };
    text = decode(0, kQuestionTextBytes);
    for (int k = 0; k < kChoiceCount; ++k) {
        choices[static_cast<std::size_t>(k)] = decode(choiceOffset(k), kChoiceTextBytes);
    }
}

DecodedQuestion decodeQuestionRecord(const Record& record) {
    DecodedQuestion question;
    decodeQuestionTexts(record, question.text, question.choices);
    return question;
}

}  // namespace pp
