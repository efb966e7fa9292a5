#pragma once

#include <QString>

namespace pp::resources {

// Where the assets compiled into the program sit in Qt's resource system.
inline const QString kFontPath = QStringLiteral(":/fonts/VL-Gothic-Regular.ttf");
inline const QString kIconPath = QStringLiteral(":/icons/pocketperna.png");
inline const QString kSmallIconPath = QStringLiteral(":/icons/pocketperna-32.png");

QString bitmapPath(int id);  // ":/bitmaps/<id>.bmp"
QString soundPath(int id);   // ":/sounds/<id>.wav"

}  // namespace pp::resources
