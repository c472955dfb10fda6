#pragma once

#include "rules/schedule_history.h"
#include "ui/document/schedule_list_view.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>

class QAction;
class QMenu;
class QMenuBar;
class QTimer;
class QWidget;

namespace velmo {

struct AppContext;
struct AppState;
class BackgroundFileWriter;
class MediaProbeCache;
class ScheduleDocument;
enum class AddSource;

// The main window's Edit menu and what keeps edits from being lost: undo and redo of the document's
// changes, copy and paste of entries, files dropped on the lists, the question before a changed
// schedule is closed, and the recovery file of a session that ends unsaved.
class EditCommands : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EditCommands)
public:
    // What the commands need of the main window besides its lists.
    struct Window {
        QWidget* widget = nullptr;
        MainListViews lists;
        std::function<bool()> save; // the Save command; true when the schedule was written
        // What dropped files are examined with: the one cache of the marks.
        std::function<std::shared_ptr<MediaProbeCache>()> probeCache;
    };

    EditCommands(AppContext& context, ScheduleDocument& document, Window window, QMenuBar* menuBar,
                 QMenu* fileMenu);
    ~EditCommands() override;

    void applyTexts();
    // After start-up: the captions in the chosen language, what was loaded counts as unchanged, and a
    // recovery file is offered.
    void started();

    void undo();
    void redo();
    void copy();
    void paste();
    void duplicate();

    bool isModified() const;
    // Before the schedule is closed (New, Open, Exit): asks Save, Discard or Cancel when it changed.
    // True when the command may go on.
    bool confirmClose();
    // The session ends and no question can wait: keeps an unsaved schedule in the recovery file.
    void endSession();
    // Writes the recovery file when the schedule differs from its saved state, removes it otherwise,
    // and returns when that is done.
    void keepUnsavedChanges();
    bool sessionEnding() const { return sessionEnding_; }
    // A normal end after the user's answer: the recovery file has served its purpose.
    void closedNormally();
    // How soon after a change the recovery file holds it; a crash loses at most this much editing.
    static constexpr int kRecoveryDelayMs = 1000;

    static std::string recoveryFilePath();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateActions();
    ScheduleListView* activeList() const;
    EntryRef::List listKind(const ScheduleListView* list) const;
    void pasteInto(ScheduleListView* list, AddSource source);
    void dropFiles(ScheduleListView* list, const QList<class QUrl>& urls);
    void offerRecovery();
    // Offers one kept schedule; false when the user put the question off (Cancel).
    bool offerRecoveryFile(const std::string& path);

    AppContext& context_;
    AppState& state_;
    ScheduleDocument& document_;
    Window window_;
    std::optional<std::variant<FileEntry, AdvanceEntry>> copied_;
    ScheduleListView* lastList_ = nullptr;
    bool sessionEnding_ = false;
    bool recoveryUnanswered_ = false;
    // The recovery file this session writes: never one an earlier session left unanswered.
    std::string ownRecoveryFile_;
    std::string ownRecoveryPath();
    void removeRecoveryFile();
    // Follows the document once the offer of an earlier session's file is answered.
    void followDocument();
    void documentChanged();
    // Hands the recovery file's new state to the writer and returns at once.
    void askToKeepUnsavedChanges();
    QTimer* recoveryTimer_ = nullptr;
    bool recoveryDirectoryMade_ = false;
    std::unique_ptr<BackgroundFileWriter> recoveryWriter_;

    QMenu* subEdit = nullptr;
    QAction* subUndo = nullptr;
    QAction* subRedo = nullptr;
    QAction* subCopyEntry = nullptr;
    QAction* subPasteEntry = nullptr;
    QAction* subDuplicateEntry = nullptr;
};

} // namespace velmo
