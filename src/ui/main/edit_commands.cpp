#include "edit_commands.h"

#include "ui/document/schedule_document.h"
#include "ui/platform/app_context.h"
#include "ui/platform/prompts.h"
#include "ui/platform/ui_text.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

namespace velmo {

EditCommands::EditCommands(AppContext& context, ScheduleDocument& document, Window window, QMenuBar* menuBar,
                           QMenu* fileMenu)
    : QObject(window.widget), context_(context), document_(document), window_(std::move(window)) {
    subEdit = new QMenu(window_.widget);
    subEdit->setObjectName(QStringLiteral("subEdit"));
    // Right after the File menu, whatever follows it.
    const QList<QAction*> menus = menuBar->actions();
    const qsizetype file = menus.indexOf(fileMenu->menuAction());
    if (file >= 0 && file + 1 < menus.size())
        menuBar->insertMenu(menus[file + 1], subEdit);
    else
        menuBar->addMenu(subEdit);

    const auto addAction = [this](const char* name, const QList<QKeySequence>& keys,
                                  void (EditCommands::*slot)()) {
        QAction* action = subEdit->addAction(QString());
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcuts(keys);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    subUndo = addAction("subUndo", QKeySequence::keyBindings(QKeySequence::Undo), &EditCommands::undo);
    // Ctrl+Y as well, wherever the platform's own redo key is another.
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    if (!redoKeys.contains(QKeySequence(Qt::CTRL | Qt::Key_Y)))
        redoKeys << QKeySequence(Qt::CTRL | Qt::Key_Y);
    subRedo = addAction("subRedo", redoKeys, &EditCommands::redo);
    subEdit->addSeparator();
    subCopyEntry =
        addAction("subCopyEntry", QKeySequence::keyBindings(QKeySequence::Copy), &EditCommands::copy);
    subPasteEntry =
        addAction("subPasteEntry", QKeySequence::keyBindings(QKeySequence::Paste), &EditCommands::paste);
    subDuplicateEntry =
        addAction("subDuplicateEntry", {QKeySequence(Qt::CTRL | Qt::Key_D)}, &EditCommands::duplicate);

    for (ScheduleListView* list :
         {window_.lists.NormalList, window_.lists.AdvanceList, window_.lists.DetailList})
        list->installEventFilter(this);
    connect(&document_, &ScheduleDocument::historyChanged, this, &EditCommands::updateActions);
}

void EditCommands::applyTexts() {
    const ScreenTexts& texts = context_.texts;
    subEdit->setTitle(screenText(texts, TextId::TextMenuEdit));
    subCopyEntry->setText(screenText(texts, TextId::TextCopyEntry));
    subPasteEntry->setText(screenText(texts, TextId::TextPasteEntry));
    subDuplicateEntry->setText(screenText(texts, TextId::TextDuplicateEntry));
    updateActions();
}

void EditCommands::undo() {
    document_.undo();
}

void EditCommands::redo() {
    document_.redo();
}

void EditCommands::updateActions() {
    const ScreenTexts& texts = context_.texts;
    const auto labelled = [&texts](TextId change, TextId label) {
        return toQt(FillIn(texts.text(change), {texts.text(label)}));
    };
    subUndo->setEnabled(document_.canUndo());
    subUndo->setText(document_.canUndo() ? labelled(TextId::TextUndoChange, document_.undoLabel())
                                         : screenText(texts, TextId::TextUndo));
    subRedo->setEnabled(document_.canRedo());
    subRedo->setText(document_.canRedo() ? labelled(TextId::TextRedoChange, document_.redoLabel())
                                         : screenText(texts, TextId::TextRedo));
    // Only where the platform marks a changed window without touching the caption text.
    if (QGuiApplication::platformName() == QLatin1String("cocoa"))
        window_.widget->setWindowModified(document_.isModified());
}

// ---------------------------------------------------------------------------------------------
// Copy and paste

ScheduleListView* EditCommands::activeList() const {
    const MainListViews& lists = window_.lists;
    QWidget* focus = QApplication::focusWidget();
    for (ScheduleListView* list : {lists.NormalList, lists.AdvanceList, lists.DetailList})
        if (focus == list)
            return list;
    return lastList_ != nullptr ? lastList_ : lists.NormalList;
}

void EditCommands::copy() {
    ScheduleListView* list = activeList();
    const int row = list->currentRow();
    const Schedule& schedule = document_.schedule();
    switch (window_.lists.kindOf(list)) {
    case EntryRef::List::Basic:
        if (row >= 0 && row < document_.count(EntryRef::List::Basic))
            copied_ = schedule.basicEntries[static_cast<std::size_t>(row)];
        break;
    case EntryRef::List::Advance:
        if (const AdvanceEntry* entry = document_.advanceEntry(row))
            copied_ = *entry;
        break;
    case EntryRef::List::Detail: {
        const int advance = window_.lists.AdvanceList->currentRow();
        if (row >= 0 && row < document_.count(EntryRef::List::Detail, advance))
            copied_ = document_.advanceEntry(advance)->files[static_cast<std::size_t>(row)];
        break;
    }
    case EntryRef::List::None:
        break;
    }
}

void EditCommands::paste() {
    pasteInto(activeList(), AddSource::Paste);
}

void EditCommands::duplicate() {
    ScheduleListView* list = activeList();
    copy();
    pasteInto(list, AddSource::Duplicate);
}

void EditCommands::pasteInto(ScheduleListView* list, AddSource source) {
    if (!copied_)
        return;
    const EntryRef::List kind = window_.lists.kindOf(list);
    const auto full = [this] {
        context_.prompts.message(window_.widget, screenText(context_.texts, TextId::MsgTooManyBasic));
    };
    if (kind == EntryRef::List::Advance) {
        const auto* entry = std::get_if<AdvanceEntry>(&*copied_);
        if (entry == nullptr)
            return;
        if (document_.room(kind) == 0)
            return full();
        document_.addAdvance(source, *entry);
        return;
    }
    const auto* entry = std::get_if<FileEntry>(&*copied_);
    if (entry == nullptr)
        return;
    const int advance = kind == EntryRef::List::Detail ? window_.lists.AdvanceList->currentRow() : -1;
    if (kind == EntryRef::List::Detail && document_.advanceEntry(advance) == nullptr)
        return;
    if (document_.room(kind, advance) == 0)
        return full();
    document_.addFiles(source, kind, advance, {*entry});
}

bool EditCommands::eventFilter(QObject* watched, QEvent* event) {
    const MainListViews& lists = window_.lists;
    if (event->type() == QEvent::FocusIn) {
        for (ScheduleListView* list : {lists.NormalList, lists.AdvanceList, lists.DetailList})
            if (watched == list)
                lastList_ = list;
        return false;
    }
    // A list claims Ctrl+C and typed letters for itself, so the menu's shortcuts would never fire there.
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        for (QAction* action : {subCopyEntry, subPasteEntry, subDuplicateEntry}) {
            if (!action->shortcuts().contains(QKeySequence(key->keyCombination())))
                continue;
            if (event->type() == QEvent::KeyPress)
                action->trigger();
            event->accept();
            return true;
        }
    }
    return false;
}

} // namespace velmo
