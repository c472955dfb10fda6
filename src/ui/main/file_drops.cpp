#include "file_drops.h"

#include "model/file_system.h"
#include "rules/entry_batch.h"
#include "rules/schedule_rules.h"
#include "ui/document/schedule_document.h"
#include "ui/editors/media_add_question.h"
#include "ui/platform/app_context.h"
#include "ui/platform/prompts.h"
#include "ui/platform/ui_text.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace velmo {

FileDrops::FileDrops(AppContext& context, ScheduleDocument& document, Window window)
    : QObject(window.widget), context_(context), document_(document), window_(window) {
    for (ScheduleListView* list : {window_.lists.NormalList, window_.lists.DetailList}) {
        list->setAcceptDrops(true);
        list->viewport()->setAcceptDrops(true);
        list->viewport()->installEventFilter(this);
    }
}

void FileDrops::dropFiles(ScheduleListView* list, const QList<QUrl>& urls) {
    const EntryRef::List kind = window_.lists.kindOf(list);
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

bool FileDrops::eventFilter(QObject* watched, QEvent* event) {
    const MainListViews& lists = window_.lists;
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

} // namespace velmo
