#include "frame_probe.h"

#include "bench_util.h"

#include <QTimer>

#include <algorithm>

#include <cstdio>
#include <ctime>

namespace velmo::bench {

FrameProbeApplication::FrameProbeApplication(int& argc, char** argv) : QApplication(argc, argv) {}

FrameProbeApplication::~FrameProbeApplication() = default;

bool FrameProbeApplication::notify(QObject* receiver, QEvent* event) {
    if (event->type() == QEvent::Paint)
        painted_ = true;
    const std::int64_t start = depth_ == 0 ? NowNs() : 0;
    ++depth_;
    const bool handled = QApplication::notify(receiver, event);
    --depth_;
    if (depth_ == 0)
        longestEventNs_ = std::max(longestEventNs_, NowNs() - start);
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

namespace {

// "rss-kib anon <n> file <n>": the resident memory the process allocated itself, and the resident
// pages of files it maps (libraries, fonts, font caches), from /proc/self/status.
void printResidentSplit() {
    long anon = -1, file = -1;
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status)) {
            std::sscanf(line, "RssAnon: %ld", &anon);
            std::sscanf(line, "RssFile: %ld", &file);
        }
        std::fclose(status);
    }
    std::printf("rss-kib anon %ld file %ld\n", anon, file);
}

} // namespace

void ReportFirstFrameAndClose(FrameProbeApplication& app, std::function<void()> describe) {
    app.onFirstFrame([&app, describe = std::move(describe)] {
        std::printf("first-frame-ns %lld\n", static_cast<long long>(app.lastFrameEndNs()));
        // Processor time of all threads so far: barely moved by other programs taking turns on the
        // processors, unlike the elapsed time.
        timespec cpu{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
        std::printf("first-frame-cpu-ns %lld\n",
                    static_cast<long long>(cpu.tv_sec) * 1000000000LL + cpu.tv_nsec);
        printResidentSplit();
        if (describe)
            describe();
        std::fflush(stdout);
        QTimer::singleShot(0, &app, &QApplication::closeAllWindows);
    });
}

} // namespace velmo::bench
