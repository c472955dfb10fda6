#include "player_copies.h"

#include "model/app_state.h"
#include "model/file_system.h"
#include "rules/publish.h"
#include "ui/platform/app_context.h"
#include "ui/platform/off_thread.h"
#include "ui/platform/prompts.h"
#include "ui/platform/ui_text.h"

#include <QCoreApplication>
#include <QPointer>
#include <QProgressDialog>
#include <atomic>
#include <memory>

namespace velmo {

std::optional<std::string> PlayerCopiesFolder(QWidget* parent, AppContext& context) {
    PublishSettings settings = context.state.publish.settings();
    if (!settings.playerCopiesDir.empty())
        return settings.playerCopiesDir;
    const std::optional<QString> chosen = context.prompts.chooseFolder(
        parent, screenText(context.texts, TextId::TextPlayerCopiesFolder), toQt(context.state.mediaDir));
    if (!chosen || chosen->isEmpty())
        return std::nullopt;
    settings.playerCopiesDir = WithTrailingSeparator(fromQt(*chosen));
    // A folder that cannot be remembered is asked for again next run; the copies are made anyway.
    (void)context.state.publish.remember(settings);
    return settings.playerCopiesDir;
}

namespace {

using Stop = std::function<bool()>;
using ShowValue = std::function<void(int)>;

// On the worker: each copy in turn until one is told to stop.
std::vector<ConvertOutcome> makeEach(const std::vector<std::string>& sources, const std::string& folder,
                                     const ConvertOptions& options, const Stop& stop, const ShowValue& show) {
    std::vector<ConvertOutcome> outcomes;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        outcomes.push_back(MakePlayerCopy(sources[i], folder, options, [&, i](const ConvertProgress& p) {
            show(static_cast<int>((static_cast<double>(i) + p.fraction) * 100));
            return !stop();
        }));
        if (stop())
            break;
    }
    return outcomes;
}

QProgressDialog* progressFor(QWidget* parent, AppContext& context, std::size_t count) {
    auto* progress = new QProgressDialog(screenText(context.texts, TextId::TextMakingPlayerCopies),
                                         screenText(context.texts, TextId::TextCancel), 0,
                                         static_cast<int>(count) * 100, parent);
    progress->setObjectName(QStringLiteral("PlayerCopiesProgress"));
    // A title of its own, and room for it: without one the window manager clips the program's name.
    progress->setWindowTitle(screenText(context.texts, TextId::TextMakePlayerCopies));
    progress->setMinimumWidth(progress->fontMetrics().horizontalAdvance(progress->windowTitle()) * 2 + 160);
    progress->setAccessibleName(screenText(context.texts, TextId::TextMakingPlayerCopies));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(0);
    progress->setValue(0);
    return progress;
}

// Sets the bar from the worker's posts, while the dialog is there.
ShowValue showOn(QProgressDialog* progress) {
    const QPointer<QProgressDialog> shown(progress);
    return [shown](int value) {
        QMetaObject::invokeMethod(
            qApp,
            [shown, value] {
                if (shown)
                    shown->setValue(value);
            },
            Qt::QueuedConnection);
    };
}

// The copies under way for one window: goes with the window, which withdraws them.
class PlayerCopiesRun final : public QObject {
public:
    explicit PlayerCopiesRun(QWidget* parent) : QObject(parent) {}
    BackgroundRequests requests{this};
};

} // namespace

void StartPlayerCopies(QWidget* parent, AppContext& context, const std::vector<std::string>& sources,
                       const std::string& folder, std::function<void(std::vector<ConvertOutcome>)> done,
                       const ConvertOptions& options) {
    auto* run = new PlayerCopiesRun(parent);
    QProgressDialog* progress = progressFor(parent, context, sources.size());
    // The dialog may go with its window before the run does.
    QObject::connect(run, &QObject::destroyed, progress, &QObject::deleteLater);
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    QObject::connect(progress, &QProgressDialog::canceled, [cancelled] { *cancelled = true; });
    run->requests.start<std::vector<ConvertOutcome>>(
        [sources, folder, options, cancelled,
         show = showOn(progress)](const BackgroundRequests::Unwanted& unwanted) {
            return makeEach(
                sources, folder, options, [&] { return *cancelled || unwanted; }, show);
        },
        [run, shown = QPointer<QProgressDialog>(progress),
         done = std::move(done)](std::vector<ConvertOutcome> outcomes) {
            // Later, not now: a modal dialog's setValue handles events, and this may be one of them.
            if (shown) {
                shown->hide();
                shown->deleteLater();
            }
            run->deleteLater();
            done(std::move(outcomes));
        });
}

void TellFailedPlayerCopies(QWidget* parent, AppContext& context, const std::vector<ConvertOutcome>& made) {
    std::string failed;
    for (const ConvertOutcome& outcome : made) {
        if (outcome.action != ConvertOutcome::Action::Failed || !outcome.reason)
            continue;
        if (!failed.empty())
            failed += "\n";
        failed += PathFileName(outcome.source);
        failed += ": ";
        failed += MediaReasonText(*outcome.reason, context.texts);
    }
    if (!failed.empty())
        context.prompts.message(parent,
                                toQt(FillIn(context.texts.text(TextId::MsgPlayerCopiesFailed), {failed})));
}

} // namespace velmo
