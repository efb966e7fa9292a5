#include "screens/LineBreaker.h"

#include <algorithm>
#include <string_view>

#include "record/Utf16.h"

namespace pp {
namespace {

constexpr std::size_t kNoBreak = std::u16string_view::npos;

// Characters that must not begin a line: closing brackets and punctuation, iteration marks,
// the long-vowel mark and small kana, in their ASCII, half-width and full-width forms.
constexpr std::u16string_view kClosing =
    u")]},.!?:;%"
    u"｡｣､･ｰﾞﾟｧｨｩｪｫｬｭｮｯ"
    u"、。，．・：；？！゛゜ヽヾゝゞ々〻ー‐"
    u"）］｝」』】〕〉》〙〗〟’”…‥％℃°′″"
    u"ぁぃぅぇぉっゃゅょゎゕゖァィゥェォッャュョヮヵヶㇰㇱㇲㇳㇴㇵㇶㇷㇸㇹㇺㇻㇼㇽㇾㇿ";

// Characters that must not end a line: opening brackets and quotes.
constexpr std::u16string_view kOpening = u"([{｢（［｛「『【〔〈《〘〖〝‘“";

bool isClosing(char16_t c) { return kClosing.find(c) != std::u16string_view::npos; }
bool isOpening(char16_t c) { return kOpening.find(c) != std::u16string_view::npos; }
bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\u3000'; }

// Characters a line may break on either side of, as in Japanese text: kana, kanji, full-width
// and half-width forms, and the symbol blocks that Japanese fonts draw full-width.
bool isWide(char16_t c) {
    return c >= 0x2E80 || (c >= 0x2190 && c <= 0x2BFF) || c == u'…' || c == u'‥' || c == u'※';
}

std::size_t trimTrailingSpaces(std::u16string_view text, std::size_t start, std::size_t end) {
    while (end > start && isSpace(text[end - 1])) {
        --end;
    }
    return end;
}

// Lays out one paragraph [start, end) (no line breaks inside) into `lines`.
void wrapParagraph(std::u16string_view text, std::size_t start, std::size_t end, int width,
                   const MeasureText& measure, std::vector<TextLine>& lines) {
    std::size_t lineStart = start;
    while (true) {
        std::size_t breakAt = kNoBreak;
        std::size_t lastOpportunity = kNoBreak;
        int lineWidth = 0;
        // A line breaks only once it holds a visible character, so that spaces at the start of
        // a paragraph, however wide, never make a line of their own.
        bool holdsVisible = false;
        for (std::size_t i = lineStart; i < end; i = characterEnd(text, i)) {
            if (holdsVisible && mayBreakBetween(text[i - 1], text[i])) {
                lastOpportunity = i;
            }
            lineWidth += measure(text.substr(i, characterEnd(text, i) - i));
            // Spaces may hang past the edge; only visible characters make a line too wide.
            if (holdsVisible && !isSpace(text[i]) && lineWidth > width) {
                breakAt = lastOpportunity != kNoBreak ? lastOpportunity : i;
                break;
            }
            holdsVisible = holdsVisible || !isSpace(text[i]);
        }
        if (breakAt == kNoBreak) {
            lines.push_back({lineStart, trimTrailingSpaces(text, lineStart, end) - lineStart});
            return;
        }
        lines.push_back({lineStart, trimTrailingSpaces(text, lineStart, breakAt) - lineStart});
        lineStart = breakAt;
        while (lineStart < end && isSpace(text[lineStart])) {
            ++lineStart;
        }
        if (lineStart == end) {
            return;
        }
    }
}

}  // namespace

std::size_t characterEnd(std::u16string_view text, std::size_t i) {
    return i + characterUnits(text, i);
}

bool mayBreakBetween(char16_t before, char16_t after) {
    if (isSpace(after)) {
        return false;
    }
    if (isSpace(before)) {
        return true;
    }
    if (isClosing(after) || isOpening(before)) {
        return false;
    }
    // The second half of a surrogate pair never starts a line.
    if (isLowSurrogate(after)) {
        return false;
    }
    return isWide(before) || isWide(after);
}

std::vector<TextLine> breakLines(std::u16string_view text, int width, bool wrap,
                                 const MeasureText& measure) {
    std::vector<TextLine> lines;
    if (text.empty()) {
        return lines;
    }
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of(u"\r\n", start);
        if (end == std::u16string_view::npos) {
            end = text.size();
        }
        if (wrap && end > start) {
            wrapParagraph(text, start, end, width, measure, lines);
        } else {
            lines.push_back({start, end - start});
        }
        if (end == text.size()) {
            break;
        }
        // "\r\n" is one line break.
        start = end + ((text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n') ? 2 : 1);
    }
    return lines;
}

}  // namespace pp
