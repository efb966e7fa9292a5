#include "tools/assetgen/Mask.h"

#include <algorithm>

namespace pp::assetgen {

Mask::Mask(int width, int height)
    : width_(width), height_(height), bits_(static_cast<size_t>(width) * height, false) {}

bool Mask::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return false;
    }
    return bits_[static_cast<size_t>(y) * width_ + x];
}

void Mask::set(int x, int y, bool on) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) {
        bits_[static_cast<size_t>(y) * width_ + x] = on;
    }
}

bool Mask::empty() const {
    return std::none_of(bits_.begin(), bits_.end(), [](bool bit) { return bit; });
}

QRect Mask::bounds() const {
    QRect box;
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            if (at(x, y)) {
                box = box.united(QRect(x, y, 1, 1));
            }
        }
    }
    return box;
}

Mask Mask::grown(int steps) const {
    Mask current = *this;
    for (int step = 0; step < steps; ++step) {
        Mask next = current;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                for (int dy = -1; dy <= 1 && !next.at(x, y); ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        if (current.at(x + dx, y + dy)) {
                            next.set(x, y);
                            break;
                        }
                    }
                }
            }
        }
        current = next;
    }
    return current;
}

Mask Mask::grownOrthogonally(int steps) const {
    Mask current = *this;
    for (int step = 0; step < steps; ++step) {
        Mask next = current;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                if (current.at(x - 1, y) || current.at(x + 1, y) || current.at(x, y - 1) ||
                    current.at(x, y + 1)) {
                    next.set(x, y);
                }
            }
        }
        current = next;
    }
    return current;
}

Mask Mask::shifted(int dx, int dy) const {
    Mask moved(width_, height_);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            moved.set(x, y, at(x - dx, y - dy));
        }
    }
    return moved;
}

Mask Mask::without(const Mask& other) const {
    Mask result = *this;
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            if (other.at(x, y)) {
                result.set(x, y, false);
            }
        }
    }
    return result;
}

Mask Mask::with(const Mask& other) const {
    Mask result = *this;
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            if (other.at(x, y)) {
                result.set(x, y);
            }
        }
    }
    return result;
}

Mask Mask::rim() const {
    Mask edge(width_, height_);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            if (at(x, y) &&
                (!at(x - 1, y) || !at(x + 1, y) || !at(x, y - 1) || !at(x, y + 1))) {
                edge.set(x, y);
            }
        }
    }
    return edge;
}

Mask Mask::fromDrawing(int width, int height, const std::function<void(QPainter&)>& draw) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        draw(painter);
    }
    Mask mask(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            mask.set(x, y, qAlpha(image.pixel(x, y)) > 127);
        }
    }
    return mask;
}

void Mask::stamp(const std::vector<std::string_view>& rows, int x, int y) {
    for (size_t row = 0; row < rows.size(); ++row) {
        for (size_t column = 0; column < rows[row].size(); ++column) {
            if (rows[row][column] == '#') {
                set(x + static_cast<int>(column), y + static_cast<int>(row));
            }
        }
    }
}

void paint(QImage& image, const Mask& mask, QRgb colour) {
    paint(image, mask, [colour](int, int) { return colour; });
}

void paint(QImage& image, const Mask& mask, const std::function<QRgb(int x, int y)>& shade) {
    for (int y = 0; y < mask.height(); ++y) {
        for (int x = 0; x < mask.width(); ++x) {
            if (mask.at(x, y)) {
                image.setPixel(x, y, shade(x, y));
            }
        }
    }
}

QImage canvas(int width, int height, QRgb background) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(background);
    return image;
}

}  // namespace pp::assetgen
