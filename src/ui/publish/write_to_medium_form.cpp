#include "write_to_medium_form.h"

#include "model/app_state.h"
#include "model/file_io.h"
#include "model/file_system.h"
#include "rules/schedule_rules.h"
#include "ui/copy/directory_list.h"
#include "ui/platform/app_context.h"
#include "ui/platform/prompts.h"
#include "ui/platform/ui_text.h"
#include "ui/platform/volumes.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
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

} // namespace

WriteToMediumForm::WriteToMediumForm(AppContext& context, PublishSettings& settings, QWidget* parent)
    : QDialog(parent), context_(context), settings_(settings), io_(&FileIo::system()) {
    setModal(true);
    setObjectName(QStringLiteral("WriteToMediumForm"));
    chooseFolder_ = [](QWidget* owner, const QString& start) {
        return QFileDialog::getExistingDirectory(
            owner, QString(), start, QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    };

    auto* destinationBox = new QGroupBox(this);
    destinationBox->setObjectName(QStringLiteral("DestinationFrame"));
    PublishDrive = new QComboBox(destinationBox);
    PublishDrive->setObjectName(QStringLiteral("PublishDrive"));
    PublishDir = new DirectoryList(destinationBox);
    PublishDir->setObjectName(QStringLiteral("PublishDir"));
    PublishText = new QLineEdit(destinationBox);
    PublishText->setObjectName(QStringLiteral("PublishText"));
    PublishText->setReadOnly(true);
    auto* destinationLayout = new QVBoxLayout(destinationBox);
    destinationLayout->addWidget(PublishDrive);
    destinationLayout->addWidget(PublishDir, 1);
    destinationLayout->addWidget(PublishText);

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
    for (QPushButton* button : {AddFolderCmd, RemoveFolderCmd, WriteCmd, CancelWriteCmd, CloseCmd}) {
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
    layout->addWidget(PlanTable, 1, 0, 1, 2);
    layout->addWidget(PlanSummary, 2, 0, 1, 2);
    layout->addLayout(commands, 3, 0, 1, 2);
    layout->setRowStretch(0, 2);
    layout->setRowStretch(1, 3);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(1, 1);
    resize(760, 600);

    PublishDrive->setAccessibleName(QStringLiteral("Drive"));
    PublishDir->setAccessibleName(QStringLiteral("Directory"));
    PublishText->setAccessibleName(QStringLiteral("Destination"));
    MediaFolderList->setAccessibleName(QStringLiteral("Media folders"));
    PlanTable->setAccessibleName(QStringLiteral("Plan"));
    PlanSummary->setAccessibleName(QStringLiteral("Plan summary"));
    PublishProgressBar->setAccessibleName(QStringLiteral("Progress"));

    connect(PublishDrive, &QComboBox::currentIndexChanged, this, &WriteToMediumForm::PublishDrive_Change);
    connect(PublishDir, &DirectoryList::pathChanged, this, &WriteToMediumForm::PublishDir_Change);
    connect(AddFolderCmd, &QPushButton::clicked, this, &WriteToMediumForm::AddFolderCmd_Click);
    connect(RemoveFolderCmd, &QPushButton::clicked, this, &WriteToMediumForm::RemoveFolderCmd_Click);
    connect(WriteCmd, &QPushButton::clicked, this, &WriteToMediumForm::WriteCmd_Click);
    connect(CancelWriteCmd, &QPushButton::clicked, this, &WriteToMediumForm::CancelWriteCmd_Click);
    connect(CloseCmd, &QPushButton::clicked, this, &QDialog::reject);
    destinationBox->setTitle(screenText(context_.texts, TextId::TextDestination));
    foldersBox->setTitle(screenText(context_.texts, TextId::TextMediaFolders));
    Form_Load();
}

WriteToMediumForm::~WriteToMediumForm() {
    SetBusy(false);
}

void WriteToMediumForm::Form_Load() {
    InitWriteToMediumFormOsd();
    const AppState& state = context_.state;
    for (const std::string& dir : MediaFoldersOf(settings_, state.mediaDir))
        MediaFolderList->addItem(toQt(dir));
    listsReady_ = false;
    for (const Volume& volume : context_.volumes.volumes())
        PublishDrive->addItem(volume.mountPoint);
    const bool shown = (!settings_.destination.empty() && ShowDestination(toQt(settings_.destination))) ||
                       ShowDestination(toQt(state.copyDir)) || ShowDestination(toQt(state.appPath));
    if (!shown && PublishDir->setPath(toQt(state.appPath), QStringLiteral("/")))
        PublishText->setText(PublishDir->path());
    listsReady_ = true;
    settings_.destination = directoryValue(PublishDir->path());
    RefreshPlan();
    PublishDrive->setFocus();
}

void WriteToMediumForm::InitWriteToMediumFormOsd() {
    const ScreenTexts& texts = context_.texts;
    setWindowTitle(screenText(texts, TextId::TextWriteToMediumTitle));
    AddFolderCmd->setText(screenText(texts, TextId::TextAddFolder));
    RemoveFolderCmd->setText(screenText(texts, TextId::TextRemoveFolder));
    WriteCmd->setText(screenText(texts, TextId::TextWrite));
    CancelWriteCmd->setText(screenText(texts, TextId::TextCancel));
    CloseCmd->setText(screenText(texts, TextId::TextExit));
    PlanTable->setHorizontalHeaderLabels(
        {screenText(texts, TextId::TextPlanName), screenText(texts, TextId::TextPlanSize),
         screenText(texts, TextId::TextPlanAction), screenText(texts, TextId::TextPlanSource)});
}

bool WriteToMediumForm::ShowDestination(const QString& directory) {
    if (directory.isEmpty())
        return false;
    std::vector<std::string> mounts;
    for (int i = 0; i < PublishDrive->count(); ++i)
        mounts.push_back(fromQt(PublishDrive->itemText(i)));
    const QString drive = toQt(MountPointOf(fromQt(QDir::cleanPath(directory)), mounts));
    const int index = PublishDrive->findText(drive);
    if (index < 0 || !context_.volumes.isReady(drive))
        return false;
    const bool wasReady = listsReady_;
    listsReady_ = false;
    PublishDrive->setCurrentIndex(index);
    listsReady_ = wasReady;
    if (!PublishDir->setPath(directory, drive))
        return false;
    PublishText->setText(PublishDir->path());
    return true;
}

void WriteToMediumForm::PublishDrive_Change() {
    if (!listsReady_ || PublishDrive->currentIndex() < 0)
        return;
    const QString drive = PublishDrive->currentText();
    if (context_.volumes.isReady(drive) && PublishDir->setPath(drive, drive))
        return; // PublishDir_Change follows
    context_.prompts.message(this, QStringLiteral("Device[") + drive + QStringLiteral("] Error!"));
    listsReady_ = false;
    ShowDestination(toQt(settings_.destination));
    listsReady_ = true;
}

void WriteToMediumForm::PublishDir_Change() {
    if (!listsReady_)
        return;
    PublishText->setText(PublishDir->path());
    settings_.destination = directoryValue(PublishDir->path());
    RefreshPlan();
}

void WriteToMediumForm::AddFolderCmd_Click() {
    const QListWidgetItem* current = MediaFolderList->currentItem();
    const QString start = current ? current->text() : toQt(context_.state.mediaDir);
    const QString chosen = chooseFolder_(this, start);
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

void WriteToMediumForm::RefreshPlan() {
    settings_.mediaDirs.clear();
    for (int i = 0; i < MediaFolderList->count(); ++i)
        settings_.mediaDirs.push_back(fromQt(MediaFolderList->item(i)->text()));
    RemoveFolderCmd->setEnabled(MediaFolderList->count() > 0 && !busy_);
    plan_ = PlanPublish(context_.state.schedule, settings_.mediaDirs, settings_.destination,
                        context_.state.scheduleFileName);
    ShowPlan();
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

    PlanTable->setRowCount(static_cast<int>(rows.size()));
    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        const PublishItem& item = *rows[static_cast<std::size_t>(row)];
        const bool missing = item.action == PublishAction::Missing;
        const QString cells[4] = {toQt(item.name), missing ? QString() : dataSize(item.size),
                                  ActionText(item.action), toQt(item.sourceDir)};
        for (int column = 0; column < 4; ++column) {
            auto* cell = new QTableWidgetItem(cells[column]);
            if (!item.note.empty())
                cell->setToolTip(toQt(item.note));
            if (missing)
                cell->setForeground(warningText(PlanTable->palette()));
            if (column == 1)
                cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            PlanTable->setItem(row, column, cell);
        }
        if (missing)
            PlanTable->item(row, 0)->setIcon(warning);
    }
    PlanTable->resizeColumnsToContents();

    QStringList summary;
    if (plan_.refusal)
        summary << screenText(context_.texts, TextId::TextPlanRefused) + QLatin1Char(' ') +
                       toQt(*plan_.refusal);
    else
        summary << screenText(context_.texts, TextId::TextPlanSpace)
                       .arg(dataSize(plan_.bytesToWrite), dataSize(plan_.freeSpace));
    for (const std::string& note : plan_.notes)
        summary << toQt(note);
    PlanSummary->setText(summary.join(QLatin1Char('\n')));
    WriteCmd->setEnabled(!plan_.refusal && !busy_);
}

void WriteToMediumForm::WriteCmd_Click() {
    RefreshPlan(); // the medium may have changed since it was shown
    if (plan_.refusal) {
        context_.prompts.message(this, PlanSummary->text());
        return;
    }
    if (const int missing = plan_.count(PublishAction::Missing); missing > 0)
        if (!context_.prompts.askYesNo(
                this, screenText(context_.texts, TextId::MsgMediaMissing).arg(QString::number(missing))))
            return;

    SetBusy(true);
    PublishProgressBar->setValue(0);
    const PublishReport report = CarryOutPublish(
        plan_, context_.state.schedule, context_.random,
        [this](const PublishProgress& progress) {
            const double fraction = progress.total == 0 ? 1.0
                                                        : static_cast<double>(progress.done) /
                                                              static_cast<double>(progress.total);
            PublishProgressBar->setValue(static_cast<int>(fraction * kProgressSteps));
            PublishProgressBar->setFormat(toQt(progress.name) + QStringLiteral("  %p%"));
            // Lets Cancel be pressed while the copy runs on this thread.
            QCoreApplication::processEvents();
            return !cancelRequested_;
        },
        *io_);
    PublishProgressBar->setFormat(QStringLiteral("%p%"));
    if (report.complete())
        PublishProgressBar->setValue(kProgressSteps);
    ShowReport(report);
    SetBusy(false);
    RefreshPlan();
}

void WriteToMediumForm::ShowReport(const PublishReport& report) {
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
    lines << screenText(texts, TextId::MsgPublishCounts)
                 .arg(report.copied.size())
                 .arg(report.replaced.size())
                 .arg(report.kept.size())
                 .arg(report.removed.size())
                 .arg(report.missing.size());
    if (!report.scheduleWritten && !report.scheduleUnchanged)
        lines << screenText(texts, TextId::MsgOldScheduleKept);
    context_.prompts.message(this, lines.join(QLatin1Char('\n')));
}

void WriteToMediumForm::reject() {
    if (busy_)
        cancelRequested_ = true;
    else
        QDialog::reject();
}

void WriteToMediumForm::CancelWriteCmd_Click() {
    cancelRequested_ = true;
}

void WriteToMediumForm::SetBusy(bool busy) {
    if (busy == busy_)
        return;
    busy_ = busy;
    cancelRequested_ = false;
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
    for (QWidget* control : std::initializer_list<QWidget*>{
             PublishDrive, PublishDir, MediaFolderList, AddFolderCmd, RemoveFolderCmd, WriteCmd, CloseCmd})
        control->setEnabled(!busy);
    CancelWriteCmd->setEnabled(busy);
}

} // namespace velmo
