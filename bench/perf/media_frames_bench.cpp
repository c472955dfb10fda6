// Whether the window keeps painting while the editor probes a schedule's media: a window asks for a
// repaint every 4 ms while ScheduleMedia looks up and examines every file the schedule names (cold,
// a cache of its own), and the longest time between two painted frames is printed against the same
// window left to paint with nothing probing, for as long, in the same run.
//
//   media_frames_bench MEDIADIR [FILES]   MEDIADIR holds the files, e.g. <dir>/many/ as
//                                         `velmo_media_bench probe <dir>` leaves it (default 300)

#include "bench_util.h"
#include "frame_probe.h"

#include "model/app_state.h"
#include "model/file_system.h"
#include "model/schedule.h"
#include "rules/entry_rules.h"
#include "rules/schedule_sense.h"
#include "ui/document/schedule_document.h"
#include "ui/document/schedule_media.h"

#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using velmo::bench::NowNs;

struct Gaps {
    double longestMs = 0;
    std::vector<double> all;
    int frames = 0;
};

// Paints the window again and again until `done` says so (or `limitMs` passes), timing each frame.
Gaps watchFrames(velmo::bench::FrameProbeApplication& app, QLabel& window, const std::function<bool()>& done,
                 double limitMs) {
    Gaps gaps;
    int seen = app.frames();
    std::int64_t last = NowNs();
    const std::int64_t start = last;
    QTimer timer;
    timer.setInterval(4);
    int tick = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (app.frames() != seen) {
            seen = app.frames();
            const double gap = static_cast<double>(app.lastFrameEndNs() - last) / 1e6;
            gaps.all.push_back(gap);
            gaps.longestMs = std::max(gaps.longestMs, gap);
            last = app.lastFrameEndNs();
            ++gaps.frames;
        }
        window.setText(QString::number(++tick));
        if (done() || static_cast<double>(NowNs() - start) / 1e6 > limitMs)
            app.exit(0);
    });
    timer.start();
    app.exec();
    return gaps;
}

} // namespace

int main(int argc, char** argv) {
    velmo::bench::FrameProbeApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s MEDIADIR [FILES]\n", argv[0]);
        return 2;
    }
    const std::string dir = velmo::WithTrailingSeparator(argv[1]);
    const int count = velmo::bench::CountArgument(argc, argv, 2, 300);

    std::vector<velmo::FileEntry> entries;
    for (const auto& file : std::filesystem::directory_iterator(dir)) {
        velmo::FileEntry entry;
        if (static_cast<int>(entries.size()) < count &&
            velmo::StoreFileEntry(entry, file.path().filename().string(), 1, velmo::kVolumeDefault))
            entries.push_back(entry);
    }
    // As many as the basic list holds, the rest in one period's details.
    const auto split = std::min<std::size_t>(entries.size(), velmo::kMaxBasicEntries);
    velmo::AdvanceEntry period;
    velmo::SetDetailEntries(period, {entries.begin() + static_cast<long>(split), entries.end()});
    velmo::AppState state;
    state.appPath = state.scheduleDir = state.mediaDir = dir;
    state.schedule = velmo::MakeSchedule({entries.begin(), entries.begin() + static_cast<long>(split)},
                                         split < entries.size() ? std::vector<velmo::AdvanceEntry>{period}
                                                                : std::vector<velmo::AdvanceEntry>{});
    velmo::ScheduleDocument document(state);

    QLabel window(QStringLiteral("0"));
    window.resize(1040, 680);
    window.show();
    app.waitForFrameAfter(0);

    velmo::ScheduleMedia media(state, document);
    bool answered = false;
    QObject::connect(&media, &velmo::ScheduleMedia::updated, [&answered] { answered = true; });
    const std::int64_t start = NowNs();
    media.refresh();
    const Gaps probing = watchFrames(
        app, window, [&answered] { return answered; }, 120000);
    const double probeMs = static_cast<double>(NowNs() - start) / 1e6;
    int plays = 0;
    int found = 0;
    for (const velmo::FileEntry& entry : entries)
        if (const velmo::MediaFileInfo* info = media.info(velmo::MediaFileName(entry)); info && info->found) {
            ++found;
            plays += info->media.verdict.plays ? 1 : 0;
        }
    const Gaps idle = watchFrames(
        app, window, [] { return false; }, probeMs);

    std::printf("files named: %zu, found %d, play %d%s\n", entries.size(), found, plays,
                answered ? "" : " (no answer within 120 s)");
    std::printf("probing through ScheduleMedia: %.0f ms\n", probeMs);
    std::printf("longest time between frames while probing: %.1f ms over %d frames (p99 %.1f ms; goal under "
                "100 ms)\n",
                probing.longestMs, probing.frames, velmo::bench::Quantile(probing.all, 0.99));
    std::printf("yardstick, the same window with nothing probing, as long: %.1f ms over %d frames (p99 %.1f "
                "ms)\n",
                idle.longestMs, idle.frames, velmo::bench::Quantile(idle.all, 0.99));
    std::printf("ratio longest gap probing / idle: %.2fx\n",
                idle.longestMs > 0 ? probing.longestMs / idle.longestMs : 0.0);
    return 0;
}
