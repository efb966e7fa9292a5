#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>

#include <array>
#include <memory>

#include "screens/Bitmaps.h"
#include "shell/QtSurface.h"

namespace pp {
namespace {

// One application for the whole suite, on the offscreen platform unless told otherwise.
class QtSurfaceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QGuiApplication::instance() == nullptr) {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
                qputenv("QT_QPA_PLATFORM", "offscreen");
            }
            static int argc = 1;
            static char name[] = "screens_surface_tests";
            static char* argv[] = {name, nullptr};
            // Never destroyed: tearing Qt down in the exit handlers crashes.
            new QGuiApplication(argc, argv);
        }
    }
};

// The colour of logical pixel (x, y): the top-left device pixel of its block.
QRgb pixel(const QtSurface& surface, int x, int y) {
    return surface.image().pixel(x * surface.scale(), y * surface.scale()) & 0xFFFFFF;
}

constexpr QRgb kWhitePixel = 0xFFFFFF;
constexpr QRgb kBlackPixel = 0x000000;

// Paints a black band over rows 10..49 of the whole width.
void paintBlackBand(QtSurface& surface) {
    const std::array<Point, 2> line{{{-30, 30}, {270, 30}}};
    surface.drawPolyline(line, 40, colour::kBlack);
}

// The ink of one colour inside `area`: its bounding box in logical pixels, or an empty rect.
struct Ink {
    int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
    [[nodiscard]] bool empty() const { return right < 0; }
};
Ink inkOf(const QtSurface& surface, Rect area, QRgb colour) {
    const int s = surface.scale();
    Ink ink;
    for (int y = area.top * s; y < area.bottom * s; ++y) {
        for (int x = area.left * s; x < area.right * s; ++x) {
            if ((surface.image().pixel(x, y) & 0xFFFFFF) == colour) {
                ink.left = std::min(ink.left, x);
                ink.top = std::min(ink.top, y);
                ink.right = std::max(ink.right, x + 1);
                ink.bottom = std::max(ink.bottom, y + 1);
            }
        }
    }
    return ink;
}

TEST_F(QtSurfaceTest, ImageIsTheClientAreaAtTheScaleAndStartsWhite) {
    QtSurface surface(3);
    EXPECT_EQ(surface.image().size(), QSize(720, 804));
    EXPECT_EQ(surface.clientRect(), (Rect{0, 0, 240, 268}));
    EXPECT_EQ(pixel(surface, 239, 267), kWhitePixel);
}

TEST_F(QtSurfaceTest, EraseLeavesTheLastColumnAndRow) {
    QtSurface surface(1);
    surface.beginPaint();
    paintBlackBand(surface);
    surface.eraseRect({10, 20, 50, 40});
    surface.endPaint();
    EXPECT_EQ(pixel(surface, 10, 20), kWhitePixel);
    EXPECT_EQ(pixel(surface, 48, 38), kWhitePixel);
    EXPECT_EQ(pixel(surface, 49, 30), kBlackPixel);  // right - 1
    EXPECT_EQ(pixel(surface, 30, 39), kBlackPixel);  // bottom - 1
    EXPECT_EQ(pixel(surface, 9, 30), kBlackPixel);
    EXPECT_EQ(pixel(surface, 30, 19), kBlackPixel);
}

TEST_F(QtSurfaceTest, BitmapsAreCopiedOpaqueAtTheirOwnSize) {
    const QImage box = QImage(QStringLiteral(":/bitmaps/118.bmp")).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(box.isNull()) << "the bitmap resources are not linked in";
    ASSERT_EQ(box.size(), QSize(9, 9));
    QtSurface surface(2);
    surface.beginPaint();
    paintBlackBand(surface);
    surface.drawBitmap(bitmap::kSlotOpen, 100, 20);
    surface.drawBitmap(122, 150, 20);  // not in the catalogue
    surface.endPaint();
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 9; ++x) {
            ASSERT_EQ(pixel(surface, 100 + x, 20 + y), box.pixel(x, y) & 0xFFFFFF) << x << "," << y;
            // Enlarged pixel for pixel, never blended with its neighbours.
            ASSERT_EQ(surface.image().pixel(2 * (100 + x) + 1, 2 * (20 + y) + 1) & 0xFFFFFF,
                      box.pixel(x, y) & 0xFFFFFF);
        }
    }
    EXPECT_EQ(pixel(surface, 109, 20), kBlackPixel);
    EXPECT_EQ(pixel(surface, 99, 28), kBlackPixel);
    EXPECT_EQ(inkOf(surface, {140, 10, 180, 50}, kWhitePixel).empty(), true);
}

