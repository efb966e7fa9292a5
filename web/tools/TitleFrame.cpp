// The title as the page first shows it, before its font has come: the game's own painter draws
// it, and this writes its steps (erasures and bitmaps) for the build to compose into title.png,
// which the page shows while the game's module is still on its way. The title has no other
// drawing than these and text; anything else fails the build, so the picture never differs from
// the one the game paints over it.

#include <cstdio>
#include <span>

#include "record/GameState.h"
#include "screens/Painter.h"
#include "screens/Surface.h"

namespace {

class StepSurface final : public pp::Surface {
public:
    bool unsupported = false;

    [[nodiscard]] pp::Rect clientRect() const override { return {0, 0, pp::kClientWidth, pp::kClientHeight}; }
    void eraseRect(pp::Rect rect) override {
        std::printf("erase %d %d %d %d\n", rect.left, rect.top, rect.width(), rect.height());
    }
    void drawBitmap(int id, int x, int y) override { std::printf("bitmap %d %d %d\n", id, x, y); }
    // Text waits for the font, on the page as here.
    void drawText(std::u16string_view, pp::Rect, pp::TextFormat) override {}
    void drawTextPrefix(std::u16string_view, std::size_t, pp::Rect, pp::TextFormat) override {}
    void drawPolyline(std::span<const pp::Point>, int, pp::Rgb) override { unsupported = true; }
    void drawEllipse(pp::Rect, int, pp::Rgb) override { unsupported = true; }
    void setTextColour(pp::Rgb) override {}
    void setBackgroundMode(pp::BackgroundMode) override {}
};

}  // namespace

int main() {
    pp::GameState state;
    state.screen = pp::Screen::Title;
    StepSurface surface;
    pp::paintScreen(state, surface);
    if (surface.unsupported) {
        std::fputs("title-frame: the title draws shapes this cannot compose\n", stderr);
        return 1;
    }
    return 0;
}
