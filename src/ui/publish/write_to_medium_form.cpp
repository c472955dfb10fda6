#include "write_to_medium_form.h"

#include "media/publish_summary.h"
#include "model/app_state.h"
#include "model/file_io.h"
#include "model/file_system.h"
#include "model/schedule_file.h"
#include "rules/medium_identity.h"
#include "rules/schedule_difference.h"
#include "rules/schedule_horizon.h"
#include "rules/schedule_rules.h"
#include "ui/copy/destination_chooser.h"
#include "ui/copy/directory_list.h"
#include "ui/document/player_copies.h"
#include "ui/document/schedule_document.h"
#include "ui/document/schedule_media.h"
#include "ui/platform/app_context.h"
#include "ui/platform/clock.h"
#include "ui/platform/off_thread.h"
#include "ui/platform/prompts.h"
#include "ui/platform/ui_text.h"
#include "ui/platform/volumes.h"
#include "ui/platform/window_placement.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmo {

namespace {

constexpr int kProgressSteps = 1000;
// The text colour of rows that need the user's attention, beside the style's warning icon: a red
// that stands out on a light and on a dark list alike.
QColor warningText(const QPalette& palette) {
    return palette.color(QPalette::Base).lightness() < 128 ? QColor(0xff, 0x7b, 0x72)
                                                           : QColor(0xc0, 0x1c, 0x28);
}

QString dataSize(std::uint64_t bytes) {
    return QLocale().formattedDataSize(static_cast<qint64>(bytes), 1, QLocale::DataSizeIecFormat);
}

std::string directoryValue(const QString& path) {
    return WithTrailingSeparator(fromQt(QDir::toNativeSeparators(path)));
}

bool onMedium(const PublishItem& item) {
    return item.goesOnMedium();
}

// A copy can be made of what could be examined; of a damaged or unreadable file, none.
bool convertible(const ExaminedMedia& media) {
    return !media.facts.failure && media.facts.kind != MediaKind::Unknown;
}

} // namespace

