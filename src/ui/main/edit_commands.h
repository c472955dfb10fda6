#pragma once

#include "rules/schedule_history.h"
#include "ui/document/schedule_list_view.h"

#include <QObject>
#include <optional>
#include <variant>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace velmo {

struct AppContext;
class ScheduleDocument;
enum class AddSource;

// The main window's Edit menu: undo and redo of the document's changes, and copy, paste and
// duplicate of entries.
class EditCommands : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EditCommands)
public:
    // The window the menu belongs to, with its lists.
    struct Window {
        QWidget* widget = nullptr;
        MainListViews lists;
    };

    EditCommands(AppContext& context, ScheduleDocument& document, Window window, QMenuBar* menuBar,
                 QMenu* fileMenu);

    // The captions in the chosen language.
    void applyTexts();

    void undo();
    void redo();
    void copy();
    void paste();
    void duplicate();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateActions();
    ScheduleListView* activeList() const;
    void pasteInto(ScheduleListView* list, AddSource source);

    AppContext& context_;
    ScheduleDocument& document_;
    Window window_;
    std::optional<std::variant<FileEntry, AdvanceEntry>> copied_;
    ScheduleListView* lastList_ = nullptr;

    QMenu* subEdit = nullptr;
    QAction* subUndo = nullptr;
    QAction* subRedo = nullptr;
    QAction* subCopyEntry = nullptr;
    QAction* subPasteEntry = nullptr;
    QAction* subDuplicateEntry = nullptr;
};

} // namespace velmo
