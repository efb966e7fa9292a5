#pragma once

#include <string>
#include <unordered_map>

#include "screens/Surface.h"

namespace pp::web {

// The game's picture on the page's canvas. Layout happens here, with the desktop's own line
// breaker and the desktop's rules for widths (runs measured whole, a 3-pixel space), so lines
// break at the same places; the page only draws runs, bitmaps and shapes at its whole scale.
class WebSurface final : public Surface {
public:
    // Opens one paint: black text, opaque background.
    void beginPaint();

    // The width in logical pixels that a line of text takes, as drawText lays it out.
    int textWidth(std::u16string_view text);

    // Drops the widths measured so far: the page's font has come, and runs measure anew.
    void forgetTextWidths() { runWidths_.clear(); }

    [[nodiscard]] Rect clientRect() const override { return {0, 0, kClientWidth, kClientHeight}; }
    void eraseRect(Rect rect) override;
    void drawBitmap(int id, int x, int y) override;
    void drawText(std::u16string_view text, Rect rect, TextFormat format) override;
    void drawTextPrefix(std::u16string_view text, std::size_t shownUnits, Rect rect, TextFormat format) override;
    void drawPolyline(std::span<const Point> points, int width, Rgb colour) override;
    void drawEllipse(Rect box, int penWidth, Rgb colour) override;
    void setTextColour(Rgb colour) override { textColour_ = colour; }
    void setBackgroundMode(BackgroundMode mode) override { background_ = mode; }

private:
    // The rounded width of a run without spaces, asked of the page once per run.
    int runWidth(std::u16string_view run);

    Rgb textColour_ = colour::kBlack;
    BackgroundMode background_ = BackgroundMode::Opaque;
    std::unordered_map<std::u16string, int> runWidths_;
};

}  // namespace pp::web
