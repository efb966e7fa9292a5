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
#include <utility>

// What a program does once its first picture is on the screen: work the first frame does not
// need waits until then, and the start-up benchmark takes its measurement there. Shared by the
// game and by the bare Qt window the benchmark measures it against, so that both are measured
// at the same moment in the same way.
namespace pp {

class FirstFrame final : public QObject {
public:
    // Calls `then` once, after the first paint of `view` that shows a ready picture (`ready`
    // says whether the picture is the first real frame yet) has been copied to the window.
    static void whenShown(QWidget* view, std::function<bool()> ready, std::function<void()> then) {
        view->installEventFilter(new FirstFrame(std::move(ready), std::move(then), view));
    }

    // For the start-up benchmark (bench/startup.sh): when the environment names a file in
    // PERNA_FIRST_FRAME_REPORT, writes the CPU time (user and system, every thread) and the
    // peak resident size of the process so far to it and exits at once; otherwise does nothing.
    static void reportIfAsked() {
        const char* path = std::getenv("PERNA_FIRST_FRAME_REPORT");
        if (path == nullptr || *path == '\0') {
            return;
        }
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        const long long cpuMicroseconds =
            (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1'000'000LL + usage.ru_utime.tv_usec +
            usage.ru_stime.tv_usec;
        if (std::FILE* out = std::fopen(path, "w")) {
            std::fprintf(out, "cpu_us=%lld maxrss_kb=%ld\n", cpuMicroseconds, usage.ru_maxrss);
            std::fclose(out);
        }
        ::_exit(0);  // the measurement is taken; tearing the program down is not part of it
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_ && ready_()) {
            seen_ = true;
            // The paint event is delivered inside the window's update, which copies the painted
            // backing store to the window when every widget has painted: go on after that.
            QTimer::singleShot(0, this, [this] {
                then_();
                deleteLater();
            });
        }
        return false;
    }

private:
    FirstFrame(std::function<bool()> ready, std::function<void()> then, QObject* parent)
        : QObject(parent), ready_(std::move(ready)), then_(std::move(then)) {}

    std::function<bool()> ready_;
    std::function<void()> then_;
    bool seen_ = false;
};

}  // namespace pp
