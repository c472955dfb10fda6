#pragma once

#include "rules/publish.h"

#include <QDialog>
#include <QString>
#include <atomic>
#include <functional>

class QCheckBox;
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
class VolumeScanner;

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
    // The drives have been asked and the plan for the destination shown (all off the window's thread).
    bool settled() const { return volumesListed_ && !planPending_; }

    // While a write runs, closing the window cancels the write instead.
    void reject() override;

signals:
    // The plan in the table is the one for what the dialog shows now.
    void planShown();

protected:
    // Closed by the program itself (a termination signal, the session's end) while writing: the
    // write is cancelled, and the window closes once the medium is consistent again.
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void ShowVolumes();
    void InitWriteToMediumFormOsd();
    void PublishDrive_Change();
    void PublishDir_Change();
    void AddFolderCmd_Click();
    void RemoveFolderCmd_Click();
    void WriteCmd_Click();
    void CancelWriteCmd_Click();

    bool ShowDestination(const QString& directory);
    void ChooseNoDestination();
    void RefreshPlan();
    // The plan for the destination and folders shown, made off the window's thread.
    // allowRemoveFirst: the user agreed that old copies may be removed before their new versions.
    PublishPlan MakePlan(bool allowRemoveFirst = false);
    std::function<PublishPlan()> PlanWork(bool allowRemoveFirst = false) const;
    void RememberDestination();
    void ShowProgress(const PublishProgress& progress);
    PublishOptions Options(bool allowRemoveFirst) const;
    void ShowPlan();
    void FitPlanColumns();
    // Asks what the plan needs asked; false when the user said no.
    bool ConfirmPlan();
    void ShowReport(const PublishReport& report, bool removalAsked);
    void SetBusy(bool busy);
    QString ActionText(PublishAction action) const;

    AppContext& context_;
    PublishSettings& settings_;
    FileIo* io_;
    std::function<QString(QWidget*, const QString&)> chooseFolder_;
    PublishPlan plan_;
    bool listsReady_ = false;
    bool busy_ = false;
    std::atomic<bool> cancelRequested_{false};
    bool endWhenDone_ = false;
    bool volumesListed_ = false;
    bool planPending_ = false;
    int planGeneration_ = 0;
    VolumeScanner* scanner_ = nullptr;

    QComboBox* PublishDrive = nullptr;
    DirectoryList* PublishDir = nullptr;
    QLineEdit* PublishText = nullptr;
    QLabel* NotAnsweringLabel = nullptr;
    QLabel* MediaFolderLabel = nullptr;
    QListWidget* MediaFolderList = nullptr;
    QPushButton* AddFolderCmd = nullptr;
    QPushButton* RemoveFolderCmd = nullptr;
    QCheckBox* RemoveUnusedCheck = nullptr;
    QLabel* PlanCounts = nullptr;
    QTableWidget* PlanTable = nullptr;
    QLabel* PlanSummary = nullptr;
    QProgressBar* PublishProgressBar = nullptr;
    QPushButton* WriteCmd = nullptr;
    QPushButton* CancelWriteCmd = nullptr;
    QPushButton* CloseCmd = nullptr;
};

} // namespace velmo
