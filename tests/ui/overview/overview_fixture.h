#pragma once

#include "ui/main/main_form_fixture.h"

#include "media/media_files.h"
#include "ui/document/schedule_media.h"
#include "ui/overview/month_calendar.h"
#include "ui/overview/schedule_overview_form.h"

#include <QAction>
#include <QListView>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

#include <functional>

namespace velmo::test {

inline const QString kOverlapRow = QStringLiteral(
    "Advance 1 plays; Advance 2 is silent then, Thursdays 08:00-12:00, 2007/05/03 to 2007/05/31");
inline const QString kMissingRow = QStringLiteral("Advance 2, file 1: D10.MP3 is in no media folder");
// Both periods end on the fixture's today.
inline const QString kEndsToday1 = QStringLiteral("Advance 1: ends today, 2007/05/31");
inline const QString kEndsToday2 = QStringLiteral("Advance 2: ends today, 2007/05/31");
inline const QStringList kFixtureRows{kEndsToday1, kOverlapRow, kEndsToday2, kMissingRow};

// Every day of May 2007 from 08:00 to 12:00 with two files; Thursdays all day (2007-05-31 is one).
inline AdvanceEntry Mornings() {
    AdvanceEntry e = MakeAdvance(7, 5, 1, 7, 2);
    e.stopDay = 31;
    e.startHour = 8;
    e.stopHour = 12;
    return e;
}

inline AdvanceEntry Thursdays() {
    AdvanceEntry e = MakeAdvance(7, 5, 1, 4, 1, 10);
    e.stopDay = 31;
    e.stopMinute = 59;
    e.stopSecond = 59;
    return e;
}

// The main window holding LOOP.MPG, Mornings() and Thursdays() on 2007-05-31, with the media files
// they name, all but D10.MP3, in its media folder: real ones, so none counts as one that will not play.
class OverviewTest : public MainFormTest {
protected:
    void SetUp() override {
        start();
        loadMorningsAndThursdays();
        for (const char* name : {"loop.mpg", "D0.MP3", "D1.MP3"})
            std::filesystem::copy_file(madeMedia() + name, app() + name);
        state().mediaDir = app();
    }

    void loadMorningsAndThursdays() {
        Schedule s;
        AddBasic(s, MakeFile("LOOP", "MPG", 1, 13));
        AddAdvance(s, Mornings());
        AddAdvance(s, Thursdays());
        load(s);
    }

    // Made with ffmpeg once for all the tests.
    static std::string madeMedia() {
        static QTemporaryDir dir;
        static const bool made = [] {
            const std::string at = dir.path().toStdString() + "/";
            const std::vector<std::string> mp3{"-c:a", "libmp3lame"};
            return MakeWithFfmpeg(at + "loop.mpg", Pattern("352x288") + Tone() +
                                                       std::vector<std::string>{"-c:v", "mpeg2video", "-c:a",
                                                                                "mp2", "-f", "dvd"}) &&
                   MakeWithFfmpeg(at + "D0.MP3", Tone() + mp3) && MakeWithFfmpeg(at + "D1.MP3", Tone() + mp3);
        }();
        EXPECT_TRUE(made) << "ffmpeg could not make the media files";
        return dir.path().toStdString() + "/";
    }

    ScheduleListView* list(const char* name) {
        return form->findChild<ScheduleListView*>(QString::fromLatin1(name));
    }

    // Work off the window's thread answers through the event loop: events are processed until done.
    static void waitUntil(const std::function<bool()>& done, int timeoutMs = 60000) {
        EXPECT_TRUE(QTest::qWaitFor(done, timeoutMs));
    }

    enum class Wait { Nothing, Findings };

    // Opens the overview as View > Schedule Overview does, into `overview` and `calendar`; with
    // Wait::Findings, until the media folders are listed and the problems found.
    void openOverview(Wait wait = Wait::Findings) {
        form->findChild<QAction*>(QStringLiteral("subScheduleOverview"))->trigger();
        overview = form->findChild<ScheduleOverviewForm*>(QStringLiteral("ScheduleOverviewForm"));
        ASSERT_NE(overview, nullptr);
        calendar = overview->findChild<MonthCalendar*>(QStringLiteral("MonthCalendar"));
        ASSERT_NE(calendar, nullptr);
        if (wait == Wait::Findings) {
            waitUntil([this] { return !overview->mediaListing()->pending(); }, 30000);
            findingsShown();
        }
    }

    // Examines the schedule's files again, now they are in the media folder, and waits for the facts.
    void examined() {
        form->media().refresh();
        waitUntil([this] { return !form->media().pending(); });
    }

    // The findings are made off the window's thread, after the edits of one event are all made.
    void findingsShown() {
        QCoreApplication::processEvents();
        waitUntil([this] { return !overview->findingsPending(); }, 30000);
    }

    // The problem rows once the overview shows those of the schedule as it is now.
    QStringList problemRows() {
        findingsShown();
        return ViewRows(problemsView());
    }

    QListView* problemsView() const {
        return overview->findChild<QListView*>(QStringLiteral("ProblemsList"));
    }

    static QStringList ViewRows(const QAbstractItemView* view) {
        QStringList rows;
        const QAbstractItemModel* model = view->model();
        for (int row = 0; row < model->rowCount(); ++row)
            rows << model->index(row, 0).data().toString();
        return rows;
    }

    // Saves with the Save button. The count waits for the folders' listing and the files' examination,
    // both off the window's thread.
    void saveAndWaitForTheCount() {
        writeSchedule(state().scheduleDir, state().scheduleFileName, schedule());
        form->statusBar()->clearMessage();
        form->findChild<QPushButton*>(QStringLiteral("SaveCmd"))->click();
        waitUntil([this] { return !form->statusBar()->currentMessage().isEmpty(); });
    }

    // Adds an advance entry through the real editor with its defaults: today, all day, every day.
    void addDefaultAdvance() {
        QTimer::singleShot(0, qApp, [] {
            if (QWidget* dialog = QApplication::activeModalWidget())
                dialog->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click();
        });
        form->findChild<QPushButton*>(QStringLiteral("AdvanceAddCmd"))->click();
        QCoreApplication::processEvents();
    }

    ScheduleOverviewForm* overview = nullptr;
    MonthCalendar* calendar = nullptr;
};

} // namespace velmo::test
