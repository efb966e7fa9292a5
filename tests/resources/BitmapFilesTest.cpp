#include "resources/Resources.h"
#include "screens/Bitmaps.h"
#include "AssetReaders.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace pp {
namespace {

using ColourTest = std::function<bool(QRgb)>;

test::BmpFile loadBitmap(int id) {
    std::string error;
    const auto bmp = test::readBmp(test::readResource(resources::bitmapPath(id)), error);
    if (!bmp) {
        ADD_FAILURE() << "bitmap " << id << ": " << error;
        return {};
    }
    return *bmp;
}

int countPixels(const test::BmpFile& bmp, const ColourTest& matches) {
    int count = 0;
    for (int y = 0; y < bmp.height; ++y) {
        for (int x = 0; x < bmp.width; ++x) {
            count += matches(bmp.pixel(x, y)) ? 1 : 0;
        }
    }
    return count;
}

int r(QRgb c) { return qRed(c); }
int g(QRgb c) { return qGreen(c); }
int b(QRgb c) { return qBlue(c); }

bool isBlack(QRgb c) { return r(c) < 24 && g(c) < 24 && b(c) < 24; }
bool isWhite(QRgb c) { return r(c) > 240 && g(c) > 240 && b(c) > 240; }
bool isLavender(QRgb c) { return b(c) > 180 && r(c) > 140 && b(c) > r(c) && r(c) > g(c); }
bool isOrange(QRgb c) { return r(c) > 220 && g(c) > 100 && g(c) < 220 && b(c) < 140; }
bool isBlue(QRgb c) { return b(c) > 180 && r(c) < 140 && g(c) < 220; }
bool isRed(QRgb c) { return r(c) > 200 && g(c) < 60 && b(c) < 60; }
bool isGreen(QRgb c) { return g(c) > r(c) + 40 && g(c) > b(c) + 40; }

// The creatures' colours, loosely, so that redrawing them in other shades still passes.
bool isYellow(QRgb c) { return r(c) > 220 && g(c) > 190 && b(c) < 100; }
bool isOrangeRed(QRgb c) { return r(c) > 220 && g(c) < 140 && b(c) < 100; }
bool isPink(QRgb c) { return r(c) > 230 && b(c) > 150 && g(c) < r(c) - 50; }
bool isPaleYellow(QRgb c) { return r(c) > 240 && g(c) > 235 && b(c) > 140 && b(c) < 230; }
bool isPaleGreen(QRgb c) { return g(c) > 230 && g(c) > r(c) + 30 && g(c) > b(c) + 30; }
bool isMagenta(QRgb c) { return r(c) > 200 && b(c) > 180 && g(c) < 120; }
bool isGrey(QRgb c) {
    return r(c) > 120 && r(c) < 220 && std::abs(r(c) - b(c)) < 24 && std::abs(r(c) - g(c)) < 24;
}
bool isDarkBlue(QRgb c) { return b(c) > r(c) + 40 && b(c) < 160; }
bool isMaroon(QRgb c) { return r(c) > g(c) + 40 && r(c) < 160; }
bool isDarkTeal(QRgb c) { return g(c) > r(c) + 40 && b(c) > r(c) + 40 && g(c) < 140; }
bool isGold(QRgb c) { return r(c) > 180 && g(c) > 120 && g(c) < 200 && b(c) < 80; }
bool isPurple(QRgb c) { return r(c) > g(c) + 20 && b(c) > g(c) + 40 && b(c) < 180; }

TEST(BitmapFiles, EveryCatalogueBitmapIsAnIndexedBottomUpBmpOfItsSize) {
    for (const auto& entry : bitmap::kCatalogue) {
        SCOPED_TRACE(entry.id);
        const QByteArray bytes = test::readResource(resources::bitmapPath(entry.id));
        ASSERT_FALSE(bytes.isEmpty()) << "missing from the resources";
        std::string error;
        const auto bmp = test::readBmp(bytes, error);
        ASSERT_TRUE(bmp) << error;
        EXPECT_EQ(bmp->declaredFileSize, static_cast<std::uint32_t>(bytes.size()));
        EXPECT_EQ(bmp->infoHeaderSize, 40u);  // BITMAPINFOHEADER
        EXPECT_EQ(bmp->width, entry.size.width);
        EXPECT_EQ(bmp->height, entry.size.height);  // positive: bottom-up
        EXPECT_EQ(bmp->planes, 1u);
        EXPECT_LE(bmp->palette.size(), 256u);
        for (std::uint8_t index : bmp->indices) {
            ASSERT_LT(index, bmp->palette.size()) << "pixel beyond the palette";
        }
    }
}

TEST(BitmapFiles, ChoiceButtonsAreLavenderOrOrangeOnBlackWithDistinctDigits) {
    std::set<std::vector<std::uint8_t>> plainDigits;
    std::set<std::vector<std::uint8_t>> litDigits;
    for (int row = 1; row <= 5; ++row) {
        SCOPED_TRACE(row);
        const test::BmpFile plain = loadBitmap(bitmap::button(row));
        const test::BmpFile lit = loadBitmap(bitmap::litButton(row));
        EXPECT_TRUE(isBlack(plain.pixel(0, 0)) && isBlack(plain.pixel(8, 2)));
        EXPECT_TRUE(isBlack(lit.pixel(0, 0)) && isBlack(lit.pixel(8, 2)));
        EXPECT_GT(countPixels(plain, isLavender), 40);
        EXPECT_EQ(countPixels(plain, isOrange), 0);
        EXPECT_GT(countPixels(lit, isOrange), 40);
        EXPECT_EQ(countPixels(lit, isLavender), 0);
        plainDigits.insert(plain.indices);
        litDigits.insert(lit.indices);
    }
    EXPECT_EQ(plainDigits.size(), 5u);
    EXPECT_EQ(litDigits.size(), 5u);
}

TEST(BitmapFiles, ProgressSlotsAndQuotaMarkerShowTheirMarks) {
    const test::BmpFile open = loadBitmap(bitmap::kSlotOpen);
    const test::BmpFile wrong = loadBitmap(bitmap::kSlotWrong);
    const test::BmpFile right = loadBitmap(bitmap::kSlotRight);
    EXPECT_TRUE(isWhite(open.pixel(4, 4)));
    EXPECT_EQ(countPixels(open, isRed) + countPixels(open, isBlue), 0);
    EXPECT_TRUE(isRed(wrong.pixel(4, 4))) << "a cross passes through the centre";
    EXPECT_TRUE(isWhite(right.pixel(4, 4))) << "a circle leaves the centre open";
    EXPECT_GT(countPixels(right, isBlue), 12);

    const test::BmpFile marker = loadBitmap(bitmap::kQuotaMarker);
    int widestRow = 0;
    int lastRowWithInk = -1;
    int previousWidth = 10;
    for (int y = 0; y < marker.height; ++y) {
        int width = 0;
        for (int x = 0; x < marker.width; ++x) {
            width += isBlack(marker.pixel(x, y)) ? 1 : 0;
        }
        if (width > 0) {
            EXPECT_LT(width, previousWidth) << "each row narrower than the one above";
            previousWidth = width;
            lastRowWithInk = y;
            widestRow = std::max(widestRow, width);
        }
    }
    EXPECT_EQ(widestRow, marker.width);
    EXPECT_GT(lastRowWithInk, 0);
}

struct IconLook {
    int id;
    ColourTest background;
    ColourTest body;
};

TEST(BitmapFiles, CharacterIconsHaveTheirLevelColours) {
    const std::vector<IconLook> looks{
        {125, isBlack, isGreen},          {131, isBlack, isYellow},
        {126, isDarkBlue, isOrangeRed},   {130, isMaroon, isPink},
        {123, isDarkTeal, isBlue},        {124, isGold, isPaleYellow},
        {127, isPurple, isPaleGreen},     {128, isBlack, isGrey},
        {129, isWhite, isMagenta},
    };
    for (const IconLook& look : looks) {
        SCOPED_TRACE(look.id);
        const test::BmpFile icon = loadBitmap(look.id);
        for (const auto& [x, y] : {std::pair{0, 0}, {31, 0}, {0, 31}, {31, 31}}) {
            EXPECT_TRUE(look.background(icon.pixel(x, y))) << "corner " << x << "," << y;
        }
        EXPECT_GT(countPixels(icon, look.body), 60) << "too little of the body colour";
        EXPECT_GT(countPixels(icon, isWhite), look.id == 129 ? 200 : 8) << "no white of an eye";
    }
    EXPECT_GE(countPixels(loadBitmap(128), isRed), 4) << "the last level's creature has a red eye";
    EXPECT_GE(countPixels(loadBitmap(129), isGreen), 4) << "the study creature has a green eye";
}

TEST(BitmapFiles, CharacterIconsGrowFromLevelToLevel) {
    int previousSize = 0;
    for (size_t level = 0; level < bitmap::kLevelIcons.size(); ++level) {
        SCOPED_TRACE(level);
        const test::BmpFile icon = loadBitmap(bitmap::kLevelIcons[level]);
        const QRgb background = icon.pixel(0, 0);
        const int size = countPixels(icon, [background](QRgb c) { return c != background; });
        EXPECT_GT(size, previousSize);
        previousSize = size;
    }
}

TEST(BitmapFiles, BannersAreLetteredInTheirColoursOnWhite) {
    const std::vector<std::pair<int, ColourTest>> banners{
        {bitmap::kAllClearBanner, isBlue},
        {bitmap::kGameOverBanner, isOrange},
        {bitmap::kRankingBanner, isBlack},
    };
    for (const auto& [id, lettering] : banners) {
        SCOPED_TRACE(id);
        const test::BmpFile banner = loadBitmap(id);
        EXPECT_TRUE(isWhite(banner.pixel(0, 0)));
        EXPECT_TRUE(isWhite(banner.pixel(banner.width - 1, banner.height - 1)));
        EXPECT_GT(countPixels(banner, isWhite), banner.width * banner.height / 3);
        EXPECT_GT(countPixels(banner, lettering), banner.width * banner.height / 20);
    }
    const test::BmpFile title = loadBitmap(bitmap::kTitleBanner);
    EXPECT_TRUE(isWhite(title.pixel(0, 0)));
    EXPECT_GE(title.palette.size(), 12u) << "the title is lettered in many colours";
}

TEST(BitmapFiles, DecorativeBarAndPlaceNumbersAreColouredAndDistinct) {
    const test::BmpFile bar = loadBitmap(bitmap::kBar);
    std::set<QRgb> barColours(bar.palette.begin(), bar.palette.end());
    EXPECT_GE(barColours.size(), 16u);

    std::set<std::vector<std::uint8_t>> places;
    for (int place = 1; place <= 10; ++place) {
        SCOPED_TRACE(place);
        const test::BmpFile number = loadBitmap(bitmap::kPlaceFirst + place - 1);
        EXPECT_GT(countPixels(number, isGreen), 80);
        EXPECT_GT(countPixels(number, isWhite), 15) << "a light digit in the box";
        places.insert(number.indices);
    }
    EXPECT_EQ(places.size(), 10u);
}

}  // namespace
}  // namespace pp
