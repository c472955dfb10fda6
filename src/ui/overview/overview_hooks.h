#pragma once

#include "rules/finding.h"

#include <QObject>

class QLabel;
class QMainWindow;
class QPushButton;
class QWidget;

namespace velmo {

struct AppContext;
class ScheduleOverviewForm;

// What the schedule overview adds to the main window, kept out of it: the View menu that opens the
// overview, each advance row's colour, the status-bar notice after the advance editor's OK and the
// count of warnings after a save. It finds the window's lists and menus by their object names.
class ScheduleOverviewHooks : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScheduleOverviewHooks)
public:
    ScheduleOverviewHooks(AppContext& context, QMainWindow& mainWindow);
    ~ScheduleOverviewHooks() override;

    // After OK in the advance editor stored entry `index`: says, without asking anything, when it
    // overlaps another entry, has ended or never meets its week day.
    void advanceEntryStored(int index);
    // After a save that succeeded.
    void scheduleSaved();
    // After any change of the schedule; the rows' changes call it already, a change that leaves every
    // row text as it was (an undone time window, say) has to.
    void scheduleChanged();

    // Opens the overview (or brings it up), on advance entry `index` when one is given.
    void openOverview(int index = -1);
    ScheduleOverviewForm* overview() const { return overview_; }

private:
    void buildNotice();
    void selectEntry(const EntryId& entry);

    AppContext& context_;
    QMainWindow& mainWindow_;
    ScheduleOverviewForm* overview_ = nullptr;
    bool refreshPending_ = false;
    int noticeEntry_ = -1;
    QWidget* notice_ = nullptr;
    QLabel* noticeLabel_ = nullptr;
};

} // namespace velmo
