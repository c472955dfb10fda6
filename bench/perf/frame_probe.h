#pragma once

#include <QApplication>

#include <cstdint>
#include <functional>

namespace velmo::bench {

// An application object that notices when a frame has been painted: the first time the outermost
// event during which any widget received a paint event (the window's expose or update request,
// which paints every widget of it) has been handled. The bare program and the editor both run
// under it, so both pay its small cost alike.
class FrameProbeApplication final : public QApplication {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrameProbeApplication)
public:
    FrameProbeApplication(int& argc, char** argv);
    ~FrameProbeApplication() override;

    bool notify(QObject* receiver, QEvent* event) override;

    // Frames completed so far, and when the last one ended (bench::NowNs()).
    int frames() const { return frames_; }
    std::int64_t lastFrameEndNs() const { return lastFrameEndNs_; }
    // Runs once, right after the first frame.
    void onFirstFrame(std::function<void()> callback) { onFirstFrame_ = std::move(callback); }

    // The longest single outermost event handled since the last reset: how long the window's thread
    // was kept from answering at once.
    std::int64_t longestEventNs() const { return longestEventNs_; }
    void resetLongestEvent() { longestEventNs_ = 0; }

    // Handles events until the frame count exceeds `frames`; false when none came within timeoutMs.
    bool waitForFrameAfter(int frames, int timeoutMs = 5000);

private:
    int depth_ = 0;
    bool painted_ = false;
    int frames_ = 0;
    std::int64_t lastFrameEndNs_ = 0;
    std::int64_t longestEventNs_ = 0;
    std::function<void()> onFirstFrame_;
};

// Ends the program at its first frame: prints the time of that frame as
// "first-frame-ns <CLOCK_MONOTONIC ns>", the processor time used until then as
// "first-frame-cpu-ns <ns>", its resident memory then as "rss-kib anon <n> file <n>",
// then whatever `describe` prints, and closes every window as the close box would.
void ReportFirstFrameAndClose(FrameProbeApplication& app, std::function<void()> describe = {});

} // namespace velmo::bench
