#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>

#include <memory>
#include <unordered_map>
#include <optional>

#include "screens/Surface.h"

namespace pp {

// The game's picture: a retained image of 240 x 268 logical pixels stored at a whole scale,
// drawn on with QPainter in logical coordinates. Text is rendered at the full resolution of
// the image; bitmaps are enlarged pixel for pixel, never smoothed; lines and ellipses are drawn
// aliased, as on the device. The game paints the whole picture every time, so a new scale only
// needs a new paint; the surface keeps each text laid out and shaped for its box and format, so
// painting an unchanged text again measures and shapes nothing.
class ShapedTextCache;

class QtSurface final : public Surface {
public:
    // The image starts white, as a new window does.
    explicit QtSurface(int scale = 2);
    ~QtSurface() override;

    QtSurface(const QtSurface&) = delete;
    QtSurface& operator=(const QtSurface&) = delete;

    // Registers the game's font from its file, once per process; the bitmaps are loaded from
    // the resources when first drawn. Needs a QGuiApplication. Later calls do nothing; the
    // constructor calls it too.
    static void loadAssets();

    // The font the surface draws with: the bundled face at 12 pixels.
    static QFont gameFont();

    // Opens one paint: black text, opaque background. Drawing calls between beginPaint and
    // endPaint share one QPainter session; a call outside a session opens its own.
    void beginPaint();
    void endPaint();

    [[nodiscard]] int scale() const { return scale_; }
    // Changes the scale; the picture is kept, enlarged or shrunk, until it is painted anew.
    void setScale(int scale);

    // The picture, 240 * scale by 268 * scale device pixels.
    [[nodiscard]] const QImage& image() const { return image_; }

    // The width in logical pixels that a line of text takes, as drawText lays it out.
    [[nodiscard]] static int textWidth(std::u16string_view text);

    [[nodiscard]] Rect clientRect() const override;
    void eraseRect(Rect rect) override;
    void drawBitmap(int id, int x, int y) override;
    void drawText(std::u16string_view text, Rect rect, TextFormat format) override;
    void drawTextPrefix(std::u16string_view text, std::size_t shownUnits, Rect rect, TextFormat format) override;
    void drawPolyline(std::span<const Point> points, int width, Rgb colour) override;
    void drawEllipse(Rect box, int penWidth, Rgb colour) override;
    void setTextColour(Rgb colour) override { textColour_ = colour; }
    void setBackgroundMode(BackgroundMode mode) override { background_ = mode; }

private:
    // The painter of the current paint, or of a one-call session outside a paint.
    class Session;
    void openPainter();
    // Bitmap `id` enlarged to the current scale, made on first use; null when there is none.
    const QImage* scaledBitmap(int id);

    int scale_;
    QImage image_;
    std::optional<QPainter> painter_;
    std::unique_ptr<ShapedTextCache> texts_;
    std::unordered_map<int, QImage> scaledBitmaps_;
    Rgb textColour_ = colour::kBlack;
    BackgroundMode background_ = BackgroundMode::Opaque;
};

}  // namespace pp
