#include "shell/DesktopOptions.h"

#include <QByteArray>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QVariant>

#include "persistence/DataFile.h"

#include <algorithm>

namespace pp {
namespace {

const QString kPauseKey = QStringLiteral("desktop/pauseWhenInactive");
const QString kNoRepeatsKey = QStringLiteral("desktop/noRepeats");
const QString kRecentKey = QStringLiteral("desktop/recentFiles");
const QString kAskBeforeOpeningKey = QStringLiteral("desktop/askBeforeOpening");
const QString kLastNameKey = QStringLiteral("desktop/lastName");
const QString kScaleKey = QStringLiteral("window/scale");
const QString kPositionKey = QStringLiteral("window/position");
const QString kFullScreenKey = QStringLiteral("window/fullScreen");
const QString kSizeKey = QStringLiteral("window/size");

const QString kKeptAsideText = QStringLiteral(
    "デスクトップの設定ファイル（pocketperna.ini）が大きすぎるか読めないため、上書きせずに次の名前で残し、"
    "初期設定で起動しました。");
const QString kUnusableText = QStringLiteral(
    "デスクトップの設定ファイル（pocketperna.ini）の場所にフォルダなどがあるため、ウィンドウの位置や"
    "最近使ったファイルは保存しません。");

// A scale past this is a damaged store, not a wish.
constexpr int kLargestScale = 16;

}  // namespace

DesktopOptions::DesktopOptions(const QString& file, bool keepChanges) {
    const QString store = file.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                                               QStringLiteral("/pocketperna/pocketperna.ini")
                                         : file;
    // Read once here with a cap before Qt parses it whole: a huge store would stall the start.
    const DataFileRead found = readDataFile(QFile::encodeName(store).toStdString(), kLargestStore, {});
    const bool usable = found.state == DataFileState::Missing || found.state == DataFileState::Read ||
                        found.state == DataFileState::KeptAside;
    if (found.state == DataFileState::KeptAside) {
        notice_ = kKeptAsideText + QLatin1Char('\n') + QFile::decodeName(QByteArray::fromStdString(found.keptAs.native()));
    } else if (!usable) {
        notice_ = kUnusableText + QLatin1Char('\n') + store;
    }
    QString used = store;
    if (!usable || !keepChanges) {
        scratch_ = std::make_unique<QTemporaryDir>();
        used = scratch_->filePath(QStringLiteral("pocketperna.ini"));
        // The store as it is, to read from; it goes with the folder at the end of the run.
        if (QFile copy(used); found.state == DataFileState::Read && copy.open(QIODevice::WriteOnly)) {
            copy.write(found.bytes.data(), static_cast<qint64>(found.bytes.size()));
        }
    }
    settings_ = std::make_unique<QSettings>(used, QSettings::IniFormat);
}

DesktopOptions::~DesktopOptions() = default;

bool DesktopOptions::pauseWhenInactive() const { return settings_->value(kPauseKey, true).toBool(); }

void DesktopOptions::setPauseWhenInactive(bool on) { settings_->setValue(kPauseKey, on); }

bool DesktopOptions::noRepeats() const { return settings_->value(kNoRepeatsKey, true).toBool(); }

void DesktopOptions::setNoRepeats(bool on) { settings_->setValue(kNoRepeatsKey, on); }

bool DesktopOptions::askBeforeOpening() const { return settings_->value(kAskBeforeOpeningKey, true).toBool(); }

void DesktopOptions::setAskBeforeOpening(bool on) { settings_->setValue(kAskBeforeOpeningKey, on); }

QString DesktopOptions::lastName() const { return settings_->value(kLastNameKey).toString(); }

void DesktopOptions::setLastName(const QString& name) { settings_->setValue(kLastNameKey, name); }

std::vector<std::filesystem::path> DesktopOptions::recentFiles() const {
    std::vector<std::filesystem::path> files;
    for (const QString& item : settings_->value(kRecentKey).toStringList()) {
        const QByteArray bytes = QByteArray::fromPercentEncoding(item.toLatin1());
        if (!bytes.isEmpty() && static_cast<int>(files.size()) < kRecentFiles) {
            files.emplace_back(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        }
    }
    return files;
}

void DesktopOptions::setRecentFiles(const std::vector<std::filesystem::path>& files) {
    // Percent-encoded, so that a name in any encoding reads back byte for byte.
    QStringList items;
    for (const std::filesystem::path& file : files) {
        items.append(QString::fromLatin1(QByteArray::fromStdString(file.native()).toPercentEncoding("/")));
    }
    settings_->setValue(kRecentKey, items);
    sync();
}

void DesktopOptions::addRecentFile(const std::filesystem::path& path) {
    std::vector<std::filesystem::path> files = recentFiles();
    std::erase(files, path);
    files.insert(files.begin(), path);
    if (static_cast<int>(files.size()) > kRecentFiles) {
        files.resize(kRecentFiles);
    }
    setRecentFiles(files);
}

void DesktopOptions::removeRecentFile(const std::filesystem::path& path) {
    std::vector<std::filesystem::path> files = recentFiles();
    if (std::erase(files, path) > 0) {
        setRecentFiles(files);
    }
}

DesktopOptions::WindowPlacement DesktopOptions::windowPlacement() const {
    WindowPlacement placement;
    const int scale = settings_->value(kScaleKey, 0).toInt();
    placement.scale = scale >= 1 && scale <= kLargestScale ? scale : 0;
    const QVariant position = settings_->value(kPositionKey);
    if (position.canConvert<QPoint>() && position.isValid()) {
        placement.position = position.toPoint();
    }
    if (const QSize size = settings_->value(kSizeKey).toSize(); size.isValid() && !size.isEmpty()) {
        placement.size = size;
    }
    placement.fullScreen = settings_->value(kFullScreenKey, false).toBool();
    return placement;
}

void DesktopOptions::setWindowPlacement(const WindowPlacement& placement) {
    settings_->setValue(kScaleKey, placement.scale);
    if (placement.position) {
        settings_->setValue(kPositionKey, *placement.position);
    } else {
        settings_->remove(kPositionKey);
    }
    if (placement.size) {
        settings_->setValue(kSizeKey, *placement.size);
    }
    settings_->setValue(kFullScreenKey, placement.fullScreen);
    sync();
}

void DesktopOptions::sync() { settings_->sync(); }

}  // namespace pp
