#include "screens/Format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "record/FixedText.h"

namespace pp {

long long FormatArg::asInteger() const {
    if (!isDouble_) {
        return integer_;
    }
    // Converting a NaN or an out-of-range double is undefined: clamp instead.
    if (std::isnan(real_)) {
        return 0;
    }
    constexpr double kLimit = 9.0e18;
    return static_cast<long long>(std::fmax(-kLimit, std::fmin(kLimit, real_)));
}

namespace {

// One parsed "%..." directive.
struct Directive {
    bool leftAlign = false;
    bool zeroPad = false;
    int width = 0;
    int precision = -1;  // -1: not given
    char16_t conversion = 0;
    std::size_t length = 0;  // units of the format string it spans, "%" included
};

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Reads digits at `pos`, capped so that a silly width cannot ask for a huge buffer.
int readNumber(std::u16string_view text, std::size_t& pos) {
    int value = 0;
    while (pos < text.size() && isDigit(text[pos])) {
        value = std::min(value * 10 + (text[pos] - u'0'), static_cast<int>(kFormatBufferUnits));
        ++pos;
    }
    return value;
}

// Parses the directive starting at the "%" at `start`.
Directive parseDirective(std::u16string_view format, std::size_t start) {
    Directive directive;
    std::size_t pos = start + 1;
    for (; pos < format.size(); ++pos) {
        if (format[pos] == u'-') {
            directive.leftAlign = true;
        } else if (format[pos] == u'0') {
            directive.zeroPad = true;
        } else {
            break;
        }
    }
    directive.width = readNumber(format, pos);
    if (pos < format.size() && format[pos] == u'.') {
        ++pos;
        directive.precision = readNumber(format, pos);
    }
    if (pos < format.size()) {
        directive.conversion = format[pos];
        ++pos;
    }
    directive.length = pos - start;
    return directive;
}

std::u16string widen(std::string_view ascii) { return {ascii.begin(), ascii.end()}; }

std::u16string integerDigits(long long value) {
    char buffer[32];
    const auto result = std::to_chars(std::begin(buffer), std::end(buffer), value);
    return widen({buffer, static_cast<std::size_t>(result.ptr - buffer)});
}

std::u16string fixedDigits(double value, int precision) {
    if (std::isnan(value)) {
        return u"nan";
    }
    if (std::isinf(value)) {
        return value < 0 ? u"-inf" : u"inf";
    }
    char buffer[400];  // enough for any double in fixed notation at our capped precision
#if defined(__cpp_lib_to_chars)
    const auto result = std::to_chars(std::begin(buffer), std::end(buffer), value,
                                      std::chars_format::fixed, precision);
    if (result.ec != std::errc{}) {
        return u"?";
    }
    return widen({buffer, static_cast<std::size_t>(result.ptr - buffer)});
#else
    // The browser build's C++ library has no floating-point to_chars; nothing there changes the
    // "C" locale, so printf writes the same digits.
    const int length = std::snprintf(buffer, sizeof buffer, "%.*f", precision, value);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof buffer) {
        return u"?";
    }
    return widen({buffer, static_cast<std::size_t>(length)});
#endif
}

// Pads `digits` to the directive's width: spaces on the left by default, spaces on the right
// with "-", zeros after the sign with "0".
std::u16string pad(std::u16string digits, const Directive& directive) {
    const auto width = static_cast<std::size_t>(directive.width);
    if (digits.size() >= width) {
        return digits;
    }
    const std::size_t fill = width - digits.size();
    if (directive.leftAlign) {
        return digits + std::u16string(fill, u' ');
    }
    if (directive.zeroPad) {
        const std::size_t sign = (!digits.empty() && digits[0] == u'-') ? 1 : 0;
        return digits.insert(sign, fill, u'0');
    }
    return std::u16string(fill, u' ') + digits;
}

}  // namespace

std::u16string formatTextWith(std::u16string_view format, std::span<const FormatArg> args) {
    std::u16string out;
    std::size_t nextArg = 0;
    std::size_t pos = 0;
    while (pos < format.size() && out.size() < kFormatBufferUnits) {
        if (format[pos] != u'%') {
            out += format[pos++];
            continue;
        }
        const Directive directive = parseDirective(format, pos);
        const std::u16string_view source = format.substr(pos, directive.length);
        pos += directive.length;
        switch (directive.conversion) {
            case u'%':
                out += u'%';
                break;
            case u'd':
            case u'i':
                if (nextArg < args.size()) {
                    out += pad(integerDigits(args[nextArg++].asInteger()), directive);
                }
                break;
            case u'f':
                if (nextArg < args.size()) {
                    const int precision = directive.precision < 0 ? 6 : directive.precision;
                    out += pad(fixedDigits(args[nextArg++].asDouble(), precision), directive);
                }
                break;
            default:
                out += source;
                break;
        }
    }
    out.resize(fittingLength(out, kFormatBufferUnits - 1));
    return out;
}

}  // namespace pp
