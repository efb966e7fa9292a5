#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRgb>

#include <functional>
#include <string_view>
#include <vector>

namespace pp::assetgen {

// A set of pixels of a picture: the shapes of pixel art are built as masks, grown into
// outlines and shadows, and only then painted in colour.
class Mask {
public:
    Mask(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    bool at(int x, int y) const;  // false outside the mask's area
    void set(int x, int y, bool on = true);
    bool empty() const;
    QRect bounds() const;  // the smallest rectangle holding every set pixel

    // Every pixel within one step (the eight neighbours) of the mask, repeated `steps` times.
    Mask grown(int steps = 1) const;
    // As grown, but only through the four edge neighbours, which keeps corners square-cut.
    Mask grownOrthogonally(int steps = 1) const;
    Mask shifted(int dx, int dy) const;
    Mask without(const Mask& other) const;
    Mask with(const Mask& other) const;
    // The pixels of the mask with a neighbour outside it.
    Mask rim() const;

    // Aliased rendering of whatever `draw` paints, in any colour, so edges stay hard.
    static Mask fromDrawing(int width, int height, const std::function<void(QPainter&)>& draw);
    // Rows of text, '#' for a set pixel, placed with their top-left corner at (x, y).
    void stamp(const std::vector<std::string_view>& rows, int x, int y);

private:
    int width_;
    int height_;
    std::vector<bool> bits_;
};

// Paints the mask's pixels in one colour, or in the colour `shade` picks for each pixel.
void paint(QImage& image, const Mask& mask, QRgb colour);
void paint(QImage& image, const Mask& mask, const std::function<QRgb(int x, int y)>& shade);

// A blank picture in the colour it is drawn on.
QImage canvas(int width, int height, QRgb background);

}  // namespace pp::assetgen