TEST_F(QtSurfaceTest, CircleMarkIsARingOfItsColourFilledWhite) {
    QtSurface surface(2);
    surface.beginPaint();
    paintBlackBand(surface);
    surface.drawEllipse({50, 60, 210, 220}, 40, colour::kBlue);
    surface.endPaint();
    const QRgb blue = 0x3296FF;
    EXPECT_EQ(pixel(surface, 130, 60), blue);   // top of the ring
    EXPECT_EQ(pixel(surface, 50, 140), blue);   // left
    EXPECT_EQ(pixel(surface, 210, 140), blue);  // right
    EXPECT_EQ(pixel(surface, 130, 42), blue);   // half the pen lies outside the box
    EXPECT_EQ(pixel(surface, 130, 140), kWhitePixel);
    EXPECT_EQ(pixel(surface, 130, 25), kBlackPixel);  // beyond the pen
}

TEST_F(QtSurfaceTest, WideCrossStrokesAreSolidWithRoundEnds) {
    QtSurface surface(1);
    surface.beginPaint();
    const std::array<Point, 2> stroke{{{210, 220}, {50, 60}}};
    surface.drawPolyline(stroke, 40, colour::kRed);
    surface.endPaint();
    EXPECT_EQ(pixel(surface, 130, 140), 0xFF0000u);
    EXPECT_EQ(pixel(surface, 140, 130), 0xFF0000u);  // 14 px across the stroke's axis
    // A round end reaches half the pen width past the end point along the stroke.
    EXPECT_EQ(pixel(surface, 40, 50), 0xFF0000u);
    EXPECT_EQ(pixel(surface, 20, 20), kWhitePixel);
}

TEST_F(QtSurfaceTest, TextUsesTheTextColourAndHardEdges) {
    QtSurface surface(2);
    surface.beginPaint();
    surface.setTextColour(colour::kRed);
    surface.drawText(u"あと 9秒", {11, 247, 65, 263}, TextFormat::Left);
    surface.endPaint();
    const Ink red = inkOf(surface, {0, 240, 240, 268}, 0xFF0000);
    ASSERT_FALSE(red.empty());
    // Every pixel is either the text colour or the white it was drawn on.
    for (int y = 240 * 2; y < 268 * 2; ++y) {
        for (int x = 0; x < 240 * 2; ++x) {
            const QRgb colour = surface.image().pixel(x, y) & 0xFFFFFF;
            ASSERT_TRUE(colour == 0xFF0000 || colour == kWhitePixel) << x << "," << y;
        }
    }
}

TEST_F(QtSurfaceTest, TextIsClippedToItsRectangle) {
    QtSurface surface(1);
    surface.beginPaint();
    // Three lines of 4 characters in a box 20 pixels high: one line and 8 rows of the second.
    surface.drawText(u"漢字漢字漢字漢字漢字漢字", {100, 100, 148, 120}, TextFormat::Wrap);
    surface.endPaint();
    const Ink inside = inkOf(surface, {100, 100, 148, 120}, kBlackPixel);
    ASSERT_FALSE(inside.empty());
    EXPECT_GE(inside.bottom, 113);  // part of the second line shows
    EXPECT_TRUE(inkOf(surface, {0, 120, 240, 268}, kBlackPixel).empty());
    EXPECT_TRUE(inkOf(surface, {148, 0, 240, 268}, kBlackPixel).empty());
}

TEST_F(QtSurfaceTest, FormatsAlignEachLine) {
    QtSurface surface(1);
    surface.beginPaint();
    surface.drawText(u"得点:     120", {70, 10, 140, 26}, TextFormat::Right);
    surface.drawText(u"問題 1", {5, 40, 235, 60}, TextFormat::WrapCentreMiddle);
    surface.drawText(u"漢字漢字漢字", {0, 70, 40, 110}, TextFormat::Wrap);
    surface.endPaint();
    const Ink right = inkOf(surface, {0, 10, 240, 26}, kBlackPixel);
    EXPECT_LE(right.right, 140);
    EXPECT_GE(right.right, 137);
    const Ink centred = inkOf(surface, {0, 40, 240, 60}, kBlackPixel);
    EXPECT_NEAR((centred.left + centred.right) / 2.0, 120.0, 3.0);
    // Three characters to a 40-pixel line: two lines, the second 12 pixels lower.
    const Ink first = inkOf(surface, {0, 70, 240, 82}, kBlackPixel);
    const Ink second = inkOf(surface, {0, 82, 240, 94}, kBlackPixel);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(second.top - first.top, 12);
    EXPECT_TRUE(inkOf(surface, {0, 94, 240, 110}, kBlackPixel).empty());
}

