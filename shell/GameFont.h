#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QRawFont>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "screens/TextLayout.h"

namespace pp {

// The game's face at 12 pixels and what is known of its characters. Each character is measured
// and given its glyph once, the first time it is drawn, and kept for the life of the program:
// the layout and the drawing of text then never shape or measure anything again.
class GameFont {
public:
    // The one font of the program, registered on first use. Needs a QGuiApplication.
    static GameFont& instance();

    GameFont(const GameFont&) = delete;
    GameFont& operator=(const GameFont&) = delete;

    [[nodiscard]] const QFont& font() const { return font_; }
    // From the top of a 12-pixel line to its baseline, in logical pixels.
    [[nodiscard]] qreal baseline() const { return baseline_; }

    // The width of one character (one UTF-16 unit, or a surrogate pair) in logical pixels, as
    // the surface draws it. The layout's MeasureText.
    static int characterWidth(std::u16string_view character);

    // One glyph of a character: which face draws it (the game's own, or one Qt falls back to
    // for a character the game's face lacks) and its x from the character's start.
    struct Glyph {
        int face = 0;
        std::uint32_t index = 0;
        qreal x = 0;
    };
    const std::vector<Glyph>& glyphsOf(char32_t character);
    [[nodiscard]] const QRawFont& face(int face) const { return faces_[static_cast<std::size_t>(face)]; }
    // The game's face squeezed horizontally to `stretch` per cent of its width.
    const QRawFont& condensedFace(int stretch);

private:
    GameFont();
    int advanceOf(char32_t character);
    qreal measure(char32_t character);
    std::vector<Glyph> findGlyphs(char32_t character);
    int faceIndex(const QRawFont& face);

    QFont font_;
    qreal baseline_ = 10.0;
    std::vector<QRawFont> faces_;  // faces_[0] is the game's own
    // Advances of the basic multilingual plane, -1 until measured; the rest in a map.
    std::vector<std::int16_t> planeAdvances_;
    std::unordered_map<char32_t, int> otherAdvances_;
    std::unordered_map<char32_t, std::vector<Glyph>> glyphs_;
    std::unordered_map<int, QRawFont> condensedFaces_;
};

// A text laid out for one box and format, with each line's glyphs ready to draw.
struct ShapedText {
    // A run of glyphs of one face on one line; positions are x from the line's start on the
    // baseline (y 0), and `units` gives the text unit each glyph's character starts at.
    struct Piece {
        QGlyphRun glyphs;
        std::vector<std::size_t> units;
    };
    std::vector<PlacedLine> lines;
    std::vector<std::vector<Piece>> pieces;  // per line
    std::vector<qreal> squeeze;              // per line: 1, or less for a condensed line
};

// Laid-out texts by text, box size and format, so that painting an unchanged text again
// measures nothing. Bounded: it starts afresh once it holds many texts.
class ShapedTextCache {
public:
    const ShapedText& get(std::u16string_view text, int width, int height, TextFormat format);

private:
    std::unordered_map<std::u16string, ShapedText> texts_;
    std::u16string key_;
};

}  // namespace pp