WriteToMediumForm::WriteToMediumForm(AppContext& context, PublishSettings& settings,
                                     ScheduleDocument& document, ScheduleMedia& media, QWidget* parent)
    : QDialog(parent), context_(context), settings_(settings), io_(&FileIo::system()), document_(document),
      media_(media) {
    setModal(true);
    setObjectName(QStringLiteral("WriteToMediumForm"));
    auto* destinationBox = new QGroupBox(this);
    destinationBox->setObjectName(QStringLiteral("DestinationFrame"));
    chooser_ = new DestinationChooser(context_, QStringLiteral("Publish"), destinationBox);
    PublishDrive = chooser_->drive();
    PublishDir = chooser_->directory();
    PublishText = chooser_->text();
    NotAnsweringLabel = chooser_->notAnswering();
    auto* destinationLayout = new QVBoxLayout(destinationBox);
    destinationLayout->addWidget(PublishDrive);
    destinationLayout->addWidget(PublishDir, 1);
    destinationLayout->addWidget(PublishText);
    destinationLayout->addWidget(NotAnsweringLabel);

    auto* foldersBox = new QGroupBox(this);
    foldersBox->setObjectName(QStringLiteral("MediaFolderFrame"));
    MediaFolderList = new QListWidget(foldersBox);
    MediaFolderList->setObjectName(QStringLiteral("MediaFolderList"));
    AddFolderCmd = new QPushButton(foldersBox);
    AddFolderCmd->setObjectName(QStringLiteral("AddFolderCmd"));
    RemoveFolderCmd = new QPushButton(foldersBox);
    RemoveFolderCmd->setObjectName(QStringLiteral("RemoveFolderCmd"));
    auto* folderButtons = new QHBoxLayout;
    folderButtons->addWidget(AddFolderCmd);
    folderButtons->addWidget(RemoveFolderCmd);
    folderButtons->addStretch(1);
    auto* foldersLayout = new QVBoxLayout(foldersBox);
    foldersLayout->addWidget(MediaFolderList, 1);
    foldersLayout->addLayout(folderButtons);

    PlanCounts = new QLabel(this);
    PlanCounts->setObjectName(QStringLiteral("PlanCounts"));
    RemoveUnusedCheck = new QCheckBox(this);
    RemoveUnusedCheck->setObjectName(QStringLiteral("RemoveUnusedCheck"));
    auto* aboveTable = new QHBoxLayout;
    aboveTable->addWidget(PlanCounts, 1);
    aboveTable->addWidget(RemoveUnusedCheck);

    MediumChanges = new QLabel(this);
    MediumChanges->setObjectName(QStringLiteral("MediumChanges"));
    MediumChanges->setWordWrap(true);
    MediumChanges->setTextFormat(Qt::PlainText);
    MediumChanges->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    PlanTable = new QTableWidget(0, 4, this);
    PlanTable->setObjectName(QStringLiteral("PlanTable"));
    PlanTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    PlanTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    PlanTable->verticalHeader()->hide();
    PlanTable->verticalHeader()->setDefaultSectionSize(PlanTable->fontMetrics().height() + 8);
    PlanTable->horizontalHeader()->setStretchLastSection(true);
    PlanSummary = new QLabel(this);
    PlanSummary->setObjectName(QStringLiteral("PlanSummary"));
    PlanSummary->setWordWrap(true);
    WriteSummary = new QPlainTextEdit(this);
    WriteSummary->setObjectName(QStringLiteral("WriteSummary"));
    WriteSummary->setReadOnly(true);
    WriteSummary->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    WriteSummary->setFrameShape(QFrame::NoFrame);
    WriteSummary->setBackgroundRole(QPalette::Window);
    WriteSummary->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    WriteSummary->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // A few lines show at once; a schedule of many periods scrolls.
    WriteSummary->setFixedHeight(WriteSummary->fontMetrics().lineSpacing() * 6 + 8);
    WriteSummary->hide();
    WontPlayNote = new QLabel(this);
    WontPlayNote->setObjectName(QStringLiteral("WontPlayNote"));
    WontPlayNote->setWordWrap(true);
    WontPlayNote->setTextFormat(Qt::PlainText);
    WontPlayNote->hide();
    MakeCopiesCmd = new QPushButton(this);
    MakeCopiesCmd->setObjectName(QStringLiteral("MakeCopiesCmd"));
    MakeCopiesCmd->setEnabled(false);
    auto* wontPlayRow = new QHBoxLayout;
    wontPlayRow->addWidget(WontPlayNote, 1);
    wontPlayRow->addWidget(MakeCopiesCmd, 0, Qt::AlignTop);
    PublishProgressBar = new QProgressBar(this);
    PublishProgressBar->setObjectName(QStringLiteral("PublishProgressBar"));
    PublishProgressBar->setRange(0, kProgressSteps);
    PublishProgressBar->setValue(0);

    WriteCmd = new QPushButton(this);
    WriteCmd->setObjectName(QStringLiteral("WriteCmd"));
    CancelWriteCmd = new QPushButton(this);
    CancelWriteCmd->setObjectName(QStringLiteral("CancelWriteCmd"));
    CancelWriteCmd->setEnabled(false);
    CloseCmd = new QPushButton(this);
    CloseCmd->setObjectName(QStringLiteral("CloseCmd"));
    // Enter belongs to the directory list, where it opens a directory.
    for (QPushButton* button :
         {AddFolderCmd, RemoveFolderCmd, MakeCopiesCmd, WriteCmd, CancelWriteCmd, CloseCmd}) {
        button->setAutoDefault(false);
        button->setMinimumWidth(96);
    }
    auto* commands = new QHBoxLayout;
    commands->addWidget(PublishProgressBar, 1);
    commands->addWidget(WriteCmd);
    commands->addWidget(CancelWriteCmd);
    commands->addWidget(CloseCmd);

    auto* layout = new QGridLayout(this);
    layout->addWidget(destinationBox, 0, 0);
    layout->addWidget(foldersBox, 0, 1);
    layout->addLayout(aboveTable, 1, 0, 1, 2);
    layout->addWidget(MediumChanges, 2, 0, 1, 2);
    layout->addWidget(PlanTable, 3, 0, 1, 2);
    layout->addWidget(PlanSummary, 4, 0, 1, 2);
    layout->addWidget(WriteSummary, 5, 0, 1, 2);
    layout->addLayout(wontPlayRow, 6, 0, 1, 2);
    layout->addLayout(commands, 7, 0, 1, 2);
    layout->setRowStretch(0, 2);
    layout->setRowStretch(3, 3);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(1, 1);

    MediaFolderList->setAccessibleName(screenText(context_.texts, TextId::TextMediaFolders));
    PlanTable->setAccessibleName(screenText(context_.texts, TextId::TextPlanTableName));
    PlanSummary->setAccessibleName(screenText(context_.texts, TextId::TextPlanSummaryName));
    MediumChanges->setAccessibleName(screenText(context_.texts, TextId::TextMediumChangesName));
    PublishProgressBar->setAccessibleName(screenText(context_.texts, TextId::TextProgressName));
    PlanCounts->setAccessibleName(screenText(context_.texts, TextId::TextPlanCountsName));
    WontPlayNote->setAccessibleName(screenText(context_.texts, TextId::TextWontPlayName));
    MakeCopiesCmd->setAccessibleName(screenText(context_.texts, TextId::TextMakePlayerCopies));
    WriteSummary->setAccessibleName(screenText(context_.texts, TextId::TextWriteSummaryName));

    connect(chooser_, &DestinationChooser::volumesListed, this, &WriteToMediumForm::ShowVolumes);
    // The drive is asked off the window's thread; meanwhile nothing can be chosen or written.
    connect(chooser_, &DestinationChooser::driveAsked, this, [this] {
        for (QWidget* control : std::initializer_list<QWidget*>{PublishDrive, PublishDir, WriteCmd})
            control->setEnabled(false);
    });
    connect(chooser_, &DestinationChooser::driveAnswered, this, [this] {
        PublishDrive->setEnabled(!busy_);
        PublishDir->setEnabled(!busy_);
    });
    connect(chooser_, &DestinationChooser::driveFailed, this, &WriteToMediumForm::PublishDrive_Failed);
    // A drive opened follows as a directory chosen.
    connect(chooser_, &DestinationChooser::directoryChosen, this, &WriteToMediumForm::PublishDir_Change);
    connect(RemoveUnusedCheck, &QCheckBox::toggled, this, &WriteToMediumForm::RefreshPlan);
    connect(AddFolderCmd, &QPushButton::clicked, this, &WriteToMediumForm::AddFolderCmd_Click);
    connect(RemoveFolderCmd, &QPushButton::clicked, this, &WriteToMediumForm::RemoveFolderCmd_Click);
    connect(WriteCmd, &QPushButton::clicked, this, &WriteToMediumForm::WriteCmd_Click);
    connect(CancelWriteCmd, &QPushButton::clicked, this, &WriteToMediumForm::CancelWriteCmd_Click);
    connect(MakeCopiesCmd, &QPushButton::clicked, this, &WriteToMediumForm::MakeCopiesCmd_Click);
    connect(CloseCmd, &QPushButton::clicked, this, &QDialog::reject);
    destinationBox->setTitle(screenText(context_.texts, TextId::TextDestination));
    foldersBox->setTitle(screenText(context_.texts, TextId::TextMediaFolders));
    Form_Load();
    // Once the captions are in: a laptop at 125 % leaves less than 600 pixels of height.
    FitSizeIntoScreen(*this, QSize(760, 600));
}

