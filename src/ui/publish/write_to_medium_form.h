#pragma once

#include "rules/publish.h"

#include <QDialog>
#include <QString>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace velmo {

struct AppContext;
class DirectoryList;
class FileIo;

// "Write to Player Medium": chooses the medium's directory and the media folders, shows what the
// write would do, and does it. The plan and the write are the core's; this window only shows them.
class WriteToMediumForm : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WriteToMediumForm)
public:
    // settings: the remembered destination and media folders, updated as the user changes them.
    WriteToMediumForm(AppContext& context, PublishSettings& settings, QWidget* parent = nullptr);
    ~WriteToMediumForm() override;

    // The file-system calls the write goes through (tests inject failures here).
    void setFileIo(FileIo& io) { io_ = &io; }
    // Asks for a folder to add; an empty result adds nothing. Defaults to Qt's own directory dialog.
    void setFolderChooser(std::function<QString(QWidget*, const QString&)> chooser) {
        chooseFolder_ = std::move(chooser);
    }

    const PublishPlan& plan() const { return plan_; }

    // While a write runs, closing the window cancels the write instead.
    void reject() override;

private:
    void Form_Load();
    void InitWriteToMediumFormOsd();
    void PublishDrive_Change();
    void PublishDir_Change();
    void AddFolderCmd_Click();
    void RemoveFolderCmd_Click();
    void WriteCmd_Click();
    void CancelWriteCmd_Click();

    bool ShowDestination(const QString& directory);
    void RefreshPlan();
    void ShowPlan();
    void ShowReport(const PublishReport& report);
    void SetBusy(bool busy);
    QString ActionText(PublishAction action) const;

    AppContext& context_;
    PublishSettings& settings_;
    FileIo* io_;
    std::function<QString(QWidget*, const QString&)> chooseFolder_;
    PublishPlan plan_;
    bool listsReady_ = false;
    bool busy_ = false;
    bool cancelRequested_ = false;

    QComboBox* PublishDrive = nullptr;
    DirectoryList* PublishDir = nullptr;
    QLineEdit* PublishText = nullptr;
    QLabel* MediaFolderLabel = nullptr;
    QListWidget* MediaFolderList = nullptr;
    QPushButton* AddFolderCmd = nullptr;
    QPushButton* RemoveFolderCmd = nullptr;
    QTableWidget* PlanTable = nullptr;
    QLabel* PlanSummary = nullptr;
    QProgressBar* PublishProgressBar = nullptr;
    QPushButton* WriteCmd = nullptr;
    QPushButton* CancelWriteCmd = nullptr;
    QPushButton* CloseCmd = nullptr;
};

} // namespace velmo
