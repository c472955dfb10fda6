#include "overview_hooks.h"

#include "advance_colours.h"
#include "schedule_overview_form.h"

#include "model/app_state.h"
#include "model/media_folder.h"
#include "rules/schedule_sense.h"
#include "ui/document/schedule_document.h"
#include "ui/document/schedule_media.h"
#include "ui/platform/app_context.h"
#include "ui/platform/clock.h"
#include "ui/platform/off_thread.h"
#include "ui/platform/ui_text.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <utility>

namespace velmo {

namespace {

constexpr int kSavedMessageMs = 15000;
// The notice names this many problems; its tool tip names them all.
constexpr int kNoticeProblems = 2;

CivilDate todayOf(const AppContext& context) {
    const QDate d = context.clock.today();
    return {d.year(), d.month(), d.day()};
}

} // namespace

ScheduleOverviewHooks::ScheduleOverviewHooks(AppContext& context, ScheduleDocument& document,
                                             ScheduleMedia& examined, QMainWindow& mainWindow,
                                             MainListViews lists, QAction* beforeMenu)
    : QObject(&mainWindow), context_(context), document_(document), examined_(examined),
      mainWindow_(mainWindow), lists_(lists) {
    setObjectName(QStringLiteral("ScheduleOverviewHooks"));
    const auto text = [this](TextId id) { return screenText(context_.texts, id); };

    auto* view = new QMenu(text(TextId::TextMenuView), mainWindow.menuBar());
    view->setObjectName(QStringLiteral("subView"));
    QAction* open = view->addAction(text(TextId::TextScheduleOverview));
    open->setObjectName(QStringLiteral("subScheduleOverview"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    connect(open, &QAction::triggered, this, [this] { openOverview(); });
    if (beforeMenu != nullptr)
        mainWindow.menuBar()->insertMenu(beforeMenu, view);
    else
        mainWindow.menuBar()->addMenu(view);

    connect(&document_, &ScheduleDocument::changed, this, &ScheduleOverviewHooks::scheduleChanged);
    connect(&document_, &ScheduleDocument::edited, this, &ScheduleOverviewHooks::rowsChanged);
    // New, Open, undo and redo make another schedule of it; a notice about a period no longer holds.
    connect(&document_, &ScheduleDocument::reset, this, [this] {
        hideNotice();
        // Another file, perhaps in another folder: the overview starts over, folders included.
        wholeChange_ = true;
    });
    connect(&document_, &ScheduleDocument::wasSaved, this, &ScheduleOverviewHooks::scheduleSaved);
    connect(&examined_, &ScheduleMedia::updated, this, &ScheduleOverviewHooks::showSavedMessage);
}

void ScheduleOverviewHooks::rowsChanged(const RowEdit& edit) {
    // Only the periods decide the month's marks; files change what plays, not when.
    periodsChanged_ = periodsChanged_ || edit.list == EntryRef::List::Advance;
    if (edit.list == EntryRef::List::Advance && edit.byEditor) {
        advanceEntryStored(edit.row);
        return;
    }
    // Any other change of the period the notice is about (or of where it stands) makes it stale.
    if (notice_ == nullptr || notice_->isHidden())
        return;
    const bool aboutIt = edit.list == EntryRef::List::Advance
                             ? edit.kind != RowEdit::Kind::Replace || edit.row == noticeEntry_
                             : edit.list == EntryRef::List::Detail && edit.advance == noticeEntry_;
    if (aboutIt)
        hideNotice();
}

void ScheduleOverviewHooks::hideNotice() {
    if (notice_ != nullptr)
        notice_->hide();
}

ScheduleOverviewHooks::~ScheduleOverviewHooks() = default;

// Built when first needed, so a window that never shows a notice carries no hidden controls.
void ScheduleOverviewHooks::buildNotice() {
    const auto text = [this](TextId id) { return screenText(context_.texts, id); };
    notice_ = new QWidget(&mainWindow_);
    notice_->setObjectName(QStringLiteral("OverviewNotice"));
    auto* layout = new QHBoxLayout(notice_);
    layout->setContentsMargins(0, 0, 0, 0);
    noticeLabel_ = new QLabel(notice_);
    noticeLabel_->setObjectName(QStringLiteral("OverviewNoticeLabel"));
    auto* show = new QPushButton(text(TextId::TextShowInOverview), notice_);
    show->setObjectName(QStringLiteral("OverviewNoticeShowCmd"));
    show->setAccessibleName(show->text());
    auto* dismiss = new QPushButton(text(TextId::TextDismiss), notice_);
    dismiss->setObjectName(QStringLiteral("OverviewNoticeDismissCmd"));
    dismiss->setAccessibleName(dismiss->text());
    layout->addWidget(noticeLabel_, 1);
    layout->addWidget(show);
    layout->addWidget(dismiss);
    mainWindow_.statusBar()->addWidget(notice_, 1);
    notice_->hide();
    connect(show, &QPushButton::clicked, this, [this] {
        openOverview(noticeEntry_);
        notice_->hide();
    });
    connect(dismiss, &QPushButton::clicked, notice_, &QWidget::hide);
}

void ScheduleOverviewHooks::scheduleChanged() {
    // A move or a removal changes many rows; the overview follows once, after them.
    if (overview_ == nullptr || !overview_->isVisible() || refreshPending_)
        return;
    refreshPending_ = true;
    QTimer::singleShot(0, this, [this] {
        refreshPending_ = false;
        const bool whole = std::exchange(wholeChange_, false);
        const bool periods = std::exchange(periodsChanged_, false);
        if (overview_ == nullptr || !overview_->isVisible())
            return;
        if (whole)
            overview_->refresh();
        else
            overview_->scheduleChanged(periods);
    });
}

void ScheduleOverviewHooks::advanceEntryStored(int index) {
    const std::vector<ScheduleProblem> warnings =
        AdvanceEntryWarnings(document_.schedule(), index, todayOf(context_));
    if (warnings.empty()) {
        if (notice_ != nullptr)
            notice_->hide();
        return;
    }
    if (notice_ == nullptr)
        buildNotice();
    QStringList all;
    for (const ScheduleProblem& p : warnings)
        all << toQt(ProblemText(p, context_.texts));
    QString shown = all.mid(0, kNoticeProblems).join(QStringLiteral("; "));
    if (all.size() > kNoticeProblems)
        shown += QStringLiteral("; …");
    noticeEntry_ = index;
    noticeLabel_->setText(shown);
    noticeLabel_->setToolTip(all.join(QLatin1Char('\n')));
    notice_->setAccessibleName(shown);
    // A save message would hide the notice; the notice is news.
    mainWindow_.statusBar()->clearMessage();
    notice_->show();
}

void ScheduleOverviewHooks::scheduleSaved() {
    savedMessagePending_ = true;
    // The folders are listed and the files examined again: one may have changed since.
    examined_.refresh();
}

void ScheduleOverviewHooks::showSavedMessage() {
    if (!savedMessagePending_ || examined_.folder() == nullptr || examined_.pending())
        return;
    savedMessagePending_ = false;
    // Counted beside the window, as the overview finds them: the largest schedule has tens of thousands.
    RunInBackground<std::size_t>(
        [schedule = document_.schedule(), today = todayOf(context_), media = examined_.folder(),
         judge = examined_.judgeCopy(context_.texts)] {
            // As many as the overview lists: one row each.
            return FindScheduleProblems(
                       schedule, today, [&media](const std::string& name) { return media->contains(name); },
                       judge)
                .size();
        },
        this,
        [this](std::size_t count) {
            const QString message = count == 0 ? screenText(context_.texts, TextId::MsgSavedClean)
                                               : screenText(context_.texts, TextId::MsgSavedWithWarnings)
                                                     .replace(QStringLiteral("%1"), QString::number(count));
            mainWindow_.statusBar()->showMessage(message, kSavedMessageMs);
        });
}

void ScheduleOverviewHooks::openOverview(int index) {
    if (overview_ == nullptr) {
        overview_ = new ScheduleOverviewForm(context_, examined_, &mainWindow_);
        connect(overview_, &ScheduleOverviewForm::entryChosen, this, &ScheduleOverviewHooks::selectEntry);
    } else {
        overview_->refresh();
    }
    periodsChanged_ = wholeChange_ = false;
    if (index >= 0)
        overview_->showAdvanceEntry(index);
    overview_->show();
    overview_->raise();
    overview_->activateWindow();
}

void ScheduleOverviewHooks::selectEntry(const EntryId& entry) {
    ScheduleListView* target = nullptr;
    int row = entry.index;
    if (entry.kind == EntryId::Kind::Basic) {
        target = lists_.NormalList;
    } else if (entry.kind == EntryId::Kind::Advance || entry.kind == EntryId::Kind::Detail) {
        ScheduleListView* advance = lists_.AdvanceList;
        // Selecting the advance row refills the detail list for it.
        if (advance != nullptr && entry.index < advance->count())
            advance->setCurrentRow(entry.index);
        target = advance;
        if (entry.kind == EntryId::Kind::Detail) {
            target = lists_.DetailList;
            row = entry.detail;
        }
    }
    if (target == nullptr || row < 0 || row >= target->count())
        return;
    target->setCurrentRow(row);
    target->setFocus();
    mainWindow_.raise();
    mainWindow_.activateWindow();
}

} // namespace velmo
