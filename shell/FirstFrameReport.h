#pragma once

#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

// The start-up benchmark's probe, shared by the game and the bare Qt window it is measured
// against, so that both are measured at the same moment in the same way: when the environment
// names a file in PERNA_FIRST_FRAME_REPORT, the program writes its CPU time and peak resident
// size there once the first paint of `view` that shows a ready picture has been copied to the
// window, and exits at once. Without the variable nothing is installed.
namespace pp {

class FirstFrameReport final : public QObject {
public:
    // `ready` tells whether the picture `view` shows is the first real frame yet.
    static void arm(QWidget* view, std::function<bool()> ready) {
        const char* path = std::getenv("PERNA_FIRST_FRAME_REPORT");
        if (path == nullptr || *path == '\0') {
            return;
        }
        view->installEventFilter(new FirstFrameReport(path, std::move(ready), view));
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !reported_ && ready_()) {
            reported_ = true;
            // The paint event is delivered inside the window's update, which copies the painted
            // backing store to the window when every widget has painted: report after that.
            QTimer::singleShot(0, this, [this] { writeAndExit(); });
        }
        return false;
    }

private:
    FirstFrameReport(const char* path, std::function<bool()> ready, QObject* parent)
        : QObject(parent), path_(path), ready_(std::move(ready)) {}

    void writeAndExit() const {
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        const long long cpuMicroseconds =
            (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1'000'000LL + usage.ru_utime.tv_usec +
            usage.ru_stime.tv_usec;
        if (std::FILE* out = std::fopen(path_, "w")) {
            std::fprintf(out, "cpu_us=%lld maxrss_kb=%ld\n", cpuMicroseconds, usage.ru_maxrss);
            std::fclose(out);
        }
        ::_exit(0);  // the measurement is taken; tearing the program down is not part of it
    }

    const char* path_;
    std::function<bool()> ready_;
    bool reported_ = false;
};

}  // namespace pp
