#include "schedule_edit_form.h"

#include "editor_widgets.h"
#include "rules/entry_batch.h"
#include "rules/entry_rules.h"

#include "model/app_state.h"
#include "model/file_system.h"
#include "ui/platform/app_context.h"
#include "ui/platform/prompts.h"
#include "ui/platform/ui_text.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace velmo {

namespace {

const QString kMediaFileFilter = QStringLiteral(
    "Media File(*.jpg;*.avi;*.mpg;*.dat;*.vob;*.mp3)|*.jpg;*.avi;*.mpg;*.dat;*.vob;*.mp3|All File(*.*)|*.*");

template <typename T> bool inUse(const std::vector<T>& sequence, int count, int index) {
    return index >= 0 && index < count && index < static_cast<int>(sequence.size());
}

} // namespace

ScheduleEditForm::ScheduleEditForm(AppContext& context, MainLists lists, QWidget* parent)
    : QDialog(parent), context_(context), lists_(std::move(lists)) {
    buildWindow();
    Form_Load();
}

ScheduleEditForm::~ScheduleEditForm() = default;

void ScheduleEditForm::buildWindow() {
    setObjectName(QStringLiteral("ScheduleEditForm"));

    EditFrame = new QGroupBox(this);
    EditFrame->setObjectName(QStringLiteral("EditFrame"));
    FileNameCmd = makeCaptionButton(QStringLiteral("FileNameCmd"), EditFrame);
    PlayTimesCmd = makeCaptionButton(QStringLiteral("PlayTimesCmd"), EditFrame);
    VolumeCmd = makeCaptionButton(QStringLiteral("VolumeCmd"), EditFrame);

    FileNameText = new QLineEdit(EditFrame);
    FileNameText->setObjectName(QStringLiteral("FileNameText"));
    FileNameText->setMaxLength(kFileNameTextLimit);
    // Room for the longest valid name even in the widest letters.
    FileNameText->setMinimumWidth(FileNameText->fontMetrics().horizontalAdvance(QString(kFileNameWidth, 'W') +
                                                                                QStringLiteral(".WWWW")) +
                                  16);

    BrowseCmd = makeCommandButton(QStringLiteral("BrowseCmd"), EditFrame);
    CopyCmd = makeCommandButton(QStringLiteral("CopyCmd"), EditFrame);
    PlayTimesCombo = makeChoiceCombo(QStringLiteral("PlayTimesCombo"), EditFrame);
    VolumeCombo = makeChoiceCombo(QStringLiteral("VolumeCombo"), EditFrame);
    OKCmd = makeCommandButton(QStringLiteral("OKCmd"), this);
    CancelCmd = makeCommandButton(QStringLiteral("CancelCmd"), this);

    auto* fields = new QGridLayout(EditFrame);
    fields->addWidget(FileNameCmd, 0, 0);
    fields->addWidget(FileNameText, 0, 1, 1, 2);
    fields->addWidget(BrowseCmd, 0, 3);
    fields->addWidget(CopyCmd, 0, 4);
    fields->addWidget(PlayTimesCmd, 1, 0);
    fields->addWidget(PlayTimesCombo, 1, 1, Qt::AlignLeft);
    fields->addWidget(VolumeCmd, 2, 0);
    fields->addWidget(VolumeCombo, 2, 1, Qt::AlignLeft);
    fields->setColumnStretch(2, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKCmd);
    buttons->addWidget(CancelCmd);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(EditFrame);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(FileNameText, BrowseCmd);
    setTabOrder(BrowseCmd, CopyCmd);
    setTabOrder(CopyCmd, PlayTimesCombo);
    setTabOrder(PlayTimesCombo, VolumeCombo);
    setTabOrder(VolumeCombo, OKCmd);
    setTabOrder(OKCmd, CancelCmd);

    connect(BrowseCmd, &QPushButton::clicked, this, &ScheduleEditForm::BrowseCmd_Click);
    connect(CopyCmd, &QPushButton::clicked, this, &ScheduleEditForm::CopyCmd_Click);
    connect(OKCmd, &QPushButton::clicked, this, &ScheduleEditForm::OKCmd_Click);
    connect(CancelCmd, &QPushButton::clicked, this, &ScheduleEditForm::CancelCmd_Click);
    connect(FileNameText, &QLineEdit::textChanged, this, &ScheduleEditForm::FileNameText_Change);
}

