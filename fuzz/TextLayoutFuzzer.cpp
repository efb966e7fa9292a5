// The line breaker and the number formatter on any text, any box width (zero and negative
// too) and any of the six formats: lines cover the text in order without overlap, only line
// breaks and the spaces at a wrap are left out, no line starts or ends inside a surrogate
// pair, a wrapped line is never empty and never wider than the box unless it is one character;
// a formatted text never outgrows its buffer. The layout places exactly those lines, a line
// apart from the top, inside its box, and a condensing format never draws a line wider than the
// box.

#include <array>
#include <bit>
#include <cstring>

#include "FuzzCheck.h"
#include "screens/Format.h"
#include "screens/LineBreaker.h"
#include "screens/Surface.h"
#include "screens/TextLayout.h"

namespace {

using namespace pp;

constexpr std::array kFormats{TextFormat::Left,          TextFormat::Right,         TextFormat::Wrap,
                              TextFormat::WrapCentre,    TextFormat::WrapRight,     TextFormat::WrapCentreMiddle,
                              TextFormat::LeftCondensed, TextFormat::CentreCondensed};

bool isBreak(char16_t c) { return c == u'\r' || c == u'\n'; }
bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\u3000'; }

// Widths like a font's, with the awkward cases in: control characters take no width at all.
int measure(std::u16string_view run) {
    int width = 0;
    for (const char16_t c : run) {
        if (fuzz::isLowSurrogate(c)) {
            continue;  // counted with its high half
        }
        width += c < 0x20 ? 0 : c < 0x80 ? 6 : 12;
    }
    return width;
}

bool splitsPair(std::u16string_view text, std::size_t at) {
    return at > 0 && at < text.size() && fuzz::isHighSurrogate(text[at - 1]) && fuzz::isLowSurrogate(text[at]);
}

// Where the paragraph holding `at` starts: after the line break before it.
std::size_t paragraphStart(std::u16string_view text, std::size_t at) {
    while (at > 0 && !isBreak(text[at - 1])) {
        --at;
    }
    return at;
}

bool onlySpacesFrom(std::u16string_view text, std::size_t at) {
    for (; at < text.size() && !isBreak(text[at]); ++at) {
        if (!isSpace(text[at])) {
            return false;
        }
    }
    return true;
}

std::size_t paragraphCount(std::u16string_view text) {
    std::size_t count = 1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' || (text[i] == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n'))) {
            ++count;
        }
    }
    return count;
}

void checkLines(std::u16string_view text, int width, bool wrap) {
    const std::vector<TextLine> lines = breakLines(text, width, wrap, measure);
    if (text.empty()) {
        FUZZ_CHECK(lines.empty());
        return;
    }
    FUZZ_CHECK(!lines.empty() && lines.size() <= text.size() + 1);
    FUZZ_CHECK(lines.front().start == 0);
    if (!wrap) {
        FUZZ_CHECK(lines.size() == paragraphCount(text));
    }
    std::size_t covered = 0;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const TextLine& line = lines[n];
        FUZZ_CHECK(line.start >= covered && line.start <= text.size());
        FUZZ_CHECK(line.length <= text.size() - line.start);
        if (n > 0) {
            FUZZ_CHECK(line.start > lines[n - 1].start);
        }
        // Between two lines only line breaks and the spaces of a wrap are left out.
        for (std::size_t i = covered; i < line.start; ++i) {
            FUZZ_CHECK(isBreak(text[i]) || isSpace(text[i]));
        }
        const std::u16string_view content = text.substr(line.start, line.length);
        for (const char16_t c : content) {
            FUZZ_CHECK(!isBreak(c));
        }
        FUZZ_CHECK(!splitsPair(text, line.start) && !splitsPair(text, line.start + line.length));
        const std::size_t paragraph = paragraphStart(text, line.start);
        if (line.length == 0) {
            // Only a paragraph with nothing to show makes an empty line.
            FUZZ_CHECK(line.start == paragraph && onlySpacesFrom(text, paragraph));
        }
        if (wrap && line.start != paragraph) {
            FUZZ_CHECK(!isSpace(content.front()));  // a wrapped line never starts with its break spaces
        }
        if (wrap && !content.empty() && measure(content) > width) {
            // Too wide only when its first visible character alone is (spaces opening a
            // paragraph stay with that character).
            std::u16string_view visible = content;
            while (!visible.empty() && isSpace(visible.front())) {
                visible.remove_prefix(1);
            }
            FUZZ_CHECK(!visible.empty());
            const std::size_t first = fuzz::isHighSurrogate(visible.front()) && visible.size() > 1 ? 2 : 1;
            FUZZ_CHECK(visible.size() == first);
        }
        covered = line.start + line.length;
    }
    for (std::size_t i = covered; i < text.size(); ++i) {
        FUZZ_CHECK(isBreak(text[i]) || isSpace(text[i]));
    }
}

void checkLayout(std::u16string_view text, int width, int height, TextFormat format) {
    const std::vector<PlacedLine> placed = layoutText(text, width, height, format, measure);
    if (text.empty() || width <= 0 || height <= 0) {
        FUZZ_CHECK(placed.empty());
        return;
    }
    const std::vector<TextLine> lines = breakLines(text, width, wraps(format), measure);
    FUZZ_CHECK(placed.size() <= lines.size());
    for (std::size_t n = 0; n < placed.size(); ++n) {
        const PlacedLine& line = placed[n];
        FUZZ_CHECK(line.start == lines[n].start && line.length == lines[n].length);
        FUZZ_CHECK(line.top == static_cast<int>(n) * kTextLineHeight && line.top < height);
        FUZZ_CHECK(line.width == measure(text.substr(line.start, line.length)));
        if (condenses(format)) {
            FUZZ_CHECK(line.drawnWidth == std::min(line.width, width));
        } else {
            FUZZ_CHECK(line.drawnWidth == line.width);
        }
        if (line.drawnWidth <= width) {
            FUZZ_CHECK(line.left >= 0 && line.left + line.drawnWidth <= width);
        }
    }
    // Only the lines that would start below the box are left out.
    FUZZ_CHECK(placed.size() == lines.size() || static_cast<int>(placed.size()) * kTextLineHeight >= height);
}

void checkFormat(std::u16string_view format, fuzz::Input& input) {
    std::vector<FormatArg> args;
    const int count = input.byte() % 4;
    for (int i = 0; i < count; ++i) {
        if (input.byte() % 2 == 0) {
            args.emplace_back(static_cast<int>(input.u32()));
        } else {
            const std::uint64_t bits = (static_cast<std::uint64_t>(input.u32()) << 32) | input.u32();
            args.emplace_back(std::bit_cast<double>(bits));
        }
    }
    const std::u16string out = formatTextWith(format, args);
    FUZZ_CHECK(out.size() < kFormatBufferUnits);
    // Cutting the text to the buffer never splits a pair that the format had whole.
    FUZZ_CHECK(!fuzz::isValidUtf16(format) || fuzz::isValidUtf16(out));
    if (format.find(u'%') == std::u16string_view::npos) {
        FUZZ_CHECK(format.starts_with(out));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const int width = static_cast<int>(input.u32());
    const int height = static_cast<int>(input.u32() % 4096) - 16;
    const TextFormat format = kFormats[input.byte() % kFormats.size()];
    fuzz::Input formatInput = input;
    const std::u16string text = input.restAsUtf16();
    checkLines(text, width, wraps(format));
    checkLayout(text, width, height, format);
    checkFormat(text, formatInput);
    return 0;
}
