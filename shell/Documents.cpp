#include "shell/Documents.h"

#include <QDir>
#include <QStandardPaths>

namespace pp {

std::filesystem::path documentsFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty()) {
        folder = QDir::homePath();
    }
    QDir().mkpath(folder);
    return std::filesystem::path(folder.toStdU16String());
}

}  // namespace pp
