#include "screens/TextLayout.h"

#include <algorithm>

namespace pp {
namespace {

int alignedLeft(int boxWidth, int lineWidth, TextFormat format) {
    switch (format) {
        case TextFormat::WrapCentre:
        case TextFormat::WrapCentreMiddle:
        case TextFormat::CentreCondensed:
            return (boxWidth - lineWidth) / 2;
        case TextFormat::Right:
        case TextFormat::WrapRight:
            return boxWidth - lineWidth;
        case TextFormat::Left:
        case TextFormat::Wrap:
        case TextFormat::LeftCondensed:
            break;
    }
    return 0;
}

constexpr std::u16string_view kEllipsis = u"…";

// True when a line `natural` wide squeezed into `width` stays readable.
bool squeezesReadably(int natural, int width) {
    return static_cast<long long>(natural) * kMostSqueezePercent <= static_cast<long long>(width) * 100;
}

void appendFitted(std::u16string& out, std::u16string_view line, int width, const MeasureText& measure) {
    if (squeezesReadably(lineWidth(line, measure), width)) {
        out += line;
        return;
    }
    int kept = measure(kEllipsis);
    std::size_t end = 0;
    while (end < line.size()) {
        const std::size_t next = characterEnd(line, end);
        const int grown = kept + measure(line.substr(end, next - end));
        if (!squeezesReadably(grown, width)) {
            break;
        }
        kept = grown;
        end = next;
    }
    out += line.substr(0, end);
    out += kEllipsis;
}

}  // namespace

std::u16string fitCondensed(std::u16string_view text, int width, TextFormat format, const MeasureText& measure) {
    if (!condenses(format) || width <= 0) {
        return std::u16string(text);
    }
    std::u16string fitted;
    fitted.reserve(text.size() + 1);
    std::size_t start = 0;
    while (true) {
        const std::size_t breakAt = text.find_first_of(u"\r\n", start);
        appendFitted(fitted, text.substr(start, breakAt == std::u16string_view::npos ? breakAt : breakAt - start),
                     width, measure);
        if (breakAt == std::u16string_view::npos) {
            return fitted;
        }
        fitted += text[breakAt];
        start = breakAt + 1;
    }
}

int lineWidth(std::u16string_view text, const MeasureText& measure) {
    int width = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t end = characterEnd(text, i);
        width += measure(text.substr(i, end - i));
        i = end;
    }
    return width;
}

std::vector<PlacedLine> layoutText(std::u16string_view text, int width, int height, TextFormat format,
                                   const MeasureText& measure) {
    std::vector<PlacedLine> placed;
    if (text.empty() || width <= 0 || height <= 0) {
        return placed;
    }
    int top = 0;
    for (const TextLine& line : breakLines(text, width, wraps(format), measure)) {
        if (top >= height) {
            break;
        }
        const int natural = lineWidth(text.substr(line.start, line.length), measure);
        const int drawn = condenses(format) ? std::min(natural, width) : natural;
        placed.push_back({line.start, line.length, alignedLeft(width, drawn, format), top, natural, drawn});
        top += kTextLineHeight;
    }
    return placed;
}

}  // namespace pp
