#pragma once

#include <QGuiApplication>

namespace pp::test {

// Fonts need a GUI application; one serves the whole test program, on the offscreen platform
// unless the environment names another.
inline void ensureGuiApplication() {
    if (QGuiApplication::instance() != nullptr) {
        return;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static int argc = 1;
    static char name[] = "resources_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: a static application torn down at exit runs after Qt's thread storage
    // is gone and crashes while removing the fonts the tests added.
    static auto* app = new QGuiApplication(argc, argv);
    static_cast<void>(app);
}

}  // namespace pp::test
