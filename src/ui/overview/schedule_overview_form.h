#pragma once

#include "rules/schedule_sense.h"

#include <QWidget>
#include <memory>
#include <optional>

class QGroupBox;
class QLabel;
class QListView;
class QListWidget;
class QPushButton;
class QScrollArea;

namespace velmo {

struct AppContext;
class DayStrip;
class MediaFolder;
class ScheduleMedia;
class MonthCalendar;
class ProblemRows;

// The non-modal "Schedule Overview": a month of days with the periods in force, the selected day hour
// by hour with what plays, and every problem of the schedule. It reads the one model; refresh() after
// a whole new schedule, scheduleChanged() after an edit. The problems are found off the window's
// thread: the largest schedule has tens of thousands of them.
class ScheduleOverviewForm : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScheduleOverviewForm)
public:
    // `media` lists the media folders and examines the files there (the marks' own, shared with the
    // count after a save): missing files and files that will not play join the problems as it answers.
    ScheduleOverviewForm(AppContext& context, ScheduleMedia& media, QWidget* parent = nullptr);
    ~ScheduleOverviewForm() override;

    // Recomputes everything from the model, keeping the month and day shown, and lists the media
    // folders again.
    void refresh();
    // After an edit: the problems are found anew; the month is marked anew only when the periods
    // changed (the files change what plays, not when).
    void scheduleChanged(bool periodsChanged);
    void showDay(const CivilDate& date);
    // Shows where advance entry `index` first needs a look (its first overlap, else its first day in
    // force, else its start) and selects its first problem.
    void showAdvanceEntry(int index);

    // The problems shown; while findingsPending(), those of the schedule before the latest edit.
    const std::vector<ScheduleProblem>& problems() const { return problems_; }
    bool findingsPending() const { return findingsPending_; }
    // The one listing of the media folders, made off the window's thread; missing files are found
    // once it answers.
    ScheduleMedia* mediaListing() const { return &media_; }
    CivilDate shownDay() const { return {year_, month_, day_}; }

signals:
    // A problem was double-clicked: select its entry in the main window.
    void entryChosen(const EntryId& entry);
    // The problems of the schedule as it is now are shown.
    void problemsShown();

private:
    void buildWindow();
    void InitScheduleOverviewFormOsd();
    void stepMonth(int step);
    void showMonth();
    void showSelectedDay();
    void findProblems();
    void selectProblemOf(int index);
    // Shows the day where advance entry `index` needs a look: `overlapDay`, else its first day in force.
    void showEntryDays(int index, const std::optional<CivilDate>& overlapDay);
    CivilDate today() const;

    AppContext& context_;
    ScheduleMedia& media_;
    // The listing as it last answered since this window asked for one; until then no file counts as
    // missing.
    std::shared_ptr<const MediaFolder> listed_;
    int year_ = 2000;
    int month_ = 1;
    int day_ = 1;
    std::vector<ScheduleProblem> problems_;
    // Each search is numbered; only the answer to the latest is shown.
    unsigned generation_ = 0;
    bool findingsPending_ = false;
    // The advance entry whose first problem is to be selected once the findings come.
    int wantedEntry_ = -1;
    ProblemRows* problemRows_ = nullptr;

    QPushButton* PreviousMonthCmd = nullptr;
    QPushButton* NextMonthCmd = nullptr;
    QLabel* MonthLabel = nullptr;
    MonthCalendar* Calendar = nullptr;
    QGroupBox* DayFrame = nullptr;
    DayStrip* Strip = nullptr;
    QScrollArea* StripArea = nullptr;
    QGroupBox* PlaysFrame = nullptr;
    QListWidget* PlaysList = nullptr;
    QGroupBox* ProblemsFrame = nullptr;
    QListView* ProblemsList = nullptr;
};

} // namespace velmo
