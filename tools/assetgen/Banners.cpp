// The lettered pictures: the end-screen banners, the ranking heading, the title and the logo.
#include "tools/assetgen/Lettering.h"
#include "tools/assetgen/Mask.h"
#include "tools/assetgen/Palette.h"
#include "tools/assetgen/Pictures.h"

#include <array>
#include <functional>

namespace pp::assetgen {
namespace {

constexpr int kBannerWidth = 200;
constexpr int kBannerHeight = 50;
constexpr int kRankingHeight = 30;
constexpr int kTitleWidth = 240;
constexpr int kTitleHeight = 35;
constexpr int kLogoWidth = 150;
constexpr int kLogoHeight = 20;

const std::vector<std::string_view> kStar{
    "....#....",
    "....#....",
    "...###...",
    "#########",
    ".#######.",
    "..#####..",
    "..##.##..",
    ".##...##.",
    ".#.....#.",
};
const std::vector<std::string_view> kSparkle{"..#..", "..#..", "##.##", "..#..", "..#.."};
const std::vector<std::string_view> kCrown{
    "#....#....#",
    "##..###..##",
    "###.###.###",
    "###########",
    "###########",
    "###########",
};

// Paints lettering piece by piece, each ringed in its ramp's outline so that pieces pushed
// together by thickening stay apart, over a shadow dropped down and to the right. Fills run
// light, base, shade from top to bottom across the whole line, so the bands line up.
void paintLettering(QImage& image, const std::vector<LetteringPart>& parts,
                    const std::function<ink::Ramp(int character)>& rampOf, QRgb shadow,
                    int shadowOffset) {
    const Mask all = united(parts, image.width(), image.height());
    const Mask outlined = all.grown();
    const QRect ink = all.bounds();
    paint(image, outlined.shifted(shadowOffset, shadowOffset).without(outlined), shadow);
    for (const LetteringPart& part : parts) {
        const ink::Ramp ramp = rampOf(part.character);
        paint(image, part.mask.grown().without(part.mask), ramp.outline);
        paint(image, part.mask, [&](int, int y) {
            const double t = double(y - ink.top()) / ink.height();
            return t < 0.32 ? ramp.light : t < 0.72 ? ramp.base : ramp.shade;
        });
    }
}

void paintLettering(QImage& image, const std::vector<LetteringPart>& parts, const ink::Ramp& ramp,
                    QRgb shadow, int shadowOffset) {
    paintLettering(image, parts, [&](int) { return ramp; }, shadow, shadowOffset);
}

void paintStamp(QImage& image, const std::vector<std::string_view>& stamp, int x, int y,
                const ink::Ramp& ramp) {
    Mask shape(image.width(), image.height());
    shape.stamp(stamp, x, y);
    paint(image, shape.grownOrthogonally().without(shape), ramp.outline);
    paint(image, shape, ramp.base);
    paint(image, shape.without(shape.shifted(0, -1)), ramp.shade);  // bottom edge in shade
}

void paintSparkle(QImage& image, int x, int y, QRgb colour) {
    Mask shape(image.width(), image.height());
    shape.stamp(kSparkle, x, y);
    paint(image, shape, colour);
}

}  // namespace

QImage drawAllClearBanner(const QString& fontFamily) {
    QImage image = canvas(kBannerWidth, kBannerHeight, ink::kWhite);
    const LetteringStyle style{fontFamily, 34, 1.8, 2};
    const auto letters = lettering(QString::fromUtf8("おめでとう！！"), style,
                                   QRect(24, 4, 152, 40), kBannerWidth, kBannerHeight);
    paintLettering(image, letters, ink::kBlueRamp, ink::kLightGrey, 2);
    paintStamp(image, kStar, 4, 8, ink::kSunRamp);
    paintStamp(image, kStar, 187, 26, ink::kSunRamp);
    paintSparkle(image, 9, 32, ink::kOrange);
    paintSparkle(image, 186, 6, ink::kOrange);
    return image;
}

QImage drawGameOverBanner(const QString& fontFamily) {
    QImage image = canvas(kBannerWidth, kBannerHeight, ink::kWhite);
    const LetteringStyle style{fontFamily, 40, 2.4, 2, 0.72};
    const auto letters = lettering(QString::fromUtf8("ゲームオーバー"), style,
                                   QRect(5, 5, 188, 38), kBannerWidth, kBannerHeight);
    paintLettering(image, letters, ink::kOrangeRamp, ink::kLightGrey, 2);
    return image;
}

QImage drawRankingBanner(const QString& fontFamily) {
    QImage image = canvas(kBannerWidth, kRankingHeight, ink::kWhite);
    const LetteringStyle style{fontFamily, 24, 1.6, 2};
    const auto letters = lettering(QString::fromUtf8("ランキング"), style,
                                   QRect(30, 2, 140, 26), kBannerWidth, kRankingHeight);
    // Black lettering needs no outline on white; a white ring still parts the dakuten.
    const ink::Ramp black{ink::kBlack, ink::kBlack, ink::kBlack, ink::kWhite};
    paintLettering(image, letters, black, ink::kLightGrey, 2);
    paintStamp(image, kCrown, 10, 12, ink::kSunRamp);
    paintStamp(image, kCrown, 179, 12, ink::kSunRamp);
    return image;
}

QImage drawTitleBanner(const QString& fontFamily) {
    constexpr std::array kRamps{ink::kEmberRamp, ink::kOrangeRamp, ink::kSunRamp, ink::kLimeRamp,
                                ink::kSkyRamp,   ink::kLavenderRamp, ink::kMagentaRamp};
    QImage image = canvas(kTitleWidth, kTitleHeight, ink::kWhite);
    const LetteringStyle style{fontFamily, 30, 2, 3};
    const auto letters = lettering(QString::fromUtf8("ポケットペルナ"), style,
                                   QRect(12, 2, 216, 30), kTitleWidth, kTitleHeight);
    paintLettering(
        image, letters,
        [&](int character) {
            ink::Ramp ramp = kRamps[static_cast<size_t>(character) % kRamps.size()];
            ramp.outline = ink::kBlueDeep;  // one outline colour holds the rainbow together
            return ramp;
        },
        ink::kLightGrey, 2);
    paintSparkle(image, 2, 4, ink::kSun);
    paintSparkle(image, 233, 24, ink::kSky);
    return image;
}

QImage drawLogo(const QString& fontFamily) {
    constexpr int kPocketLength = 6;
    QImage image = canvas(kLogoWidth, kLogoHeight, ink::kWhite);
    const LetteringStyle style{fontFamily, 17, 1.2, 1};
    const auto letters =
        lettering("Pocket Perna", style, QRect(3, 1, 134, 17), kLogoWidth, kLogoHeight);
    paintLettering(
        image, letters,
        [](int character) { return character < kPocketLength ? ink::kOrangeRamp : ink::kBlueRamp; },
        ink::kLightGrey, 1);
    paintSparkle(image, 141, 2, ink::kSun);
    return image;
}

}  // namespace pp::assetgen
