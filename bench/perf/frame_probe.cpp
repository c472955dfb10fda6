#include "frame_probe.h"

#include "bench_util.h"

#include <QTimer>

#include <cstdio>

namespace velmo::bench {

FrameProbeApplication::FrameProbeApplication(int& argc, char** argv) : QApplication(argc, argv) {}

FrameProbeApplication::~FrameProbeApplication() = default;

bool FrameProbeApplication::notify(QObject* receiver, QEvent* event) {
    if (event->type() == QEvent::Paint)
        painted_ = true;
    ++depth_;
    const bool handled = QApplication::notify(receiver, event);
    --depth_;
    if (depth_ == 0 && painted_) {
        painted_ = false;
        lastFrameEndNs_ = NowNs();
        if (++frames_ == 1 && onFirstFrame_)
            onFirstFrame_();
    }
    return handled;
}

bool FrameProbeApplication::waitForFrameAfter(int frames, int timeoutMs) {
    // Also wakes the wait below should no frame come.
    QTimer guard;
    guard.setSingleShot(true);
    guard.start(timeoutMs);
    while (frames_ <= frames && guard.isActive())
        processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return frames_ > frames;
}

void ReportFirstFrameAndClose(FrameProbeApplication& app, std::function<void()> describe) {
    app.onFirstFrame([&app, describe = std::move(describe)] {
        std::printf("first-frame-ns %lld\n", static_cast<long long>(app.lastFrameEndNs()));
        if (describe)
            describe();
        std::fflush(stdout);
        QTimer::singleShot(0, &app, &QApplication::closeAllWindows);
    });
}

} // namespace velmo::bench
