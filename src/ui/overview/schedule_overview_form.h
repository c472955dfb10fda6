#pragma once

#include "rules/schedule_sense.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QScrollArea;

namespace velmo {

struct AppContext;
class DayStrip;
class MediaListing;
class ScheduleMedia;
class MonthCalendar;

// The non-modal "Schedule Overview": a month of days with the periods in force, the selected day hour
// by hour with what plays, and every problem of the schedule. It reads the one model; refresh() after
// any change of it.
class ScheduleOverviewForm : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScheduleOverviewForm)
public:
    // With `examined`, files that will not play join the problems as their facts come.
    ScheduleOverviewForm(AppContext& context, QWidget* parent = nullptr,
                         const ScheduleMedia* examined = nullptr);
    ~ScheduleOverviewForm() override;

    // Recomputes everything from the model, keeping the month and day shown.
    void refresh();
    void showDay(const CivilDate& date);
    // Shows where advance entry `index` first needs a look (its first overlap, else its first day in
    // force, else its start) and selects its first problem.
    void showAdvanceEntry(int index);

    const std::vector<ScheduleProblem>& problems() const { return problems_; }
    // Lists the media folders off the window's thread; missing files are found once it answers.
    MediaListing* mediaListing() const { return media_; }
    CivilDate shownDay() const { return {year_, month_, day_}; }

signals:
    // A problem was double-clicked: select its entry in the main window.
    void entryChosen(const EntryId& entry);

private:
    void buildWindow();
    void InitScheduleOverviewFormOsd();
    void stepMonth(int step);
    void showMonth();
    void showSelectedDay();
    void findProblems();
    void fillProblems();
    CivilDate today() const;

    AppContext& context_;
    MediaListing* media_ = nullptr;
    const ScheduleMedia* examined_ = nullptr;
    int year_ = 2000;
    int month_ = 1;
    int day_ = 1;
    std::vector<ScheduleProblem> problems_;

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
    QListWidget* ProblemsList = nullptr;
};

} // namespace velmo
