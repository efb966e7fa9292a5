#include "shell/QtSurface.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainterPath>
#include <QPen>
#include <QString>

#include <algorithm>
#include <unordered_map>

#include "screens/Bitmaps.h"
#include "screens/LineBreaker.h"

namespace pp {
namespace {

// Every line of text is exactly this many logical pixels high, so layouts match the device.
constexpr int kLineHeight = 12;
constexpr int kFontPixels = 12;
// The face's own half-width space is as wide as a digit, which would push padded numbers
// ("得点:%8d") out of their boxes; the device's proportional system font had narrow spaces,
// and so does this surface.
constexpr int kSpaceAdvance = 3;
const QString kFontResource = QStringLiteral(":/fonts/VL-Gothic-Regular.ttf");
const QString kFontFamily = QStringLiteral("VL Gothic");

// What every surface shares: loaded once, kept for the life of the program.
struct Assets {
    bool loaded = false;
    QFont font;
    qreal baseline = 10.0;  // from the top of a line to its baseline, in logical pixels
    std::optional<QFontMetricsF> metrics;
    std::unordered_map<int, QImage> bitmaps;
};

Assets& assets() {
    static Assets shared;
    return shared;
}

QFont makeFont() {
    QString family = kFontFamily;
    const int id = QFontDatabase::addApplicationFont(kFontResource);
    if (id >= 0 && !QFontDatabase::applicationFontFamilies(id).isEmpty()) {
        family = QFontDatabase::applicationFontFamilies(id).constFirst();
    }
    QFont font(family);
    font.setPixelSize(kFontPixels);
    font.setKerning(false);
    // Text is drawn again over itself on the screens that do not erase (transparently, and in
    // another colour when the highlight moves): with antialiasing the soft edges would build
    // up and leave fringes, so glyphs are drawn with hard edges like the device's.
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QColor toQColor(Rgb colour) { return {colour.r, colour.g, colour.b}; }

QString toQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// Diagonal lines are smoothed; horizontal and vertical ones stay crisp, since the screens
// that redraw without erasing would otherwise thicken their soft ends.
bool hasDiagonal(std::span<const Point> points) {
    for (std::size_t i = 1; i < points.size(); ++i) {
        if (points[i].x != points[i - 1].x && points[i].y != points[i - 1].y) {
            return true;
        }
    }
    return false;
}

// Walks a line as it is drawn: each run of characters other than the ASCII space is handed
// to `place` with its x offset from the line's start; returns the line's width.
template <typename Place>
int walkLine(std::u16string_view line, const QFontMetricsF& metrics, Place place) {
    int x = 0;
    std::size_t pos = 0;
    while (pos < line.size()) {
        if (line[pos] == u' ') {
            x += kSpaceAdvance;
            ++pos;
            continue;
        }
        const std::size_t end = std::min(line.find(u' ', pos), line.size());
        const QString run = toQString(line.substr(pos, end - pos));
        place(run, x);
        x += qRound(metrics.horizontalAdvance(run));
        pos = end;
    }
    return x;
}

// The x of a line of `lineWidth` in `rect` for `format`.
int lineLeft(Rect rect, int lineWidth, TextFormat format) {
    switch (format) {
        case TextFormat::WrapCentre:
        case TextFormat::WrapCentreMiddle:
            return rect.left + (rect.width() - lineWidth) / 2;
        case TextFormat::Right:
        case TextFormat::WrapRight:
            return rect.right - lineWidth;
        case TextFormat::Left:
        case TextFormat::Wrap:
            break;
    }
    return rect.left;
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

void QtSurface::loadAssets() {
    Assets& shared = assets();
    if (shared.loaded) {
        return;
    }
    shared.loaded = true;
    shared.font = makeFont();
    const QFontMetricsF& metrics = shared.metrics.emplace(shared.font);
    // Centre the font's ascent and descent in the 12-pixel line, on a whole pixel so that
    // every scale puts the glyphs at the same place.
    shared.baseline = qRound(metrics.ascent() + (kLineHeight - metrics.ascent() - metrics.descent()) / 2);
    for (const bitmap::CatalogueEntry& entry : bitmap::kCatalogue) {
        QImage image(QStringLiteral(":/bitmaps/%1.bmp").arg(entry.id));
        if (!image.isNull()) {
            shared.bitmaps.emplace(entry.id, image.convertToFormat(QImage::Format_RGB32));
        }
    }
}

QFont QtSurface::gameFont() {
    loadAssets();
    return assets().font;
}

QtSurface::QtSurface(int scale) : scale_(std::max(1, scale)) {
    loadAssets();
    image_ = QImage(kClientWidth * scale_, kClientHeight * scale_, QImage::Format_RGB32);
    image_.fill(Qt::white);
}

QtSurface::~QtSurface() { painter_.reset(); }

void QtSurface::openPainter() {
    painter_.emplace(&image_);
    painter_->scale(scale_, scale_);
    painter_->setFont(assets().font);
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
    // The old picture stands in until the game paints at the new scale, which it cannot do
    // while a dialog of its own paint is open.
    image_ = image_.scaled(kClientWidth * scale_, kClientHeight * scale_, Qt::IgnoreAspectRatio,
                           Qt::SmoothTransformation);
    if (painting) {
        openPainter();
    }
}

int QtSurface::textWidth(std::u16string_view text) {
    loadAssets();
    return walkLine(text, *assets().metrics, [](const QString&, int) {});
}

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

void QtSurface::drawBitmap(int id, int x, int y) {
    const auto found = assets().bitmaps.find(id);
    if (found == assets().bitmaps.end()) {
        return;
    }
    const QImage& bitmap = found->second;
    Session session(*this);
    QPainter& painter = session.painter();
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRect(x, y, bitmap.width(), bitmap.height()), bitmap);
    painter.restore();
}

void QtSurface::drawText(std::u16string_view text, Rect rect, TextFormat format) {
    if (text.empty() || rect.width() <= 0 || rect.height() <= 0) {
        return;
    }
    const std::vector<TextLine> lines = breakLines(text, rect.width(), wraps(format), textWidth);
    Session session(*this);
    QPainter& painter = session.painter();
    painter.save();
    painter.setClipRect(QRect(rect.left, rect.top, rect.width(), rect.height()));
    painter.setPen(toQColor(textColour_));
    int top = rect.top;
    for (const TextLine& line : lines) {
        if (top >= rect.bottom) {
            break;
        }
        const std::u16string_view run = text.substr(line.start, line.length);
        const int width = textWidth(run);
        const int left = lineLeft(rect, width, format);
        if (background_ == BackgroundMode::Opaque) {
            painter.fillRect(QRect(left, top, width, kLineHeight), Qt::white);
        }
        const qreal baseline = top + assets().baseline;
        walkLine(run, *assets().metrics, [&](const QString& characters, int offset) {
            painter.drawText(QPointF(left + offset, baseline), characters);
        });
        top += kLineHeight;
    }
    painter.restore();
}

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
    painter.setRenderHint(QPainter::Antialiasing, hasDiagonal(points));
    // Wide pens end round as on the device; on thin ones a round end is a pixel's difference
    // that would not scale evenly, so they end square.
    const Qt::PenCapStyle cap = width > 2 ? Qt::RoundCap : Qt::SquareCap;
    painter.setPen(QPen(toQColor(colour), std::max(1, width), Qt::SolidLine, cap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(polygon);
    painter.restore();
}

void QtSurface::drawEllipse(Rect box, int penWidth, Rgb colour) {
    Session session(*this);
    QPainter& painter = session.painter();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(toQColor(colour), std::max(1, penWidth), Qt::SolidLine));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(box.left, box.top, box.width(), box.height()));
    painter.restore();
}

}  // namespace pp
