#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <deque>
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

// Answers the modal dialogs a test opens. Each expected dialog gets its handler, run from the
// event loop while the dialog is open (answered() runs it until they are done); a modal box that nobody expects (a load error, say) fails
// the test and is closed, so a regression costs a second instead of the whole test timeout.
class DialogWatch {
public:
    DialogWatch() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }
    ~DialogWatch() {
        if (!expected_.empty()) {
            ADD_FAILURE() << expected_.size() << " expected dialog(s) never opened";
        }
    }
    DialogWatch(const DialogWatch&) = delete;
    DialogWatch& operator=(const DialogWatch&) = delete;

    // Runs `handle` on the next modal dialog, which must be a D.
    template <class D>
    void expect(std::function<void(D&)> handle) {
        expected_.push_back([handle](QWidget* widget) {
            auto* dialog = qobject_cast<D*>(widget);
            if (dialog == nullptr) {
                return false;
            }
            handle(*dialog);
            return true;
        });
    }

    // Lets the event loop run until every expected dialog has been handled and closed.
    [[nodiscard]] bool answered(int timeoutMs = 3000) {
        return waitFor([this] { return expected_.empty() && QApplication::activeModalWidget() == nullptr; },
                       timeoutMs);
    }

private:
    static constexpr int kUnexpectedAfterMs = 1000;

    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == current_) {
            if (modal == nullptr) {
                current_ = nullptr;
            } else if (openFor_.elapsed() > kUnexpectedAfterMs) {
                ADD_FAILURE() << "an unexpected dialog stayed open: " << modal->windowTitle().toStdString();
                closeUnexpected(modal);
            }
            return;
        }
        current_ = modal;
        openFor_.start();
        if (!expected_.empty()) {
            auto handle = std::move(expected_.front());
            expected_.pop_front();
            if (!handle(modal)) {
                ADD_FAILURE() << "a dialog of another kind opened: " << modal->windowTitle().toStdString();
                closeUnexpected(modal);
            }
        }
    }

    static void closeUnexpected(QWidget* modal) {
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->done(QDialog::Rejected);
        } else {
            modal->close();
        }
    }

    QTimer timer_;
    std::deque<std::function<bool(QWidget*)>> expected_;
    QWidget* current_ = nullptr;
    QElapsedTimer openFor_;
};

// A main window on a temporary documents folder, with its desktop options and missed-question
// lists there too, a fixed seed, no sound device, no game pads and its clock stopped: tests tick
// the game themselves.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override { window = makeWindow(); }

    ShellConfig testConfig(bool clockRunning = false) const {
        ShellConfig config;
        config.documentsFolder = folder.path();
        config.randomSeed = 7;
        config.windowScale = 2;
        config.sound = false;
        config.clockRunning = clockRunning;
        config.optionsFile = qpath(folder / "desktop.conf");
        config.dataFolder = folder / "data";
        config.gamePad = false;
        return config;
    }

    std::unique_ptr<MainWindow> makeWindow(bool clockRunning = false) { return makeWindow(testConfig(clockRunning)); }

    std::unique_ptr<MainWindow> makeWindow(const ShellConfig& config) {
        auto made = std::make_unique<MainWindow>(config);
        QApplication::processEvents();  // the first paint
        return made;
    }

    const GameState& state() const { return window->game().state(); }

    std::filesystem::path writeQuiz(const std::vector<int>& counts) {
        const std::filesystem::path path = folder / "quiz.kqd";
        writeBytes(path, quizBytes(labelledQuiz(counts)));
        return path;
    }

    // Opens a quiz of eight genres of four questions.
    void openQuiz() {
        window->game().open(writeQuiz({4, 4, 4, 4, 4, 4, 4, 4}));
        QApplication::processEvents();
    }

    void setOptions(const Options& options) {
        window->game().confirmSettings(options);
        QApplication::processEvents();
    }

    // Ticks the game `n` times, each followed by the paint it asks for.
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) {
            window->game().tick();
            QApplication::processEvents();
        }
    }

    // Ticks until the game shows `screen`; false when it takes more than `limit` ticks.
    bool reach(Screen screen, int limit = 1000) {
        for (int i = 0; i < limit && state().screen != screen; ++i) {
            tick();
        }
        return state().screen == screen;
    }

    static QString qpath(const std::filesystem::path& path) { return QString::fromStdU16String(path.u16string()); }

    TempDir folder;
    DialogWatch dialogs;
    std::unique_ptr<MainWindow> window;
};

}  // namespace pp::test