void ScheduleEditForm::Form_Load() {
    InitScheduleEditFormOsd();
    EditFieldSetup();
    FileNameText->setFocus();
}

void ScheduleEditForm::InitScheduleEditFormOsd() {
    const ScreenTexts& texts = context_.texts;
    setWindowTitle(screenText(texts, TextId::TextScheduleFileEditor));
    EditFrame->setTitle(screenText(texts, TextId::TextFileEdit));
    BrowseCmd->setText(screenText(texts, TextId::TextBrowse));
    OKCmd->setText(screenText(texts, TextId::TextOK));
    CopyCmd->setText(screenText(texts, TextId::TextCopyTo));
    CancelCmd->setText(screenText(texts, TextId::TextCancel));
    FileNameCmd->setText(screenText(texts, TextId::TextFileName));
    PlayTimesCmd->setText(screenText(texts, TextId::TextPlayTimes));
    VolumeCmd->setText(screenText(texts, TextId::TextVolume));
    // The caption buttons name the fields for the eye; these name them for a screen reader.
    FileNameText->setAccessibleName(screenText(texts, TextId::TextFileName));
    PlayTimesCombo->setAccessibleName(screenText(texts, TextId::TextPlayTimes));
    VolumeCombo->setAccessibleName(screenText(texts, TextId::TextVolume));
}

void ScheduleEditForm::EditFieldSetup() {
    CopyCmd->setEnabled(false);

    PlayTimesCombo->clear();
    for (int count = 0; count <= kMaxPlayTimes; ++count)
        PlayTimesCombo->addItem(QString::number(count));
    VolumeCombo->clear();
    for (int level = 0; level <= kMaxVolumeLevel; ++level)
        VolumeCombo->addItem(QString::number(level));
    VolumeCombo->addItem(screenText(context_.texts, TextId::TextDefault));

    AppState& state = context_.state;
    const auto loadAddDefaults = [this] {
        FileNameText->clear();
        PlayTimesCombo->setCurrentIndex(1);
        VolumeCombo->setCurrentIndex(kVolumeDefault);
    };

    switch (state.editMode) {
    case AppState::kEditModify:
        if (selectedRow(lists_.NormalList) == -1)
            selectRow(lists_.NormalList, 0);
        state.editIndex = static_cast<std::int16_t>(selectedRow(lists_.NormalList));
        break;
    case AppState::kEditAddDetail:
        state.editAdvanceIndex = static_cast<std::int16_t>(selectedRow(lists_.AdvanceList));
        break;
    case AppState::kEditModifyDetail:
        if (selectedRow(lists_.DetailList) == -1)
            selectRow(lists_.DetailList, 0);
        state.editIndex = static_cast<std::int16_t>(selectedRow(lists_.DetailList));
        state.editAdvanceIndex = static_cast<std::int16_t>(selectedRow(lists_.AdvanceList));
        break;
    default:
        break;
    }

    loadAddDefaults();
    if (state.editMode == AppState::kEditModify || state.editMode == AppState::kEditModifyDetail) {
        if (const FileEntry* entry = modifiedEntry())
            loadEntry(*entry);
    }
}

void ScheduleEditForm::loadEntry(const FileEntry& entry) {
    FileNameText->setText(toQt(StoredNameText(entry)));
    PlayTimesCombo->setCurrentIndex(NearestPlayTimes(entry.playTimes));
    VolumeCombo->setCurrentIndex(NearestVolume(entry.volume));
}

// The entry a modify mode works on, or nothing when the selection points at no entry.
FileEntry* ScheduleEditForm::modifiedEntry() {
    Schedule& schedule = context_.state.schedule;
    const int index = context_.state.editIndex;
    if (context_.state.editMode == AppState::kEditModify)
        return inUse(schedule.basicEntries, schedule.basicCount, index) ? &schedule.basicEntries[index]
                                                                        : nullptr;
    if (context_.state.editMode == AppState::kEditModifyDetail) {
        const int advance = context_.state.editAdvanceIndex;
        if (!inUse(schedule.advanceEntries, schedule.advanceCount, advance))
            return nullptr;
        AdvanceEntry& owner = schedule.advanceEntries[advance];
        return inUse(owner.files, owner.fileCount, index) ? &owner.files[index] : nullptr;
    }
    return nullptr;
}

