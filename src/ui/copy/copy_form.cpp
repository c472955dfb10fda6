#include "copy_form.h"

#include "destination_chooser.h"
#include "directory_list.h"
#include "model/app_state.h"
#include "model/file_io.h"
#include "model/file_system.h"
#include "model/media_copy.h"
#include "ui/platform/app_context.h"
#include "ui/platform/off_thread.h"
#include "ui/platform/prompts.h"
#include "ui/platform/ui_text.h"
#include "ui/platform/volumes.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>
#include <atomic>
#include <filesystem>

namespace velmo {

namespace {

// Upper-cased, trimmed and ending in the separator, as the source-directory rule compares them.
QString comparableDirectory(const QString& directory) {
    return toQt(WithTrailingSeparator(fromQt(directory.trimmed().toUpper())));
}

QString withSeparator(const QString& directory) {
    return toQt(WithTrailingSeparator(fromQt(directory)));
}

// About ten updates a second look continuous.
constexpr qint64 kProgressIntervalMs = 100;

QString progressText(const ScreenTexts& texts, const QString& name, const CopyProgress& progress) {
    const QLocale locale;
    const auto size = [&](std::uint64_t bytes) {
        return locale.formattedDataSize(static_cast<qint64>(bytes), 1, QLocale::DataSizeIecFormat);
    };
    // The bar covers writing and reading back, so the text says which half is running.
    if (progress.checking)
        return screenText(texts, TextId::MsgCopyCheckingProgress)
            .arg(name, size(progress.verified), size(progress.total));
    return screenText(texts, TextId::MsgCopyWritingProgress)
        .arg(name, size(progress.copied), size(progress.total));
}

} // namespace

CopyForm::CopyForm(AppContext& context, const QString& fileName, QWidget* parent)
    : QDialog(parent), context_(context), fileName_(fileName), io_(&FileIo::system()) {
    setModal(true);
    setWindowTitle(QStringLiteral("Copy to ..."));

    chooser_ = new DestinationChooser(context_, QStringLiteral("Copy"), this);
    CopyDrive = chooser_->drive();
    CopyDir = chooser_->directory();
    CopyText = chooser_->text();
    NotAnsweringLabel = chooser_->notAnswering();
    QPalette yellow = CopyText->palette();
    yellow.setColor(QPalette::Base, QColor(255, 255, 128));
    yellow.setColor(QPalette::Text, Qt::black);
    CopyText->setPalette(yellow);
    CopyCmd = new QPushButton(QStringLiteral("Copy"), this);
    CopyCmd->setObjectName(QStringLiteral("CopyCmd"));
    CancelCmd = new QPushButton(this);
    CancelCmd->setObjectName(QStringLiteral("CancelCmd"));
    // Enter belongs to the directory list, where it opens a directory.
    for (QPushButton* button : {CopyCmd, CancelCmd}) {
        button->setAutoDefault(false);
        button->setMinimumWidth(96);
    }

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setHorizontalSpacing(12);
    layout->addWidget(CopyDrive, 0, 0);
    layout->addWidget(CopyDir, 1, 0, 2, 1);
    layout->addWidget(CopyCmd, 0, 1);
    layout->addWidget(CancelCmd, 1, 1, Qt::AlignTop);
    layout->addWidget(CopyText, 3, 0, 1, 2);
    layout->addWidget(NotAnsweringLabel, 4, 0, 1, 2);
    layout->setRowStretch(2, 1);
    layout->setColumnStretch(0, 1);
    resize(480, 340);

    setTabOrder(CopyDrive, CopyDir);
    setTabOrder(CopyDir, CancelCmd);
    setTabOrder(CancelCmd, CopyCmd);
    setTabOrder(CopyCmd, CopyText);

    connect(chooser_, &DestinationChooser::volumesListed, this, &CopyForm::ShowVolumes);
    // The drive is asked off the window's thread; meanwhile nothing can be chosen or copied.
    connect(chooser_, &DestinationChooser::driveAsked, this, [this] { SetChoosing(false); });
    connect(chooser_, &DestinationChooser::driveFailed, this, &CopyForm::CopyDrive_Failed);
    connect(chooser_, &DestinationChooser::driveOpened, this, &CopyForm::CopyDrive_Opened);
    connect(chooser_, &DestinationChooser::directoryChosen, this, &CopyForm::CopyDir_Change);
    connect(CopyCmd, &QPushButton::clicked, this, &CopyForm::CopyCmd_Click);
    connect(CancelCmd, &QPushButton::clicked, this, &CopyForm::CancelCmd_Click);
    Form_Load();
}

CopyForm::~CopyForm() {
    Form_Unload();
}

void CopyForm::done(int result) {
    Form_Unload();
    QDialog::done(result);
}

void CopyForm::Form_Load() {
    InitCopyFormOsd();
    // Until every drive has answered, or its time is up, there is nothing to choose or copy to.
    for (QWidget* control : std::initializer_list<QWidget*>{CopyDrive, CopyDir, CopyCmd})
        control->setEnabled(false);
    chooser_->start();
}

void CopyForm::ShowVolumes() {
    // The program's own folder is no place anyone chose to copy to (it is where a fresh start points).
    const AppState& state = context_.state;
    const bool own = !state.documentsDir.empty() &&
                     QDir::cleanPath(toQt(state.copyDir)) == QDir::cleanPath(toQt(state.appPath));
    const auto ready = [this] {
        chooser_->setTaking(true);
        SetChoosing(!busy_);
        CopyDrive->setFocus();
        emit volumesAnswered();
    };
    // The remembered place is gone: start, without a word, on a removable medium or at the application
    // directory (Documents, where that is a hidden data folder).
    if (own)
        ShowApplicationDirectory(ready);
    else
        ShowRememberedOrApplicationDirectory(ready);
}

void CopyForm::ShowRememberedOrApplicationDirectory(std::function<void()> then) {
    chooser_->setTaking(false);
    ShowDestination(toQt(context_.state.copyDrive), toQt(context_.state.copyDir), [this, then](bool shown) {
        if (shown)
            then();
        else
            ShowApplicationDirectory(then);
    });
}

void CopyForm::SetChoosing(bool enabled) {
    for (QWidget* control : std::initializer_list<QWidget*>{CopyDrive, CopyDir, CopyCmd})
        control->setEnabled(enabled);
}

void CopyForm::InitCopyFormOsd() {
    CancelCmd->setText(screenText(context_.texts, TextId::TextExit));
}

void CopyForm::ShowDestination(const QString& drive, const QString& directory,
                               std::function<void(bool)> then) {
    chooser_->show(drive, directory, std::move(then));
}

void CopyForm::ShowApplicationDirectory(std::function<void()> then) {
    // Called while the lists do not count as the user's choice; the caller says when they do again.
    chooser_->setTaking(false);
    const QString medium = FirstRemovableMedium(chooser_->scan());
    const auto atApplicationDirectory = [this, then] {
        AppState& state = context_.state;
        const std::string start = state.documentsDir.empty() ? state.appPath : state.documentsDir;
        state.copyDrive = fromQt(DriveHolding(toQt(start)));
        state.copyDir = start;
        ShowDestination(toQt(state.copyDrive), toQt(state.copyDir), [this, then, start](bool shown) {
            if (shown) {
                then();
                return;
            }
            // No listed drive holds the application directory: show it below the file-system root.
            chooser_->showBelowRoot(toQt(start), then);
        });
    };
    if (medium.isEmpty()) {
        atApplicationDirectory();
        return;
    }
    ShowDestination(medium, medium, [this, medium, then, atApplicationDirectory](bool shown) {
        if (!shown) {
            atApplicationDirectory();
            return;
        }
        context_.state.copyDrive = fromQt(medium);
        context_.state.copyDir = fromQt(CopyDir->path());
        then();
    });
}

QString CopyForm::DriveHolding(const QString& path) const {
    const QString target = QDir::cleanPath(path);
    QString best;
    for (int i = 0; i < CopyDrive->count(); ++i) {
        const QString mount = QDir::cleanPath(CopyDrive->itemText(i));
        const QString prefix = mount.endsWith(QLatin1Char('/')) ? mount : mount + QLatin1Char('/');
        if ((target == mount || target.startsWith(prefix)) && mount.size() > best.size())
            best = mount;
    }
    return best;
}

void CopyForm::ChoosingDone() {
    chooser_->setTaking(true);
    SetChoosing(true);
    emit volumesAnswered();
}

void CopyForm::CopyDrive_Failed() {
    ShowRememberedOrApplicationDirectory([this] { ChoosingDone(); });
}

void CopyForm::CopyDrive_Opened(const QString& drive) {
    context_.state.copyDrive = fromQt(drive);
    context_.state.copyDir = fromQt(CopyDir->path());
    ChoosingDone();
}

void CopyForm::CopyDir_Change() {
    context_.state.copyDir = fromQt(CopyDir->path());
}

void CopyForm::CopyCmd_Click() {
    // A second press while the first is dealt with is ignored.
    if (copying_.pending() || busy_)
        return;
    const QString name = fileName_.trimmed();
    const QString destination = CopyDir->path();
    // Hidden files do not count for the existence test, but one is still never replaced unasked.
    // The destination is looked at off the window's thread.
    copying_.start<bool>(
        [directory = fromQt(destination), file = fromQt(name)](const BackgroundRequests::Unwanted&) {
            return FileExistsInDir(directory, file) ||
                   CopyWouldReplace(WithTrailingSeparator(directory), file);
        },
        [this, name, destination](bool exists) {
            if (!isVisible()) {
                emit copyEnded();
                return;
            }
            if (exists) {
                if (comparableDirectory(destination) == comparableDirectory(toQt(context_.state.mediaDir))) {
                    context_.prompts.message(this, screenText(context_.texts, TextId::MsgFileCopyError));
                    emit copyEnded();
                    return;
                }
                if (!context_.prompts.askOkCancel(
                        this, screenText(context_.texts, TextId::MsgFileExistsOverwrite))) {
                    emit copyEnded();
                    return;
                }
            }
            // The old file is replaced by a complete, checked copy; it goes first only when nothing else
            // fits.
            SetBusy(true);
            RunCopy(name, destination, exists);
        });
}

void CopyForm::RunCopy(const QString& name, const QString& destination, bool overwriteConfirmed) {
    auto* progress = new QProgressDialog(this);
    progress_ = progress;
    progress->setWindowTitle(windowTitle());
    progress->setWindowModality(Qt::ApplicationModal);
    progress->setCancelButtonText(screenText(context_.texts, TextId::TextCancel));
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    // A small file is done before the dialog would have appeared.
    progress->setMinimumDuration(400);
    progress->setMinimumWidth(360);
    progress->setRange(0, 1000);
    progress->setLabelText(progressText(context_.texts, name, CopyProgress{}));
    progress->setValue(0);

    CopyOptions options;
    options.mayRemoveOldFirst = overwriteConfirmed;
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    connect(progress, &QProgressDialog::canceled, this, [cancelled] { *cancelled = true; });
    const std::string source = fromQt(withSeparator(toQt(context_.state.mediaDir)) + name);
    // A player copy just added lies in its own folder, while the media folder stays the one browsed.
    const std::string copiesDir = context_.state.publish.settings().playerCopiesDir;
    const std::string copy =
        copiesDir.empty() ? std::string() : WithTrailingSeparator(copiesDir) + fromQt(name);
    const std::string target = fromQt(withSeparator(destination));
    FileIo* io = io_;
    const ScreenTexts* texts = &context_.texts;
    const QPointer<QProgressDialog> shown(progress);
    // The copy runs on a worker; the dialog's progress is set on this thread from what it posts.
    copying_.start<CopyResult>(
        [=](const BackgroundRequests::Unwanted& unwanted) {
            // Repainting after every chunk would cost fast media a noticeable share of the copy.
            QElapsedTimer sinceShown;
            bool shownChecking = false;
            std::error_code error;
            const bool fromCopies = !copy.empty() &&
                                    !std::filesystem::exists(std::filesystem::u8path(source), error) &&
                                    std::filesystem::is_regular_file(std::filesystem::u8path(copy), error);
            return CopyMediaFileTo(
                fromCopies ? copy : source, target, fromQt(name), options,
                [&](const CopyProgress& state) {
                    if (!sinceShown.isValid() || sinceShown.elapsed() >= kProgressIntervalMs ||
                        state.checking != shownChecking) {
                        sinceShown.start();
                        shownChecking = state.checking;
                        QMetaObject::invokeMethod(
                            qApp,
                            [shown, texts, name, state] {
                                if (shown) {
                                    shown->setLabelText(progressText(*texts, name, state));
                                    shown->setValue(static_cast<int>(state.fraction() * 1000.0));
                                }
                            },
                            Qt::QueuedConnection);
                    }
                    // A window that closed wants no copy either.
                    return !*cancelled && !unwanted;
                },
                *io);
        },
        [this](CopyResult result) {
            // Later, not now: a modal dialog's setValue handles events, and this may be one of them.
            if (progress_) {
                progress_->hide();
                progress_->deleteLater();
            }
            if (result.cancelled)
                CopyDone(Outcome::Cancelled);
            else
                CopyDone(result ? Outcome::Copied : Outcome::Failed);
        });
}

void CopyForm::CopyDone(Outcome outcome) {
    if (outcome == Outcome::Copied)
        context_.prompts.message(this, screenText(context_.texts, TextId::MsgFileCopied));
    else if (outcome == Outcome::Failed)
        context_.prompts.message(this, screenText(context_.texts, TextId::MsgFileCopyError));
    SetBusy(false);
    emit copyEnded();
}

void CopyForm::SetBusy(bool busy) {
    if (busy == busy_)
        return;
    busy_ = busy;
    if (busy) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        CancelCmd->setEnabled(false);
        CopyCmd->setEnabled(false);
    } else {
        QGuiApplication::restoreOverrideCursor();
        CancelCmd->setEnabled(true);
        CopyCmd->setEnabled(true);
    }
}

void CopyForm::CancelCmd_Click() {
    reject();
}

void CopyForm::Form_Unload() {
    // A copy under way stops, leaving the old file; nothing of it is said to a closed window.
    copying_.withdraw();
    if (progress_) {
        progress_->hide();
        progress_->deleteLater();
    }
    SetBusy(false);
}

} // namespace velmo
