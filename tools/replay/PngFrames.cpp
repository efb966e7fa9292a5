#include "tools/replay/PngFrames.h"

#include <fcntl.h>
#include <unistd.h>

#include <QBuffer>
#include <QDir>

#include <cerrno>
#include <cstring>

namespace pp::replay {
namespace {

// Qt's PNG quality 80 is zlib's fastest level: encoding was nearly all of a --frames run, and
// frames of flat pixel art stay small at any level.
constexpr int kPngQuality = 80;

// Writes all of `bytes` to a new file at `path`; on failure removes what was written and says why.
// Qt's own file classes count a write that the file size limit cut short as done, so this checks
// every write itself.
bool writeWholeFile(const std::string& path, const QByteArray& bytes, std::string& reason) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    const char* data = bytes.constData();
    std::size_t left = static_cast<std::size_t>(bytes.size());
    int error = 0;
    while (left > 0 && error == 0) {
        const ssize_t done = ::write(fd, data, left);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            error = done < 0 ? errno : ENOSPC;
            break;
        }
        data += done;
        left -= static_cast<std::size_t>(done);
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        reason = std::strerror(error);
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

}  // namespace

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
    const std::string path = QDir(folder_).filePath(name).toStdString();
    // Encoded in memory first, so that what reaches the disk can be checked to the last byte.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    std::string reason = "the picture could not be encoded";
    if (!surface_.image().save(&buffer, "PNG", kPngQuality) || !writeWholeFile(path, png, reason)) {
        failure = "cannot write the frame " + path + ": " + reason;
        return false;
    }
    return true;
}

}  // namespace pp::replay
