#include "WebSurface.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "screens/TextLayout.h"

namespace pp::web {
namespace {

// A half-width space is 3 pixels wide, as on the desktop surface (shell/GameFont.cpp), so that
// padded numbers keep to their boxes; lines are kTextLineHeight apart, as laid out everywhere.
constexpr int kSpaceAdvance = 3;
// More runs than the screens ever show at once: the cache is emptied when it grows past this.
constexpr std::size_t kRunCacheLimit = 4096;

int packed(Rgb colour) { return (colour.r << 16) | (colour.g << 8) | colour.b; }

// The page's drawing calls (perna.js); coordinates are logical pixels, scaled by the page.
EM_JS(int, web_measure_run, (const char16_t* text, int length), {
    return Module.page.measureRun(UTF16ToString(text, length * 2));
});
EM_JS(void, web_erase_rect, (int x, int y, int width, int height), {
    Module.page.eraseRect(x, y, width, height);
});
EM_JS(void, web_draw_bitmap, (int id, int x, int y), { Module.page.drawBitmap(id, x, y); });
EM_JS(void, web_clip, (int x, int y, int width, int height), { Module.page.clip(x, y, width, height); });
EM_JS(void, web_unclip, (), { Module.page.unclip(); });
EM_JS(void, web_fill_white, (int x, int y, int width, int height), {
    Module.page.fillWhite(x, y, width, height);
});
EM_JS(void, web_draw_run, (const char16_t* text, int length, double x, int top, int colour, double squeeze), {
    Module.page.drawRun(UTF16ToString(text, length * 2), x, top, colour, squeeze);
});
EM_JS(void, web_draw_polyline, (const int* coordinates, int count, int width, int colour), {
    Module.page.drawPolyline(HEAP32.subarray(coordinates >> 2, (coordinates >> 2) + 2 * count), width, colour);
});
EM_JS(void, web_draw_ellipse, (int x, int y, int width, int height, int penWidth, int colour), {
    Module.page.drawEllipse(x, y, width, height, penWidth, colour);
});

// Walks a line as it is drawn: each run of characters other than the ASCII space is handed to
// `place` with its x offset from the line's start; returns the line's width.
template <typename Place>
int walkLine(std::u16string_view line, Place place) {
    int x = 0;
    std::size_t pos = 0;
    while (pos < line.size()) {
        if (line[pos] == u' ') {
            x += kSpaceAdvance;
            ++pos;
            continue;
        }
        const std::size_t end = std::min(line.find(u' ', pos), line.size());
        const std::u16string_view run = line.substr(pos, end - pos);
        x += place(run, x);
        pos = end;
    }
    return x;
}

}  // namespace

void WebSurface::beginPaint() {
    textColour_ = colour::kBlack;
    background_ = BackgroundMode::Opaque;
}

int WebSurface::runWidth(std::u16string_view run) {
    std::u16string key(run);
    if (const auto found = runWidths_.find(key); found != runWidths_.end()) {
        return found->second;
    }
    if (runWidths_.size() >= kRunCacheLimit) {
        runWidths_.clear();
    }
    const int width = web_measure_run(run.data(), static_cast<int>(run.size()));
    runWidths_.emplace(std::move(key), width);
    return width;
}

int WebSurface::textWidth(std::u16string_view text) {
    return walkLine(text, [this](std::u16string_view run, int) { return runWidth(run); });
}

void WebSurface::eraseRect(Rect rect) {
    // Like a rectangle drawn without a pen: the last column and row are left alone.
    const int width = rect.width() - 1;
    const int height = rect.height() - 1;
    if (width > 0 && height > 0) {
        web_erase_rect(rect.left, rect.top, width, height);
    }
}

void WebSurface::drawBitmap(int id, int x, int y) { web_draw_bitmap(id, x, y); }

void WebSurface::drawText(std::u16string_view text, Rect rect, TextFormat format) {
    if (condenses(format)) {
        // Squeezed past what stays readable, a name is cut and ends with "…", as on the desktop.
        const MeasureText measure = [this](std::u16string_view character) { return textWidth(character); };
        const std::u16string fitted = fitCondensed(text, rect.width(), format, measure);
        drawTextPrefix(fitted, fitted.size(), rect, format);
        return;
    }
    drawTextPrefix(text, text.size(), rect, format);
}

void WebSurface::drawTextPrefix(std::u16string_view text, std::size_t shownUnits, Rect rect, TextFormat format) {
    shownUnits = std::min(shownUnits, text.size());
    if (shownUnits == 0 || rect.width() <= 0 || rect.height() <= 0) {
        return;
    }
    // The desktop's own layout, so that lines break at the same places: the whole text is laid
    // out, and only its first `shownUnits` units are drawn, each where it stands in it.
    const MeasureText measure = [this](std::u16string_view character) { return textWidth(character); };
    web_clip(rect.left, rect.top, rect.width(), rect.height());
    for (const PlacedLine& line : layoutText(text, rect.width(), rect.height(), format, measure)) {
        if (line.start >= shownUnits) {
            break;
        }
        const std::u16string_view characters = text.substr(line.start, std::min(line.length, shownUnits - line.start));
        const int left = rect.left + line.left;
        const int top = rect.top + line.top;
        // A condensing format squeezes a line wider than its box into the box.
        const double squeeze = line.width > line.drawnWidth ? static_cast<double>(line.drawnWidth) / line.width : 1.0;
        if (background_ == BackgroundMode::Opaque) {
            web_fill_white(left, top, static_cast<int>(std::ceil(textWidth(characters) * squeeze)), kTextLineHeight);
        }
        walkLine(characters, [&](std::u16string_view run, int offset) {
            web_draw_run(run.data(), static_cast<int>(run.size()), left + offset * squeeze, top, packed(textColour_),
                         squeeze);
            return runWidth(run);
        });
    }
    web_unclip();
}

void WebSurface::drawPolyline(std::span<const Point> points, int width, Rgb colour) {
    if (points.size() < 2) {
        return;
    }
    std::vector<int> coordinates;
    coordinates.reserve(points.size() * 2);
    for (const Point& point : points) {
        coordinates.push_back(point.x);
        coordinates.push_back(point.y);
    }
    web_draw_polyline(coordinates.data(), static_cast<int>(points.size()), width, packed(colour));
}

void WebSurface::drawEllipse(Rect box, int penWidth, Rgb colour) {
    web_draw_ellipse(box.left, box.top, box.width(), box.height(), penWidth, packed(colour));
}

}  // namespace pp::web
