// The schedule overview's sums for the largest schedule: every finding (31 125 pairs compared for
// overlaps) and the marks of the busiest month, the work done each time the schedule changes while
// the overview is open. Beside it, as a yardstick, one copy of the same schedule, measured in the same
// interleaved rounds.
//
// Then the window itself, offscreen, with the largest schedule's 250 periods all overlapping: how
// long one edit through the document keeps the window's thread from answering while the overview is
// open (the edit call and the longest single event after it, until its findings are shown), against
// the same edit in a main window without an overview, and against the way it was done before: every
// finding and its row made on the window's thread and filled into a list widget. The overview's first
// paint is measured against the same window on an empty schedule.
//
//   overview_bench [rounds] [window rounds]
//   overview_bench once     each sum once, untimed, for callgrind's instruction counts:
//     valgrind --tool=callgrind overview_bench once; callgrind_annotate --inclusive=yes callgrind.out.*

#include "bench_util.h"
#include "frame_probe.h"
#include "largest_schedule.h"

#include "model/app_state.h"
#include "model/random_source.h"
#include "model/schedule_file.h"
#include "rules/entry_rules.h"
#include "rules/schedule_rules.h"
#include "rules/schedule_sense.h"
#include "texts/screen_texts.h"
#include "ui/document/schedule_document.h"
#include "ui/main/main_form.h"
#include "ui/overview/overview_hooks.h"
#include "ui/overview/schedule_overview_form.h"
#include "ui/platform/app_context.h"
#include "ui/platform/clock.h"
#include "ui/platform/link_opener.h"
#include "ui/platform/prompts.h"
#include "ui/platform/volumes.h"

#include <QAction>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <set>

