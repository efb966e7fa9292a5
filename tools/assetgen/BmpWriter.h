#pragma once

#include "tools/assetgen/Palette.h"

#include <cstdint>
#include <vector>

namespace pp::assetgen {

// Encodes an 8-bit palette BMP: BITMAPFILEHEADER, BITMAPINFOHEADER, the image's own palette
// and uncompressed rows stored bottom-up, each padded to four bytes.
std::vector<std::uint8_t> encodeBmp8(const IndexedImage& image);

}  // namespace pp::assetgen
