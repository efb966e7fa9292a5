// Runs GoogleTest inside a QApplication on the offscreen platform, without sound hardware.

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

#include "shell/LazyParts.h"

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    QApplication app(argc, argv);
    pp::lazy::addSearchFolder(QStringLiteral(PERNA_MODULE_DIR));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
