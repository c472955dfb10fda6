#pragma once

#include "main_lists.h"

#include <QDialog>
#include <QStringList>
#include <string>

class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace velmo {

struct AppContext;
struct FileEntry;

// The modal editor of one media-file entry (basic or detail), in the mode set in editMode:
// AppState::kEditAdd, kEditModify, kEditAddDetail or kEditModifyDetail. Only OK writes, and it writes both
// the model and the main window's list row.
class ScheduleEditForm : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScheduleEditForm)
public:
    ScheduleEditForm(AppContext& context, MainLists lists, QWidget* parent = nullptr);
    ~ScheduleEditForm() override;

    // The media file's name as typed, surrounding spaces removed and letter case kept: what the
    // copy dialog, opened with this form as its parent, copies from mediaDir.
    QString typedFileName() const;

protected:
    // Neither Enter nor Esc answers the dialog: a stray key must not store or throw away an edit.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildWindow();
    void Form_Load();
    void InitScheduleEditFormOsd();
    void EditFieldSetup();

    void BrowseCmd_Click();
    void CopyCmd_Click();
    void OKCmd_Click();
    void CancelCmd_Click();
    void FileNameText_Change();

    void BrowseMediaFile();
    bool OpenMediaFileDialog(std::string& directory, std::string& fileName);
    static bool splitPickedPath(const QString& chosen, std::string& directory, std::string& fileName);
    bool FileNameCheck();
    void StoreFileEntry(FileEntry& target) const;
    QString rowText() const;
    void AddListRow(QListWidget* list);
    void UpdateListRow(QListWidget* list);

    bool addsEntries() const;
    // Adds one entry per file of a Browse that picked several, and tells what was left out.
    void addChosenFiles();

    void loadEntry(const FileEntry& entry);
    FileEntry* modifiedEntry();

    AppContext& context_;
    MainLists lists_;
    // The full paths of a Browse that picked more than one file; empty otherwise.
    QStringList chosenFiles_;

    QGroupBox* EditFrame = nullptr;
    QPushButton* FileNameCmd = nullptr;
    QPushButton* PlayTimesCmd = nullptr;
    QPushButton* VolumeCmd = nullptr;
    QLineEdit* FileNameText = nullptr;
    QComboBox* PlayTimesCombo = nullptr;
    QComboBox* VolumeCombo = nullptr;
    QPushButton* BrowseCmd = nullptr;
    QPushButton* CopyCmd = nullptr;
    QPushButton* OKCmd = nullptr;
    QPushButton* CancelCmd = nullptr;
};

} // namespace velmo
