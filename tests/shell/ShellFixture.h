#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <memory>

#include "quizdata/QuizFixtures.h"
#include "shell/MainWindow.h"

namespace pp::test {

// Lets the event loop run until `done` holds or `timeoutMs` passes; true when it held.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs = 3000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Runs `handle` on the next modal dialog of type D once it is open (from inside its exec()).
template <class D>
void whenDialogOpens(std::function<void(D&)> handle, int timeoutMs = 3000) {
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [handle, clock, poll, timeoutMs] {
        if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget())) {
            handle(*dialog);
            return;
        }
        if (clock->elapsed() > timeoutMs) {
            ADD_FAILURE() << "no dialog of the expected type appeared";
            return;
        }
        QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
}

// A main window on a temporary documents folder, with a fixed seed and no sound device.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override { window = makeWindow(); }

    std::unique_ptr<MainWindow> makeWindow() {
        ShellConfig config;
        config.documentsFolder = folder.path();
        config.randomSeed = 7;
        config.windowScale = 2;
        config.sound = false;
        return std::make_unique<MainWindow>(config);
    }

    std::filesystem::path writeQuiz(const std::vector<int>& counts) {
        const std::filesystem::path path = folder / "quiz.kqd";
        writeBytes(path, quizBytes(labelledQuiz(counts)));
        return path;
    }

    static QString qpath(const std::filesystem::path& path) {
        return QString::fromStdU16String(path.u16string());
    }

    // Waits until the game shows `screen`, letting the real timer tick.
    bool reach(Screen screen, int timeoutMs = 5000) {
        return waitFor([&] { return window->state().screen == screen; }, timeoutMs);
    }

    TempDir folder;
    std::unique_ptr<MainWindow> window;
};

}  // namespace pp::test