WriteToMediumForm::~WriteToMediumForm() {
    // Work still under way is told to stop; nothing of it reaches this window any more.
    planning_.withdraw();
    writing_.withdraw();
    *cancelRequested_ = true;
    SetBusy(false);
}

void WriteToMediumForm::Form_Load() {
    InitWriteToMediumFormOsd();
    for (const std::string& dir : MediaFoldersOf(settings_, context_.state.mediaDir))
        MediaFolderList->addItem(toQt(dir));
    listsReady_ = false;
    // Until every drive has answered, or its time is up, there is nothing to choose or write to.
    for (QWidget* control : std::initializer_list<QWidget*>{PublishDrive, PublishDir, WriteCmd})
        control->setEnabled(false);
    PlanSummary->setText(screenText(context_.texts, TextId::TextPlanPending));
    chooser_->start();
    PublishDrive->setFocus();
}

void WriteToMediumForm::ShowVolumes() {
    const VolumeScan& scan = chooser_->scan();
    // The destination remembered with Copy to..., unless that is the program's own folder, where no
    // player reads; else the first removable medium; else none until the user picks one.
    const AppState& state = context_.state;
    const QString own = QDir::cleanPath(toQt(state.appPath));
    QStringList candidates;
    for (const std::string& remembered : {settings_.destination, state.copyDir})
        if (!remembered.empty() && QDir::cleanPath(toQt(remembered)) != own)
            candidates << toQt(remembered);
    if (const QString medium = FirstRemovableMedium(scan); !medium.isEmpty())
        candidates << medium;
    // The lists are listed off the window's thread; they take choices once they show a place.
    ShowFirstDestination(candidates, [this](bool shown) {
        PublishDrive->setEnabled(!busy_);
        PublishDir->setEnabled(!busy_);
        listsReady_ = true;
        chooser_->setTaking(true);
        if (shown)
            RememberDestination();
        else
            ChooseNoDestination();
        RefreshPlan();
    });
}

void WriteToMediumForm::ShowFirstDestination(QStringList candidates, std::function<void(bool shown)> then) {
    if (candidates.isEmpty()) {
        then(false);
        return;
    }
    const QString first = candidates.takeFirst();
    ShowDestination(first, [this, candidates, then](bool shown) {
        if (shown)
            then(true);
        else
            ShowFirstDestination(candidates, then);
    });
}

void WriteToMediumForm::RememberDestination() {
    const std::string chosen = directoryValue(PublishDir->path());
    // Another place chosen: its volume is learnt from its plan.
    if (chosen != settings_.destination)
        settings_.destinationMedium = {};
    settings_.destination = chosen;
    // Copy to... starts from the same place next time.
    context_.state.copyDrive = fromQt(PublishDrive->currentText());
    context_.state.copyDir = fromQt(PublishDir->path());
}

void WriteToMediumForm::ChooseNoDestination() {
    chooser_->showNone();
    settings_.destination.clear();
}

void WriteToMediumForm::InitWriteToMediumFormOsd() {
    const ScreenTexts& texts = context_.texts;
    setWindowTitle(screenText(texts, TextId::TextWriteToMediumTitle));
    AddFolderCmd->setText(screenText(texts, TextId::TextAddFolder));
    RemoveFolderCmd->setText(screenText(texts, TextId::TextRemoveFolder));
    WriteCmd->setText(screenText(texts, TextId::TextWrite));
    CancelWriteCmd->setText(screenText(texts, TextId::TextCancel));
    CloseCmd->setText(screenText(texts, TextId::TextExit));
    RemoveUnusedCheck->setText(screenText(texts, TextId::TextRemoveUnused));
    MakeCopiesCmd->setText(screenText(texts, TextId::TextMakePlayerCopies));
    PlanTable->setHorizontalHeaderLabels(
        {screenText(texts, TextId::TextPlanName), screenText(texts, TextId::TextPlanSize),
         screenText(texts, TextId::TextPlanAction), screenText(texts, TextId::TextPlanSource)});
}

