#pragma once

#include "main_lists.h"

#include <QDialog>

namespace velmo {

struct AppContext;

// The modal editor of one media-file entry (basic or detail), in the mode set in editMode.
class ScheduleEditForm : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScheduleEditForm)
public:
    ScheduleEditForm(AppContext& context, MainLists lists, QWidget* parent = nullptr);
    ~ScheduleEditForm() override;

private:
    AppContext& context_;
    MainLists lists_;
};

} // namespace velmo
