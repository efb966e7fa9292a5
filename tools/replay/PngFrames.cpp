#include "tools/replay/PngFrames.h"

#include <QBuffer>
#include <QDir>
#include <QSaveFile>

namespace pp::replay {

PngFrames::PngFrames(const QString& folder, int scale) : folder_(folder), surface_(scale) {
    ready_ = QDir().mkpath(folder_);
}

bool PngFrames::endFrame(Screen painted, std::string& failure) {
    surface_.endPaint();
    ++framesWritten_;
    const QString name = QStringLiteral("%1-%2.png")
                             .arg(framesWritten_, 5, 10, QLatin1Char('0'))
                             .arg(QString::fromUtf8(screenName(painted).data(),
                                                    static_cast<qsizetype>(screenName(painted).size())));
    const QString path = QDir(folder_).filePath(name);
    // Encoded in memory first and written through a file that is checked when committed: a
    // full disk otherwise passes for a saved frame and leaves an empty file.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QSaveFile file(path);
    if (!surface_.image().save(&buffer, "PNG") || !file.open(QIODevice::WriteOnly) ||
        file.write(png) != png.size() || !file.commit()) {
        failure = "cannot write the frame " + path.toStdString() + ": " + file.errorString().toStdString();
        return false;
    }
    return true;
}

}  // namespace pp::replay