void WriteToMediumForm::ShowDestination(const QString& directory, std::function<void(bool shown)> then) {
    if (directory.isEmpty()) {
        then(false);
        return;
    }
    std::vector<std::string> mounts;
    for (int i = 0; i < PublishDrive->count(); ++i)
        mounts.push_back(fromQt(PublishDrive->itemText(i)));
    chooser_->show(toQt(MountPointOf(fromQt(QDir::cleanPath(directory)), mounts)), directory,
                   std::move(then));
}

void WriteToMediumForm::PublishDrive_Failed() {
    listsReady_ = false;
    chooser_->setTaking(false);
    ShowDestination(toQt(settings_.destination), [this](bool shown) {
        if (!shown)
            ChooseNoDestination();
        listsReady_ = true;
        chooser_->setTaking(true);
        RefreshPlan();
    });
}

void WriteToMediumForm::PublishDir_Change() {
    RememberDestination();
    RefreshPlan();
}

void WriteToMediumForm::AddFolderCmd_Click() {
    const QListWidgetItem* current = MediaFolderList->currentItem();
    const QString start = current ? current->text() : toQt(context_.state.mediaDir);
    // The system's own folder dialog, as everywhere else in the program; nothing chosen adds nothing.
    const QString chosen = context_.prompts.chooseFolder(this, QString(), start).value_or(QString());
    if (chosen.isEmpty())
        return;
    const QString folder = toQt(directoryValue(QDir::cleanPath(chosen)));
    if (MediaFolderList->findItems(folder, Qt::MatchExactly).isEmpty())
        MediaFolderList->addItem(folder);
    RefreshPlan();
}

void WriteToMediumForm::RemoveFolderCmd_Click() {
    delete MediaFolderList->currentItem();
    RefreshPlan();
}

PublishOptions WriteToMediumForm::Options(bool allowRemoveFirst) const {
    PublishOptions options;
    options.removeUnlisted = RemoveUnusedCheck->isChecked();
    options.allowRemoveFirst = allowRemoveFirst;
    return options;
}

std::function<WriteToMediumForm::Planned(const BackgroundRequests::Unwanted&)>
WriteToMediumForm::PlanWork(bool allowRemoveFirst) const {
    // Copies of all it reads, so the window may change them (or close) meanwhile.
    const QDate day = context_.clock.today();
    return [schedule = context_.state.schedule, folders = settings_.mediaDirs,
            destination = settings_.destination, name = context_.state.scheduleFileName,
            options = Options(allowRemoveFirst), cache = media_.probeCache(), texts = context_.texts,
            remembered = settings_.destinationMedium, written = settings_.written,
            today = CivilDate{day.year(), day.month(), day.day()}](const BackgroundRequests::Unwanted&) {
        Planned planned;
        // A stick pulled out leaves its mount point as an empty folder on the computer's own disk.
        planned.absence = MediumAbsence(destination, remembered, texts);
        if (planned.absence)
            return planned;
        planned.plan = PlanPublish(schedule, folders, destination, name, options, texts);
        planned.medium = IdentifyMedium(destination);
        PublishSettings history;
        history.written = written;
        planned.mediumLines = MediumLines(history, planned.medium, destination, name, schedule, today, texts);
        // The very files the write would take, examined with the results the lists already hold.
        const std::map<std::string, MediaFileInfo> media = PublishedMedia(planned.plan, *cache);
        for (const PublishItem& item : planned.plan.items)
            if (const auto it = media.find(UpperCase(item.name));
                onMedium(item) && it != media.end() && it->second.media.verdict.willNotPlay())
                planned.wontPlay.emplace(item.name, it->second.media);
        planned.summary = PublishSummaryLines(planned.plan, schedule, planned.medium, media, texts);
        return planned;
    };
}

void WriteToMediumForm::TakePlan(Planned planned) {
    plan_ = std::move(planned.plan);
    wontPlay_ = std::move(planned.wontPlay);
    absence_ = std::move(planned.absence);
    mediumLines_ = std::move(planned.mediumLines);
    summary_ = std::move(planned.summary);
    medium_ = planned.medium;
    // The destination is remembered with the volume it is on, once that is known to be the right one.
    if (!absence_ && medium_.known())
        settings_.destinationMedium = medium_;
}

std::vector<const PublishItem*> WriteToMediumForm::Convertible() const {
    std::vector<const PublishItem*> found;
    for (const PublishItem& item : plan_.items)
        if (const auto it = wontPlay_.find(item.name); it != wontPlay_.end() && convertible(it->second))
            found.push_back(&item);
    return found;
}

