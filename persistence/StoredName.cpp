#include "persistence/StoredName.h"

#include "record/Cp932.h"
#include "record/Utf16.h"

namespace pp {
namespace {

constexpr char16_t kFullWidthComma = u'\uFF0C';

// Lead bytes of a double-byte character in code page 932.
bool isLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace

bool keptInName(char16_t c) {
    if (isSurrogate(c) || c < 0x20 || c == 0x7F || c == u',') {
        return false;
    }
    return encodeCp932(std::u16string_view(&c, 1)).has_value();
}

std::u16string rankingName(std::u16string_view typed) {
    std::u16string kept;
    for (const char16_t c : storableName(typed)) {
        if (kept.size() < kNameChars && keptInName(c)) {
            kept += c;
        }
    }
    // A row must say whose it is: a blank name would look like an empty place.
    if (kept.find_first_not_of(u" \u3000") == std::u16string::npos) {
        return std::u16string(kNamelessName);
    }
    return kept;
}

std::u16string storableName(std::u16string_view name) {
    std::u16string stored(name);
    for (char16_t& unit : stored) {
        if (unit == u',') {
            unit = kFullWidthComma;
        } else if (unit == u'\r' || unit == u'\n') {
            unit = u' ';
        }
    }
    return stored;
}

std::string nameFieldBytes(std::u16string_view name) {
    std::string bytes = encodeCp932Lossy(storableName(name));
    bytes.resize(cp932FittingLength(bytes, kNameFieldBytes));
    return bytes;
}

std::size_t cp932FittingLength(std::string_view bytes, std::size_t limit) {
    std::size_t length = 0;
    while (length < bytes.size()) {
        const std::size_t characterBytes =
            isLeadByte(static_cast<unsigned char>(bytes[length])) ? 2 : 1;
        if (length + characterBytes > limit || length + characterBytes > bytes.size()) {
            break;
        }
        length += characterBytes;
    }
    return length;
}

}  // namespace pp
