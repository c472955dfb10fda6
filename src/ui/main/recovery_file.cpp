#include "recovery_file.h"

#include "model/recovery_file.h"
#include "ui/document/schedule_document.h"
#include "ui/platform/app_context.h"
#include "ui/platform/background_file_writer.h"
#include "ui/platform/prompts.h"
#include "ui/platform/ui_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>

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

RecoveryFile::RecoveryFile(AppContext& context, ScheduleDocument& document, QWidget* window)
    : QObject(window), context_(context), document_(document), window_(window) {
    writer_ = std::make_unique<BackgroundFileWriter>(
        [base = path(), noted = false](const std::string&, bool removal, const Result& result) mutable {
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
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setInterval(kDelayMs);
    connect(timer_, &QTimer::timeout, this, &RecoveryFile::askToKeepUnsavedChanges);
#ifndef QT_NO_SESSIONMANAGER
    // A desktop logout asks first; the logout may still be cancelled, so nothing more than keeping.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { keepUnsavedChanges(); });
#endif
}

RecoveryFile::~RecoveryFile() = default;

std::string RecoveryFile::path() {
    const QString directory = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (directory.isEmpty())
        return {};
    return fromQt(QDir(directory).filePath(QString::fromLatin1(kRecoveryFileName)));
}

std::string RecoveryFile::ownPath() {
    if (ownPath_.empty()) {
        const std::string base = path();
        ownPath_ = base.empty() || !unanswered_ ? base : FreeRecoveryPath(base);
    }
    return ownPath_;
}

void RecoveryFile::remove() {
    timer_->stop();
    const std::string own = ownPath();
    if (!own.empty())
        writer_->remove(own);
}

void RecoveryFile::documentChanged() {
    if (sessionEnding_)
        return;
    // Saved, discarded or undone back to the file: nothing is left to keep.
    if (!document_.isModified())
        remove();
    else if (!timer_->isActive())
        timer_->start();
}

void RecoveryFile::endSession() {
    sessionEnding_ = true;
    keepUnsavedChanges();
}

void RecoveryFile::keepUnsavedChanges() {
    askToKeepUnsavedChanges();
    writer_->wait();
}

void RecoveryFile::askToKeepUnsavedChanges() {
    timer_->stop();
    const std::string base = path();
    if (base.empty())
        return;
    // An offer not yet answered stays for the next start, beside this session's own file.
    if (!document_.isModified()) {
        remove();
        return;
    }
    if (!directoryMade_)
        directoryMade_ = QDir().mkpath(QFileInfo(toQt(base)).absolutePath());
    std::vector<std::uint8_t> bytes;
    const Result encoded = EncodeRecoveryFile(
        RecoveredSchedule{document_.directory(), document_.fileName(), document_.schedule()}, context_.random,
        bytes);
    if (!encoded)
        return reportNotKept(base, encoded.reason);
    writer_->write(ownPath(), std::move(bytes));
}

void RecoveryFile::closedNormally() {
    remove();
    writer_->wait();
}

void RecoveryFile::offerEarlierSession() {
    const std::string base = path();
    if (!base.empty()) {
        const ScreenTexts& texts = context_.texts;
        // Said before any older schedule is offered, which is then not last time's.
        if (const std::optional<std::string> failure = TakeRecoveryFailure(base))
            context_.prompts.message(window_,
                                     toQt(FillIn(texts.text(TextId::MsgRecoveryNotKept), {*failure})));
        const std::vector<std::string> paths = RecoveryFilesNewestFirst(base);
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (!offer(paths[i]))
                break;
            if (!ownPath_.empty()) {
                // Restored: the older ones wait for the next start.
                unanswered_ = unanswered_ || i + 1 < paths.size();
                break;
            }
        }
    }
    // Followed only once the offer is answered: a restored schedule is in its file already.
    connect(&document_, &ScheduleDocument::changed, this, &RecoveryFile::documentChanged);
    connect(&document_, &ScheduleDocument::historyChanged, this, &RecoveryFile::documentChanged);
}

bool RecoveryFile::offer(const std::string& path) {
    RecoveredSchedule kept;
    const ScreenTexts& texts = context_.texts;
    switch (ReadRecoveryFile(path, kept)) {
    case RecoveryRead::Absent:
        return true;
    case RecoveryRead::Damaged: {
        // Said once: set aside, it is not offered again.
        const std::string aside = SetRecoveryFileAside(path);
        context_.prompts.message(
            window_, toQt(FillIn(texts.text(TextId::MsgRecoveryDamaged), {aside.empty() ? path : aside})));
        return true;
    }
    case RecoveryRead::Newer:
        context_.prompts.message(window_, toQt(FillIn(texts.text(TextId::MsgRecoveryNewer), {path})));
        unanswered_ = true;
        return true;
    case RecoveryRead::Read:
        break;
    }
    enum class Kept { Restore, Discard, AskAgainLater };
    switch (AskThreeWay<Kept>(
        context_.prompts, window_,
        toQt(FillIn(texts.text(TextId::MsgRestoreRecovery), {kept.directory + kept.fileName})),
        {{Kept::Restore, screenText(texts, TextId::TextRestore)},
         {Kept::Discard, screenText(texts, TextId::TextDiscard)},
         {Kept::AskAgainLater, screenText(texts, TextId::TextCancel)}})) {
    case Kept::Restore:
        // One undo step takes the restore back; the file stays until the schedule is dealt with.
        document_.replace(TextId::TextRestore, {kept.schedule, kept.directory, kept.fileName},
                          Replacement::Restored);
        ownPath_ = path;
        return true;
    case Kept::Discard:
        QFile::remove(toQt(path));
        return true;
    case Kept::AskAgainLater:
        unanswered_ = true;
        return false;
    }
    return false;
}

} // namespace velmo
