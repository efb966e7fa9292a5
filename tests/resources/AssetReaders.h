#pragma once

// Readers for the asset files, written from the file formats rather than shared with the
// generators, so a fault in a generator's writer cannot hide itself.

#include <QByteArray>
#include <QFile>
#include <QRgb>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pp::test {

inline std::uint32_t readU16(const QByteArray& bytes, qsizetype at) {
    return static_cast<std::uint8_t>(bytes[at]) | static_cast<std::uint8_t>(bytes[at + 1]) << 8;
}

inline std::uint32_t readU32(const QByteArray& bytes, qsizetype at) {
    return readU16(bytes, at) | readU16(bytes, at + 2) << 16;
}

inline std::int32_t readI32(const QByteArray& bytes, qsizetype at) {
    return static_cast<std::int32_t>(readU32(bytes, at));
}

inline QByteArray readResource(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct BmpFile {
    std::uint32_t declaredFileSize = 0;
    std::uint32_t pixelOffset = 0;
    std::uint32_t infoHeaderSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;  // positive for rows stored bottom-up
    std::uint32_t planes = 0;
    std::uint32_t bitsPerPixel = 0;
    std::uint32_t compression = 0;
    std::vector<QRgb> palette;
    std::vector<std::uint8_t> indices;  // top row first

    int index(int x, int y) const { return indices[static_cast<size_t>(y) * width + x]; }
    QRgb pixel(int x, int y) const { return palette.at(static_cast<size_t>(index(x, y))); }
};

// Reads an uncompressed 8-bit palette BMP; anything else yields an error message.
inline std::optional<BmpFile> readBmp(const QByteArray& bytes, std::string& error) {
    constexpr qsizetype kHeaders = 14 + 40;
    if (bytes.size() < kHeaders || bytes[0] != 'B' || bytes[1] != 'M') {
        error = "not a BMP file";
        return std::nullopt;
    }
    BmpFile bmp;
    bmp.declaredFileSize = readU32(bytes, 2);
    bmp.pixelOffset = readU32(bytes, 10);
    bmp.infoHeaderSize = readU32(bytes, 14);
    bmp.width = readI32(bytes, 18);
    bmp.height = readI32(bytes, 22);
    bmp.planes = readU16(bytes, 26);
    bmp.bitsPerPixel = readU16(bytes, 28);
    bmp.compression = readU32(bytes, 30);
    std::uint32_t colours = readU32(bytes, 46);
    if (bmp.bitsPerPixel != 8 || bmp.compression != 0 || bmp.width <= 0 || bmp.height == 0) {
        error = "not an uncompressed 8-bit BMP";
        return std::nullopt;
    }
    if (colours == 0) {
        colours = 256;
    }
    const qsizetype paletteAt = 14 + bmp.infoHeaderSize;
    const std::int32_t rows = bmp.height < 0 ? -bmp.height : bmp.height;
    const qsizetype stride = (bmp.width + 3) / 4 * 4;
    if (colours > 256 || paletteAt + 4 * colours > bmp.pixelOffset ||
        bmp.pixelOffset + stride * rows > bytes.size()) {
        error = "palette or pixel rows outside the file";
        return std::nullopt;
    }
    for (std::uint32_t i = 0; i < colours; ++i) {
        const qsizetype at = paletteAt + 4 * i;
        bmp.palette.push_back(qRgb(static_cast<std::uint8_t>(bytes[at + 2]),
                                   static_cast<std::uint8_t>(bytes[at + 1]),
                                   static_cast<std::uint8_t>(bytes[at])));
    }
    for (std::int32_t y = 0; y < rows; ++y) {
        const std::int32_t stored = bmp.height > 0 ? rows - 1 - y : y;
        for (std::int32_t x = 0; x < bmp.width; ++x) {
            const qsizetype at = bmp.pixelOffset + stride * stored + x;
            bmp.indices.push_back(static_cast<std::uint8_t>(bytes[at]));
        }
    }
    return bmp;
}

struct WavFile {
    std::uint32_t riffSize = 0;
    std::uint32_t formatTag = 0;
    std::uint32_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t byteRate = 0;
    std::uint32_t blockAlign = 0;
    std::uint32_t bitsPerSample = 0;
    QByteArray data;

    std::size_t frames() const {
        return blockAlign ? static_cast<std::size_t>(data.size()) / blockAlign : 0;
    }
    // A sample scaled to -1..1; 8-bit samples are unsigned around 128.
    double sample(std::size_t frame, std::uint32_t channel) const {
        const auto at = static_cast<qsizetype>(frame * blockAlign + channel * bitsPerSample / 8);
        if (bitsPerSample == 8) {
            return (static_cast<std::uint8_t>(data[at]) - 128) / 128.0;
        }
        return static_cast<std::int16_t>(readU16(data, at)) / 32768.0;
    }
};

// Reads a RIFF WAVE file chunk by chunk, skipping chunks other than "fmt " and "data".
inline std::optional<WavFile> readWav(const QByteArray& bytes, std::string& error) {
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE") {
        error = "not a RIFF WAVE file";
        return std::nullopt;
    }
    WavFile wav;
    wav.riffSize = readU32(bytes, 4);
    bool haveFormat = false;
    bool haveData = false;
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const QByteArray tag = bytes.mid(at, 4);
        const std::uint32_t size = readU32(bytes, at + 4);
        const qsizetype body = at + 8;
        if (body + size > bytes.size()) {
            error = "chunk " + tag.toStdString() + " runs past the end of the file";
            return std::nullopt;
        }
        if (tag == "fmt " && size >= 16) {
            wav.formatTag = readU16(bytes, body);
            wav.channels = readU16(bytes, body + 2);
            wav.sampleRate = readU32(bytes, body + 4);
            wav.byteRate = readU32(bytes, body + 8);
            wav.blockAlign = readU16(bytes, body + 12);
            wav.bitsPerSample = readU16(bytes, body + 14);
            haveFormat = true;
        } else if (tag == "data") {
            wav.data = bytes.mid(body, size);
            haveData = true;
        }
        at = body + size + size % 2;
    }
    if (!haveFormat || !haveData) {
        error = "missing fmt or data chunk";
        return std::nullopt;
    }
    return wav;
}

}  // namespace pp::test