void WriteToMediumForm::RefreshPlan() {
    settings_.mediaDirs.clear();
    for (int i = 0; i < MediaFolderList->count(); ++i)
        settings_.mediaDirs.push_back(fromQt(MediaFolderList->item(i)->text()));
    RemoveFolderCmd->setEnabled(MediaFolderList->count() > 0 && !busy_);
    // Until the drives have answered there is no destination to plan for; the summary says it is looking.
    if (!listsReady_)
        return;
    // The write under way shows its own plan; the one for what is chosen now follows it.
    if (writePressed_) {
        replanWanted_ = true;
        return;
    }
    replanWanted_ = false;
    if (settings_.destination.empty()) {
        planning_.withdraw();
        TakePlan({});
        planPending_ = false;
        ShowPlan();
        emit planShown();
        return;
    }
    planPending_ = true;
    WriteCmd->setEnabled(false);
    MakeCopiesCmd->setEnabled(false);
    PlanSummary->setText(screenText(context_.texts, TextId::TextPlanPending));
    // A plan for a destination or folders no longer shown is dropped: the newer request replaces it.
    planning_.start<Planned>(PlanWork(), [this](Planned planned) {
        TakePlan(std::move(planned));
        planPending_ = false;
        ShowPlan();
        emit planShown();
    });
}

QString WriteToMediumForm::ActionText(PublishAction action) const {
    switch (action) {
    case PublishAction::Copy:
        return screenText(context_.texts, TextId::TextActionCopy);
    case PublishAction::Replace:
        return screenText(context_.texts, TextId::TextActionReplace);
    case PublishAction::Keep:
        return screenText(context_.texts, TextId::TextActionKeep);
    case PublishAction::Missing:
        return screenText(context_.texts, TextId::TextActionMissing);
    case PublishAction::Remove:
        return screenText(context_.texts, TextId::TextActionRemove);
    case PublishAction::Fail:
        return screenText(context_.texts, TextId::TextActionFail);
    }
    return {};
}

void WriteToMediumForm::ShowPlan() {
    // Missing names first: they are what the user has to act on.
    std::vector<const PublishItem*> rows;
    for (const PublishItem& item : plan_.items)
        if (item.action == PublishAction::Missing)
            rows.push_back(&item);
    for (const PublishItem& item : plan_.items)
        if (item.action != PublishAction::Missing)
            rows.push_back(&item);

    const ScreenTexts& texts = context_.texts;
    PlanTable->setRowCount(static_cast<int>(rows.size()));
    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    QStringList wontPlayLines;
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        const PublishItem& item = *rows[static_cast<std::size_t>(row)];
        const bool missing = item.action == PublishAction::Missing;
        const auto wontPlay = wontPlay_.find(item.name);
        // Said in words too (the tooltip, the screen reader, the note below), never by colour alone.
        QString why;
        if (wontPlay != wontPlay_.end()) {
            const QString reasons = toQt(MediaReasonsText(wontPlay->second.verdict, texts));
            why = screenText(texts, TextId::TextMediaWillNotPlay).arg(reasons);
            wontPlayLines << toQt(item.name) + QStringLiteral(": ") + reasons;
        }
        const QString cells[4] = {toQt(item.name), missing ? QString() : dataSize(item.size),
                                  ActionText(item.action), toQt(item.sourceDir)};
        for (int column = 0; column < 4; ++column) {
            auto* cell = new QTableWidgetItem(cells[column]);
            QStringList tip;
            if (!item.note.empty())
                tip << toQt(item.note);
            if (!why.isEmpty()) {
                tip << why;
                cell->setData(Qt::AccessibleDescriptionRole, why);
            }
            if (!tip.isEmpty())
                cell->setToolTip(tip.join(QLatin1Char('\n')));
            if (missing || !why.isEmpty())
                cell->setForeground(warningText(PlanTable->palette()));
            if (column == 1)
                cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            PlanTable->setItem(row, column, cell);
        }
        if (missing || !why.isEmpty())
            PlanTable->item(row, 0)->setIcon(warning);
    }
    FitPlanColumns();
    // A damaged or unreadable file gets no copy; the note does not offer one then.
    const bool canCopy = !Convertible().empty();
    WontPlayNote->setText(
        screenText(texts, canCopy ? TextId::MsgPlanWillNotPlay : TextId::MsgPlanWillNotPlayNoCopy)
            .arg(wontPlayLines.join(QLatin1Char('\n'))));
    WontPlayNote->setVisible(!wontPlayLines.isEmpty());
    MakeCopiesCmd->setVisible(canCopy);
    MakeCopiesCmd->setEnabled(canCopy && !busy_ && !planPending_);

    // Two replacements among sixty rows are easy to miss in the table; the counts say it at once.
    QStringList counts;
    const std::pair<PublishAction, TextId> countTexts[] = {
        {PublishAction::Keep, TextId::TextCountKeep},       {PublishAction::Copy, TextId::TextCountCopy},
        {PublishAction::Replace, TextId::TextCountReplace}, {PublishAction::Remove, TextId::TextCountRemove},
        {PublishAction::Missing, TextId::TextCountMissing}, {PublishAction::Fail, TextId::TextCountFail}};
    for (const auto& [action, text] : countTexts)
        if (const int count = plan_.count(action); count > 0)
            counts << screenText(texts, text).arg(count);
    PlanCounts->setText(counts.join(screenText(texts, TextId::TextCountSeparator)));

    QStringList mediumLines;
    for (const std::string& line : mediumLines_)
        mediumLines << toQt(line);
    MediumChanges->setText(mediumLines.join(QLatin1Char('\n')));
    MediumChanges->setVisible(!mediumLines.isEmpty());
    const bool chosen = !settings_.destination.empty() && !absence_;
    QStringList summary;
    if (absence_)
        summary << toQt(*absence_);
    else if (!chosen)
        summary << screenText(texts, TextId::TextChooseMedium);
    else if (plan_.refusal)
        summary << screenText(texts, TextId::TextPlanRefused) + QLatin1Char(' ') + toQt(*plan_.refusal);
    else if (plan_.bytesToWrite == 0 && plan_.count(PublishAction::Remove) == 0)
        summary << screenText(texts, plan_.scheduleUnchanged ? TextId::TextPlanNothing
                                                             : TextId::TextPlanOnlySchedule);
    else
        summary << screenText(texts, TextId::TextPlanSpace)
                       .arg(dataSize(plan_.bytesToWrite), dataSize(plan_.freeSpace));
    for (const std::string& note : plan_.notes)
        summary << toQt(note);
    PlanSummary->setText(summary.join(QLatin1Char('\n')));
    QStringList facts;
    for (const std::string& line : summary_)
        facts << toQt(line);
    WriteSummary->setPlainText(facts.join(QLatin1Char('\n')));
    WriteSummary->setVisible(chosen && !facts.isEmpty());
    // A plan refused only for want of leave to remove old copies first can still be written: Write asks.
    WriteCmd->setEnabled(chosen && (!plan_.refusal || plan_.refusedOnlyForRemoveFirst()) && !busy_ &&
                         !planPending_);
}