void ScheduleEditForm::keyPressEvent(QKeyEvent* event) {
    if (isDialogAnswerKey(event)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ScheduleEditForm::FileNameText_Change() {
    CopyCmd->setEnabled(false);
    // Typing never makes a name longer than the limit, or than a longer picked name already was.
    FileNameText->setMaxLength(std::max(kFileNameTextLimit, static_cast<int>(FileNameText->text().size())));
    // Typing a name takes the place of the files picked.
    chosenFiles_.clear();
    FileNameText->setPlaceholderText(QString());
}

bool ScheduleEditForm::addsEntries() const {
    return context_.state.editMode == AppState::kEditAdd ||
           context_.state.editMode == AppState::kEditAddDetail;
}

void ScheduleEditForm::BrowseCmd_Click() {
    BrowseMediaFile();
}

void ScheduleEditForm::BrowseMediaFile() {
    std::string directory = context_.state.mediaDir;
    std::string fileName;
    if (addsEntries()) {
        // An Add may take several files at once; one file goes on as a single pick.
        const QStringList chosen = context_.prompts.openFiles(this, kMediaFileFilter, toQt(directory));
        if (chosen.size() > 1) {
            FileNameText->clear();
            chosenFiles_ = chosen;
            FileNameText->setPlaceholderText(toQt(FillPlaceholder(
                context_.texts.text(TextId::TextFilesChosen), std::to_string(chosen.size()))));
            if (const std::string first = PathDirectory(fromQt(chosen.constFirst())); !first.empty())
                context_.state.mediaDir = first;
            return;
        }
        if (chosen.isEmpty() || !splitPickedPath(chosen.constFirst(), directory, fileName))
            return;
    } else if (!OpenMediaFileDialog(directory, fileName)) {
        return;
    }
    const QString picked = toQt(TrimSpaces(fileName));
    // The typing limit does not cut a picked name: the user sees the name of the file picked, and
    // OK and Copy refuse it if it is too long.
    FileNameText->setMaxLength(std::max(kFileNameTextLimit, static_cast<int>(picked.size())));
    FileNameText->setText(picked);
    context_.state.mediaDir = directory;
    CopyCmd->setEnabled(true);
}

bool ScheduleEditForm::OpenMediaFileDialog(std::string& directory, std::string& fileName) {
    const std::optional<QString> chosen =
        context_.prompts.openFile(this, kMediaFileFilter, toQt(directory), QString());
    return chosen && splitPickedPath(*chosen, directory, fileName);
}

bool ScheduleEditForm::splitPickedPath(const QString& chosen, std::string& directory, std::string& fileName) {
    const std::string path = fromQt(chosen);
    if (PathDirectory(path).empty() || PathFileName(path).empty())
        return false; // not a file in a directory
    directory = PathDirectory(path);
    fileName = PathFileName(path);
    return true;
}

QString ScheduleEditForm::typedFileName() const {
    return toQt(TrimSpaces(fromQt(FileNameText->text())));
}

void ScheduleEditForm::CopyCmd_Click() {
    if (!FileNameCheck())
        return;
    if (context_.showCopyForm)
        context_.showCopyForm(this, typedFileName());
}

bool ScheduleEditForm::FileNameCheck() {
    if (velmo::FileNameCheck(fromQt(FileNameText->text())) == FileNameFault::None)
        return true;
    context_.prompts.message(this, screenText(context_.texts, TextId::MsgFileNameError));
    return false;
}

void ScheduleEditForm::StoreFileEntry(FileEntry& target) const {
    velmo::StoreFileEntry(target, fromQt(FileNameText->text()), PlayTimesCombo->currentIndex(),
                          VolumeCombo->currentIndex());
}

QString ScheduleEditForm::rowText() const {
    const bool defaultVolume = VolumeCombo->currentIndex() == kVolumeDefault;
    return toQt(EditorFileRow(fromQt(FileNameText->text()), fromQt(PlayTimesCombo->currentText()),
                              defaultVolume, fromQt(VolumeCombo->currentText())));
}

void ScheduleEditForm::AddListRow(QListWidget* list) {
    if (!list)
        return;
    list->addItem(rowText());
    selectRow(list, list->count() - 1);
}

void ScheduleEditForm::UpdateListRow(QListWidget* list) {
    const int row = context_.state.editIndex;
    if (!list || row < 0 || row >= list->count())
        return;
    list->item(row)->setText(rowText());
    list->update();
}

void ScheduleEditForm::addChosenFiles() {
    AppState& state = context_.state;
    Schedule& schedule = state.schedule;
    std::vector<FileCandidate> candidates;
    for (const QString& path : chosenFiles_)
        candidates.push_back({PathFileName(fromQt(path)), QFileInfo(path).isFile()});
    const bool basic = state.editMode == AppState::kEditAdd;
    if (!basic && !inUse(schedule.advanceEntries, schedule.advanceCount, state.editAdvanceIndex))
        return;
    AdvanceEntry* owner = basic ? nullptr : &schedule.advanceEntries[state.editAdvanceIndex];
    const BatchAddResult result =
        basic ? AddFileEntries(schedule.basicEntries, schedule.basicCount, kMaxBasicEntries, candidates,
                               PlayTimesCombo->currentIndex(), VolumeCombo->currentIndex())
              : AddFileEntries(owner->files, owner->fileCount, kMaxDetailEntries, candidates,
                               PlayTimesCombo->currentIndex(), VolumeCombo->currentIndex());
    QListWidget* list = basic ? lists_.NormalList : lists_.DetailList;
    const bool defaultVolume = VolumeCombo->currentIndex() == kVolumeDefault;
    for (const std::string& name : result.added) {
        if (list)
            list->addItem(toQt(EditorFileRow(name, fromQt(PlayTimesCombo->currentText()), defaultVolume,
                                             fromQt(VolumeCombo->currentText()))));
    }
    if (list && !result.added.empty())
        selectRow(list, list->count() - 1);
    if (lists_.ButtonStatusSetup)
        lists_.ButtonStatusSetup();
    if (const std::string message = BatchAddMessage(result, context_.texts); !message.empty())
        context_.prompts.message(this, toQt(message));
}

void ScheduleEditForm::OKCmd_Click() {
    if (chosenFiles_.size() > 1 && addsEntries()) {
        addChosenFiles();
        accept();
        return;
    }
    if (!FileNameCheck())
        return;

    AppState& state = context_.state;
    Schedule& schedule = state.schedule;
    switch (state.editMode) {
    case AppState::kEditAdd:
        schedule.basicEntries.resize(static_cast<std::size_t>(schedule.basicCount) + 1);
        StoreFileEntry(schedule.basicEntries[schedule.basicCount]);
        AddListRow(lists_.NormalList);
        ++schedule.basicCount;
        if (lists_.ButtonStatusSetup)
            lists_.ButtonStatusSetup();
        break;
    case AppState::kEditModify:
        if (FileEntry* entry = modifiedEntry()) {
            StoreFileEntry(*entry);
            UpdateListRow(lists_.NormalList);
        }
        break;
    case AppState::kEditAddDetail:
        if (inUse(schedule.advanceEntries, schedule.advanceCount, state.editAdvanceIndex)) {
            AdvanceEntry& owner = schedule.advanceEntries[state.editAdvanceIndex];
            owner.files.resize(static_cast<std::size_t>(owner.fileCount) + 1);
            StoreFileEntry(owner.files[owner.fileCount]);
            AddListRow(lists_.DetailList);
            ++owner.fileCount;
            if (lists_.ButtonStatusSetup)
                lists_.ButtonStatusSetup();
        }
        break;
    case AppState::kEditModifyDetail:
        if (FileEntry* entry = modifiedEntry()) {
            StoreFileEntry(*entry);
            UpdateListRow(lists_.DetailList);
        }
        break;
    default:
        break;
    }
    accept();
}

void ScheduleEditForm::CancelCmd_Click() {
    reject();
}

} // namespace velmo
