#include "overview_fixture.h"

#include "rules/schedule_rules.h"
#include "ui/document/schedule_document.h"

#include "ui/overview/advance_colours.h"
#include "ui/overview/day_strip.h"
#include "ui/overview/overview_hooks.h"
#include "ui/overview/problem_rows.h"
#include "ui/platform/prompts.h"

#include <QComboBox>
#include <QLabel>
#include <QMenu>

namespace velmo::test {
namespace {

TEST_F(OverviewTest, ViewMenu_opensANonModalWindowWithTheMonthsMarks) {
    examined();
    const QMenu* view = form->findChild<QMenu*>(QStringLiteral("subView"));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->title(), QStringLiteral("&View"));
    ASSERT_NO_FATAL_FAILURE(openOverview());
    EXPECT_TRUE(overview->isVisible());
    EXPECT_FALSE(overview->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    const std::vector<DayMarks>& days = calendar->days();
    ASSERT_EQ(days.size(), 31u);
    EXPECT_EQ(days[0].date, (CivilDate{2007, 5, 1}));
    for (const DayMarks& d : days) {
        const bool thursday = WeekDayOf(d.date) == 4;
        EXPECT_EQ(d.advance, thursday ? std::vector<int>({0, 1}) : std::vector<int>({0})) << d.date.day;
        EXPECT_EQ(d.overlap, thursday) << d.date.day;
        EXPECT_EQ(d.today, d.date.day == 31) << d.date.day;
    }
    EXPECT_EQ(problemRows(), kFixtureRows);

    // Today, a Thursday: the morning entry plays first, the Thursday one after it, nothing is left to
    // the basic schedule.
    EXPECT_EQ(overview->shownDay(), (CivilDate{2007, 5, 31}));
    const QStringList plays = Rows(overview->findChild<QListWidget*>(QStringLiteral("PlaysList")));
    ASSERT_GE(plays.size(), 5);
    EXPECT_EQ(plays[0], "00:00-07:59:59   Advance 2: 2007/05/01   2007/05/31   Thursday");
    EXPECT_EQ(plays[2], "08:00-12:00   Advance 1: 2007/05/01   2007/05/31   All Day · 2 files · 2 s");
    EXPECT_TRUE(plays.last().startsWith("    D10.MP3")) << plays.last().toStdString();

    // A Wednesday: the basic schedule plays outside the morning window.
    overview->showDay({2007, 5, 30});
    EXPECT_EQ(
        Rows(overview->findChild<QListWidget*>(QStringLiteral("PlaysList"))),
        QStringList({"00:00-07:59:59   Basic Schedule · 1 file · 1 s",
                     "    " + QString::fromStdString(FormatFileRow(schedule().basicEntries[0])),
                     "08:00-12:00   Advance 1: 2007/05/01   2007/05/31   All Day · 2 files · 2 s",
                     "    " + QString::fromStdString(FormatFileRow(schedule().advanceEntries[0].files[0])),
                     "    " + QString::fromStdString(FormatFileRow(schedule().advanceEntries[0].files[1])),
                     "12:00:01-23:59:59   Basic Schedule · 1 file · 1 s",
                     "    " + QString::fromStdString(FormatFileRow(schedule().basicEntries[0]))}));

    overview->showDay({2007, 5, 31});
    overview->resize(1100, 760);
    QCoreApplication::processEvents();
    EXPECT_TRUE(overview->grab().save(QStringLiteral("/tmp/velmo-overview-test.png")));
}

TEST_F(OverviewTest, WhatPlaysAndDayStrip_tellEachPeriodsLengthOnceItsFilesAreExamined) {
    // The files were examined before they were copied into the media folder: again, now they are.
    form->media().refresh();
    ASSERT_NO_FATAL_FAILURE(openOverview(Wait::Nothing));
    overview->showDay({2007, 5, 30});
    auto* plays = overview->findChild<QListWidget*>(QStringLiteral("PlaysList"));
    const QString header = "08:00-12:00   Advance 1: 2007/05/01   2007/05/31   All Day";
    // Until the facts come, the header tells no length.
    if (form->media().pending()) {
        EXPECT_TRUE(Rows(plays).contains(header)) << Rows(plays).join('\n').toStdString();
    }
    // The list follows when the facts come, with no refresh asked for.
    const QString told = header + " · 2 files · 2 s";
    waitUntil([&] { return Rows(plays).contains(told); });
    ASSERT_TRUE(Rows(plays).contains(told)) << Rows(plays).join('\n').toStdString();

    // Hovering the strip's what-plays lane at 10:00 tells the same.
    auto* strip = overview->findChild<DayStrip*>(QStringLiteral("DayStrip"));
    const int x = strip->width() * 10 / 24;
    QStringList tips;
    for (int y = 0; y < strip->height(); ++y)
        if (const QString tip = strip->tipAt({x, y}); !tip.isEmpty() && !tips.contains(tip))
            tips << tip;
    EXPECT_EQ(tips, QStringList({told}));
}

TEST_F(OverviewTest, EachAdvanceRowShowsItsCalendarColour) {
    form->show();
    QCoreApplication::processEvents();
    ScheduleListView* advance = list("AdvanceList");
    const QImage shot = advance->viewport()->grab().toImage();
    for (int row = 0; row < 2; ++row) {
        const QRect r = RowRect(advance, row);
        const int side = std::max(6, r.height() - 6);
        const QPoint middle(r.right() - 4 - side / 2, r.center().y());
        EXPECT_EQ(shot.pixel(middle * shot.devicePixelRatio()), AdvanceEntryColour(row).rgb()) << row;
    }
    EXPECT_NE(AdvanceEntryColour(0), AdvanceEntryColour(1));
}

TEST_F(OverviewTest, MediaFolders_listedOffTheWindowsThread_missingFilesFollowTheAnswer) {
    // Each time problems are shown: whether the listing had answered, and the rows.
    std::vector<std::pair<bool, QStringList>> shown;
    ASSERT_NO_FATAL_FAILURE(openOverview(Wait::Nothing));
    QObject::connect(overview, &ScheduleOverviewForm::problemsShown, [&] {
        shown.emplace_back(!overview->mediaListing()->pending(), ViewRows(problemsView()));
    });
    // The window did not wait for the listing: until it answers, no file counts as missing.
    EXPECT_TRUE(overview->mediaListing()->pending());
    waitUntil([this] { return !overview->mediaListing()->pending(); }, 30000);
    EXPECT_EQ(problemRows(), kFixtureRows);
    for (const auto& [listed, rows] : shown) {
        if (!listed) {
            EXPECT_EQ(rows, QStringList({kEndsToday1, kOverlapRow, kEndsToday2}));
        }
    }
}

TEST_F(OverviewTest, FollowsTheScheduleAsItChanges) {
    ASSERT_NO_FATAL_FAILURE(openOverview());
    // Removing the Thursday entry takes the overlap away, with no refresh asked for.
    list("AdvanceList")->setCurrentRow(1);
    form->findChild<QPushButton*>(QStringLiteral("AdvanceRemoveCmd"))->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(problemRows(), QStringList({kEndsToday1}));
    EXPECT_FALSE(calendar->days()[30].overlap);
    EXPECT_EQ(calendar->days()[30].advance, std::vector<int>({0}));
}

TEST_F(OverviewTest, DoubleClickOnAProblem_selectsItsEntryInTheMainWindow) {
    ASSERT_NO_FATAL_FAILURE(openOverview());
    ASSERT_EQ(problemRows(), kFixtureRows);
    QListView* problems = problemsView();
    list("AdvanceList")->setCurrentRow(0);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(overview));
    const QRect second = problems->visualRect(problems->model()->index(3, 0));
    int fired = 0;
    QObject::connect(problems, &QListView::doubleClicked, [&fired] { ++fired; });
    QTest::mouseClick(problems->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(problems->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(list("AdvanceList")->currentRow(), 1);
    EXPECT_EQ(list("DetailList")->currentRow(), 0);
    EXPECT_EQ(Rows(list("DetailList")).size(), 1);
}

TEST_F(OverviewTest, OkOnAnOverlappingEntry_noticeInTheStatusBarOpensTheOverview) {
    addDefaultAdvance();
    EXPECT_EQ(schedule().advanceCount, 3);
    EXPECT_TRUE(shownMessages().isEmpty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    auto* notice = form->findChild<QWidget*>(QStringLiteral("OverviewNotice"));
    ASSERT_NE(notice, nullptr);
    EXPECT_FALSE(notice->isHidden());
    EXPECT_EQ(
        form->findChild<QLabel*>(QStringLiteral("OverviewNoticeLabel"))->text(),
        QStringLiteral("Advance 1 plays; Advance 3 is silent then, every day 08:00-12:00, 2007/05/31; "
                       "Advance 2 plays; Advance 3 is silent then, Thursdays 00:00-23:59:59, 2007/05/31"));

    form->findChild<QPushButton*>(QStringLiteral("OverviewNoticeShowCmd"))->click();
    overview = form->findChild<ScheduleOverviewForm*>(QStringLiteral("ScheduleOverviewForm"));
    ASSERT_NE(overview, nullptr);
    EXPECT_TRUE(overview->isVisible());
    EXPECT_EQ(overview->shownDay(), (CivilDate{2007, 5, 31}));
    findingsShown();
    const QListView* problems = problemsView();
    ASSERT_GE(problems->currentIndex().row(), 0);
    EXPECT_EQ(problems->currentIndex().data().toString(),
              QStringLiteral("Advance 1 plays; Advance 3 is silent then, every day 08:00-12:00, 2007/05/31"));
    EXPECT_TRUE(notice->isHidden());
}

// A notice about a period goes once that period, or the whole schedule, is another one; a period
// changed so that it overlaps nothing takes it away too.
TEST_F(OverviewTest, NoticeAboutAPeriod_goesWhenThePeriodOrTheScheduleChanges) {
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"remove",
         [&] {
             list("AdvanceList")->setCurrentRow(2);
             form->findChild<QPushButton*>(QStringLiteral("AdvanceRemoveCmd"))->click();
         }},
        {"undo", [&] { form->findChild<QAction*>(QStringLiteral("subUndo"))->trigger(); }},
        {"new",
         [&] {
             tc.prompts.choices = {"Discard"};
             form->findChild<QPushButton*>(QStringLiteral("NewCmd"))->click();
         }},
        {"move",
         [&] {
             list("AdvanceList")->setCurrentRow(2);
             form->findChild<QPushButton*>(QStringLiteral("AdvanceMoveUpCmd"))->click();
         }},
        {"modify to overlap nothing",
         [&] {
             list("AdvanceList")->setCurrentRow(2);
             QTimer::singleShot(0, qApp, [] {
                 QWidget* dialog = QApplication::activeModalWidget();
                 dialog->findChild<QComboBox*>(QStringLiteral("StartYearCombo"))->setCurrentIndex(9);
                 dialog->findChild<QComboBox*>(QStringLiteral("StopYearCombo"))->setCurrentIndex(9);
                 dialog->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click();
             });
             form->findChild<QPushButton*>(QStringLiteral("AdvanceModifyCmd"))->click();
             EXPECT_EQ(schedule().advanceEntries[2].startYear, 9);
         }},
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        loadMorningsAndThursdays();
        addDefaultAdvance();
        auto* notice = form->findChild<QWidget*>(QStringLiteral("OverviewNotice"));
        ASSERT_NE(notice, nullptr);
        ASSERT_FALSE(notice->isHidden());
        change();
        QCoreApplication::processEvents();
        EXPECT_TRUE(notice->isHidden());
    }
}

// Overlaps are one row per pair of periods, naming the days the two share; the count after Save,
// with the overview open or not, is the count of the rows the overview shows.
TEST_F(OverviewTest, Overlaps_oneRowPerPairNamingItsDays_andSaveCountsTheRowsShown) {
    Schedule four;
    AddBasic(four, MakeFile("LOOP", "MPG", 1, 13));
    AddAdvance(four, Mornings());
    AdvanceEntry onThursdays = Mornings();
    onThursdays.weekDay = 4;
    AddAdvance(four, onThursdays);
    AdvanceEntry lateMay = Mornings();
    lateMay.startDay = 30;
    lateMay.startHour = 11;
    lateMay.stopHour = 13;
    AddAdvance(four, lateMay);
    AdvanceEntry tenth = Mornings();
    tenth.startDay = tenth.stopDay = 10;
    AddAdvance(four, tenth);
    const struct {
        const char* schedule;
        std::optional<Schedule> loaded; // none: the fixture's
        bool overviewOpen;              // when Save is clicked
        QStringList rows;
    } cases[] = {
        {"mornings and Thursdays", std::nullopt, false, kFixtureRows},
        {"four periods",
         four,
         true,
         {
             kEndsToday1,
             "Advance 1 plays; Advance 2 is silent then, Thursdays 08:00-12:00, 2007/05/03 to 2007/05/31",
             "Advance 1 plays; Advance 3 is silent then, every day 11:00-12:00, 2007/05/30 to 2007/05/31",
             "Advance 1 plays; Advance 4 is silent then, every day 08:00-12:00, 2007/05/10",
             kEndsToday2,
             "Advance 2 plays; Advance 3 is silent then, Thursdays 11:00-12:00, 2007/05/31",
             "Advance 2 plays; Advance 4 is silent then, Thursdays 08:00-12:00, 2007/05/10",
             "Advance 3: ends today, 2007/05/31",
             "Advance 4: ended on 2007/05/10 (today is 2007/05/31)",
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.schedule);
        if (c.loaded) {
            load(*c.loaded);
            examined();
        }
        if (c.overviewOpen) {
            ASSERT_NO_FATAL_FAILURE(openOverview());
            EXPECT_EQ(problemRows(), c.rows);
        }
        saveAndWaitForTheCount();
        EXPECT_EQ(form->statusBar()->currentMessage(),
                  QStringLiteral("Saved; the schedule overview shows %1 warnings").arg(c.rows.size()));
        EXPECT_TRUE(shownMessages().isEmpty());
        if (!c.overviewOpen) {
            ASSERT_NO_FATAL_FAILURE(openOverview());
        }
        EXPECT_EQ(problemRows(), c.rows);
    }
}

// Edits reach the overview through the document's signals alone; of two searches under way the later
// one's rows are shown, and rows of a schedule before the latest edit are greyed and not chosen.
TEST_F(OverviewTest, EditsThroughTheDocument_reachTheOverview_theLatestSearchWins) {
    ASSERT_NO_FATAL_FAILURE(openOverview());
    ASSERT_EQ(problemRows(), kFixtureRows);
    QStringList everShown;
    QObject::connect(overview, &ScheduleOverviewForm::problemsShown,
                     [&] { everShown += ViewRows(problemsView()); });
    int chosen = 0;
    QObject::connect(overview, &ScheduleOverviewForm::entryChosen, [&chosen] { ++chosen; });

    ScheduleDocument& document = form->document();
    AdvanceEntry period = document.schedule().advanceEntries[1];
    period.weekDay = 5;
    ASSERT_TRUE(document.replaceAdvance(1, period));
    overview->scheduleChanged(true);
    period.weekDay = 3;
    ASSERT_TRUE(document.replaceAdvance(1, period));
    overview->scheduleChanged(true);
    // Both searches are under way; what is shown is greyed and cannot be chosen.
    ASSERT_TRUE(overview->findingsPending());
    QListView* problems = problemsView();
    const QModelIndex first = problems->model()->index(0, 0);
    EXPECT_FALSE(problems->model()->flags(first) & Qt::ItemIsEnabled);
    emit problems->doubleClicked(first);
    EXPECT_EQ(chosen, 0);
    // The month follows at once: Wednesdays overlap now, Thursdays no longer.
    EXPECT_TRUE(calendar->days()[29].overlap);
    EXPECT_FALSE(calendar->days()[30].overlap);

    const QString wednesdays =
        "Advance 1 plays; Advance 2 is silent then, Wednesdays 08:00-12:00, 2007/05/02 to 2007/05/30";
    EXPECT_EQ(problemRows(), QStringList({kEndsToday1, wednesdays, kEndsToday2, kMissingRow}));
    for (const QString& row : everShown)
        EXPECT_FALSE(row.contains("Fridays")) << row.toStdString();
    EXPECT_TRUE(problems->model()->flags(first) & Qt::ItemIsEnabled);
    emit problems->doubleClicked(first);
    EXPECT_EQ(chosen, 1);

    // A file of a period changed in the main window's list: the problems follow, no refresh asked.
    const FileEntry gone = MakeFile("GONE", "MP3", 1, 13);
    ASSERT_TRUE(document.replaceFile(EntryRef::List::Detail, 0, 1, gone));
    EXPECT_EQ(problemRows(),
              QStringList({kEndsToday1, wednesdays, "Advance 1, file 2: GONE.MP3 is in no media folder",
                           kEndsToday2, kMissingRow}));
}

// A new list of rows changes only the rows that differ, so the view keeps its place among them.
TEST(ProblemRowsTest, SetRows_insertsRemovesAndChangesOnlyTheRowsThatDiffer) {
    const struct {
        QStringList before, after;
        int inserted, removed, changed;
    } cases[] = {
        {{}, {"a", "b"}, 2, 0, 0},
        {{"a", "b", "c"}, {"a", "c"}, 0, 1, 0},
        {{"a", "c"}, {"a", "b", "c"}, 1, 0, 0},
        {{"a", "b", "c"}, {"a", "x", "c"}, 0, 0, 1},
        {{"a", "b", "c", "d"}, {"a", "x", "d"}, 0, 1, 1},
        {{"a", "b"}, {"a", "b"}, 0, 0, 0},
        {{"a", "b"}, {}, 0, 2, 0},
    };
    for (const auto& c : cases) {
        ProblemRows model;
        model.setRows(c.before);
        int inserted = 0, removed = 0, changed = 0;
        QObject::connect(&model, &QAbstractItemModel::rowsInserted,
                         [&](const QModelIndex&, int from, int to) { inserted += to - from + 1; });
        QObject::connect(&model, &QAbstractItemModel::rowsRemoved,
                         [&](const QModelIndex&, int from, int to) { removed += to - from + 1; });
        QObject::connect(
            &model, &QAbstractItemModel::dataChanged,
            [&](const QModelIndex& from, const QModelIndex& to) { changed += to.row() - from.row() + 1; });
        model.setRows(c.after);
        const QString name = c.before.join(',') + " -> " + c.after.join(',');
        EXPECT_EQ(model.rows(), c.after) << name.toStdString();
        EXPECT_EQ(model.rowCount(), c.after.size()) << name.toStdString();
        EXPECT_EQ(inserted, c.inserted) << name.toStdString();
        EXPECT_EQ(removed, c.removed) << name.toStdString();
        EXPECT_EQ(changed, c.changed) << name.toStdString();
    }
}

} // namespace
} // namespace velmo::test
