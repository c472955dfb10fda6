#pragma once

#include "model/schedule.h"

#include <QDialog>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace velmo {

struct AppContext;
struct FileEntry;
class MediaProbeCache;

// The modal editor of one media-file entry (basic or detail). It is handed the entry to modify, or
// none for an Add, and after OK gives back what to store: the edited entry, or for an Add one entry
// per picked file, each with its row as the list shows it. It changes nothing itself.
class ScheduleEditForm : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScheduleEditForm)
public:
    // `room`: how many entries an Add may still append to its list.
    ScheduleEditForm(AppContext& context, std::optional<FileEntry> entry, int room,
                     QWidget* parent = nullptr);
    ~ScheduleEditForm() override;

    // The media file's name as typed, surrounding spaces removed and letter case kept: what the
    // copy dialog, opened with this form as its parent, copies from mediaDir.
    QString typedFileName() const;

    // After OK: the entries to store; empty after Cancel.
    const std::vector<FileEntry>& entries() const { return entries_; }
    // Files asked about are examined with `cache` (the marks' own); an editor without one keeps its own.
    void examineWith(std::shared_ptr<MediaProbeCache> cache);

    // While the editor waits for work off its thread: the media folders to say whether the typed name
    // is a file of theirs, or the files picked or typed to be examined and asked about. OK, Browse and
    // Copy to... take nothing meanwhile.
    bool lookingUp() const { return lookingUp_; }

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
    // A typed name of a file in a media folder is asked about as a picked one, then stored; the
    // dialog stays open on a refused name or when the question is cancelled.
    void TypedMediaCheck();
    // Asks about `paths` as files to add; `then` gets the files to add, once the answer comes.
    void askAboutMedia(const QStringList& paths, std::function<void(const QStringList&)> then);
    void showPicked(const std::string& directory, const std::string& fileName, const std::string& browsed);
    void storeAndClose();
    void StoreFileEntry(FileEntry& target) const;

    bool addsEntries() const;
    // Adds one entry per file of a Browse that picked several, and tells what was left out.
    void addChosenFiles();

    void loadEntry(const FileEntry& entry);
    // Makes a thumbnail of the picked file off the window's thread; a later pick or edit wins.
    void showPreview(const QString& path);
    void hidePreview();

    AppContext& context_;
    std::optional<FileEntry> entry_; // the entry modified; none for an Add
    int room_ = 0;
    std::vector<FileEntry> entries_;
    // The full paths of a Browse that picked more than one file; empty otherwise.
    QStringList chosenFiles_;
    QString askedName_;      // the name last asked about (or picked after asking), not asked again
    int previewRequest_ = 0; // the thumbnail asked for last; earlier answers are stale
    int lookupRequest_ = 0;  // the typed name looked up last
    bool lookingUp_ = false;
    std::shared_ptr<MediaProbeCache> probeCache_;

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
    QLabel* PreviewLabel = nullptr;
};

} // namespace velmo