void WriteToMediumForm::FitPlanColumns() {
    // Fitted to the rows, each column still shows its whole heading, and a long name or folder does
    // not push the action off the table: the source folder takes what is left.
    QHeaderView* header = PlanTable->horizontalHeader();
    PlanTable->resizeColumnsToContents();
    const int widest =
        std::max(PlanTable->viewport()->width() / 3, header->fontMetrics().averageCharWidth() * 16);
    for (int column = 0; column + 1 < PlanTable->columnCount(); ++column) {
        const int least = header->sectionSizeHint(column);
        header->resizeSection(column,
                              std::clamp(header->sectionSize(column), least, std::max(least, widest)));
    }
}

void WriteToMediumForm::ConfirmPlan(std::function<void()> goOn) {
    const ScreenTexts& texts = context_.texts;
    if (plan_.refusal && !plan_.refusedOnlyForRemoveFirst()) {
        context_.prompts.message(this, PlanSummary->text());
        EndWrite();
        return;
    }
    // Each question may be ended by the program closing every window: then nothing more is asked.
    if (const int missing = plan_.count(PublishAction::Missing); missing > 0)
        if (!context_.prompts.askYesNo(
                this, screenText(texts, TextId::MsgMediaMissing).arg(QString::number(missing))) ||
            !isVisible()) {
            EndWrite();
            return;
        }
    if (!plan_.refusedOnlyForRemoveFirst()) {
        ConfirmRemoval(std::move(goOn));
        return;
    }
    QStringList removeFirst;
    for (const std::string& name : plan_.removeFirstNames())
        removeFirst << toQt(name);
    const bool agreed = context_.prompts.askYesNo(
        this, screenText(texts, TextId::MsgRemoveOldFirst).arg(removeFirst.join(QLatin1Char('\n'))));
    if (!isVisible()) {
        EndWrite();
        return;
    }
    if (!agreed) {
        context_.prompts.message(this, screenText(texts, TextId::MsgRemoveOldFirstRefused));
        EndWrite();
        return;
    }
    PlanForWrite(true, [this, goOn] {
        if (plan_.refusal) {
            context_.prompts.message(this, PlanSummary->text());
            EndWrite();
            return;
        }
        ConfirmRemoval(goOn);
    });
}

void WriteToMediumForm::ConfirmRemoval(std::function<void()> goOn) {
    if (plan_.count(PublishAction::Remove) > 0) {
        QStringList names;
        for (const PublishItem& item : plan_.items)
            if (item.action == PublishAction::Remove)
                names << toQt(item.name);
        if (!context_.prompts.askYesNo(
                this,
                screenText(context_.texts, TextId::MsgRemoveUnused).arg(names.join(QLatin1Char('\n')))) ||
            !isVisible()) {
            EndWrite();
            return;
        }
    }
    goOn();
}

