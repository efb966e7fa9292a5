#include "shell/GameFont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QString>
#include <QTextLayout>

#include <algorithm>
#include <cstdio>

#include "resources/Resources.h"

namespace pp {
namespace {

constexpr int kFontPixels = 12;
// The face's own half-width space is as wide as a digit, which would push padded numbers
// ("得点:%8d") out of their boxes; the device's proportional system font had narrow spaces,
// and so does this surface.
constexpr int kSpaceAdvance = 3;
// Enough for every text of several games; past it the cache starts afresh.
constexpr std::size_t kMostCachedTexts = 512;

// The family to draw with: the face registered from the file beside the program's data, or
// the system's copy of the same face when that file is missing.
QString registerFamily() {
    const QString file = resources::fontFile();
    if (!file.isEmpty()) {
        const int id = QFontDatabase::addApplicationFont(file);
        if (id >= 0 && !QFontDatabase::applicationFontFamilies(id).isEmpty()) {
            return QFontDatabase::applicationFontFamilies(id).constFirst();
        }
    }
    const QString found = QFontInfo(QFont(resources::kFontFamily)).family();
    if (!found.startsWith(resources::kFontFamily)) {
        std::fprintf(stderr, "pocketperna: the font %s is missing; text is drawn in %s\n",
                     qPrintable(resources::kFontFamily), qPrintable(found));
    }
    return resources::kFontFamily;
}

QFont makeFont() {
    QFont font(registerFamily());
    font.setPixelSize(kFontPixels);
    font.setKerning(false);
    // Glyphs are drawn with hard edges like the device's: the game's pictures are pixel art,
    // and text drawn over text must not build up soft fringes.
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

char32_t codePointOf(std::u16string_view character) {
    if (character.size() == 2) {
        return QChar::surrogateToUcs4(character[0], character[1]);
    }
    return character.empty() ? 0 : character[0];
}

}  // namespace

GameFont& GameFont::instance() {
    static GameFont font;
    return font;
}

GameFont::GameFont() : font_(makeFont()), planeAdvances_(0x10000, -1) {
    const QFontMetricsF metrics(font_);
    // Centre the font's ascent and descent in the 12-pixel line, on a whole pixel so that
    // every scale puts the glyphs at the same place.
    baseline_ = qRound(metrics.ascent() + (kTextLineHeight - metrics.ascent() - metrics.descent()) / 2);
    faces_.push_back(QRawFont::fromFont(font_));
}

int GameFont::characterWidth(std::u16string_view character) {
    if (character == u" ") {
        return kSpaceAdvance;
    }
    return instance().advanceOf(codePointOf(character));
}

int GameFont::advanceOf(char32_t character) {
    std::int16_t* cached = character < planeAdvances_.size() ? &planeAdvances_[character] : nullptr;
    if (cached != nullptr && *cached >= 0) {
        return *cached;
    }
    if (cached == nullptr) {
        if (const auto found = otherAdvances_.find(character); found != otherAdvances_.end()) {
            return found->second;
        }
    }
    const int advance = std::max(0, qRound(measure(character)));
    if (cached != nullptr) {
        *cached = static_cast<std::int16_t>(std::min(advance, 0x7FFF));
    } else {
        otherAdvances_.emplace(character, advance);
    }
    return advance;
}

qreal GameFont::measure(char32_t character) {
    // A visible character of the face has the advance of its glyph, read straight from the
    // face; anything else (invisible format characters, marks, characters of other faces) is
    // measured as Qt's shaping lays it out.
    const QChar::Category category = QChar::category(character);
    const bool plain = (category >= QChar::Number_DecimalDigit && category <= QChar::Separator_Space) ||
                       (category >= QChar::Letter_Uppercase && category <= QChar::Symbol_Other);
    if (plain) {
        const QList<quint32> glyph = faces_[0].glyphIndexesForString(QString::fromUcs4(&character, 1));
        if (glyph.size() == 1 && glyph[0] != 0) {
            return faces_[0].advancesForGlyphIndexes(glyph).constFirst().x();
        }
    }
    return QFontMetricsF(font_).horizontalAdvance(QString::fromUcs4(&character, 1));
}

const std::vector<GameFont::Glyph>& GameFont::glyphsOf(char32_t character) {
    if (const auto found = glyphs_.find(character); found != glyphs_.end()) {
        return found->second;
    }
    return glyphs_.emplace(character, findGlyphs(character)).first->second;
}

std::vector<GameFont::Glyph> GameFont::findGlyphs(char32_t character) {
    const QString text = QString::fromUcs4(&character, 1);
    // The face's own glyph, straight from its character map.
    const QList<quint32> own = faces_[0].glyphIndexesForString(text);
    if (own.size() == 1 && own[0] != 0) {
        return {Glyph{0, own[0], 0}};
    }
    // A character the face lacks: whatever Qt's font fallback would draw for it.
    QTextLayout layout(text, font_);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    std::vector<Glyph> glyphs;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const int face = faceIndex(run.rawFont());
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i) {
            glyphs.push_back({face, indexes[i], positions[i].x()});
        }
    }
    return glyphs;
}

