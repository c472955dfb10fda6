#pragma once

#include "main_lists.h"

#include <QDialog>

namespace velmo {

struct AppContext;

// The modal editor of one advance entry, in the mode set in editMode.
class AdvanceScheduleEditForm : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AdvanceScheduleEditForm)
public:
    AdvanceScheduleEditForm(AppContext& context, MainLists lists, QWidget* parent = nullptr);
    ~AdvanceScheduleEditForm() override;

private:
    AppContext& context_;
    MainLists lists_;
};

} // namespace velmo
