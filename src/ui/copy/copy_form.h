#pragma once

#include "ui/platform/off_thread.h"

#include <QDialog>
#include <QPointer>
#include <QString>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressDialog;
class QPushButton;

namespace velmo {

struct AppContext;
class DestinationChooser;
class DirectoryList;
class FileIo;

// The modal dialog that copies the media file chosen in the entry editor to a drive and directory.
class CopyForm : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CopyForm)
public:
    // The file copied is mediaDir + fileName: the name typed in the entry editor that opens it.
    CopyForm(AppContext& context, const QString& fileName, QWidget* parent = nullptr);
    ~CopyForm() override;

    // The file-system calls the copy goes through (tests inject failures here).
    void setFileIo(FileIo& io) { io_ = &io; }

    void done(int result) override;

signals:
    void volumesAnswered();
    // A press of Copy has been dealt with: copied, refused, cancelled or failed, and said so.
    void copyEnded();

private:
    void Form_Load();
    void ShowVolumes();
    void InitCopyFormOsd();
    void CopyDrive_Failed();
    void CopyDrive_Opened(const QString& drive);
    void CopyDir_Change();
    void CopyCmd_Click();
    void CancelCmd_Click();
    void Form_Unload();

    // Selects the drive and opens the directory in the lists, and shows it in CopyText; `then` hears
    // whether it could.
    void ShowDestination(const QString& drive, const QString& directory, std::function<void(bool)> then);
    // A removable medium when one is mounted, else the application directory on its drive, as at
    // load when the remembered place is gone; `then` runs once it is shown.
    void ShowApplicationDirectory(std::function<void()> then);
    // The remembered place, else the application directory, while the lists do not count as changes.
    void ShowRememberedOrApplicationDirectory(std::function<void()> then);
    QString DriveHolding(const QString& path) const;
    // The lists take the user's choices again.
    void ChoosingDone();
    void SetChoosing(bool enabled);
    // The copy itself, with its progress dialog. overwriteConfirmed: the user agreed to lose the old file.
    enum class Outcome { Copied, Failed, Cancelled };
    void RunCopy(const QString& name, const QString& destination, bool overwriteConfirmed);
    void CopyDone(Outcome outcome);
    void SetBusy(bool busy);

    AppContext& context_;
    QString fileName_;
    FileIo* io_;
    bool busy_ = false;
    QPointer<QProgressDialog> progress_;
    // The look at the destination, then the copy: one at a time.
    BackgroundRequests copying_{this};

    DestinationChooser* chooser_ = nullptr;
    QComboBox* CopyDrive = nullptr;
    DirectoryList* CopyDir = nullptr;
    QLineEdit* CopyText = nullptr;
    QLabel* NotAnsweringLabel = nullptr;
    QPushButton* CopyCmd = nullptr;
    QPushButton* CancelCmd = nullptr;
};

} // namespace velmo
