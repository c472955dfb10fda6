#pragma once

#include "rules/finding.h"
#include "ui/document/schedule_list_view.h"

#include <QObject>

class QAction;
class QLabel;
class QMainWindow;
class QPushButton;
class QWidget;

namespace velmo {

struct AppContext;
class ScheduleDocument;
class ScheduleMedia;
class ScheduleOverviewForm;
struct RowEdit;

// What the schedule overview adds to the main window, kept out of it: the View menu that opens the
// overview, the status-bar notice after the advance editor's OK and the count of warnings after a
// save. It follows the document; the lists it is handed are only selected in.
class ScheduleOverviewHooks : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScheduleOverviewHooks)
public:
    // The View menu goes before `beforeMenu` (at the end when null).
    // `examined` lists the media folders and tells which files will not play, for the overview and the
    // count after a save.
    ScheduleOverviewHooks(AppContext& context, ScheduleDocument& document, ScheduleMedia& examined,
                          QMainWindow& mainWindow, MainListViews lists, QAction* beforeMenu = nullptr);
    ~ScheduleOverviewHooks() override;

    // After OK in the advance editor stored entry `index`: says, without asking anything, when it
    // overlaps another entry, has ended or never meets its week day.
    void advanceEntryStored(int index);
    // After a save that succeeded: the count of warnings, once the media folders are listed.
    void scheduleSaved();
    // After any change of the schedule.
    void scheduleChanged();

    // Opens the overview (or brings it up), on advance entry `index` when one is given.
    void openOverview(int index = -1);
    ScheduleOverviewForm* overview() const { return overview_; }

private:
    void buildNotice();
    void rowsChanged(const RowEdit& edit);
    void hideNotice();
    void showSavedMessage();
    void selectEntry(const EntryId& entry);

    AppContext& context_;
    ScheduleDocument& document_;
    ScheduleMedia& examined_;
    QMainWindow& mainWindow_;
    MainListViews lists_;
    bool savedMessagePending_ = false;
    ScheduleOverviewForm* overview_ = nullptr;
    bool refreshPending_ = false;
    // What changed since the overview last followed: the periods, or the whole schedule.
    bool periodsChanged_ = false;
    bool wholeChange_ = false;
    int noticeEntry_ = -1;
    QWidget* notice_ = nullptr;
    QLabel* noticeLabel_ = nullptr;
};

} // namespace velmo
