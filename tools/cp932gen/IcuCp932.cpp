#include "tools/cp932gen/IcuCp932.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>

#include <memory>
#include <stdexcept>

namespace pp::cp932gen {
namespace {

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter openConverter() {
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open("windows-31j", &status));
    if (U_FAILURE(status)) {
        throw std::runtime_error("ICU has no converter windows-31j");
    }
    return converter;
}

// Writes U+FFFD for every byte sequence that has no character, where ICU would otherwise
// write the control character SUB for some of them.
void substituteReplacementCharacter(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                                    UConverterCallbackReason reason, UErrorCode* status) {
    if (reason > UCNV_IRREGULAR) {
        return;  // reset, close and clone need nothing
    }
    static constexpr UChar kReplacement = 0xFFFD;
    *status = U_ZERO_ERROR;
    ucnv_cbToUWriteUChars(args, &kReplacement, 1, 0, status);
}

UConverter* decoder() {
    static const Converter converter = [] {
        Converter opened = openConverter();
        UErrorCode status = U_ZERO_ERROR;
        ucnv_setToUCallBack(opened.get(), substituteReplacementCharacter, nullptr, nullptr, nullptr, &status);
        return opened;
    }();
    return converter.get();
}

UConverter* strictEncoder() {
    static const Converter converter = [] {
        Converter opened = openConverter();
        UErrorCode status = U_ZERO_ERROR;
        ucnv_setFromUCallBack(opened.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
        // A look-alike mapping exists on neither Windows' strict path nor the way back.
        ucnv_setFallback(opened.get(), false);
        return opened;
    }();
    return converter.get();
}

}  // namespace

std::u16string icuDecode(std::string_view bytes) {
    if (bytes.empty()) {
        return {};
    }
    UConverter* converter = decoder();
    ucnv_reset(converter);
    // Every byte yields at most one UTF-16 unit in this code page.
    std::u16string text(bytes.size(), u'\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = ucnv_toUChars(converter, reinterpret_cast<UChar*>(text.data()),
                                         static_cast<int32_t>(text.size()), bytes.data(),
                                         static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status)) {
        throw std::runtime_error("ICU failed to decode code page 932");
    }
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::optional<std::string> icuEncodeCharacter(std::u16string_view character) {
    UConverter* converter = strictEncoder();
    ucnv_reset(converter);
    char buffer[8];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = ucnv_fromUChars(converter, buffer, sizeof buffer,
                                           reinterpret_cast<const UChar*>(character.data()),
                                           static_cast<int32_t>(character.size()), &status);
    if (U_FAILURE(status) || length <= 0) {
        return std::nullopt;
    }
    std::string bytes(buffer, static_cast<std::size_t>(length));
    if (bytes.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    // ICU's windows-31j writes U+F86F as the bytes of "№" even without fallbacks; a name or quiz
    // text written that way would read back as another character, so it has no form here.
    if (icuDecode(bytes) != character) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace pp::cp932gen
