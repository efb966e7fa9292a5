#include "party/Text.h"

#include "record/Utf16.h"

namespace pp::party {
namespace {

// The length of the sequence a lead byte starts and the smallest code point it may carry.
struct Lead {
    int length = 0;
    char32_t smallest = 0;
    char32_t bits = 0;
};

std::optional<Lead> leadOf(unsigned char byte) {
    if (byte < 0x80) {
        return Lead{1, 0, byte};
    }
    if ((byte & 0xE0) == 0xC0) {
        return Lead{2, 0x80, static_cast<char32_t>(byte & 0x1F)};
    }
    if ((byte & 0xF0) == 0xE0) {
        return Lead{3, 0x800, static_cast<char32_t>(byte & 0x0F)};
    }
    if ((byte & 0xF8) == 0xF0) {
        return Lead{4, 0x10000, static_cast<char32_t>(byte & 0x07)};
    }
    return std::nullopt;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::optional<std::u16string> utf16FromUtf8(std::string_view bytes) {
    std::u16string text;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::optional<Lead> lead = leadOf(static_cast<unsigned char>(bytes[i]));
        if (!lead || i + static_cast<std::size_t>(lead->length) > bytes.size()) {
            return std::nullopt;
        }
        char32_t c = lead->bits;
        for (int k = 1; k < lead->length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            c = (c << 6) | (next & 0x3F);
        }
        if (c < lead->smallest || c > 0x10FFFF || isSurrogate(c)) {
            return std::nullopt;
        }
        char16_t units[2];
        text.append(units, putCodePoint(c, units));
        i += static_cast<std::size_t>(lead->length);
    }
    return text;
}

std::string utf8FromUtf16(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += characterUnits(text, i)) {
        const char32_t c = codePointAt(text, i);
        // A lone surrogate has no UTF-8 form; the replacement character keeps the text valid.
        appendUtf8(out, isSurrogate(c) ? U'\uFFFD' : c);
    }
    return out;
}

}  // namespace pp::party
