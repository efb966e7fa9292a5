#include "tools/assetgen/Palette.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>

namespace pp::assetgen {
namespace {

constexpr int kGreySteps = 16;
constexpr std::array<int, 4> kCubeLevels{0, 85, 170, 255};

constexpr std::array kInks{
    ink::kBlack,       ink::kWhite,          ink::kGrey,        ink::kLightGrey,
    ink::kPaleGrey,    ink::kRed,            ink::kBlue,        ink::kGreyBlue,
    ink::kOrange,      ink::kLavender,       ink::kLavenderDark, ink::kLavenderDeep,
    ink::kOrangeLight, ink::kOrangeDark,     ink::kOrangeDeep,  ink::kRedDark,
    ink::kBlueLight,   ink::kBlueDark,       ink::kBlueDeep,    ink::kYellow,
    ink::kYellowLight, ink::kYellowDark,     ink::kGreen,       ink::kGreenLight,
    ink::kGreenDark,   ink::kGreenDeep,      ink::kLimeLight,   ink::kLime,
    ink::kLimeShade,   ink::kLimeOutline,    ink::kSunLight,    ink::kSun,
    ink::kSunShade,    ink::kSunOutline,     ink::kEmberLight,  ink::kEmber,
    ink::kEmberShade,  ink::kEmberOutline,   ink::kPinkLight,   ink::kPink,
    ink::kPinkShade,   ink::kPinkOutline,    ink::kSkyLight,    ink::kSky,
    ink::kSkyShade,    ink::kSkyOutline,     ink::kCreamLight,  ink::kCream,
    ink::kCreamShade,  ink::kCreamOutline,   ink::kMintLight,   ink::kMint,
    ink::kMintShade,   ink::kMintOutline,    ink::kSteelLight,  ink::kSteel,
    ink::kSteelShade,  ink::kSteelOutline,   ink::kMagentaLight, ink::kMagenta,
    ink::kMagentaShade, ink::kMagentaOutline, ink::kNavy,       ink::kMaroon,
    ink::kTeal,        ink::kGold,           ink::kPurple,      ink::kEyeRed,
    ink::kEyeGreen,
};

std::vector<QRgb> buildPalette() {
    std::vector<QRgb> palette;
    auto add = [&palette](QRgb colour) {
        if (std::find(palette.begin(), palette.end(), colour) == palette.end()) {
            palette.push_back(colour);
        }
    };
    for (QRgb colour : kInks) {
        add(colour);
    }
    for (int step = 0; step < kGreySteps; ++step) {
        const int level = step * 255 / (kGreySteps - 1);
        add(qRgb(level, level, level));
    }
    for (int r : kCubeLevels) {
        for (int g : kCubeLevels) {
            for (int b : kCubeLevels) {
                add(qRgb(r, g, b));
            }
        }
    }
    return palette;
}

// Squared distance weighted roughly by how strongly the eye sees each primary.
int distance(QRgb a, QRgb b) {
    const int dr = qRed(a) - qRed(b);
    const int dg = qGreen(a) - qGreen(b);
    const int db = qBlue(a) - qBlue(b);
    return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}

int nearestEntry(const std::vector<QRgb>& palette, QRgb colour) {
    int best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (size_t i = 0; i < palette.size(); ++i) {
        const int d = distance(palette[i], colour);
        if (d < bestDistance) {
            best = static_cast<int>(i);
            bestDistance = d;
        }
    }
    return best;
}

}  // namespace

const std::vector<QRgb>& fixedPalette() {
    static const std::vector<QRgb> palette = buildPalette();
    return palette;
}

IndexedImage toIndexed(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const std::vector<QRgb>& palette = fixedPalette();

    std::vector<int> entries(static_cast<size_t>(image.width()) * image.height());
    std::map<int, std::uint8_t> used;  // fixed-palette entry -> index in this image
    std::map<QRgb, int> cache;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb colour = image.pixel(x, y) | 0xff000000u;
            auto found = cache.find(colour);
            if (found == cache.end()) {
                found = cache.emplace(colour, nearestEntry(palette, colour)).first;
            }
            entries[static_cast<size_t>(y) * image.width() + x] = found->second;
            used.emplace(found->second, 0);
        }
    }

    IndexedImage indexed{image.width(), image.height(), {}, {}};
    for (auto& [entry, index] : used) {
        index = static_cast<std::uint8_t>(indexed.palette.size());
        indexed.palette.push_back(palette[static_cast<size_t>(entry)]);
    }
    indexed.pixels.reserve(entries.size());
    for (int entry : entries) {
        indexed.pixels.push_back(used.at(entry));
    }
    return indexed;
}

QImage toImage(const IndexedImage& indexed) {
    QImage image(indexed.width, indexed.height, QImage::Format_RGB32);
    for (int y = 0; y < indexed.height; ++y) {
        for (int x = 0; x < indexed.width; ++x) {
            image.setPixel(x, y, indexed.palette[indexed.at(x, y)]);
        }
    }
    return image;
}

}  // namespace pp::assetgen
