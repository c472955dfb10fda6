#pragma once

#include "media/media_probe.h"
#include "rules/publish.h"
#include "ui/platform/off_thread.h"

#include <QDialog>
#include <QString>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace velmo {

struct AppContext;
class DestinationChooser;
class DirectoryList;
class FileIo;
class ScheduleDocument;
class ScheduleMedia;

// "Write to Player Medium": chooses the medium's directory and the media folders, shows what the
// write would do, and does it. The plan and the write are the core's; this window only shows them.
// Files that will not play are shown as such, and their player copies can take their place first.
class WriteToMediumForm : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WriteToMediumForm)
public:
    // settings: the remembered destination and media folders, updated as the user changes them.
    // document: where entries are pointed at player copies; media: whose probe results are shared.
    WriteToMediumForm(AppContext& context, PublishSettings& settings, ScheduleDocument& document,
                      ScheduleMedia& media, QWidget* parent = nullptr);
    ~WriteToMediumForm() override;

    // The file-system calls the write goes through (tests inject failures here).
    void setFileIo(FileIo& io) { io_ = &io; }

    // While a write runs, closing the window cancels the write instead.
    void reject() override;
    void done(int result) override;

signals:
    // The plan in the table is the one for what the dialog shows now.
    void planShown();
    // A press of Write has been dealt with: written, refused, cancelled or failed, and said so.
    void writeEnded();

protected:
    // Closed by the program itself (a termination signal, the session's end) while writing: the
    // write is cancelled, and the window closes once the medium is consistent again.
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void ShowVolumes();
    void InitWriteToMediumFormOsd();
    void PublishDrive_Failed();
    void PublishDir_Change();
    void AddFolderCmd_Click();
    void RemoveFolderCmd_Click();
    void WriteCmd_Click();
    void CancelWriteCmd_Click();
    void MakeCopiesCmd_Click();

    void ShowDestination(const QString& directory, std::function<void(bool shown)> then);
    // The first of `candidates` that can be shown.
    void ShowFirstDestination(QStringList candidates, std::function<void(bool shown)> then);
    void ChooseNoDestination();
    void RefreshPlan();
    // The plan, and what of it will not play (by name), examined with the editor's probe results.
    struct Planned {
        PublishPlan plan;
        std::map<std::string, ExaminedMedia> wontPlay;
        // Why the destination is not the medium it was remembered on (or is a bare mount point).
        std::optional<std::string> absence;
        MediumIdentity medium; // the volume the destination lies on now
        // Which schedule the medium last got, what the write changes, until when it plays.
        std::vector<std::string> mediumLines;
        // The medium's name and room, how long each list plays, how many files change.
        std::vector<std::string> summary;
    };
    // The plan for the destination and folders shown, to be made off the window's thread.
    // allowRemoveFirst: the user agreed that old copies may be removed before their new versions.
    std::function<Planned(const BackgroundRequests::Unwanted&)> PlanWork(bool allowRemoveFirst = false) const;
    void TakePlan(Planned planned);
    // The files that will not play and of which a player copy can be made, in plan order.
    std::vector<const PublishItem*> Convertible() const;

    // A press of Write, step by step; each step either goes on to the next or ends the press.
    // The plan made anew for the write, shown; then `goOn`.
    void PlanForWrite(bool allowRemoveFirst, std::function<void()> goOn);
    // Goes on once every file in the write plays, or the user chose to write anyway.
    void ConfirmWontPlay(std::function<void()> goOn);
    // Goes on once the user agreed to what the plan needs asked.
    void ConfirmPlan(std::function<void()> goOn);
    void ConfirmRemoval(std::function<void()> goOn);
    // The write itself, once the plan is confirmed.
    void WriteConfirmed();
    void WriteDone(const PublishReport& report, bool removalAsked, const std::string& scheduleName);
    // replan: the plan shown is made again (after a write, what is on the medium changed).
    void EndWrite(bool replan = false);

    // Makes the player copies and points the schedule at them; true when any entry now names a copy.
    void MakePlayerCopiesNow(std::function<void(bool pointed)> then);
    void RememberDestination();
    void ShowProgress(const PublishProgress& progress);
    PublishOptions Options(bool allowRemoveFirst) const;
    void ShowPlan();
    void FitPlanColumns();
    void ShowReport(const PublishReport& report, bool removalAsked);
    void SetBusy(bool busy);
    QString ActionText(PublishAction action) const;

    AppContext& context_;
    PublishSettings& settings_;
    FileIo* io_;
    ScheduleDocument& document_;
    ScheduleMedia& media_;
    PublishPlan plan_;
    std::map<std::string, ExaminedMedia> wontPlay_;
    std::optional<std::string> absence_;
    MediumIdentity medium_;
    std::vector<std::string> mediumLines_;
    std::vector<std::string> summary_;
    bool listsReady_ = false;
    bool busy_ = false;
    // Shared with the write on its worker, which may outlive the window.
    std::shared_ptr<std::atomic<bool>> cancelRequested_ = std::make_shared<std::atomic<bool>>(false);
    bool endWhenDone_ = false;
    bool planPending_ = false;
    // From a press of Write until it has been dealt with; a plan asked for meanwhile waits for its end.
    bool writePressed_ = false;
    bool replanWanted_ = false;
    // The plan shown as the user chooses.
    BackgroundRequests planning_{this};
    // A press of Write: its plan, then the write.
    BackgroundRequests writing_{this};

    DestinationChooser* chooser_ = nullptr;
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
    QLabel* MediumChanges = nullptr;
    QTableWidget* PlanTable = nullptr;
    QLabel* PlanSummary = nullptr;
    QPlainTextEdit* WriteSummary = nullptr;
    QLabel* WontPlayNote = nullptr;
    QPushButton* MakeCopiesCmd = nullptr;
    QProgressBar* PublishProgressBar = nullptr;
    QPushButton* WriteCmd = nullptr;
    QPushButton* CancelWriteCmd = nullptr;
    QPushButton* CloseCmd = nullptr;
};

} // namespace velmo
