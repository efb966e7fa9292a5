#include "record/Cp932.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>

#include <memory>

namespace pp {
namespace {

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// "windows-31j" is ICU's copy of Windows' own table, extensions included.
Converter openConverter() {
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open("windows-31j", &status));
    if (U_FAILURE(status)) {
        return nullptr;
    }
    return converter;
}

// Writes U+FFFD for every byte sequence that has no character, where ICU would otherwise
// write the control character SUB for some of them.
void substituteReplacementCharacter(const void*, UConverterToUnicodeArgs* args, const char*,
                                    int32_t, UConverterCallbackReason reason, UErrorCode* status) {
    if (reason > UCNV_IRREGULAR) {
        return;  // reset, close and clone need nothing
    }
    static constexpr UChar kReplacement = 0xFFFD;
    *status = U_ZERO_ERROR;
    ucnv_cbToUWriteUChars(args, &kReplacement, 1, 0, status);
}

const UChar* asUChars(std::u16string_view text) { return reinterpret_cast<const UChar*>(text.data()); }

// Encodes one code point at a time so that a character ICU maps to nothing, or to a zero
// byte, can be told apart from a real mapping.
std::optional<std::string> encodeCodePoint(UConverter* converter, std::u16string_view unit) {
    char buffer[8];
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(converter);
    const int32_t length = ucnv_fromUChars(converter, buffer, sizeof buffer, asUChars(unit),
                                           static_cast<int32_t>(unit.size()), &status);
    if (U_FAILURE(status) || length <= 0) {
        return std::nullopt;
    }
    std::string bytes(buffer, static_cast<std::size_t>(length));
    if (bytes.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    return bytes;
}

Converter openStrictEncoder() {
    Converter converter = openConverter();
    if (converter) {
        UErrorCode status = U_ZERO_ERROR;
        ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr,
                              nullptr, &status);
        // ICU's "fallback" mappings (a character mapped to a look-alike) do not exist on
        // Windows' strict path either, and would not round-trip.
        ucnv_setFallback(converter.get(), false);
    }
    return converter;
}

}  // namespace

std::u16string decodeCp932(std::string_view bytes) {
    if (bytes.empty()) {
        return {};
    }
    Converter converter = openConverter();
    if (!converter) {
        return std::u16string(bytes.size(), u'\uFFFD');
    }
    UErrorCode setupStatus = U_ZERO_ERROR;
    ucnv_setToUCallBack(converter.get(), substituteReplacementCharacter, nullptr, nullptr, nullptr,
                        &setupStatus);
    // Every byte yields at most one UTF-16 unit in this code page.
    std::u16string text(bytes.size(), u'\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = ucnv_toUChars(converter.get(), reinterpret_cast<UChar*>(text.data()),
                                         static_cast<int32_t>(text.size()), bytes.data(),
                                         static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status)) {
        return std::u16string(bytes.size(), u'\uFFFD');
    }
    text.resize(static_cast<std::size_t>(length));
    return text;
}

namespace {

// Encodes `text` a character at a time; `unmapped` decides what a character without a form
// becomes, or that the whole text fails.
template <typename Unmapped>
std::optional<std::string> encodeEach(std::u16string_view text, Unmapped unmapped) {
    Converter converter = openStrictEncoder();
    std::string out;
    out.reserve(text.size() * 2);
    for (std::size_t i = 0; i < text.size();) {
        const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
                          text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        const std::size_t units = pair ? 2 : 1;
        std::optional<std::string> bytes;
        if (converter) {
            bytes = encodeCodePoint(converter.get(), text.substr(i, units));
        }
        if (!bytes) {
            bytes = unmapped();
            if (!bytes) {
                return std::nullopt;
            }
        }
        out += *bytes;
        i += units;
    }
    return out;
}

}  // namespace

std::optional<std::string> encodeCp932(std::u16string_view text) {
    return encodeEach(text, [] { return std::optional<std::string>(); });
}

std::string encodeCp932Lossy(std::u16string_view text) {
    return *encodeEach(text, [] { return std::optional<std::string>("?"); });
}

}  // namespace pp
