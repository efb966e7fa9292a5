#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QPoint>
#include <QWidget>

#include <functional>
#include <optional>

namespace pp {

// Shows the game's picture centred at the largest whole scale that fits, on a plain background,
// and reports left-button releases in the picture's logical pixels. It never runs the game's
// paint itself: it only copies the retained picture.
class ScreenView final : public QWidget {
    Q_OBJECT

public:
    // `picture` is the retained image, `logicalSize` its size in the game's pixels.
    ScreenView(const QImage* picture, QSize logicalSize, QWidget* parent = nullptr);

    // The whole scale the picture is shown at in the current size.
    [[nodiscard]] int displayScale() const;

    // Where the picture's logical point lies in widget coordinates, and back; taps outside
    // the picture map to nothing.
    [[nodiscard]] QRect pictureRect() const;
    [[nodiscard]] std::optional<QPoint> toLogical(QPoint widgetPos) const;

    // While the game is paused, a veil under "一時停止中" hides the picture; the picture itself
    // is left as it is.
    void setPaused(bool paused);
    [[nodiscard]] bool paused() const { return paused_; }

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;
    void setPreferredScale(int scale);

signals:
    void tapped(QPoint logical);
    // A local file dropped on the view, as the file system names it: opened like one chosen in
    // the open dialog, which lists every file too.
    void fileDropped(const QString& path);
    // The whole scale the picture is shown at has changed with the view's size.
    void displayScaleChanged(int scale);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    const QImage* picture_;
    QSize logicalSize_;
    int preferredScale_ = 2;
    int lastDisplayScale_ = 0;
    bool paused_ = false;
    QElapsedTimer activeAgainSince_;  // from the window's return to the front, not its first showing
    bool beenActive_ = false;
    bool pressActivated_ = false;  // the press brought the window to the front: no tap
};

}  // namespace pp
