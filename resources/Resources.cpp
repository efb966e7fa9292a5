#include "resources/Resources.h"

namespace pp::resources {

QString bitmapPath(int id) { return QStringLiteral(":/bitmaps/%1.bmp").arg(id); }

QString soundPath(int id) { return QStringLiteral(":/sounds/%1.wav").arg(id); }

}  // namespace pp::resources
