#include "tools/replay/PngFrames.h"

#include <QDir>

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
    if (!surface_.image().save(path, "PNG")) {
        failure = "cannot write the frame " + path.toStdString();
        return false;
    }
    return true;
}

}  // namespace pp::replay
