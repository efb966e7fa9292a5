#include "tools/assetgen/IconFile.h"

#include <QBuffer>
#include <QtEndian>

#include <stdexcept>

namespace pp::assetgen {
namespace {

constexpr int kDirectoryHeaderSize = 6;
constexpr int kDirectoryEntrySize = 16;
constexpr int kMaxIconSize = 256;

void appendU16(QByteArray& out, quint16 value) {
    out.append(static_cast<char>(value & 0xff));
    out.append(static_cast<char>(value >> 8));
}

void appendU32(QByteArray& out, quint32 value) {
    appendU16(out, static_cast<quint16>(value & 0xffff));
    appendU16(out, static_cast<quint16>(value >> 16));
}

QByteArray pngOf(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        throw std::runtime_error("cannot encode an icon image as PNG");
    }
    return png;
}

}  // namespace

QByteArray encodeIco(const std::vector<QImage>& images) {
    std::vector<QByteArray> pngs;
    for (const QImage& image : images) {
        if (image.width() > kMaxIconSize || image.height() > kMaxIconSize) {
            throw std::invalid_argument("icon images are at most 256 pixels square");
        }
        pngs.push_back(pngOf(image));
    }

    const auto count = static_cast<quint32>(images.size());
    QByteArray out;
    appendU16(out, 0);  // reserved
    appendU16(out, 1);  // an icon, not a cursor
    appendU16(out, static_cast<quint16>(count));
    quint32 offset = kDirectoryHeaderSize + kDirectoryEntrySize * count;
    for (size_t i = 0; i < images.size(); ++i) {
        // A size of 256 is stored as 0 in the one-byte fields.
        out.append(static_cast<char>(images[i].width() & 0xff));
        out.append(static_cast<char>(images[i].height() & 0xff));
        out.append('\0');   // no colour table
        out.append('\0');   // reserved
        appendU16(out, 1);  // planes
        appendU16(out, 32);  // bits per pixel of the decoded image
        appendU32(out, static_cast<quint32>(pngs[i].size()));
        appendU32(out, offset);
        offset += static_cast<quint32>(pngs[i].size());
    }
    for (const QByteArray& png : pngs) {
        out.append(png);
    }
    return out;
}

QImage enlarged(const QImage& image, int factor) {
    return image.scaled(image.width() * factor, image.height() * factor, Qt::IgnoreAspectRatio,
                        Qt::FastTransformation);
}

}  // namespace pp::assetgen
