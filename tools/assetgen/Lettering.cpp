#include "tools/assetgen/Lettering.h"

#include <QFontDatabase>
#include <QPainterPath>

#include <algorithm>
#include <stdexcept>

namespace pp::assetgen {
namespace {

// Lettering is drawn this many times larger with antialiasing, then each pixel is set when
// more than half of it is covered: hard edges without the staircase of aliased rendering.
constexpr int kSupersample = 8;
constexpr double kSpaceWidthEm = 0.3;

// Each character's outline, placed on the line by its ink rather than by its advance width.
std::vector<QPainterPath> setCharacters(const QString& text, const LetteringStyle& style) {
    QFont font(style.family);
    font.setPixelSize(static_cast<int>(style.pixelSize * kSupersample));
    font.setHintingPreference(QFont::PreferNoHinting);

    std::vector<QPainterPath> characters;
    double cursor = 0;
    for (const QChar character : text) {
        QPainterPath glyph;
        glyph.addText(0, 0, font, QString(character));
        const QRectF ink = glyph.boundingRect();
        if (ink.isEmpty()) {
            cursor += kSpaceWidthEm * style.pixelSize * kSupersample;
            characters.emplace_back();
            continue;
        }
        characters.push_back(glyph.translated(cursor - ink.left(), 0));
        cursor += ink.width() + (style.gap + style.boldness) * kSupersample;
    }
    return characters;
}

// Splits a glyph into its pieces: every outer contour with the holes directly inside it, and
// pieces that overlap in the font's own outline merged, so only truly separate ink stays apart.
std::vector<QPainterPath> piecesOf(const QPainterPath& glyph) {
    const QList<QPolygonF> contours = glyph.toSubpathPolygons();
    auto depthOf = [&](qsizetype i) {
        int depth = 0;
        for (qsizetype j = 0; j < contours.size(); ++j) {
            if (j != i && contours[j].containsPoint(contours[i].front(), Qt::OddEvenFill)) {
                ++depth;
            }
        }
        return depth;
    };
    std::vector<QPainterPath> pieces;
    for (qsizetype outer = 0; outer < contours.size(); ++outer) {
        const int depth = depthOf(outer);
        if (depth % 2 != 0) {
            continue;
        }
        QPainterPath piece;
        piece.setFillRule(glyph.fillRule());
        piece.addPolygon(contours[outer]);
        for (qsizetype hole = 0; hole < contours.size(); ++hole) {
            if (hole != outer && depthOf(hole) == depth + 1 &&
                contours[outer].containsPoint(contours[hole].front(), Qt::OddEvenFill)) {
                piece.addPolygon(contours[hole]);
            }
        }
        pieces.push_back(piece);
    }
    for (size_t i = 0; i < pieces.size(); ++i) {
        for (size_t j = i + 1; j < pieces.size(); ++j) {
            if (pieces[i].intersects(pieces[j])) {
                pieces[i].addPath(pieces[j]);
                pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(j));
                j = i;  // the grown piece may now meet earlier ones
            }
        }
    }
    return pieces;
}

Mask downsample(const QImage& large, int width, int height) {
    Mask mask(width, height);
    constexpr int kHalfCoverage = kSupersample * kSupersample * 255 / 2;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int coverage = 0;
            for (int sy = 0; sy < kSupersample; ++sy) {
                const uchar* row = large.constScanLine(y * kSupersample + sy);
                for (int sx = 0; sx < kSupersample; ++sx) {
                    coverage += row[x * kSupersample + sx];
                }
            }
            mask.set(x, y, coverage > kHalfCoverage);
        }
    }
    return mask;
}

}  // namespace

QString loadLetteringFont(const QString& resourcesDir) {
    const QString path = resourcesDir + "/fonts/VL-Gothic-Regular.ttf";
    const int id = QFontDatabase::addApplicationFont(path);
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (id < 0 || families.isEmpty()) {
        throw std::runtime_error("cannot load the lettering font " + path.toStdString());
    }
    return families.front();
}

std::vector<LetteringPart> lettering(const QString& text, const LetteringStyle& style, QRect box,
                                     int width, int height) {
    const std::vector<QPainterPath> characters = setCharacters(text, style);
    QPainterPath line;
    for (const QPainterPath& character : characters) {
        line.addPath(character);
    }
    const double pen = style.boldness * kSupersample;
    const QRectF ink = line.boundingRect().adjusted(-pen / 2, -pen / 2, pen / 2, pen / 2);
    double fitY = std::min(1.0, box.height() * kSupersample / ink.height());
    const double fitX = std::min(fitY, box.width() * kSupersample / ink.width());
    fitY = std::min(fitY, fitX / style.narrowest);

    std::vector<LetteringPart> parts;
    for (size_t index = 0; index < characters.size(); ++index) {
        for (const QPainterPath& piece : piecesOf(characters[index])) {
            QImage large(width * kSupersample, height * kSupersample, QImage::Format_Alpha8);
            large.fill(0);
            QPainter painter(&large);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.translate(QRectF(box).center() * kSupersample);
            painter.scale(fitX, fitY);
            painter.translate(-ink.center());
            painter.setPen(pen > 0 ? QPen(Qt::black, pen, Qt::SolidLine, Qt::RoundCap,
                                          Qt::RoundJoin)
                                   : QPen(Qt::NoPen));
            painter.setBrush(Qt::black);
            painter.drawPath(piece);
            painter.end();
            parts.push_back({static_cast<int>(index), downsample(large, width, height)});
        }
    }
    return parts;
}

Mask united(const std::vector<LetteringPart>& parts, int width, int height) {
    Mask all(width, height);
    for (const LetteringPart& part : parts) {
        all = all.with(part.mask);
    }
    return all;
}

}  // namespace pp::assetgen
