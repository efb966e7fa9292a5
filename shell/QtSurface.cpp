#include "shell/QtSurface.h"

#include <QPainterPath>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "resources/Resources.h"
#include "screens/Bitmaps.h"
#include "screens/TextLayout.h"
#include "shell/GameFont.h"

namespace pp {
namespace {

// The bitmap catalogue: each bitmap loaded when first drawn and kept for the life of the
// program, so that start-up loads only what the first picture shows.
const QImage* catalogueBitmap(int id) {
    static std::unordered_map<int, QImage> loaded;
    if (const auto found = loaded.find(id); found != loaded.end()) {
        return found->second.isNull() ? nullptr : &found->second;
    }
    QImage image;
    if (std::any_of(std::begin(bitmap::kCatalogue), std::end(bitmap::kCatalogue),
                    [id](const bitmap::CatalogueEntry& entry) { return entry.id == id; })) {
        image = QImage(resources::bitmapPath(id), "BMP").convertToFormat(QImage::Format_RGB32);
    }
    const QImage& kept = loaded.emplace(id, std::move(image)).first->second;
    return kept.isNull() ? nullptr : &kept;
}

QColor toQColor(Rgb colour) { return {colour.r, colour.g, colour.b}; }

// `image` (RGB32) with each pixel made a `scale` x `scale` block, never a blend of its
// neighbours: rows are widened once and copied down.
QImage enlarged(const QImage& image, int scale) {
    if (scale == 1) {
        return image;
    }
    QImage out(image.width() * scale, image.height() * scale, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        auto* to = reinterpret_cast<QRgb*>(out.scanLine(y * scale));
        for (int x = 0; x < image.width(); ++x) {
            std::fill_n(to + static_cast<std::ptrdiff_t>(x) * scale, scale, from[x]);
        }
        for (int copy = 1; copy < scale; ++copy) {
            std::copy_n(to, out.width(), reinterpret_cast<QRgb*>(out.scanLine(y * scale + copy)));
        }
    }
    return out;
}

// The outline of a polyline drawn with a square-ended pen reaching `half` to each side: one
// rectangle per segment, grown by `half` past both of its ends, filled together.
QPainterPath squareEndedSegments(const QPolygonF& points, qreal half) {
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (qsizetype i = 1; i < points.size(); ++i) {
        const QPointF from = points[i - 1];
        const QPointF to = points[i];
        const QPointF along = to - from;
        const qreal length = std::hypot(along.x(), along.y());
        if (length == 0) {
            path.addRect(QRectF(from.x() - half, from.y() - half, 2 * half, 2 * half));
            continue;
        }
        const QPointF step = along / length * half;
        const QPointF side(-step.y(), step.x());
        path.addPolygon(QPolygonF{from - step + side, to + step + side, to + step - side, from - step - side,
                                  from - step + side});
    }
    return path;
}

// Draws the glyphs of `piece` whose characters start before unit `shown`.
void drawGlyphsBefore(QPainter& painter, QPointF origin, const ShapedText::Piece& piece, std::size_t shown) {
    const auto count = std::lower_bound(piece.units.begin(), piece.units.end(), shown) - piece.units.begin();
    if (count == 0) {
        return;
    }
    QGlyphRun part = piece.glyphs;
    part.setGlyphIndexes(piece.glyphs.glyphIndexes().first(count));
    part.setPositions(piece.glyphs.positions().first(count));
    painter.drawGlyphRun(origin, part);
}

}  // namespace

// Keeps one QPainter open for a drawing call made outside beginPaint/endPaint.
class QtSurface::Session {
public:
    explicit Session(QtSurface& surface) : surface_(surface), own_(!surface.painter_) {
        if (own_) {
            surface_.openPainter();
        }
    }
    ~Session() {
        if (own_) {
            surface_.painter_.reset();
        }
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    QPainter& painter() { return *surface_.painter_; }

private:
    QtSurface& surface_;
    bool own_;
};

void QtSurface::loadAssets() { GameFont::instance(); }

QFont QtSurface::gameFont() { return GameFont::instance().font(); }

QtSurface::QtSurface(int scale) : scale_(std::max(1, scale)), texts_(std::make_unique<ShapedTextCache>()) {
    loadAssets();
    image_ = QImage(kClientWidth * scale_, kClientHeight * scale_, QImage::Format_RGB32);
    image_.fill(Qt::white);
}

QtSurface::~QtSurface() { painter_.reset(); }

void QtSurface::openPainter() {
    painter_.emplace(&image_);
    painter_->scale(scale_, scale_);
    painter_->setRenderHint(QPainter::SmoothPixmapTransform, false);
}

void QtSurface::beginPaint() {
    painter_.reset();
    openPainter();
    textColour_ = colour::kBlack;
    background_ = BackgroundMode::Opaque;
}

void QtSurface::endPaint() { painter_.reset(); }

void QtSurface::setScale(int scale) {
    scale = std::max(1, scale);
    if (scale == scale_) {
        return;
    }
    const bool painting = painter_.has_value();
    painter_.reset();
    scale_ = scale;
    scaledBitmaps_.clear();
    // The old picture stands in until the game paints at the new scale, which it cannot do
    // while a dialog of its own paint is open.
    image_ = image_.scaled(kClientWidth * scale_, kClientHeight * scale_, Qt::IgnoreAspectRatio,
                           Qt::SmoothTransformation);
    if (painting) {
        openPainter();
    }
}

int QtSurface::textWidth(std::u16string_view text) { return lineWidth(text, GameFont::characterWidth); }

Rect QtSurface::clientRect() const { return {0, 0, kClientWidth, kClientHeight}; }

void QtSurface::eraseRect(Rect rect) {
    // Like a rectangle drawn without a pen: the last column and row are left alone.
    const int width = rect.width() - 1;
    const int height = rect.height() - 1;
    if (width <= 0 || height <= 0) {
        return;
    }
    Session session(*this);
    session.painter().fillRect(QRect(rect.left, rect.top, width, height), Qt::white);
}

const QImage* QtSurface::scaledBitmap(int id) {
    if (const auto found = scaledBitmaps_.find(id); found != scaledBitmaps_.end()) {
        return &found->second;
    }
    const QImage* original = catalogueBitmap(id);
    if (original == nullptr) {
        return nullptr;
    }
    const QImage& bitmap = *original;
    return &scaledBitmaps_.emplace(id, enlarged(bitmap, scale_)).first->second;
}

void QtSurface::drawBitmap(int id, int x, int y) {
    const QImage* bitmap = scaledBitmap(id);
    if (bitmap == nullptr) {
        return;
    }
    Session session(*this);
    QPainter& painter = session.painter();
    // Already enlarged, the bitmap is copied row by row at the picture's own resolution.
    painter.save();
    painter.resetTransform();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(x * scale_, y * scale_), *bitmap);
    painter.restore();
}

void QtSurface::drawText(std::u16string_view text, Rect rect, TextFormat format) {
    if (condenses(format)) {
        const std::u16string fitted = fitCondensed(text, rect.width(), format, GameFont::characterWidth);
        drawTextPrefix(fitted, fitted.size(), rect, format);
        return;
    }
    drawTextPrefix(text, text.size(), rect, format);
}

void QtSurface::drawTextPrefix(std::u16string_view text, std::size_t shownUnits, Rect rect, TextFormat format) {
    shownUnits = std::min(shownUnits, text.size());
    if (shownUnits == 0 || rect.width() <= 0 || rect.height() <= 0) {
        return;
    }
    const ShapedText& shaped = texts_->get(text, rect.width(), rect.height(), format);
    Session session(*this);
    QPainter& painter = session.painter();
    painter.save();
    painter.setClipRect(QRect(rect.left, rect.top, rect.width(), rect.height()));
    painter.setPen(toQColor(textColour_));
    const qreal baseline = GameFont::instance().baseline();
    for (std::size_t l = 0; l < shaped.lines.size() && shaped.lines[l].start < shownUnits; ++l) {
        const PlacedLine& line = shaped.lines[l];
        const bool whole = line.start + line.length <= shownUnits;
        const int left = rect.left + line.left;
        const int top = rect.top + line.top;
        if (background_ == BackgroundMode::Opaque) {
            const int shownWidth =
                whole ? line.drawnWidth
                      : qCeil(textWidth(text.substr(line.start, shownUnits - line.start)) * shaped.squeeze[l]);
            painter.fillRect(QRect(left, top, shownWidth, kTextLineHeight), Qt::white);
        }
        const QPointF origin(left, top + baseline);
        for (const ShapedText::Piece& piece : shaped.pieces[l]) {
            if (whole || piece.units.back() < shownUnits) {
                painter.drawGlyphRun(origin, piece.glyphs);
            } else {
                drawGlyphsBefore(painter, origin, piece, shownUnits);
            }
        }
    }
    painter.restore();
}

// Lines and ellipses are drawn aliased, as the device drew them: hard pixel edges suit the
// pixel-art pictures, and they cost a fraction of smoothed ones.
void QtSurface::drawPolyline(std::span<const Point> points, int width, Rgb colour) {
    if (points.size() < 2) {
        return;
    }
    // An odd-width line is centred on the pixel it names, as the device draws it.
    const qreal offset = (width % 2 == 1) ? 0.5 : 0.0;
    QPolygonF polygon;
    for (const Point& point : points) {
        polygon << QPointF(point.x + offset, point.y + offset);
    }
    Session session(*this);
    QPainter& painter = session.painter();
    painter.save();
    if (width > 2) {
        // Wide pens end round, as on the device.
        painter.setPen(QPen(toQColor(colour), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPolyline(polygon);
    } else {
        // Thin pens end square (a round end is a pixel's difference that would not scale
        // evenly). Each segment is filled as its own rectangle, reaching half the pen past both
        // ends: the same pixels as the stroke, in half the time.
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(colour));
        painter.drawPath(squareEndedSegments(polygon, std::max(1, width) / 2.0));
    }
    painter.restore();
}

void QtSurface::drawEllipse(Rect box, int penWidth, Rgb colour) {
    // The pen's band is the ellipse grown by half the pen filled in its colour, with the
    // ellipse shrunk by half the pen filled white inside it: two plain fills draw it far faster
    // than a stroke, and it is exact for the circles the game draws.
    const qreal half = std::max(1, penWidth) / 2.0;
    const QRectF inner = QRectF(box.left, box.top, box.width(), box.height()).adjusted(half, half, -half, -half);
    Session session(*this);
    QPainter& painter = session.painter();
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(toQColor(colour));
    painter.drawEllipse(inner.adjusted(-2 * half, -2 * half, 2 * half, 2 * half));
    if (inner.isValid()) {
        painter.setBrush(Qt::white);
        painter.drawEllipse(inner);
    }
    painter.restore();
}

}  // namespace pp