void WriteToMediumForm::ConfirmWontPlay(std::function<void()> goOn) {
    const std::vector<const PublishItem*> convertibleItems = Convertible();
    if (convertibleItems.empty() || (plan_.refusal && !plan_.refusedOnlyForRemoveFirst())) {
        goOn();
        return;
    }
    const ScreenTexts& texts = context_.texts;
    QStringList lines;
    for (const PublishItem* item : convertibleItems)
        lines << toQt(item->name) + QStringLiteral(": ") +
                     toQt(MediaReasonsText(wontPlay_.at(item->name).verdict, texts));
    const WontPlayAnswer answer = AskThreeWay<WontPlayAnswer>(
        context_.prompts, this,
        screenText(texts, TextId::MsgWriteWillNotPlay).arg(lines.join(QLatin1Char('\n'))),
        {{WontPlayAnswer::MakePlayerCopies, screenText(texts, TextId::TextMakePlayerCopies)},
         {WontPlayAnswer::UseAsTheyAre, screenText(texts, TextId::TextWriteAnyway)},
         {WontPlayAnswer::Cancel, screenText(texts, TextId::TextCancel)}});
    if (!isVisible() || answer == WontPlayAnswer::Cancel) {
        EndWrite();
        return;
    }
    if (answer == WontPlayAnswer::UseAsTheyAre) {
        goOn();
        return;
    }
    MakePlayerCopiesNow([this, goOn](bool pointed) {
        if (!pointed) {
            EndWrite();
            return;
        }
        // The write goes on only with the plan made anew, once every file in it plays.
        PlanForWrite(false, [this, goOn] {
            if (Convertible().empty())
                goOn();
            else
                EndWrite();
        });
    });
}

void WriteToMediumForm::MakePlayerCopiesNow(std::function<void(bool pointed)> then) {
    const std::optional<std::string> folder = PlayerCopiesFolder(this, context_);
    if (!folder) {
        then(false);
        return;
    }
    settings_.playerCopiesDir = *folder;
    std::vector<std::string> sources;
    std::vector<std::string> names;
    for (const PublishItem* item : Convertible()) {
        sources.push_back(item->sourcePath());
        names.push_back(item->name);
    }
    SetBusy(true);
    StartPlayerCopies(this, context_, sources, *folder,
                      [this, names, folder = *folder, then](const std::vector<ConvertOutcome>& made) {
                          SetBusy(false);
                          if (endWhenDone_ || !isVisible()) {
                              then(false);
                              return;
                          }
                          std::map<std::string, std::string> renames;
                          for (std::size_t i = 0; i < made.size(); ++i)
                              if (made[i].action != ConvertOutcome::Action::Failed)
                                  renames[names[i]] = made[i].name;
                          // The copies' folder joins the media folders, where the plan finds them.
                          const QString copies = toQt(folder);
                          if (!renames.empty() &&
                              MediaFolderList->findItems(copies, Qt::MatchExactly).isEmpty())
                              MediaFolderList->addItem(copies);
                          const bool pointed = document_.renameMedia(TextId::TextMakePlayerCopies, renames);
                          TellFailedPlayerCopies(this, context_, made);
                          then(pointed);
                      });
}

void WriteToMediumForm::MakeCopiesCmd_Click() {
    MakePlayerCopiesNow([this](bool) {
        if (!endWhenDone_)
            RefreshPlan();
        else
            done(QDialog::Rejected);
    });
}

void WriteToMediumForm::ShowProgress(const PublishProgress& progress) {
    const double fraction =
        progress.total == 0 ? 1.0 : static_cast<double>(progress.done) / static_cast<double>(progress.total);
    PublishProgressBar->setValue(static_cast<int>(fraction * kProgressSteps));
    PublishProgressBar->setFormat(toQt(progress.name) + QStringLiteral("  %p%"));
}

void WriteToMediumForm::WriteCmd_Click() {
    // A second press while the first is dealt with is ignored.
    if (writePressed_)
        return;
    writePressed_ = true;
    // The medium may have changed since the plan was shown; a plan still on its way is outdated too.
    PlanForWrite(false, [this] { ConfirmWontPlay([this] { ConfirmPlan([this] { WriteConfirmed(); }); }); });
}

void WriteToMediumForm::PlanForWrite(bool allowRemoveFirst, std::function<void()> goOn) {
    planning_.withdraw();
    planPending_ = false;
    SetBusy(true);
    writing_.start<Planned>(PlanWork(allowRemoveFirst), [this, goOn](Planned planned) {
        TakePlan(std::move(planned));
        SetBusy(false);
        if (endWhenDone_ || !isVisible()) {
            EndWrite();
            return;
        }
        ShowPlan();
        goOn();
    });
}

void WriteToMediumForm::WriteConfirmed() {
    SetBusy(true);
    PublishProgressBar->setValue(0);
    const bool removalAsked = RemoveUnusedCheck->isChecked();
    const QPointer<WriteToMediumForm> shown(this);
    // The write runs on a worker that owns copies of all it reads, and stops where the medium is
    // consistent once cancelled or no longer wanted; Cancel, repaints and the progress bar go on here.
    // The worker draws from a generator of its own: the shared one serves the recovery file and Save here.
    writing_.start<PublishReport>(
        [plan = plan_, schedule = context_.state.schedule,
         random = std::make_shared<SeededRandomSource>(SeedFrom(context_.random)), io = io_,
         cancelled = cancelRequested_, texts = context_.texts,
         shown](const BackgroundRequests::Unwanted& unwanted) {
            return CarryOutPublish(
                plan, schedule, *random,
                [&](const PublishProgress& progress) {
                    // Posted where the answer goes too, so all of it comes in before the answer.
                    QMetaObject::invokeMethod(
                        qApp,
                        [shown, progress] {
                            if (shown)
                                shown->ShowProgress(progress);
                        },
                        Qt::QueuedConnection);
                    return !*cancelled && !unwanted;
                },
                *io, texts);
        },
        [this, removalAsked, name = plan_.scheduleName](PublishReport report) {
            WriteDone(report, removalAsked, name);
        });
}

