#include "edit_commands.h"

#include "model/app_state.h"
#include "model/file_system.h"
#include "model/recovery_file.h"
#include "rules/entry_batch.h"
#include "rules/schedule_rules.h"
#include "ui/document/schedule_document.h"
#include "ui/editors/media_add_question.h"
#include "ui/platform/app_context.h"
#include "ui/platform/background_file_writer.h"
#include "ui/platform/prompts.h"
#include "ui/platform/ui_text.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstdio>

namespace velmo {

namespace {

constexpr char kRecoveryFileName[] = "unsaved-schedule.recovery";

// Noted where the next start looks, whichever of the numbered files was meant.
void reportNotKept(const std::string& base, const std::string& reason) {
    std::fprintf(stderr, "velmo-schedule-generator: unsaved schedule not kept: %s\n", reason.c_str());
    NoteRecoveryFailure(base, reason);
}

} // namespace

EditCommands::EditCommands(AppContext& context, ScheduleDocument& document, Window window, QMenuBar* menuBar,
                           QMenu* fileMenu)
    : QObject(window.widget), context_(context), state_(context.state), document_(document),
      window_(std::move(window)) {
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
    // Files from a file manager may land on the basic and detail lists.
    for (ScheduleListView* list : {window_.lists.NormalList, window_.lists.DetailList}) {
        list->setAcceptDrops(true);
        list->viewport()->setAcceptDrops(true);
        list->viewport()->installEventFilter(this);
    }
    connect(&document_, &ScheduleDocument::historyChanged, this, &EditCommands::updateActions);

    recoveryWriter_ = std::make_unique<BackgroundFileWriter>(
        [base = recoveryFilePath(), noted = false](const std::string&, bool removal,
                                                   const Result& result) mutable {
            // A file that stays behind is only offered once more.
            if (!result && !removal) {
                reportNotKept(base, result.reason);
                noted = true;
            } else if (result && noted) {
                // A later write or a save made up for it.
                (void)TakeRecoveryFailure(base);
                noted = false;
            }
        });
    // Not restarted by further edits: steady typing still reaches the file every interval.
    recoveryTimer_ = new QTimer(this);
    recoveryTimer_->setSingleShot(true);
    recoveryTimer_->setInterval(kRecoveryDelayMs);
    connect(recoveryTimer_, &QTimer::timeout, this, &EditCommands::askToKeepUnsavedChanges);
#ifndef QT_NO_SESSIONMANAGER
    // A desktop logout asks first; the logout may still be cancelled, so nothing more than keeping.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { keepUnsavedChanges(); });
#endif
}

EditCommands::~EditCommands() = default;

void EditCommands::applyTexts() {
    const ScreenTexts& texts = context_.texts;
    subEdit->setTitle(screenText(texts, TextId::TextMenuEdit));
    subCopyEntry->setText(screenText(texts, TextId::TextCopyEntry));
    subPasteEntry->setText(screenText(texts, TextId::TextPasteEntry));
    subDuplicateEntry->setText(screenText(texts, TextId::TextDuplicateEntry));
    updateActions();
}

void EditCommands::started() {
    // The screen texts are chosen during start-up, after the menu was built.
    applyTexts();
    offerRecovery();
    followDocument();
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
        window_.widget->setWindowModified(isModified());
}

bool EditCommands::isModified() const {
    return document_.isModified();
}

bool EditCommands::confirmClose() {
    if (!isModified())
        return true;
    const ScreenTexts& texts = context_.texts;
    enum class Changes { Save, Discard, Keep };
    switch (AskThreeWay<Changes>(context_.prompts, window_.widget, screenText(texts, TextId::MsgSaveChanges),
                                 {{Changes::Save, screenText(texts, TextId::TextSave)},
                                  {Changes::Discard, screenText(texts, TextId::TextDiscard)},
                                  {Changes::Keep, screenText(texts, TextId::TextCancel)}})) {
    case Changes::Save:
        return window_.save();
    case Changes::Discard:
        return true;
    case Changes::Keep:
        break;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Copy, paste and dropped files

ScheduleListView* EditCommands::activeList() const {
    const MainListViews& lists = window_.lists;
    QWidget* focus = QApplication::focusWidget();
    for (ScheduleListView* list : {lists.NormalList, lists.AdvanceList, lists.DetailList})
        if (focus == list)
            return list;
    return lastList_ != nullptr ? lastList_ : lists.NormalList;
}

EntryRef::List EditCommands::listKind(const ScheduleListView* list) const {
    if (list == window_.lists.NormalList)
        return EntryRef::List::Basic;
    if (list == window_.lists.AdvanceList)
        return EntryRef::List::Advance;
    if (list == window_.lists.DetailList)
        return EntryRef::List::Detail;
    return EntryRef::List::None;
}

void EditCommands::copy() {
    ScheduleListView* list = activeList();
    const int row = list->currentRow();
    const Schedule& schedule = document_.schedule();
    switch (listKind(list)) {
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
    const EntryRef::List kind = listKind(list);
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

void EditCommands::dropFiles(ScheduleListView* list, const QList<QUrl>& urls) {
    const EntryRef::List kind = listKind(list);
    const int advance = kind == EntryRef::List::Detail ? window_.lists.AdvanceList->currentRow() : -1;
    if (kind == EntryRef::List::Detail && document_.advanceEntry(advance) == nullptr)
        return;
    std::vector<FileCandidate> candidates;
    QStringList files;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            candidates.push_back({fromQt(url.toDisplayString()), false});
            continue;
        }
        const QFileInfo info(QDir::cleanPath(url.toLocalFile()));
        if (info.isFile())
            files << info.filePath();
        else
            candidates.push_back({fromQt(info.fileName()), false});
    }
    // Files that will not play are asked about first; what comes back is added, copies by their names.
    // What the question leaves out is named with the folders and the rest, in one message.
    AskAboutAddedMedia(window_.widget, context_, window_.probeCache(), files, LeftOut::Named,
                       [this, kind, advance, candidates](const AddedMedia& answer) mutable {
                           for (const QString& file : answer.added)
                               candidates.push_back({PathFileName(fromQt(file)), true});
                           for (const std::string& name : answer.notAdded)
                               candidates.push_back({name, false});
                           const BatchAddResult result =
                               NewFileEntries(document_.room(kind, advance), candidates, 1, kVolumeDefault);
                           document_.addFiles(AddSource::Drop, kind, advance, result.entries);
                           if (const std::string message = BatchAddMessage(result, context_.texts);
                               !message.empty())
                               context_.prompts.message(window_.widget, toQt(message));
                       });
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
        return false;
    }
    // Only drops are ours; other events also reach the viewports while the lists are torn down,
    // when asking a list for its viewport is no longer safe.
    if (event->type() != QEvent::DragEnter && event->type() != QEvent::DragMove &&
        event->type() != QEvent::Drop)
        return false;
    ScheduleListView* target = nullptr;
    for (ScheduleListView* list : {lists.NormalList, lists.DetailList})
        if (watched == list->viewport())
            target = list;
    if (target == nullptr)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        // Details need the advance entry they belong to.
        const bool hasOwner = target != lists.DetailList || lists.AdvanceList->currentRow() >= 0;
        if (drag->mimeData()->hasUrls() && target->isEnabled() && hasOwner) {
            drag->acceptProposedAction();
            return true;
        }
        return false;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!drop->mimeData()->hasUrls())
            return false;
        drop->acceptProposedAction();
        dropFiles(target, drop->mimeData()->urls());
        return true;
    }
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------------------------
// Recovery

std::string EditCommands::recoveryFilePath() {
    const QString directory = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (directory.isEmpty())
        return {};
    return fromQt(QDir(directory).filePath(QString::fromLatin1(kRecoveryFileName)));
}

std::string EditCommands::ownRecoveryPath() {
    if (ownRecoveryFile_.empty()) {
        const std::string path = recoveryFilePath();
        ownRecoveryFile_ = path.empty() || !recoveryUnanswered_ ? path : FreeRecoveryPath(path);
    }
    return ownRecoveryFile_;
}

void EditCommands::removeRecoveryFile() {
    recoveryTimer_->stop();
    const std::string path = ownRecoveryPath();
    if (!path.empty())
        recoveryWriter_->remove(path);
}

void EditCommands::followDocument() {
    connect(&document_, &ScheduleDocument::changed, this, &EditCommands::documentChanged);
    connect(&document_, &ScheduleDocument::historyChanged, this, &EditCommands::documentChanged);
}

void EditCommands::documentChanged() {
    if (sessionEnding_)
        return;
    // Saved, discarded or undone back to the file: nothing is left to keep.
    if (!isModified())
        removeRecoveryFile();
    else if (!recoveryTimer_->isActive())
        recoveryTimer_->start();
}

void EditCommands::endSession() {
    sessionEnding_ = true;
    keepUnsavedChanges();
}

void EditCommands::keepUnsavedChanges() {
    askToKeepUnsavedChanges();
    recoveryWriter_->wait();
}

void EditCommands::askToKeepUnsavedChanges() {
    recoveryTimer_->stop();
    const std::string path = recoveryFilePath();
    if (path.empty())
        return;
    // An offer not yet answered stays for the next start, beside this session's own file.
    if (!isModified()) {
        removeRecoveryFile();
        return;
    }
    if (!recoveryDirectoryMade_)
        recoveryDirectoryMade_ = QDir().mkpath(QFileInfo(toQt(path)).absolutePath());
    std::vector<std::uint8_t> bytes;
    const Result encoded =
        EncodeRecoveryFile(RecoveredSchedule{state_.scheduleDir, state_.scheduleFileName, state_.schedule},
                           context_.random, bytes);
    if (!encoded)
        return reportNotKept(path, encoded.reason);
    recoveryWriter_->write(ownRecoveryPath(), std::move(bytes));
}

void EditCommands::closedNormally() {
    removeRecoveryFile();
    recoveryWriter_->wait();
}

void EditCommands::offerRecovery() {
    const std::string base = recoveryFilePath();
    if (base.empty())
        return;
    const ScreenTexts& texts = context_.texts;
    // Said before any older schedule is offered, which is then not last time's.
    if (const std::optional<std::string> failure = TakeRecoveryFailure(base))
        context_.prompts.message(window_.widget,
                                 toQt(FillIn(texts.text(TextId::MsgRecoveryNotKept), {*failure})));
    const std::vector<std::string> paths = RecoveryFilesNewestFirst(base);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (!offerRecoveryFile(paths[i]))
            return;
        if (!ownRecoveryFile_.empty()) {
            // Restored: the older ones wait for the next start.
            recoveryUnanswered_ = recoveryUnanswered_ || i + 1 < paths.size();
            return;
        }
    }
}

