// The yardstick of the start-up benchmark: a bare Qt Widgets program with the game window's
// shape (a main window with the same two menus and a widget copying one retained picture of
// the game's size, at the scale the game would choose on this screen) and nothing else.
// bench/startup.sh starts it beside the game.

#include <QApplication>
#include <QImage>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include <algorithm>

#include "shell/FirstFrame.h"

namespace {

constexpr QSize kLogicalSize(240, 268);

// The game's rule: the largest whole scale the screen leaves room for, at least 2.
int windowScale() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return 2;
    }
    const QSize available = screen->availableSize() - QSize(0, 120);
    return std::max(2, std::min(available.width() / kLogicalSize.width(), available.height() / kLogicalSize.height()));
}

// Copies the retained picture, as the game's view does.
class PictureView final : public QWidget {
public:
    explicit PictureView(const QImage* picture) : picture_(picture) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    [[nodiscard]] QSize sizeHint() const override { return picture_->size(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawImage(rect().topLeft(), *picture_);
    }

private:
    const QImage* picture_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QImage picture(kLogicalSize * windowScale(), QImage::Format_RGB32);
    picture.fill(Qt::white);
    {
        QPainter painter(&picture);
        painter.fillRect(QRect(20, 20, 200, 40), Qt::blue);
    }

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("bare"));
    QMenu* file = window.menuBar()->addMenu(QStringLiteral("ファイル"));
    file->addAction(QStringLiteral("開く..."));
    file->addSeparator();
    file->addAction(QStringLiteral("終了"));
    QMenu* tools = window.menuBar()->addMenu(QStringLiteral("ツール"));
    tools->addAction(QStringLiteral("バージョン情報"));
    tools->addAction(QStringLiteral("設定..."));
    tools->addAction(QStringLiteral("ランキング表示..."));
    auto* view = new PictureView(&picture);
    window.setCentralWidget(view);
    pp::FirstFrame::whenShown(view, [] { return true; }, [] { pp::FirstFrame::reportIfAsked(); });
    window.show();
    return QApplication::exec();
}
