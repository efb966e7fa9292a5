#include "record/Cp932.h"

#include "record/Cp932Tables.h"
#include "record/Utf16.h"

namespace pp {
namespace {

using namespace cp932;

// The table entry of one BMP character: its byte, its two bytes, or 0 when it has no form.
std::uint16_t encodedEntry(char16_t unit) {
    const std::uint16_t block = kEncodeBlockOf[unit >> kEncodeBlockBits];
    return kEncodeBlocks[block][unit & (kEncodeBlockSize - 1)];
}

// Encodes `text` a character at a time; `unmapped` is written for a character without a
// form, or the whole text fails when it is null. A surrogate pair is one character, and
// code page 932 has no character beyond the BMP.
std::optional<std::string> encodeEach(std::u16string_view text, const char* unmapped) {
    std::string out;
    out.reserve(text.size() * 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool pair = isPairAt(text, i);
        const std::uint16_t entry = pair ? 0 : encodedEntry(text[i]);
        if (pair) {
            ++i;
        }
        if (entry == 0) {
            if (unmapped == nullptr) {
                return std::nullopt;
            }
            out += unmapped;
        } else if (entry > 0xFF) {
            out += static_cast<char>(entry >> 8);
            out += static_cast<char>(entry & 0xFF);
        } else {
            out += static_cast<char>(entry);
        }
    }
    return out;
}

}  // namespace

std::size_t decodeCp932(std::string_view bytes, char16_t* out) {
    std::size_t length = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        const std::uint8_t row = kLeadRows[byte];
        if (row != 0 && i + 1 < bytes.size()) {
            const std::uint8_t column = kTrailColumns[static_cast<unsigned char>(bytes[i + 1])];
            if (column != 0) {
                out[length++] = kPairs[row - 1][column - 1];
                ++i;
                continue;
            }
        }
        out[length++] = kSingleBytes[byte];
    }
    return length;
}

std::u16string decodeCp932(std::string_view bytes) {
    std::u16string text(bytes.size(), u'\0');  // never more characters than bytes
    text.resize(decodeCp932(bytes, text.data()));
    return text;
}

std::optional<std::string> encodeCp932(std::u16string_view text) { return encodeEach(text, nullptr); }

std::string encodeCp932Lossy(std::u16string_view text) { return *encodeEach(text, "?"); }

}  // namespace pp
