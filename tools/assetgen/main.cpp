// Draws every bitmap and icon of the program into the resources folder:
//   assetgen <resources-dir> [--sheet <contact-sheet.png>]
#include "screens/Bitmaps.h"
#include "tools/assetgen/BmpWriter.h"
#include "tools/assetgen/IconFile.h"
#include "tools/assetgen/Lettering.h"
#include "tools/assetgen/Palette.h"
#include "tools/assetgen/Pictures.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>

#include <cstdio>
#include <exception>
#include <stdexcept>

namespace pp::assetgen {
namespace {

constexpr int kSheetScale = 4;
constexpr int kSheetWidth = 1040;
constexpr int kSheetGap = 12;
constexpr int kSheetLabelHeight = 14;
constexpr int kDesktopIconScale = 8;  // 32 pixels become the 256 of a desktop icon

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
}

struct Drawn {
    int id;
    QImage image;  // as the palette renders it
};

std::vector<Drawn> writeBitmaps(const QString& resourcesDir, const QString& fontFamily) {
    QDir().mkpath(resourcesDir + "/bitmaps");
    std::vector<Drawn> drawn;
    for (const auto& entry : pp::bitmap::kCatalogue) {
        const QImage image = drawCatalogueBitmap(entry.id, fontFamily);
        if (image.width() != entry.size.width || image.height() != entry.size.height) {
            throw std::logic_error("bitmap " + std::to_string(entry.id) +
                                   " drawn at the wrong size");
        }
        const IndexedImage indexed = toIndexed(image);
        const std::vector<std::uint8_t> bmp = encodeBmp8(indexed);
        writeFile(QString("%1/bitmaps/%2.bmp").arg(resourcesDir).arg(entry.id),
                  QByteArray(reinterpret_cast<const char*>(bmp.data()),
                             static_cast<qsizetype>(bmp.size())));
        drawn.push_back({entry.id, toImage(indexed)});
    }
    return drawn;
}

std::vector<QImage> writeIcons(const QString& resourcesDir) {
    QDir().mkpath(resourcesDir + "/icons");
    const QImage small = drawProgramIcon(16);
    const QImage medium = drawProgramIcon(32);
    const QImage large = enlarged(medium, kDesktopIconScale);
    const QString base = resourcesDir + "/icons/pocketperna";
    if (!small.save(base + "-16.png") || !medium.save(base + "-32.png") ||
        !large.save(base + ".png")) {
        throw std::runtime_error("cannot write the program icon");
    }
    writeFile(base + ".ico", encodeIco({small, medium, large}));
    return {small, medium};
}

// Every picture at the game's typical enlargement, on grey so white edges show, for looking at.
void writeContactSheet(const QString& path, const std::vector<Drawn>& drawn,
                       const std::vector<QImage>& icons) {
    std::vector<std::pair<QString, QImage>> items;
    for (const Drawn& d : drawn) {
        items.emplace_back(QString::number(d.id), enlarged(d.image, kSheetScale));
    }
    for (const QImage& icon : icons) {
        items.emplace_back(QString("icon %1").arg(icon.width()), enlarged(icon, kSheetScale));
    }
    QImage sheet(kSheetWidth, 2400, QImage::Format_RGB32);
    sheet.fill(qRgb(120, 120, 128));
    QPainter painter(&sheet);
    int x = kSheetGap;
    int y = kSheetGap;
    int rowHeight = 0;
    for (const auto& [label, image] : items) {
        if (x + image.width() > kSheetWidth - kSheetGap) {
            x = kSheetGap;
            y += rowHeight + kSheetGap;
            rowHeight = 0;
        }
        painter.setPen(Qt::white);
        painter.drawText(x, y + kSheetLabelHeight - 3, label);
        painter.drawImage(x, y + kSheetLabelHeight, image);
        x += image.width() + kSheetGap;
        rowHeight = std::max(rowHeight, image.height() + kSheetLabelHeight);
    }
    painter.end();
    if (!sheet.copy(0, 0, kSheetWidth, y + rowHeight + kSheetGap).save(path)) {
        throw std::runtime_error("cannot write the contact sheet");
    }
}

}  // namespace
}  // namespace pp::assetgen

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");  // a tool without a window
    }
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2 && !(args.size() == 4 && args[2] == "--sheet")) {
        std::fprintf(stderr, "usage: assetgen <resources-dir> [--sheet <contact-sheet.png>]\n");
        return 2;
    }
    try {
        using namespace pp::assetgen;
        const QString resourcesDir = args[1];
        const QString fontFamily = loadLetteringFont(resourcesDir);
        const auto drawn = writeBitmaps(resourcesDir, fontFamily);
        const auto icons = writeIcons(resourcesDir);
        if (args.size() == 4) {
            writeContactSheet(args[3], drawn, icons);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "assetgen: %s\n", error.what());
        return 1;
    }
    return 0;
}
