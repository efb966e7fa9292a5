// The generators' own pieces, and whether the committed assets are what the generators make.
#include "resources/Resources.h"
#include "screens/Bitmaps.h"
#include "AssetReaders.h"
#include "QtApplication.h"
#include "tools/assetgen/BmpWriter.h"
#include "tools/assetgen/Lettering.h"
#include "tools/assetgen/Mask.h"
#include "tools/assetgen/Palette.h"
#include "tools/assetgen/Pictures.h"
#include "tools/soundgen/Effects.h"
#include "tools/soundgen/Wav.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cmath>

namespace pp {
namespace {

QByteArray bytesOf(const std::vector<std::uint8_t>& data) {
    return QByteArray(reinterpret_cast<const char*>(data.data()),
                      static_cast<qsizetype>(data.size()));
}

TEST(BmpWriter, RowsArePaddedAndStoredBottomUpAsAnotherReaderSeesThem) {
    using assetgen::ink::kBlack, assetgen::ink::kRed, assetgen::ink::kWhite;
    // Five pixels wide, so every row needs three bytes of padding.
    QImage picture = assetgen::canvas(5, 3, kWhite);
    picture.setPixel(0, 0, kRed);
    picture.setPixel(4, 2, kBlack);
    picture.setPixel(2, 1, kRed);
    const QByteArray bmp = bytesOf(assetgen::encodeBmp8(assetgen::toIndexed(picture)));

    const QImage decoded = QImage::fromData(bmp, "BMP");
    ASSERT_FALSE(decoded.isNull());
    EXPECT_EQ(decoded.format(), QImage::Format_Indexed8);
    EXPECT_EQ(decoded.convertToFormat(QImage::Format_RGB32), picture);
    EXPECT_EQ(bmp.size(), 14 + 40 + 4 * 3 + 8 * 3);
}

TEST(Palette, KeepsInksExactAndMapsOtherColoursToTheNearest) {
    QImage picture = assetgen::canvas(3, 1, assetgen::ink::kLavender);
    picture.setPixel(1, 0, qRgb(250, 2, 3));   // nearly red
    picture.setPixel(2, 0, qRgb(52, 149, 250));  // nearly the game's blue
    const assetgen::IndexedImage indexed = assetgen::toIndexed(picture);
    EXPECT_EQ(indexed.palette[indexed.at(0, 0)], assetgen::ink::kLavender);
    EXPECT_EQ(indexed.palette[indexed.at(1, 0)], assetgen::ink::kRed);
    EXPECT_EQ(indexed.palette[indexed.at(2, 0)], assetgen::ink::kBlue);
    EXPECT_EQ(indexed.palette.size(), 3u);
}

TEST(Palette, EvenAPictureOfThousandsOfColoursFitsEightBits) {
    QImage gradient(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            gradient.setPixel(x, y, qRgb(x * 4, y * 4, (x + y) * 2));
        }
    }
    const assetgen::IndexedImage indexed = assetgen::toIndexed(gradient);
    EXPECT_LE(indexed.palette.size(), 256u);
    EXPECT_GT(indexed.palette.size(), 16u);
}

TEST(Mask, GrowsIntoOutlinesAndShadows) {
    assetgen::Mask dot(5, 5);
    dot.set(2, 2);
    EXPECT_EQ(dot.grown().bounds(), QRect(1, 1, 3, 3));
    const assetgen::Mask plus = dot.grownOrthogonally();
    EXPECT_TRUE(plus.at(2, 1) && plus.at(1, 2));
    EXPECT_FALSE(plus.at(1, 1)) << "orthogonal growth leaves the corners";
    EXPECT_EQ(dot.shifted(2, -1).bounds(), QRect(4, 1, 1, 1));
    EXPECT_TRUE(dot.shifted(3, 0).empty()) << "shapes pushed off the edge are gone";
    EXPECT_EQ(dot.grown().rim().without(dot).bounds(), QRect(1, 1, 3, 3));
}

TEST(Lettering, KeepsADakutenApartFromItsCharacter) {
    test::ensureGuiApplication();
    const QString family = assetgen::loadLetteringFont(PERNA_RESOURCES_DIR);
    const auto parts =
        assetgen::lettering(QString::fromUtf8("ゲ"), {family, 30, 2, 1}, QRect(0, 0, 40, 40), 40, 40);
    EXPECT_GE(parts.size(), 3u) << "the body and two strokes of the dakuten";
    for (const auto& part : parts) {
        EXPECT_EQ(part.character, 0);
        EXPECT_FALSE(part.mask.empty());
    }
}

TEST(WavWriter, WritesSilenceAtTheMidpointAndMixesMonoFromBothSides) {
    soundgen::Mix mix(10);
    const QByteArray stereo = bytesOf(soundgen::encodeWav(mix, {2, 8}));
    std::string error;
    const auto silent = test::readWav(stereo, error);
    ASSERT_TRUE(silent) << error;
    EXPECT_EQ(silent->frames(), 221u);  // 10 ms is 220.5 samples, rounded up
    EXPECT_EQ(static_cast<std::uint8_t>(silent->data[0]), 128);

    soundgen::Mix leftOnly(10);
    leftOnly.add({0, 0.01, 1000, 0, 0.5, -1}, soundgen::Timbre{{{1, 1}}, 0.001, 0, 0.001});
    const auto mono = test::readWav(bytesOf(soundgen::encodeWav(leftOnly, {1, 16})), error);
    ASSERT_TRUE(mono) << error;
    EXPECT_EQ(mono->channels, 1u);
    double peak = 0;
    for (std::size_t i = 0; i < mono->frames(); ++i) {
        peak = std::max(peak, std::abs(mono->sample(i, 0)));
    }
    // Equal-power panning puts a hard-left note at root two times its gain; mono halves that.
    EXPECT_NEAR(peak, 0.5 / std::sqrt(2.0), 0.02);
}

TEST(Mix, FinishingLevelsTheSoundUnderTheCeilingAndRampsTheEdges) {
    soundgen::Mix mix(200);
    mix.add({0, 0.2, 440, 0, 8.0}, soundgen::Timbre{{{1, 1}}, 0.0001, 0, 0.0001});
    mix.finish(0.5, 0.8);
    EXPECT_LE(mix.peak(), 0.8 + 1e-9) << "the ceiling wins over the loudness target";
    EXPECT_EQ(mix.left().front(), 0.0);
    EXPECT_EQ(mix.left().back(), 0.0);
    EXPECT_EQ(soundgen::framesIn(350), 7718u);
    EXPECT_EQ(soundgen::framesIn(1150), 25358u);
}

// The committed sounds are what the generator composes now, give or take the rounding of a sample.
TEST(CommittedAssets, SoundsAreTheGeneratorsOutput) {
    for (const soundgen::EffectFormat& effect : soundgen::effectFormats()) {
        SCOPED_TRACE(effect.id);
        std::string error;
        const auto made = test::readWav(
            bytesOf(soundgen::encodeWav(soundgen::composeEffect(effect.id), effect.format)), error);
        const auto committed =
            test::readWav(test::readResource(resources::soundPath(effect.id)), error);
        ASSERT_TRUE(made && committed) << error << " (run soundgen, see resources/README.md)";
        ASSERT_EQ(made->data.size(), committed->data.size());
        const double step = made->bitsPerSample == 8 ? 1 / 128.0 : 1 / 32768.0;
        int differing = 0;
        for (std::size_t i = 0; i < made->frames(); ++i) {
            for (std::uint32_t c = 0; c < made->channels; ++c) {
                const double difference = std::abs(made->sample(i, c) - committed->sample(i, c));
                differing += difference > step * 1.5 ? 1 : 0;
            }
        }
        EXPECT_EQ(differing, 0) << "regenerate with soundgen";
    }
}

TEST(CommittedAssets, BitmapsAreTheGeneratorsOutput) {
    test::ensureGuiApplication();
    const QString family = assetgen::loadLetteringFont(PERNA_RESOURCES_DIR);
    for (const auto& entry : bitmap::kCatalogue) {
        SCOPED_TRACE(entry.id);
        const QImage drawn = assetgen::drawCatalogueBitmap(entry.id, family);
        const QImage made = assetgen::toImage(assetgen::toIndexed(drawn));
        const QImage committed =
            QImage(resources::bitmapPath(entry.id)).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(made.size(), committed.size());
        EXPECT_EQ(made, committed) << "regenerate with assetgen";
    }
}

}  // namespace
}  // namespace pp