bool EditCommands::offerRecoveryFile(const std::string& path) {
    RecoveredSchedule kept;
    const ScreenTexts& texts = context_.texts;
    switch (ReadRecoveryFile(path, kept)) {
    case RecoveryRead::Absent:
        return true;
    case RecoveryRead::Damaged: {
        // Said once: set aside, it is not offered again.
        const std::string aside = SetRecoveryFileAside(path);
        context_.prompts.message(window_.widget, toQt(FillIn(texts.text(TextId::MsgRecoveryDamaged),
                                                             {aside.empty() ? path : aside})));
        return true;
    }
    case RecoveryRead::Newer:
        context_.prompts.message(window_.widget, toQt(FillIn(texts.text(TextId::MsgRecoveryNewer), {path})));
        recoveryUnanswered_ = true;
        return true;
    case RecoveryRead::Read:
        break;
    }
    enum class Kept { Restore, Discard, AskAgainLater };
    switch (AskThreeWay<Kept>(
        context_.prompts, window_.widget,
        toQt(FillIn(texts.text(TextId::MsgRestoreRecovery), {kept.directory + kept.fileName})),
        {{Kept::Restore, screenText(texts, TextId::TextRestore)},
         {Kept::Discard, screenText(texts, TextId::TextDiscard)},
         {Kept::AskAgainLater, screenText(texts, TextId::TextCancel)}})) {
    case Kept::Restore:
        // One undo step takes the restore back; the file stays until the schedule is dealt with.
        document_.replace(TextId::TextRestore, {kept.schedule, kept.directory, kept.fileName},
                          Replacement::Restored);
        ownRecoveryFile_ = path;
        return true;
    case Kept::Discard:
        QFile::remove(toQt(path));
        return true;
    case Kept::AskAgainLater:
        recoveryUnanswered_ = true;
        return false;
    }
    return false;
}

} // namespace velmo