const QRawFont& GameFont::condensedFace(int stretch) {
    if (const auto found = condensedFaces_.find(stretch); found != condensedFaces_.end()) {
        return found->second;
    }
    // A stretched font is rendered narrower by FreeType, hinted at its own width, and keeps its
    // own glyph cache, so squeezed text draws as fast as any other.
    QFont font = font_;
    font.setStretch(stretch);
    return condensedFaces_.emplace(stretch, QRawFont::fromFont(font)).first->second;
}

int GameFont::faceIndex(const QRawFont& face) {
    const auto found = std::find(faces_.begin(), faces_.end(), face);
    if (found != faces_.end()) {
        return static_cast<int>(found - faces_.begin());
    }
    faces_.push_back(face);
    return static_cast<int>(faces_.size()) - 1;
}

namespace {

// The glyphs of one laid-out line, in runs of one face each, squeezed to `stretch` per cent.
std::vector<ShapedText::Piece> shapeLine(std::u16string_view text, const PlacedLine& line, int stretch) {
    GameFont& font = GameFont::instance();
    std::vector<ShapedText::Piece> pieces;
    int face = -1;
    QList<quint32> indexes;
    QList<QPointF> positions;
    std::vector<std::size_t> units;
    const auto closePiece = [&] {
        if (indexes.isEmpty()) {
            return;
        }
        ShapedText::Piece& piece = pieces.emplace_back();
        // Characters of other faces keep their own width; only their places close up.
        piece.glyphs.setRawFont(face == 0 && stretch != 100 ? font.condensedFace(stretch) : font.face(face));
        piece.glyphs.setGlyphIndexes(std::exchange(indexes, {}));
        piece.glyphs.setPositions(std::exchange(positions, {}));
        piece.units = std::exchange(units, {});
    };
    int x = 0;
    const std::size_t end = line.start + line.length;
    for (std::size_t i = line.start; i < end;) {
        const std::size_t next = characterEnd(text, i);
        const std::u16string_view character = text.substr(i, next - i);
        // Spaces only move the pen.
        if (character != u" ") {
            for (const GameFont::Glyph& glyph : font.glyphsOf(codePointOf(character))) {
                if (glyph.face != face) {
                    closePiece();
                    face = glyph.face;
                }
                indexes.push_back(glyph.index);
                positions.push_back(QPointF((x + glyph.x) * stretch / 100, 0));
                units.push_back(i);
            }
        }
        x += GameFont::characterWidth(character);
        i = next;
    }
    closePiece();
    return pieces;
}

}  // namespace

const ShapedText& ShapedTextCache::get(std::u16string_view text, int width, int height, TextFormat format) {
    key_.assign(text);
    for (const int value : {width, height, static_cast<int>(format)}) {
        key_ += static_cast<char16_t>(value & 0xFFFF);
        key_ += static_cast<char16_t>((value >> 16) & 0xFFFF);
    }
    if (const auto found = texts_.find(key_); found != texts_.end()) {
        return found->second;
    }
    if (texts_.size() >= kMostCachedTexts) {
        texts_.clear();
    }
    ShapedText shaped;
    shaped.lines = layoutText(text, width, height, format, GameFont::characterWidth);
    for (const PlacedLine& line : shaped.lines) {
        const int stretch = line.width > line.drawnWidth ? std::max(1, line.drawnWidth * 100 / line.width) : 100;
        shaped.pieces.push_back(shapeLine(text, line, stretch));
        shaped.squeeze.push_back(stretch / 100.0);
    }
    return texts_.emplace(key_, std::move(shaped)).first->second;
}

}  // namespace pp
