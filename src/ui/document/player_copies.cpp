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

std::vector<ConvertOutcome> MakePlayerCopies(QWidget* parent, AppContext& context,
                                             const std::vector<std::string>& sources,
                                             const std::string& folder, const ConvertOptions& options) {
    QProgressDialog progress(screenText(context.texts, TextId::TextMakingPlayerCopies),
                             screenText(context.texts, TextId::TextCancel), 0,
                             static_cast<int>(sources.size()) * 100, parent);
    progress.setObjectName(QStringLiteral("PlayerCopiesProgress"));
    // A title of its own, and room for it: without one the window manager clips the program's name.
    progress.setWindowTitle(screenText(context.texts, TextId::TextMakePlayerCopies));
    progress.setMinimumWidth(progress.fontMetrics().horizontalAdvance(progress.windowTitle()) * 2 + 160);
    progress.setAccessibleName(screenText(context.texts, TextId::TextMakingPlayerCopies));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    QObject::connect(&progress, &QProgressDialog::canceled, [cancelled] { *cancelled = true; });
    std::vector<ConvertOutcome> outcomes;
    QPointer<QProgressDialog> shown(&progress);
    RunOffThread([&outcomes, cancelled, sources, folder, options, shown] {
        for (std::size_t i = 0; i < sources.size(); ++i) {
            outcomes.push_back(MakePlayerCopy(sources[i], folder, options, [&, i](const ConvertProgress& p) {
                const int value = static_cast<int>((static_cast<double>(i) + p.fraction) * 100);
                QMetaObject::invokeMethod(
                    qApp,
                    [shown, value] {
                        if (shown)
                            shown->setValue(value);
                    },
                    Qt::QueuedConnection);
                return !*cancelled;
            }));
            if (*cancelled)
                break;
        }
    });
    return outcomes;
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
