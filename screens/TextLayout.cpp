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

}  // namespace

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
