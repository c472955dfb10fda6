#include "schedule_edit_form.h"

#include "editor_widgets.h"
#include "media_add_question.h"
#include "rules/entry_batch.h"
#include "rules/entry_rules.h"
#include "rules/publish.h"

#include "media/convertible_formats.h"
#include "media/media_probe.h"

#include "model/app_state.h"
#include "model/file_system.h"
#include "model/schedule.h"
#include "ui/document/entry_list_model.h"
#include "ui/platform/app_context.h"
#include "ui/platform/off_thread.h"
#include "ui/platform/prompts.h"
#include "ui/platform/ui_text.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace velmo {

namespace {

const std::string kPlayerPatterns = "*.jpg;*.avi;*.mpg;*.dat;*.vob;*.mp3";

// What the player plays first and preselected, then what a player copy can be made of, then all.
QString mediaFileFilter(const ScreenTexts& texts) {
    const std::string convertible = ConvertiblePatterns();
    return toQt(texts.text(TextId::TextMediaFileFilter) + "(" + kPlayerPatterns + ")|" + kPlayerPatterns +
                "|" + texts.text(TextId::TextConvertibleFileFilter) + "(" + convertible + ")|" + convertible +
                "|" + texts.text(TextId::TextAllFileFilter) + "(*.*)|*.*");
}

const QSize kThumbnailSize(160, 120);

} // namespace

ScheduleEditForm::ScheduleEditForm(AppContext& context, std::optional<FileEntry> entry, int room,
                                   QWidget* parent)
    : QDialog(parent), context_(context), entry_(std::move(entry)), room_(room),
      probeCache_(std::make_shared<MediaProbeCache>()) {
    buildWindow();
    Form_Load();
}

ScheduleEditForm::~ScheduleEditForm() = default;

void ScheduleEditForm::examineWith(std::shared_ptr<MediaProbeCache> cache) {
    probeCache_ = std::move(cache);
}

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
    PreviewLabel = new QLabel(EditFrame);
    PreviewLabel->setObjectName(QStringLiteral("PreviewLabel"));
    PreviewLabel->hide();

    auto* fields = new QGridLayout(EditFrame);
    fields->addWidget(FileNameCmd, 0, 0);
    fields->addWidget(FileNameText, 0, 1, 1, 2);
    fields->addWidget(BrowseCmd, 0, 3);
    fields->addWidget(CopyCmd, 0, 4);
    fields->addWidget(PlayTimesCmd, 1, 0);
    fields->addWidget(PlayTimesCombo, 1, 1, Qt::AlignLeft);
    fields->addWidget(VolumeCmd, 2, 0);
    fields->addWidget(VolumeCombo, 2, 1, Qt::AlignLeft);
    fields->addWidget(PreviewLabel, 3, 1, 1, 4, Qt::AlignLeft);
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
    PreviewLabel->setAccessibleName(screenText(texts, TextId::TextPreview));
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

    FileNameText->clear();
    PlayTimesCombo->setCurrentIndex(1);
    VolumeCombo->setCurrentIndex(kVolumeDefault);
    if (entry_)
        loadEntry(*entry_);
}

void ScheduleEditForm::loadEntry(const FileEntry& entry) {
    FileNameText->setText(toQt(StoredNameText(entry)));
    askedName_ = typedFileName(); // the entry's own file is not asked about again
    PlayTimesCombo->setCurrentIndex(NearestPlayTimes(entry.playTimes));
    VolumeCombo->setCurrentIndex(NearestVolume(entry.volume));
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
    // Typing a name takes the place of the files picked, and of their thumbnail.
    chosenFiles_.clear();
    FileNameText->setPlaceholderText(QString());
    hidePreview();
}

void ScheduleEditForm::hidePreview() {
    ++previewRequest_;
    PreviewLabel->clear();
    PreviewLabel->hide();
}

void ScheduleEditForm::showPreview(const QString& path) {
    hidePreview();
    const int request = previewRequest_;
    RunInBackground<QImage>([path] { return MediaThumbnail(path, kThumbnailSize); }, this,
                            [this, request](QImage image) {
                                if (request != previewRequest_ || image.isNull())
                                    return;
                                PreviewLabel->setPixmap(QPixmap::fromImage(image));
                                PreviewLabel->show();
                            });
}

bool ScheduleEditForm::addsEntries() const {
    return !entry_.has_value();
}

void ScheduleEditForm::BrowseCmd_Click() {
    if (!lookingUp_)
        BrowseMediaFile();
}

void ScheduleEditForm::BrowseMediaFile() {
    std::string directory = context_.state.mediaDir;
    std::string fileName;
    if (addsEntries()) {
        // An Add may take several files at once; one file goes on as a single pick.
        const QStringList picked =
            context_.prompts.openFiles(this, mediaFileFilter(context_.texts), toQt(directory));
        // The folder picked from stays the media folder when a player copy made elsewhere is what gets
        // added: it still holds the files added before, and those the user adds next.
        const std::string browsed =
            picked.isEmpty() ? std::string() : PathDirectory(fromQt(picked.constFirst()));
        askAboutMedia(picked, [this, browsed](const QStringList& chosen) {
            if (chosen.size() > 1) {
                FileNameText->clear();
                chosenFiles_ = chosen;
                hidePreview();
                FileNameText->setPlaceholderText(toQt(
                    FillIn(context_.texts.text(TextId::TextFilesChosen), {std::to_string(chosen.size())})));
                if (!browsed.empty())
                    context_.state.mediaDir = browsed;
                return;
            }
            std::string folder;
            std::string name;
            if (!chosen.isEmpty() && splitPickedPath(chosen.constFirst(), folder, name))
                showPicked(folder, name, browsed);
        });
        return;
    }
    if (!OpenMediaFileDialog(directory, fileName))
        return;
    // A file that will not play, or its player copy, as for an Add.
    askAboutMedia({toQt(WithTrailingSeparator(directory) + fileName)},
                  [this, browsed = directory](const QStringList& asked) {
                      std::string folder;
                      std::string name;
                      if (!asked.isEmpty() && splitPickedPath(asked.constFirst(), folder, name))
                          showPicked(folder, name, browsed);
                  });
}

