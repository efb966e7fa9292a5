#include "shell/ScreenView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include <algorithm>

#include "shell/QtSurface.h"

namespace pp {
namespace {

// The plain surround of the picture when the window is larger than it.
const QColor kSurroundColour(0x30, 0x30, 0x38);

// The pause: the picture under an opaque veil, the word in white over it. A veil that only
// dimmed would leave the question and choices readable, thinking time that the clock does not count.
const QColor kPauseVeil(0x20, 0x20, 0x28);
const QColor kPauseText(0xFF, 0xFF, 0xFF);
const QString kPausedText = QStringLiteral("一時停止中");
constexpr int kPauseTextPixels = 20;

// The one local file a drop carries, or nothing: several files or a web address open nothing.
QString droppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) {
        return {};
    }
    const QUrl url = data->urls().constFirst();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

ScreenView::ScreenView(const QImage* picture, QSize logicalSize, QWidget* parent)
    : QWidget(parent), picture_(picture), logicalSize_(logicalSize) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
}

int ScreenView::displayScale() const {
    const int byWidth = width() / logicalSize_.width();
    const int byHeight = height() / logicalSize_.height();
    return std::max(1, std::min(byWidth, byHeight));
}

QRect ScreenView::pictureRect() const {
    const QSize size = logicalSize_ * displayScale();
    return QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

std::optional<QPoint> ScreenView::toLogical(QPoint widgetPos) const {
    const QRect rect = pictureRect();
    if (!rect.contains(widgetPos)) {
        return std::nullopt;
    }
    const int scale = displayScale();
    return QPoint((widgetPos.x() - rect.left()) / scale, (widgetPos.y() - rect.top()) / scale);
}

QSize ScreenView::sizeHint() const { return logicalSize_ * preferredScale_; }

QSize ScreenView::minimumSizeHint() const { return logicalSize_; }

void ScreenView::setPreferredScale(int scale) {
    preferredScale_ = std::max(1, scale);
    updateGeometry();
}

void ScreenView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect target = pictureRect();
    painter.fillRect(rect(), kSurroundColour);
    // The picture is drawn at the scale it is shown at; only while the window is being resized
    // may it be shown at another one for a moment, smoothed when it shrinks.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, picture_->width() > target.width());
    painter.drawImage(target, *picture_);
    if (paused_) {
        painter.fillRect(target, kPauseVeil);
        QFont font = QtSurface::gameFont();
        font.setPixelSize(kPauseTextPixels * displayScale());
        font.setStyleStrategy(QFont::PreferAntialias);
        painter.setFont(font);
        painter.setPen(kPauseText);
        painter.drawText(target, Qt::AlignCenter, kPausedText);
    }
}

void ScreenView::setPaused(bool paused) {
    if (paused != paused_) {
        paused_ = paused;
        update();
    }
}

void ScreenView::resizeEvent(QResizeEvent*) {
    const int scale = displayScale();
    if (scale != lastDisplayScale_) {
        lastDisplayScale_ = scale;
        emit displayScaleChanged(scale);
    }
}

void ScreenView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        if (beenActive_) {
            activeAgainSince_.start();
        }
        beenActive_ = true;
    }
}

void ScreenView::mousePressEvent(QMouseEvent* event) {
    // The click that brings the window to the front is the player's way back, not an answer.
    // The window manager may make the window active just before or just after the press arrives.
    constexpr qint64 kActivatingClickMs = 300;
    if (event->button() == Qt::LeftButton) {
        // A window never active yet (a test's, driven from outside, or one just shown) has
        // nothing to be brought back from.
        pressActivated_ = beenActive_ && (!isActiveWindow() || (activeAgainSince_.isValid() &&
                                                                activeAgainSince_.elapsed() < kActivatingClickMs));
    }
}

void ScreenView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || pressActivated_) {
        return;
    }
    if (auto logical = toLogical(event->position().toPoint())) {
        emit tapped(*logical);
    }
}

void ScreenView::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void ScreenView::dragMoveEvent(QDragMoveEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void ScreenView::dropEvent(QDropEvent* event) {
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    emit fileDropped(path);
}

}  // namespace pp
