#pragma once

#include "rules/schedule_history.h"
#include "ui/editors/main_lists.h"

#include <QObject>
#include <functional>
#include <optional>
#include <string>
#include <variant>

class QAction;
class QListWidget;
class QMenu;
class QMenuBar;
class QWidget;

namespace velmo {

struct AppContext;
struct AppState;

// The main window's Edit menu and what keeps edits from being lost: the undo history of every
// schedule change, copy and paste of entries, files dropped on the lists, the modified state with
// its question before a schedule is closed, and the recovery file of a session that ends unsaved.
class EditCommands : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EditCommands)
public:
    // What the commands need of the main window besides its lists.
    struct Window {
        QWidget* widget = nullptr;
        MainLists lists;
        std::function<void()> refill;        // ShowBasicList, ShowAdvanceList, ShowDetailList, buttons
        std::function<void()> updateCaption; // UpdateMainCaption
        std::function<bool()> save;          // the Save command; true when the schedule was written
    };

    EditCommands(AppContext& context, Window window, QMenuBar* menuBar, QMenu* fileMenu);
    ~EditCommands() override;

    void applyTexts();
    // After start-up: the captions in the chosen language, what was loaded counts as unchanged, and a
    // recovery file is offered.
    void started();

    // Runs a command and records what it changed as one undo step, the touched entry read from
    // `list`'s selection before and after.
    void record(TextId label, EntryRef::List list, const std::function<void()>& command);
    void undo();
    void redo();
    void copy();
    void paste();
    void duplicate();

    bool isModified() const;
    void markClean();
    // Before the schedule is closed (New, Open, Exit): asks Save, Discard or Cancel when it changed.
    // True when the command may go on.
    bool confirmClose();
    // The session ends and no question can wait: keeps an unsaved schedule in the recovery file.
    void endSession();
    // Writes the recovery file when the schedule differs from its saved state, removes it otherwise.
    void keepUnsavedChanges();
    bool sessionEnding() const { return sessionEnding_; }
    // A normal end after the user's answer: the recovery file has served its purpose.
    void closedNormally();

    static std::string recoveryFilePath();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ScheduleDocument document() const;
    void show(const ScheduleHistory::Target& target);
    EntryRef selection(EntryRef::List list) const;
    void select(const EntryRef& ref);
    void updateActions();
    QListWidget* activeList() const;
    EntryRef::List listKind(const QListWidget* list) const;
    void pasteInto(QListWidget* list, TextId label);
    void dropFiles(QListWidget* list, const QList<class QUrl>& urls);
    void offerRecovery();
    // Offers one kept schedule; false when the user put the question off (Cancel).
    bool offerRecoveryFile(const std::string& path);

    AppContext& context_;
    AppState& state_;
    Window window_;
    ScheduleHistory history_;
    std::optional<std::variant<FileEntry, AdvanceEntry>> copied_;
    QListWidget* lastList_ = nullptr;
    bool sessionEnding_ = false;
    bool recoveryUnanswered_ = false;
    // The recovery file this session writes: never one an earlier session left unanswered.
    std::string ownRecoveryFile_;
    std::string ownRecoveryPath();
    void removeRecoveryFile();

    QMenu* subEdit = nullptr;
    QAction* subUndo = nullptr;
    QAction* subRedo = nullptr;
    QAction* subCopyEntry = nullptr;
    QAction* subPasteEntry = nullptr;
    QAction* subDuplicateEntry = nullptr;
};

} // namespace velmo
