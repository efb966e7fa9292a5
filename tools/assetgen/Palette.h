#pragma once

#include <QImage>
#include <QRgb>

#include <cstdint>
#include <vector>

namespace pp::assetgen {

// The inks the pictures are drawn with. Every one is an entry of the fixed palette, so a picture
// drawn only with these comes through the palette mapping unchanged.
namespace ink {
inline constexpr QRgb kBlack = qRgb(0, 0, 0);
inline constexpr QRgb kWhite = qRgb(255, 255, 255);
inline constexpr QRgb kGrey = qRgb(128, 128, 128);
inline constexpr QRgb kLightGrey = qRgb(200, 200, 208);
inline constexpr QRgb kPaleGrey = qRgb(232, 232, 240);

// The game's own text and mark colours.
inline constexpr QRgb kRed = qRgb(255, 0, 0);
inline constexpr QRgb kBlue = qRgb(50, 150, 255);
inline constexpr QRgb kGreyBlue = qRgb(150, 150, 200);
inline constexpr QRgb kOrange = qRgb(255, 150, 50);

inline constexpr QRgb kLavender = qRgb(196, 180, 255);
inline constexpr QRgb kLavenderDark = qRgb(104, 88, 168);
inline constexpr QRgb kLavenderDeep = qRgb(44, 36, 80);
inline constexpr QRgb kOrangeLight = qRgb(255, 208, 120);
inline constexpr QRgb kOrangeDark = qRgb(176, 80, 16);
inline constexpr QRgb kOrangeDeep = qRgb(80, 36, 8);
inline constexpr QRgb kRedDark = qRgb(150, 0, 0);
inline constexpr QRgb kBlueLight = qRgb(150, 206, 255);
inline constexpr QRgb kBlueDark = qRgb(20, 70, 170);
inline constexpr QRgb kBlueDeep = qRgb(10, 32, 96);
inline constexpr QRgb kYellow = qRgb(255, 232, 40);
inline constexpr QRgb kYellowLight = qRgb(255, 248, 168);
inline constexpr QRgb kYellowDark = qRgb(200, 150, 0);

// Place numbers.
inline constexpr QRgb kGreen = qRgb(40, 176, 64);
inline constexpr QRgb kGreenLight = qRgb(128, 232, 120);
inline constexpr QRgb kGreenDark = qRgb(12, 96, 32);
inline constexpr QRgb kGreenDeep = qRgb(4, 48, 16);

// Creature bodies: light, base, shade and outline of each.
inline constexpr QRgb kLimeLight = qRgb(176, 255, 144);
inline constexpr QRgb kLime = qRgb(96, 224, 80);
inline constexpr QRgb kLimeShade = qRgb(40, 152, 48);
inline constexpr QRgb kLimeOutline = qRgb(16, 88, 24);
inline constexpr QRgb kSunLight = qRgb(255, 252, 176);
inline constexpr QRgb kSun = qRgb(255, 224, 48);
inline constexpr QRgb kSunShade = qRgb(216, 160, 16);
inline constexpr QRgb kSunOutline = qRgb(136, 88, 8);
inline constexpr QRgb kEmberLight = qRgb(255, 176, 120);
inline constexpr QRgb kEmber = qRgb(255, 96, 40);
inline constexpr QRgb kEmberShade = qRgb(192, 48, 24);
inline constexpr QRgb kEmberOutline = qRgb(96, 16, 16);
inline constexpr QRgb kPinkLight = qRgb(255, 212, 232);
inline constexpr QRgb kPink = qRgb(255, 150, 200);
inline constexpr QRgb kPinkShade = qRgb(216, 88, 152);
inline constexpr QRgb kPinkOutline = qRgb(128, 32, 88);
inline constexpr QRgb kSkyLight = qRgb(168, 208, 255);
inline constexpr QRgb kSky = qRgb(72, 144, 255);
inline constexpr QRgb kSkyShade = qRgb(32, 88, 208);
inline constexpr QRgb kSkyOutline = qRgb(16, 40, 120);
inline constexpr QRgb kCreamLight = qRgb(255, 255, 232);
inline constexpr QRgb kCream = qRgb(255, 246, 176);
inline constexpr QRgb kCreamShade = qRgb(232, 208, 112);
inline constexpr QRgb kCreamOutline = qRgb(128, 88, 16);
inline constexpr QRgb kMintLight = qRgb(232, 255, 232);
inline constexpr QRgb kMint = qRgb(176, 255, 184);
inline constexpr QRgb kMintShade = qRgb(104, 200, 128);
inline constexpr QRgb kMintOutline = qRgb(32, 96, 56);
inline constexpr QRgb kSteelLight = qRgb(224, 224, 232);
inline constexpr QRgb kSteel = qRgb(168, 168, 180);
inline constexpr QRgb kSteelShade = qRgb(112, 112, 128);
inline constexpr QRgb kSteelOutline = qRgb(64, 64, 76);
inline constexpr QRgb kMagentaLight = qRgb(255, 160, 248);
inline constexpr QRgb kMagenta = qRgb(232, 64, 216);
inline constexpr QRgb kMagentaShade = qRgb(168, 24, 160);
inline constexpr QRgb kMagentaOutline = qRgb(88, 8, 88);

// Creature backgrounds and eyes.
inline constexpr QRgb kNavy = qRgb(16, 24, 104);
inline constexpr QRgb kMaroon = qRgb(104, 16, 40);
inline constexpr QRgb kTeal = qRgb(0, 80, 88);
inline constexpr QRgb kGold = qRgb(212, 160, 24);
inline constexpr QRgb kPurple = qRgb(88, 40, 136);
inline constexpr QRgb kEyeRed = qRgb(232, 24, 24);
inline constexpr QRgb kEyeGreen = qRgb(24, 184, 64);

// Four tones of one colour, for shapes lit from the top left.
struct Ramp {
    QRgb light;
    QRgb base;
    QRgb shade;
    QRgb outline;
};
inline constexpr Ramp kLimeRamp{kLimeLight, kLime, kLimeShade, kLimeOutline};
inline constexpr Ramp kSunRamp{kSunLight, kSun, kSunShade, kSunOutline};
inline constexpr Ramp kEmberRamp{kEmberLight, kEmber, kEmberShade, kEmberOutline};
inline constexpr Ramp kPinkRamp{kPinkLight, kPink, kPinkShade, kPinkOutline};
inline constexpr Ramp kSkyRamp{kSkyLight, kSky, kSkyShade, kSkyOutline};
inline constexpr Ramp kCreamRamp{kCreamLight, kCream, kCreamShade, kCreamOutline};
inline constexpr Ramp kMintRamp{kMintLight, kMint, kMintShade, kMintOutline};
inline constexpr Ramp kSteelRamp{kSteelLight, kSteel, kSteelShade, kSteelOutline};
inline constexpr Ramp kMagentaRamp{kMagentaLight, kMagenta, kMagentaShade, kMagentaOutline};
inline constexpr Ramp kOrangeRamp{kOrangeLight, kOrange, kOrangeDark, kOrangeDeep};
inline constexpr Ramp kGreenRamp{kGreenLight, kGreen, kGreenDark, kGreenDeep};
inline constexpr Ramp kBlueRamp{kBlueLight, kBlue, kBlueDark, kBlueDeep};
inline constexpr Ramp kLavenderRamp{kLavender, kLavender, kLavenderDark, kLavenderDeep};
}  // namespace ink

// A picture as palette indices, the form the bitmap files store.
struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<QRgb> palette;          // at most 256 colours
    std::vector<std::uint8_t> pixels;   // row-major, top row first

    std::uint8_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// All the colours a bitmap may use: the inks above, a grey ramp and a coarse colour cube
// for whatever falls between them.
const std::vector<QRgb>& fixedPalette();

// Maps every pixel to the nearest palette colour (no dithering, so pixel art stays exact) and
// keeps only the colours used, in palette order. Alpha is ignored.
IndexedImage toIndexed(const QImage& image);

// Back to a full-colour image, for the contact sheet and the icons.
QImage toImage(const IndexedImage& indexed);

}  // namespace pp::assetgen
