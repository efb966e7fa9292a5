#include "tools/assetgen/BmpWriter.h"

#include <stdexcept>

namespace pp::assetgen {
namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint16_t kBitsPerPixel = 8;
constexpr std::int32_t kPixelsPerMetre = 3780;  // 96 dots per inch

class LittleEndianWriter {
public:
    explicit LittleEndianWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void u8(std::uint8_t value) { out_.push_back(value); }
    void u16(std::uint16_t value) {
        u8(static_cast<std::uint8_t>(value));
        u8(static_cast<std::uint8_t>(value >> 8));
    }
    void u32(std::uint32_t value) {
        u16(static_cast<std::uint16_t>(value));
        u16(static_cast<std::uint16_t>(value >> 16));
    }

private:
    std::vector<std::uint8_t>& out_;
};

}  // namespace

std::vector<std::uint8_t> encodeBmp8(const IndexedImage& image) {
    if (image.palette.empty() || image.palette.size() > 256) {
        throw std::invalid_argument("an 8-bit bitmap needs 1 to 256 palette colours");
    }
    const auto colours = static_cast<std::uint32_t>(image.palette.size());
    const auto stride = static_cast<std::uint32_t>((image.width + 3) / 4 * 4);
    const std::uint32_t pixelOffset = kFileHeaderSize + kInfoHeaderSize + 4 * colours;
    const std::uint32_t pixelBytes = stride * static_cast<std::uint32_t>(image.height);

    std::vector<std::uint8_t> bytes;
    bytes.reserve(pixelOffset + pixelBytes);
    LittleEndianWriter out(bytes);

    out.u8('B');
    out.u8('M');
    out.u32(pixelOffset + pixelBytes);
    out.u32(0);  // two reserved words
    out.u32(pixelOffset);

    out.u32(kInfoHeaderSize);
    out.u32(static_cast<std::uint32_t>(image.width));
    out.u32(static_cast<std::uint32_t>(image.height));  // positive: rows run bottom-up
    out.u16(1);                                          // planes
    out.u16(kBitsPerPixel);
    out.u32(0);                                          // BI_RGB, uncompressed
    out.u32(pixelBytes);
    out.u32(static_cast<std::uint32_t>(kPixelsPerMetre));
    out.u32(static_cast<std::uint32_t>(kPixelsPerMetre));
    out.u32(colours);                                    // colours used
    out.u32(0);                                          // all of them important

    for (QRgb colour : image.palette) {
        out.u8(static_cast<std::uint8_t>(qBlue(colour)));
        out.u8(static_cast<std::uint8_t>(qGreen(colour)));
        out.u8(static_cast<std::uint8_t>(qRed(colour)));
        out.u8(0);
    }

    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            out.u8(image.at(x, y));
        }
        for (auto pad = static_cast<std::uint32_t>(image.width); pad < stride; ++pad) {
            out.u8(0);
        }
    }
    return bytes;
}

}  // namespace pp::assetgen
