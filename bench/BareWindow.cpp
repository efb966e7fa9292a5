// The yardstick of the start-up benchmark: a bare Qt Widgets program with the game window's
// shape (a main window with the same two menus and a widget copying one retained picture of
// the game's size at scale 2) and nothing else. bench/startup.sh starts it beside the game.

#include <QApplication>
#include <QImage>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QWidget>

#include "shell/FirstFrameReport.h"

namespace {

constexpr int kScale = 2;
constexpr QSize kPictureSize(240 * kScale, 268 * kScale);

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
    QImage picture(kPictureSize, QImage::Format_RGB32);
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
    pp::FirstFrameReport::arm(view, [] { return true; });
    window.show();
    return QApplication::exec();
}