void ScheduleEditForm::askAboutMedia(const QStringList& paths, std::function<void(const QStringList&)> then) {
    lookingUp_ = true;
    OKCmd->setEnabled(false);
    AskAboutAddedMedia(this, context_, probeCache_, paths, LeftOut::Told,
                       [this, then = std::move(then)](const AddedMedia& answer) {
                           lookingUp_ = false;
                           OKCmd->setEnabled(true);
                           then(answer.added);
                       });
}

void ScheduleEditForm::showPicked(const std::string& directory, const std::string& fileName,
                                  const std::string& browsed) {
    const QString picked = toQt(TrimSpaces(fileName));
    // The typing limit does not cut a picked name: the user sees the name of the file picked, and
    // OK and Copy refuse it if it is too long.
    FileNameText->setMaxLength(std::max(kFileNameTextLimit, static_cast<int>(picked.size())));
    FileNameText->setText(picked);
    askedName_ = picked;
    context_.state.mediaDir = browsed.empty() ? directory : browsed;
    CopyCmd->setEnabled(true);
    showPreview(toQt(WithTrailingSeparator(directory) + fileName));
}

bool ScheduleEditForm::OpenMediaFileDialog(std::string& directory, std::string& fileName) {
    const std::optional<QString> chosen =
        context_.prompts.openFile(this, mediaFileFilter(context_.texts), toQt(directory), QString());
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
    if (lookingUp_ || !FileNameCheck())
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

void ScheduleEditForm::TypedMediaCheck() {
    const QString typed = typedFileName();
    if (typed.isEmpty() || typed == askedName_) {
        storeAndClose();
        return;
    }
    // The media folders are looked in off the window's thread; OK goes on when the answer comes.
    lookingUp_ = true;
    OKCmd->setEnabled(false);
    const int request = ++lookupRequest_;
    const AppState& state = context_.state;
    RunInBackground<std::optional<std::string>>(
        [folders = ScheduleMediaFolders(state.publish.settings(), state.mediaDir, state.scheduleDir),
         name = fromQt(typed)]() -> std::optional<std::string> {
            for (const std::string& folder : folders)
                if (const auto existing = ExistingFileName(folder, name))
                    return WithTrailingSeparator(folder) + *existing;
            return std::nullopt;
        },
        this,
        [this, request, typed](std::optional<std::string> path) {
            lookingUp_ = false;
            OKCmd->setEnabled(true);
            // Edited meanwhile: the next OK asks about the new name.
            if (request != lookupRequest_ || typed != typedFileName())
                return;
            if (!path) {
                storeAndClose();
                return;
            }
            // A file that exists gets the question Browse asks, with its reasons.
            askAboutMedia({toQt(*path)}, [this, found = *path](const QStringList& asked) {
                std::string fileName;
                std::string folder;
                if (asked.isEmpty() || !splitPickedPath(asked.constFirst(), folder, fileName))
                    return;
                askedName_ = toQt(fileName);
                FileNameText->setText(askedName_);
                context_.state.mediaDir = PathDirectory(found);
                storeAndClose();
            });
        });
}

void ScheduleEditForm::storeAndClose() {
    if (!FileNameCheck())
        return;
    FileEntry entry = entry_.value_or(FileEntry{});
    StoreFileEntry(entry);
    entries_.push_back(entry);
    accept();
}

void ScheduleEditForm::StoreFileEntry(FileEntry& target) const {
    velmo::StoreFileEntry(target, fromQt(FileNameText->text()), PlayTimesCombo->currentIndex(),
                          VolumeCombo->currentIndex());
}

void ScheduleEditForm::addChosenFiles() {
    std::vector<FileCandidate> candidates;
    for (const QString& path : chosenFiles_)
        candidates.push_back({PathFileName(fromQt(path)), QFileInfo(path).isFile()});
    BatchAddResult result =
        NewFileEntries(room_, candidates, PlayTimesCombo->currentIndex(), VolumeCombo->currentIndex());
    entries_ = std::move(result.entries);
    if (const std::string message = BatchAddMessage(result, context_.texts); !message.empty())
        context_.prompts.message(this, toQt(message));
}

void ScheduleEditForm::OKCmd_Click() {
    // The answer under way goes on to store; a second OK would store twice.
    if (lookingUp_)
        return;
    entries_.clear();
    if (chosenFiles_.size() > 1 && addsEntries()) {
        addChosenFiles();
        accept();
        return;
    }
    TypedMediaCheck();
}

void ScheduleEditForm::CancelCmd_Click() {
    reject();
}

} // namespace velmo
