#pragma once

#include "rules/schedule_history.h"

#include <QListView>

namespace velmo {

class EntryListModel;

// One of the main window's lists: a single-selection, fixed-pitch view over the rows of its model.
// The selected row is the entry every command of the list works on.
class ScheduleListView : public QListView {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScheduleListView)
public:
    // Shows `rows`, which it takes over.
    explicit ScheduleListView(EntryListModel* rows, QWidget* parent = nullptr);
    ~ScheduleListView() override;

    EntryListModel* rows() const { return model_; }
    int count() const;
    // The selected row, -1 for none.
    int currentRow() const;
    // Makes `row` the selected row, as a click would; -1 selects none.
    void setCurrentRow(int row);

signals:
    // The selected row is another one, whoever set it.
    void currentRowChanged(int row);
    // A row was double-clicked.
    void rowActivated(int row);
    // Row `from` was dragged to place `to` in this list; the view itself changes nothing.
    void rowDropped(int from, int to);

protected:
    // Only rows of this list are taken in, to another place in it; files from a file manager are
    // the window's (an event filter on the viewport).
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void noteCurrentRow();

    EntryListModel* model_ = nullptr;
    int lastRow_ = -1;
};

// Where a row's mark is painted: a square at its right end, clear of the fixed-pitch text.
QRect RowMarkRect(const QRect& row);

// The main window's three lists, for those that follow or select their rows.
struct MainListViews {
    ScheduleListView* NormalList = nullptr;
    ScheduleListView* AdvanceList = nullptr;
    ScheduleListView* DetailList = nullptr;

    // Which of the schedule's lists `list` shows; None for any other view.
    EntryRef::List kindOf(const ScheduleListView* list) const {
        if (list == NormalList)
            return EntryRef::List::Basic;
        if (list == AdvanceList)
            return EntryRef::List::Advance;
        if (list == DetailList)
            return EntryRef::List::Detail;
        return EntryRef::List::None;
    }
};

} // namespace velmo
