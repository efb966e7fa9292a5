#pragma once

#include <QByteArray>
#include <QImage>

#include <vector>

namespace pp::assetgen {

// A Windows icon file holding each image as embedded PNG data, largest last.
QByteArray encodeIco(const std::vector<QImage>& images);

// Scales a picture up by a whole factor with every pixel kept a sharp square.
QImage enlarged(const QImage& image, int factor);

}  // namespace pp::assetgen
