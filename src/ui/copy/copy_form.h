#pragma once

#include <QDialog>

namespace velmo {

struct AppContext;

// The modal dialog that copies the media file chosen in the entry editor to a drive and directory.
class CopyForm : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CopyForm)
public:
    explicit CopyForm(AppContext& context, QWidget* parent = nullptr);
    ~CopyForm() override;

private:
    AppContext& context_;
};

} // namespace velmo
