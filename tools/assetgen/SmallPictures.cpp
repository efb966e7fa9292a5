// The small bitmaps: the decorative bar, choice buttons, progress slots, quota marker and places.
#include "tools/assetgen/Mask.h"
#include "tools/assetgen/Palette.h"
#include "tools/assetgen/Pictures.h"
#include "tools/assetgen/PixelDigits.h"

#include <array>

namespace pp::assetgen {
namespace {

constexpr int kBarWidth = 177;
constexpr int kBarHeight = 11;
constexpr int kBarSquare = 9;
constexpr int kBarPitch = 11;
constexpr std::array kBarRamps{ink::kEmberRamp, ink::kOrangeRamp, ink::kSunRamp, ink::kLimeRamp,
                               ink::kMintRamp,  ink::kSkyRamp,    ink::kLavenderRamp,
                               ink::kMagentaRamp};

constexpr int kButtonSize = 17;
constexpr int kSlotSize = 9;
constexpr int kPlaceSize = 16;

// A square with a rounded look: corners cut, lit edge at top and left, shade at bottom and right.
void drawBead(QImage& image, int left, int top, int size, const ink::Ramp& ramp) {
    Mask square(image.width(), image.height());
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const bool corner = (x == 0 || x == size - 1) && (y == 0 || y == size - 1);
            square.set(left + x, top + y, !corner);
        }
    }
    const Mask rim = square.rim();
    paint(image, square, ramp.base);
    paint(image, rim, ramp.outline);
    paint(image, square.without(rim), [&](int x, int y) {
        const int u = x - left;
        const int v = y - top;
        if (u + v <= 3) {
            return ramp.light;
        }
        if (u + v >= 2 * size - 6) {
            return ramp.shade;
        }
        return ramp.base;
    });
    image.setPixel(left + 2, top + 2, ink::kWhite);  // the glint
}

}  // namespace

QImage drawDecorativeBar() {
    QImage image = canvas(kBarWidth, kBarHeight, ink::kWhite);
    const int count = (kBarWidth + kBarPitch - kBarSquare) / kBarPitch;
    const int left = (kBarWidth - (count - 1) * kBarPitch - kBarSquare) / 2;
    for (int i = 0; i < count; ++i) {
        drawBead(image, left + i * kBarPitch, (kBarHeight - kBarSquare) / 2, kBarSquare,
                 kBarRamps[static_cast<size_t>(i) % kBarRamps.size()]);
    }
    return image;
}

QImage drawChoiceButton(int digit, bool highlighted) {
    const ink::Ramp& ramp = highlighted ? ink::kOrangeRamp : ink::kLavenderRamp;
    QImage image = canvas(kButtonSize, kButtonSize, ink::kBlack);

    Mask frame(kButtonSize, kButtonSize);
    for (int i = 2; i < kButtonSize - 2; ++i) {
        frame.set(i, 0);
        frame.set(i, kButtonSize - 1);
        frame.set(0, i);
        frame.set(kButtonSize - 1, i);
    }
    frame.set(1, 1);
    frame.set(kButtonSize - 2, 1);
    frame.set(1, kButtonSize - 2);
    frame.set(kButtonSize - 2, kButtonSize - 2);
    paint(image, frame, ramp.base);

    // A dim inner ring gives the key some depth against the black.
    const Mask inner = Mask::fromDrawing(kButtonSize, kButtonSize, [](QPainter& p) {
        p.drawRect(1, 1, kButtonSize - 2, kButtonSize - 2);
    }).rim().without(frame);
    paint(image, inner, ramp.outline);

    Mask glyph(kButtonSize, kButtonSize);
    stampLargeDigit(glyph, digit, (kButtonSize - kLargeDigitWidth) / 2 + 1,
                    (kButtonSize - kLargeDigitHeight) / 2);
    paint(image, glyph.shifted(1, 1).without(glyph), ramp.shade);
    paint(image, glyph, ramp.light);
    return image;
}

QImage drawSlot(SlotMark mark) {
    QImage image = canvas(kSlotSize, kSlotSize, ink::kWhite);
    Mask border = Mask::fromDrawing(kSlotSize, kSlotSize, [](QPainter& p) {
        p.drawRect(0, 0, kSlotSize, kSlotSize);
    }).rim();
    paint(image, border, ink::kGrey);

    Mask sign(kSlotSize, kSlotSize);
    if (mark == SlotMark::Wrong) {
        sign.stamp({"##...##",
                    "###.###",
                    ".#####.",
                    "..###..",
                    ".#####.",
                    "###.###",
                    "##...##"}, 1, 1);
        paint(image, sign, ink::kRed);
    } else if (mark == SlotMark::Right) {
        sign.stamp({"..###..",
                    ".#####.",
                    "##...##",
                    "##...##",
                    "##...##",
                    ".#####.",
                    "..###.."}, 1, 1);
        paint(image, sign, ink::kBlue);
    }
    return image;
}

QImage drawQuotaMarker() {
    QImage image = canvas(kSlotSize, kSlotSize, ink::kWhite);
    Mask triangle(kSlotSize, kSlotSize);
    triangle.stamp({"#########", ".#######.", "..#####..", "...###...", "....#...."}, 0, 2);
    paint(image, triangle, ink::kBlack);
    return image;
}

QImage drawPlaceNumber(int place) {
    // The box is one pixel smaller than the picture, so the digits centre on an odd width and a
    // shadow can fill the last row and column.
    constexpr int kBox = kPlaceSize - 1;
    QImage image = canvas(kPlaceSize, kPlaceSize, ink::kWhite);
    Mask box = Mask::fromDrawing(kPlaceSize, kPlaceSize, [](QPainter& p) {
        p.drawRect(0, 0, kBox, kBox);
    });
    for (int corner : {0, kBox - 1}) {
        box.set(corner, 0, false);
        box.set(corner, kBox - 1, false);
    }
    paint(image, box.shifted(1, 1).without(box), ink::kLightGrey);
    paint(image, box, [](int x, int y) { return x + y < kBox ? ink::kGreen : ink::kGreenDark; });
    paint(image, box.rim(), ink::kGreenDeep);
    Mask glint(kPlaceSize, kPlaceSize);
    glint.stamp({".####", "#", "#", "#"}, 1, 1);
    paint(image, glint, ink::kGreenLight);

    Mask digits(kPlaceSize, kPlaceSize);
    const int top = (kBox - kSmallDigitHeight) / 2;
    if (place < 10) {
        stampSmallDigit(digits, place, (kBox - kSmallDigitWidth) / 2, top);
    } else {
        const int left = (kBox - 2 * kSmallDigitWidth - 1) / 2;
        stampSmallDigit(digits, place / 10, left, top);
        stampSmallDigit(digits, place % 10, left + kSmallDigitWidth + 1, top);
    }
    paint(image, digits.shifted(1, 1).without(digits).without(box.rim()), ink::kGreenDeep);
    paint(image, digits, ink::kWhite);
    return image;
}

}  // namespace pp::assetgen
