#include "resources/Resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace pp::resources {

QString bitmapPath(int id) { return QStringLiteral(":/bitmaps/%1.bmp").arg(id); }

QString soundPath(int id) { return QStringLiteral(":/sounds/%1.wav").arg(id); }

QString fontFile() {
    QDir folder(QCoreApplication::applicationDirPath());
    for (int up = 0; up < 2 && folder.cdUp(); ++up) {
        const QString path = folder.filePath(kFontFolder + QLatin1Char('/') + kFontFileName);
        if (QFileInfo(path).isFile()) {
            return path;
        }
    }
    return {};
}

}  // namespace pp::resources
