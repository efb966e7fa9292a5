#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "screens/Surface.h"

namespace pp::test {

// Records every drawing call in order, with the text colour and background mode in force.
class RecordingSurface final : public Surface {
public:
    enum class Kind { Erase, Bitmap, Text, Polyline, Ellipse };

    struct Call {
        Kind kind;
        Rect rect{};             // Erase, Text, Ellipse
        int bitmap = 0;          // Bitmap
        Point at{};              // Bitmap
        std::u16string text{};   // Text: the whole text laid out
        std::size_t shown = 0;   // Text: how many of its units are drawn
        TextFormat format{};     // Text
        Rgb colour{};            // Text: the text colour; Polyline, Ellipse: the pen colour
        BackgroundMode background = BackgroundMode::Opaque;  // Text
        std::vector<Point> points{};  // Polyline
        int width = 0;              // Polyline, Ellipse: pen width
    };

    Rect clientRect() const override { return {0, 0, kClientWidth, kClientHeight}; }

    void eraseRect(Rect rect) override { calls.push_back({.kind = Kind::Erase, .rect = rect}); }

    void drawBitmap(int id, int x, int y) override {
        calls.push_back({.kind = Kind::Bitmap, .bitmap = id, .at = {x, y}});
    }

    void drawText(std::u16string_view text, Rect rect, TextFormat format) override {
        drawTextPrefix(text, text.size(), rect, format);
    }

    void drawTextPrefix(std::u16string_view text, std::size_t shownUnits, Rect rect, TextFormat format) override {
        calls.push_back({.kind = Kind::Text,
                         .rect = rect,
                         .text = std::u16string(text),
                         .shown = std::min(shownUnits, text.size()),
                         .format = format,
                         .colour = textColour_,
                         .background = background_});
    }

    void drawPolyline(std::span<const Point> points, int width, Rgb colour) override {
        calls.push_back({.kind = Kind::Polyline,
                         .colour = colour,
                         .points = std::vector<Point>(points.begin(), points.end()),
                         .width = width});
    }

    void drawEllipse(Rect box, int penWidth, Rgb colour) override {
        calls.push_back({.kind = Kind::Ellipse, .rect = box, .colour = colour, .width = penWidth});
    }

    void setTextColour(Rgb colour) override { textColour_ = colour; }
    void setBackgroundMode(BackgroundMode mode) override { background_ = mode; }

    // The calls of one kind, in order.
    std::vector<Call> of(Kind kind) const {
        std::vector<Call> found;
        for (const Call& call : calls) {
            if (call.kind == kind) {
                found.push_back(call);
            }
        }
        return found;
    }

    // The first text call whose text equals `text`, or null.
    const Call* findText(std::u16string_view text) const {
        for (const Call& call : calls) {
            if (call.kind == Kind::Text && call.text == text) {
                return &call;
            }
        }
        return nullptr;
    }

    void clear() { calls.clear(); }

    std::vector<Call> calls;

private:
    Rgb textColour_ = colour::kBlack;
    BackgroundMode background_ = BackgroundMode::Opaque;
};

}  // namespace pp::test