TEST_F(QtSurfaceTest, CondensedTextSqueezesAWideLineIntoItsBoxAndLeavesOthersAlone) {
    QtSurface surface(2);
    surface.beginPaint();
    // Ten full-width characters take 120 pixels: too wide for a 110-pixel ranking row.
    surface.drawText(u"あいうえおかきくけこ", {40, 50, 150, 70}, TextFormat::LeftCondensed);
    surface.drawText(u"あいう", {40, 80, 150, 100}, TextFormat::LeftCondensed);
    surface.drawText(u"あいう", {40, 110, 150, 130}, TextFormat::Wrap);
    surface.endPaint();
    const Ink squeezed = inkOf(surface, {0, 40, 240, 78}, kBlackPixel);
    ASSERT_FALSE(squeezed.empty());
    EXPECT_GE(squeezed.left, 2 * 40);
    EXPECT_LE(squeezed.right, 2 * 150);
    EXPECT_GT(squeezed.right, 2 * 140);           // the last character shows, near the box's end
    EXPECT_LE(squeezed.bottom, 2 * (50 + 12));  // on one line
    const QImage fitting = surface.image().copy(2 * 40, 2 * 80, 2 * 110, 2 * 20);
    EXPECT_EQ(fitting, surface.image().copy(2 * 40, 2 * 110, 2 * 110, 2 * 20));
}

TEST_F(QtSurfaceTest, CondensedTextTooWideToReadEndsWithAnEllipsis) {
    QtSurface cut(1);
    QtSurface expected(1);
    for (QtSurface* surface : {&cut, &expected}) {
        surface->beginPaint();
    }
    cut.drawText(u"世界の地理と歴史", {0, 0, 60, 30}, TextFormat::LeftCondensed);
    expected.drawText(u"世界の地理…", {0, 0, 60, 30}, TextFormat::LeftCondensed);
    for (QtSurface* surface : {&cut, &expected}) {
        surface->endPaint();
    }
    EXPECT_EQ(cut.image(), expected.image());
}

TEST_F(QtSurfaceTest, PaddedScoreFitsItsBoxWithNarrowSpaces) {
    EXPECT_EQ(QtSurface::textWidth(u"あ"), 12);
    EXPECT_EQ(QtSurface::textWidth(u"7"), 6);
    EXPECT_EQ(QtSurface::textWidth(u" "), 3);
    EXPECT_EQ(QtSurface::textWidth(u"得点:   32767"), 30 + 9 + 30);
    QtSurface surface(1);
    surface.beginPaint();
    surface.drawText(u"得点:     270", {70, 247, 140, 263}, TextFormat::Right);
    surface.endPaint();
    // The whole text shows: its first ink lies well inside the box, not cut at its edge.
    const Ink ink = inkOf(surface, {0, 240, 240, 268}, kBlackPixel);
    EXPECT_GE(ink.left, 74);
    EXPECT_LE(ink.right, 140);
}

TEST_F(QtSurfaceTest, OpaqueTextFillsItsLineWithWhiteFirst) {
    QtSurface surface(1);
    surface.beginPaint();
    paintBlackBand(surface);
    surface.setTextColour(colour::kBlue);
    surface.drawText(u"正解...", {3, 20, 235, 40}, TextFormat::Wrap);
    surface.setBackgroundMode(BackgroundMode::Transparent);
    surface.drawText(u"正解...", {3, 36, 235, 50}, TextFormat::Wrap);
    surface.endPaint();
    const int width = QtSurface::textWidth(u"正解...");
    EXPECT_EQ(width, 42);
    EXPECT_EQ(pixel(surface, 3, 20), kWhitePixel);
    EXPECT_EQ(pixel(surface, 3 + width - 1, 31), kWhitePixel);
    EXPECT_EQ(pixel(surface, 3 + width, 25), kBlackPixel);  // only the line's own extent
    EXPECT_EQ(pixel(surface, 3, 32), kBlackPixel);          // below the 12-pixel line
    EXPECT_EQ(pixel(surface, 3, 36), kBlackPixel);          // transparent: nothing filled
    EXPECT_FALSE(inkOf(surface, {3, 36, 60, 48}, 0x3296FF).empty());
}

