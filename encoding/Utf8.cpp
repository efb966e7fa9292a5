#include "encoding/Utf8.h"

#include "record/Utf16.h"

namespace pp {
namespace {

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes the sequence at `i`; returns its length, 0 when it is not well-formed.
std::size_t decodeOne(std::string_view bytes, std::size_t i, char32_t& out) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    // Three bytes, most of a Japanese text, take the short way.
    if ((lead & 0xF0) == 0xE0 && i + 2 < bytes.size()) {
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        const auto third = static_cast<unsigned char>(bytes[i + 2]);
        const char32_t value = (char32_t{lead} & 0x0F) << 12 | (char32_t{second} & 0x3F) << 6 | (third & 0x3F);
        if (isContinuation(second) && isContinuation(third) && value >= 0x800 && !isSurrogate(value)) {
            out = value;
            return 3;
        }
        return 0;
    }
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        out = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto byte = static_cast<unsigned char>(bytes[i + k]);
        if (!isContinuation(byte)) {
            return 0;
        }
        value = (value << 6) | (byte & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || isSurrogate(value)) {
        return 0;
    }
    out = value;
    return length;
}


}  // namespace

bool isValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        char32_t c = 0;
        const std::size_t length = decodeOne(bytes, i, c);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
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

std::optional<std::u16string> utf16FromUtf8(std::string_view bytes, std::size_t* badOffset) {
    std::u16string text(bytes.size(), u'\0');  // never more units than bytes
    std::size_t length = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            text[length++] = byte;
            ++i;
            continue;
        }
        char32_t c = 0;
        const std::size_t sequence = decodeOne(bytes, i, c);
        if (sequence == 0) {
            if (badOffset != nullptr) {
                *badOffset = i;
            }
            return std::nullopt;
        }
        length += putCodePoint(c, text.data() + length);
        i += sequence;
    }
    text.resize(length);
    return text;
}

std::string utf8FromUtf16(std::u16string_view text) {
    std::string out(text.size() * 3, '\0');  // a unit takes at most three bytes, a pair four
    std::size_t length = 0;
    const auto put = [&](unsigned value) { out[length++] = static_cast<char>(value); };
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = codePointAt(text, i);
        if (c >= 0x10000) {
            ++i;
        } else if (isSurrogate(c)) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            put(c);
        } else if (c < 0x800) {
            put(0xC0 | (c >> 6));
            put(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            put(0xE0 | (c >> 12));
            put(0x80 | ((c >> 6) & 0x3F));
            put(0x80 | (c & 0x3F));
        } else {
            put(0xF0 | (c >> 18));
            put(0x80 | ((c >> 12) & 0x3F));
            put(0x80 | ((c >> 6) & 0x3F));
            put(0x80 | (c & 0x3F));
        }
    }
    out.resize(length);
    return out;
}

}  // namespace pp
