#pragma once

#include <QPoint>
#include <QSize>
#include <QString>

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

class QSettings;
class QTemporaryDir;

namespace pp {

// What the desktop adds to the game's five options, kept with Qt's settings store (an INI file in
// the user's config folder) so that the settings file stays exactly the handheld's.
class DesktopOptions {
public:
    // `file` is the store; empty for the user's own, "pocketperna/pocketperna.ini" in the config
    // folder. A store too large or unreadable is kept aside (renamed with the date) unread, and
    // the defaults stand; where none can stand (a folder at its path), or with `keepChanges`
    // false, changes are kept for this run only.
    explicit DesktopOptions(const QString& file = {}, bool keepChanges = true);
    ~DesktopOptions();
    DesktopOptions(const DesktopOptions&) = delete;
    DesktopOptions& operator=(const DesktopOptions&) = delete;

    // "ウィンドウが非アクティブのときは一時停止する": on unless turned off.
    [[nodiscard]] bool pauseWhenInactive() const;
    void setPauseWhenInactive(bool on);

    // "同じ問題を出さない": on unless turned off.
    [[nodiscard]] bool noRepeats() const;
    void setNoRepeats(bool on);

    // Whether another quiz file opened during a game asks first; off once the player ticks
    // "今後は確認しない".
    [[nodiscard]] bool askBeforeOpening() const;
    void setAskBeforeOpening(bool on);

    // The name typed last in the name dialog, which the next one starts with.
    [[nodiscard]] QString lastName() const;
    void setLastName(const QString& name);

    // The quiz files opened last, newest first, at most kRecentFiles; paths kept as their bytes.
    static constexpr int kRecentFiles = 8;
    [[nodiscard]] std::vector<std::filesystem::path> recentFiles() const;
    void addRecentFile(const std::filesystem::path& path);
    void removeRecentFile(const std::filesystem::path& path);

    // Where and how the window was when it last closed.
    struct WindowPlacement {
        int scale = 0;  // 0: none remembered
        std::optional<QPoint> position;
        std::optional<QSize> size;  // the window's own size, which may be more than its scale's
        bool fullScreen = false;
    };
    [[nodiscard]] WindowPlacement windowPlacement() const;
    void setWindowPlacement(const WindowPlacement& placement);

    // Writes what changed to the store now rather than at exit.
    void sync();

    // What the player should be told about the store, once at start; empty when all is well.
    [[nodiscard]] const QString& notice() const { return notice_; }

    // The largest store read; a larger one is damaged, or no store of ours.
    static constexpr std::size_t kLargestStore = 1024 * 1024;

private:
    void setRecentFiles(const std::vector<std::filesystem::path>& files);

    std::unique_ptr<QTemporaryDir> scratch_;  // holds a store for this run only
    std::unique_ptr<QSettings> settings_;
    QString notice_;
};

}  // namespace pp