void WriteToMediumForm::WriteDone(const PublishReport& report, bool removalAsked,
                                  const std::string& scheduleName) {
    PublishProgressBar->setFormat(QStringLiteral("%p%"));
    if (report.complete())
        PublishProgressBar->setValue(kProgressSteps);
    // The program is ending: the write has stopped where the medium is consistent; nothing to say.
    if (endWhenDone_) {
        SetBusy(false);
        EndWrite();
        return;
    }
    if (report.complete() && medium_.known()) {
        const QDate day = context_.clock.today();
        RememberWrite(settings_, {MediumKey(medium_), scheduleName,
                                  FormatIsoDate(CivilDate{day.year(), day.month(), day.day()})});
    }
    ShowReport(report, removalAsked);
    SetBusy(false);
    EndWrite(true);
}

void WriteToMediumForm::EndWrite(bool replan) {
    writePressed_ = false;
    if (endWhenDone_)
        done(QDialog::Rejected);
    else if (replan || replanWanted_)
        RefreshPlan();
    emit writeEnded();
}

void WriteToMediumForm::ShowReport(const PublishReport& report, bool removalAsked) {
    const ScreenTexts& texts = context_.texts;
    QStringList lines;
    if (report.cancelled)
        lines << screenText(texts, TextId::MsgPublishCancelled);
    else if (!report.failures.empty())
        lines << screenText(texts, TextId::MsgPublishFailed);
    else
        lines << screenText(texts, TextId::MsgPublishDone);
    for (const PublishFailure& failure : report.failures)
        lines << toQt(failure.name) + QStringLiteral(": ") + toQt(failure.reason);
    if (removalAsked)
        lines << screenText(texts, TextId::MsgPublishCounts)
                     .arg(report.copied.size())
                     .arg(report.replaced.size())
                     .arg(report.kept.size())
                     .arg(report.removed.size())
                     .arg(report.missing.size());
    else
        lines << screenText(texts, TextId::MsgPublishCountsNoRemove)
                     .arg(report.copied.size())
                     .arg(report.replaced.size())
                     .arg(report.kept.size())
                     .arg(report.missing.size());
    if (!report.scheduleNarrowed.empty()) {
        QStringList narrowed;
        for (const std::string& name : report.scheduleNarrowed)
            narrowed << toQt(name);
        lines << screenText(texts, TextId::MsgScheduleNarrowed).arg(narrowed.join(QStringLiteral(", ")));
    } else if (report.scheduleWritten)
        lines << screenText(texts, TextId::MsgScheduleWritten);
    else if (report.scheduleUnchanged)
        lines << screenText(texts, TextId::MsgScheduleAlreadyThere);
    else if (!report.replaced.empty())
        // The old schedule now plays some files' new versions: say so, not that nothing changed.
        lines << screenText(texts, TextId::MsgReplacedScheduleNotWritten).arg(report.replaced.size());
    else
        lines << screenText(texts, TextId::MsgScheduleNotWritten) + QLatin1Char(' ') +
                     screenText(texts, TextId::MsgOldScheduleKept);
    context_.prompts.message(this, lines.join(QLatin1Char('\n')));
}

void WriteToMediumForm::reject() {
    if (busy_)
        *cancelRequested_ = true;
    else
        QDialog::reject();
}

void WriteToMediumForm::done(int result) {
    // A plan on its way is for a window no longer shown. A write is cancelled before the window closes.
    planning_.withdraw();
    planPending_ = false;
    QDialog::done(result);
}

void WriteToMediumForm::closeEvent(QCloseEvent* event) {
    if (!busy_) {
        QDialog::closeEvent(event);
        return;
    }
    // The user's close box only cancels, as Esc does; the program closing every window (a termination
    // signal, the session's end) also ends the dialog once the write has stopped.
    if (!event->spontaneous())
        endWhenDone_ = true;
    *cancelRequested_ = true;
    event->ignore();
}

void WriteToMediumForm::CancelWriteCmd_Click() {
    *cancelRequested_ = true;
}

void WriteToMediumForm::SetBusy(bool busy) {
    if (busy == busy_)
        return;
    busy_ = busy;
    // A fresh flag: a worker given up on keeps the one it was cancelled with.
    cancelRequested_ = std::make_shared<std::atomic<bool>>(false);
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
    for (QWidget* control :
         std::initializer_list<QWidget*>{PublishDrive, PublishDir, MediaFolderList, AddFolderCmd,
                                         RemoveFolderCmd, RemoveUnusedCheck, WriteCmd, CloseCmd})
        control->setEnabled(!busy);
    MakeCopiesCmd->setEnabled(!busy && !planPending_ && !Convertible().empty());
    CancelWriteCmd->setEnabled(busy);
}

} // namespace velmo