TEST_F(QtSurfaceTest, EachPaintStartsWithBlackOpaqueTextAndKeepsThePicture) {
    QtSurface surface(1);
    surface.beginPaint();
    paintBlackBand(surface);
    surface.setTextColour(colour::kRed);
    surface.setBackgroundMode(BackgroundMode::Transparent);
    surface.endPaint();

    surface.beginPaint();
    surface.drawText(u"あ", {100, 20, 140, 40}, TextFormat::Wrap);
    surface.endPaint();
    EXPECT_EQ(pixel(surface, 0, 30), kBlackPixel);  // the first paint's picture is still there
    EXPECT_EQ(pixel(surface, 100, 20), kWhitePixel);  // opaque again
    EXPECT_TRUE(inkOf(surface, {100, 20, 140, 40}, 0xFF0000).empty());
}

TEST_F(QtSurfaceTest, ScaleTwoIsTheSameLayoutAtDoubleSize) {
    const auto paintScene = [](QtSurface& surface) {
        surface.beginPaint();
        paintBlackBand(surface);
        surface.eraseRect({11, 12, 200, 45});
        const std::array<Point, 2> separator{{{11, 63}, {229, 63}}};
        surface.drawPolyline(separator, 2, colour::kBlack);
        surface.drawText(u"日本で一番高い山はどれでしょう？", {40, 70, 120, 130}, TextFormat::Wrap);
        surface.drawText(u"(12問中7問正解)", {120, 140, 228, 155}, TextFormat::Right);
        surface.endPaint();
    };
    QtSurface single(1);
    QtSurface twice(2);
    paintScene(single);
    paintScene(twice);
    // Shapes double exactly.
    const QImage doubled = single.image().scaled(480, 536, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    for (int y = 0; y < 130; ++y) {
        for (int x = 0; x < 480; ++x) {
            ASSERT_EQ(doubled.pixel(x, y), twice.image().pixel(x, y)) << x << "," << y;
        }
    }
    // Text keeps its lines and alignment: each line's ink lies where the single-scale ink lies.
    for (const Rect line : {Rect{40, 70, 120, 82}, Rect{40, 82, 120, 94}, Rect{40, 94, 120, 106},
                            Rect{120, 140, 228, 155}}) {
        const Ink small = inkOf(single, line, kBlackPixel);
        const Ink large = inkOf(twice, line, kBlackPixel);
        ASSERT_FALSE(small.empty());
        ASSERT_FALSE(large.empty());
        EXPECT_NEAR(large.left, 2 * small.left, 2);
        EXPECT_NEAR(large.right, 2 * small.right, 2);
        EXPECT_NEAR(large.top, 2 * small.top, 3);
    }
}

// Text, a bitmap, a mark and a transparent text over it: a little of everything.
void paintMixedPicture(QtSurface& surface) {
    surface.beginPaint();
    erasePicture(surface);
    surface.drawBitmap(bitmap::button(2), 11, 100);
    surface.drawText(u"カモノハシは何のなかま？", Rect{40, 5, 235, 60}, TextFormat::Wrap);
    surface.drawEllipse(Rect{50, 60, 210, 220}, 40, colour::kBlue);
    surface.setBackgroundMode(BackgroundMode::Transparent);
    surface.setTextColour(colour::kGreyBlue);
    surface.drawText(u"哺乳類", Rect{40, 100, 235, 130}, TextFormat::Wrap);
    surface.endPaint();
}

TEST_F(QtSurfaceTest, APaintAfterANewScaleDrawsWhatAFreshSurfaceDraws) {
    QtSurface rescaled(1);
    paintMixedPicture(rescaled);
    for (int scale : {3, 2}) {
        rescaled.setScale(scale);
        paintMixedPicture(rescaled);
        QtSurface direct(scale);
        paintMixedPicture(direct);
        EXPECT_EQ(rescaled.image(), direct.image()) << "scale " << scale;
    }
}

// Until the game paints at the new scale, the old picture stands in for it.
TEST_F(QtSurfaceTest, ChangingTheScaleKeepsThePicture) {
    QtSurface surface(1);
    surface.beginPaint();
    paintBlackBand(surface);
    surface.endPaint();
    surface.setScale(3);
    EXPECT_EQ(surface.image().size(), QSize(720, 804));
    EXPECT_EQ(pixel(surface, 100, 30), kBlackPixel);
    EXPECT_EQ(pixel(surface, 100, 60), kWhitePixel);
}

}  // namespace
}  // namespace pp
