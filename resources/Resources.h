#pragma once

#include <QString>

namespace pp::resources {

// Where the assets compiled into the program sit in Qt's resource system.
inline const QString kIconPath = QStringLiteral(":/icons/pocketperna.png");
inline const QString kSmallIconPath = QStringLiteral(":/icons/pocketperna-32.png");

QString bitmapPath(int id);  // ":/bitmaps/<id>.bmp"
QString soundPath(int id);   // ":/sounds/<id>.wav"

// The font is a file beside the program's data rather than a resource: registered from a file,
// it is mapped from disk instead of copied into memory twice.
inline const QString kFontFamily = QStringLiteral("VL Gothic");
inline const QString kFontFileName = QStringLiteral("VL-Gothic-Regular.ttf");
// The folder holding it, relative to the program's folder: "bin/../share/pocketperna/fonts"
// when installed; the build tree keeps a copy at the same place relative to the programs.
inline const QString kFontFolder = QStringLiteral("share/pocketperna/fonts");

// The font file found from the program's folder (in its parent, or its parent's parent for
// the tools built one folder deeper), or an empty string. Needs a QCoreApplication.
QString fontFile();

}  // namespace pp::resources