namespace {

using velmo::bench::NowNs;

inline void Escape(const void* p) {
    asm volatile("" : : "g"(p) : "memory");
}

// Milliseconds of one call, from a block of calls long enough to time.
double MillisecondsPerCall(const std::function<void()>& op, int reps) {
    const std::int64_t start = NowNs();
    for (int i = 0; i < reps; ++i)
        op();
    return static_cast<double>(NowNs() - start) * 1e-6 / reps;
}

int RepsFor(const std::function<void()>& op, std::int64_t targetNs) {
    const std::int64_t start = NowNs();
    op();
    const std::int64_t once = std::max<std::int64_t>(NowNs() - start, 1);
    return static_cast<int>(std::clamp<std::int64_t>(targetNs / once, 1, 1 << 20));
}

// Nothing is asked in these runs; any question counts as a fault.
class NoPrompts final : public velmo::Prompts {
public:
    int asked = 0;
    QStringList said;
    void message(QWidget*, const QString& text) override {
        ++asked;
        said << text;
    }
    void messageUntitled(QWidget*, const QString& text) override {
        ++asked;
        said << text;
    }
    bool askYesNo(QWidget*, const QString& text) override {
        said << text;
        return ++asked < 0;
    }
    bool askOkCancel(QWidget*, const QString& text) override {
        said << text;
        return ++asked < 0;
    }
    std::optional<QString> openFile(QWidget*, const QString&, const QString&, const QString&) override {
        ++asked;
        return std::nullopt;
    }
    std::optional<QString> saveFile(QWidget*, const QString&, const QString&, const QString&) override {
        ++asked;
        return std::nullopt;
    }
    int askThreeWay(QWidget*, const QString& text, const velmo::ThreeAnswers<int>& answers) override {
        said << text;
        ++asked;
        return answers.cancel.first;
    }
    QStringList openFiles(QWidget*, const QString&, const QString&) override {
        ++asked;
        return {};
    }
};

class NoLinks final : public velmo::LinkOpener {
public:
    bool open(const QUrl&) override { return false; }
};

// One main window on the schedule in `dir`, with everything it is handed.
struct Editor {
    velmo::AppState state;
    velmo::ScreenTexts texts;
    NoPrompts prompts;
    velmo::SystemClock clock;
    velmo::SeededRandomSource random{2007};
    velmo::SystemVolumeList volumes;
    NoLinks links;
    velmo::AppContext context{state, texts, prompts, clock, random, volumes, links, {}};
    velmo::MainForm form;
    explicit Editor(const std::string& dir) : form(context, dir) {}
};

// Handles events for `ms`, as a user would leave the window alone after an edit.
void settle(int ms) {
    QTimer guard;
    guard.setSingleShot(true);
    guard.start(ms);
    while (guard.isActive())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

// Period 125 moved by a minute and back, one edit at a time: the overview must follow each.
double editBlocksMs(velmo::bench::FrameProbeApplication& app, Editor& editor, int round,
                    const std::function<bool()>& shown) {
    using namespace velmo;
    ScheduleDocument& document = editor.form.document();
    AdvanceEntry e = document.schedule().advanceEntries[125];
    e.startMinute = static_cast<std::uint8_t>(round % 2);
    app.resetLongestEvent();
    const std::int64_t start = NowNs();
    document.replaceAdvance(125, e);
    const std::int64_t call = NowNs() - start;
    // Until the findings of this schedule are shown; the worker's time is not the window's.
    QTimer guard;
    guard.setSingleShot(true);
    guard.start(10000);
    do
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    while (!shown() && guard.isActive());
    settle(20);
    return static_cast<double>(std::max(call, app.longestEventNs())) * 1e-6;
}

int windowFigures(velmo::bench::FrameProbeApplication& app, const velmo::Schedule& overlapping, int rounds) {
    using namespace velmo;
    QTemporaryDir dir, bareDir, emptyDir;
    if (!dir.isValid() || !bareDir.isValid() || !emptyDir.isValid())
        return 1;
    SeededRandomSource random(2007);
    for (const QTemporaryDir* d : {&dir, &bareDir})
        if (!WriteScheduleFile(d->path().toStdString() + "/", "velmo.vlm", overlapping, random)) {
            std::fprintf(stderr, "cannot write the schedule\n");
            return 1;
        }
    Editor withOverview(dir.path().toStdString() + "/");
    Editor without(bareDir.path().toStdString() + "/");
    Editor empty(emptyDir.path().toStdString() + "/");
    for (Editor* editor : {&withOverview, &without, &empty})
        editor->form.show();
    app.waitForFrameAfter(0);
    settle(200);
    if (withOverview.state.schedule.advanceCount != 250 || empty.state.schedule.advanceCount != 0) {
        std::fprintf(stderr, "the schedules were not opened\n");
        return 1;
    }
    ScheduleOverviewHooks* hooks = withOverview.form.findChild<ScheduleOverviewHooks*>();
    withOverview.form.findChild<QAction*>(QStringLiteral("subScheduleOverview"))->trigger();
    ScheduleOverviewForm* overview = hooks->overview();
    const auto shown = [overview] { return !overview->findingsPending(); };
    settle(500);

    // A second overview of `editor`'s schedule, timed from its making to the end of its first frame.
    const auto firstPaintMs = [&app](Editor& editor) {
        const int frames = app.frames();
        const std::int64_t start = NowNs();
        auto* another = new ScheduleOverviewForm(editor.context, editor.form.media(), &editor.form);
        another->show();
        app.waitForFrameAfter(frames);
        const double ms = static_cast<double>(app.lastFrameEndNs() - start) * 1e-6;
        delete another;
        settle(50);
        return ms;
    };
    // As before: the findings and their rows made on the window's thread and filled into a list widget.
    QWidget oldWay(nullptr, Qt::Window);
    auto* oldList = new QListWidget(&oldWay);
    oldWay.resize(overview->size());
    oldList->resize(overview->size());
    oldWay.show();
    settle(100);
    const auto oldWayMs = [&] {
        app.resetLongestEvent();
        const std::int64_t start = NowNs();
        QStringList rows;
        for (const ScheduleProblem& p : FindScheduleProblems(overlapping, {2008, 6, 15}))
            rows << QString::fromStdString(ProblemText(p, withOverview.texts));
        oldList->clear();
        oldList->addItems(rows);
        const std::int64_t call = NowNs() - start;
        settle(20);
        return static_cast<double>(std::max(call, app.longestEventNs())) * 1e-6;
    };

    std::vector<double> firstPaint, emptyFirstPaint, edit, bareEdit, oldEdit;
    constexpr int kOps = 5;
    for (int round = 0; round < rounds; ++round)
        for (int k = 0; k < kOps; ++k)
            switch ((round + k) % kOps) {
            case 0:
                firstPaint.push_back(firstPaintMs(withOverview));
                break;
            case 1:
                emptyFirstPaint.push_back(firstPaintMs(empty));
                break;
            case 2:
                edit.push_back(editBlocksMs(app, withOverview, round, shown));
                break;
            case 3:
                bareEdit.push_back(editBlocksMs(app, without, round, [] { return true; }));
                break;
            default:
                oldEdit.push_back(oldWayMs());
                break;
            }
    if (withOverview.prompts.asked + without.prompts.asked + empty.prompts.asked > 0 ||
        overview->problems().size() < 31125) {
        const QStringList said = withOverview.prompts.said + without.prompts.said + empty.prompts.said;
        std::fprintf(stderr, "the window runs went wrong (%zu problems shown; %s)\n",
                     overview->problems().size(), qPrintable(said.join(QStringLiteral(" / "))));
        return 1;
    }
    using bench::MedianRatio;
    using bench::Spread;
    std::printf(
        "the overview window, offscreen, 250 periods all overlapping (%zu problem rows), %d interleaved "
        "rounds\n",
        overview->problems().size(), rounds);
    std::printf("  median (p10 .. p90), milliseconds; goal: no edit blocks for more than 100 ms\n");
    std::printf("  edit with the overview open, longest block   %s\n", Spread(edit, "%.1f").c_str());
    std::printf("  yardstick: the same edit, no overview        %s\n", Spread(bareEdit, "%.1f").c_str());
    std::printf("  yardstick: as before, all on the window      %s\n", Spread(oldEdit, "%.1f").c_str());
    std::printf("  overview's first paint                       %s\n", Spread(firstPaint, "%.1f").c_str());
    std::printf("  yardstick: first paint, empty schedule       %s\n",
                Spread(emptyFirstPaint, "%.1f").c_str());
    std::printf("  edit blocks / no overview %.1fx, / as before %.3fx; first paint / empty schedule %.2fx\n"
                "  (medians of per-round ratios)\n",
                MedianRatio(edit, bareEdit), MedianRatio(edit, oldEdit),
                MedianRatio(firstPaint, emptyFirstPaint));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    using namespace velmo;
    const bool once = argc > 1 && std::string(argv[1]) == "once";
    const int rounds = once ? 1 : bench::CountArgument(argc, argv, 1, 41);
    const Schedule largest = bench::LargestSchedule();
    const CivilDate today{2008, 6, 15};

    // The month with the most periods in force on its days.
    int bestYear = 2007, bestMonth = 1;
    std::size_t bestCount = 0;
    for (int year = 2007; year <= 2010; ++year)
        for (int month = 1; month <= 12; ++month) {
            std::size_t count = 0;
            for (int day = 1; day <= DaysOfMonth(year, month); ++day)
                count += AdvanceEntriesInForce(largest, {year, month, day}, std::nullopt).size();
            if (count > bestCount) {
                bestCount = count;
                bestYear = year;
                bestMonth = month;
            }
        }

    // Every file the schedule names is in the media folder but one in ten.
    std::set<std::string> media;
    int named = 0;
    const auto addName = [&](const FileEntry& f) {
        if (++named % 10 != 0)
            media.insert(StoredNameText(f));
    };
    for (int i = 0; i < largest.basicCount; ++i)
        addName(largest.basicEntries[static_cast<std::size_t>(i)]);
    for (int i = 0; i < largest.advanceCount; ++i)
        for (int k = 0; k < largest.advanceEntries[static_cast<std::size_t>(i)].fileCount; ++k)
            addName(largest.advanceEntries[static_cast<std::size_t>(i)].files[static_cast<std::size_t>(k)]);
    const MediaLookup lookup = [&media](const std::string& name) { return media.count(name) > 0; };

    // The same schedule with every period over the same days and hours: all 31 125 pairs overlap.
    Schedule overlapping = largest;
    for (int i = 0; i < overlapping.advanceCount; ++i) {
        AdvanceEntry& e = overlapping.advanceEntries[static_cast<std::size_t>(i)];
        e = largest.advanceEntries[0];
        e.files = largest.advanceEntries[static_cast<std::size_t>(i)].files;
        e.fileCount = largest.advanceEntries[static_cast<std::size_t>(i)].fileCount;
    }
    std::size_t overlapFindings = 0;
    std::size_t checkLines = 0;
    const auto overlapsOnly = [&] {
        const auto found = FindScheduleProblems(overlapping, today, lookup);
        overlapFindings =
            static_cast<std::size_t>(std::count_if(found.begin(), found.end(), [](const ScheduleProblem& p) {
                return p.kind == ProblemKind::Overlap;
            }));
        Escape(found.data());
    };
    const auto checkOverlaps = [&] {
        const auto lines = CheckScheduleSense(overlapping, today);
        checkLines = lines.size();
        Escape(lines.data());
    };

    std::size_t problems = 0;
    const auto overview = [&] {
        const auto found = FindScheduleProblems(largest, today, lookup);
        const auto marks = MonthMarks(largest, bestYear, bestMonth, today);
        problems = found.size();
        Escape(found.data());
        Escape(marks.data());
    };
    const auto findingsOnly = [&] {
        const auto found = FindScheduleProblems(largest, today, lookup);
        Escape(found.data());
    };
    const auto marksOnly = [&] {
        const auto marks = MonthMarks(largest, bestYear, bestMonth, today);
        Escape(marks.data());
    };
    const auto notice = [&] {
        const auto warnings = AdvanceEntryWarnings(largest, 125, today);
        Escape(warnings.data());
    };
    const auto copy = [&] {
        const Schedule copied = largest;
        Escape(&copied);
    };

    if (once) {
        findingsOnly();
        marksOnly();
        notice();
        overlapsOnly();
        checkOverlaps();
        copy();
        return 0;
    }

    constexpr std::int64_t kBlockNs = 50'000'000;
    constexpr int kOps = 7;
    const std::function<void()> ops[kOps] = {overview, findingsOnly, marksOnly,    notice,
                                             copy,     overlapsOnly, checkOverlaps};
    int reps[kOps];
    for (int k = 0; k < kOps; ++k)
        reps[k] = RepsFor(ops[k], kBlockNs);
    std::vector<double> samples[kOps];
    for (int round = 0; round < rounds; ++round)
        for (int k = 0; k < kOps; ++k) {
            const int which = (round + k) % kOps;
            samples[which].push_back(MillisecondsPerCall(ops[which], reps[which]));
        }

    using bench::MedianRatio;
    using bench::Spread;
    overview();
    std::printf(
        "schedule overview: largest schedule (250 periods, 623 detail entries), %d interleaved rounds\n",
        rounds);
    std::printf("  busiest month %04d-%02d (%zu period-days), %zu problems found\n", bestYear, bestMonth,
                bestCount, problems);
    std::printf("  median (p10 .. p90), milliseconds per call\n");
    std::printf("  findings + month marks    %s\n", Spread(samples[0], "%.3f").c_str());
    std::printf("    findings alone          %s\n", Spread(samples[1], "%.3f").c_str());
    std::printf("    month marks alone       %s\n", Spread(samples[2], "%.3f").c_str());
    std::printf("  notice after one OK       %s\n", Spread(samples[3], "%.4f").c_str());
    std::printf("  yardstick: copy schedule  %s\n", Spread(samples[4], "%.4f").c_str());
    std::printf("  findings + marks / copy   %.1fx (median of per-round ratios); goal: under 16 ms\n",
                MedianRatio(samples[0], samples[4]));
    overlapsOnly();
    checkOverlaps();
    std::printf(
        "  250 periods all overlapping: %zu overlap findings (one per pair); check prints %zu lines\n",
        overlapFindings, checkLines);
    std::printf("    findings                %s\n", Spread(samples[5], "%.3f").c_str());
    std::printf("    check's warnings        %s\n", Spread(samples[6], "%.3f").c_str());
    std::printf("    findings / copy         %.1fx (median of per-round ratios)\n",
                MedianRatio(samples[5], samples[4]));
    std::fflush(stdout);

    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The recovery files of the edited schedules go to a data folder of this run's own.
    const QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    bench::FrameProbeApplication app(argc, argv);
    return windowFigures(app, overlapping, bench::CountArgument(argc, argv, 2, 21));
}
