#include "media_add_question.h"

#include "media/media_convert.h"
#include "media/media_probe.h"
#include "media/player_name_claims.h"
#include "model/app_state.h"
#include "model/file_system.h"
#include "rules/entry_rules.h"
#include "rules/player_name.h"
#include "rules/publish.h"
#include "rules/schedule_sense.h"
#include "ui/document/player_copies.h"
#include "ui/platform/app_context.h"
#include "ui/platform/off_thread.h"
#include "ui/platform/prompts.h"
#include "ui/platform/ui_text.h"

#include <algorithm>
#include <filesystem>
#include <memory>

namespace velmo {

namespace {

struct Doubt {
    int index = 0;    // in the paths given
    std::string line; // "NAME: reason; reason"
};

std::vector<Doubt> doubtsAbout(const QStringList& paths, const std::vector<ExaminedMedia>& examined,
                               const ScreenTexts& texts) {
    std::vector<Doubt> doubts;
    for (int i = 0; i < paths.size(); ++i) {
        const ExaminedMedia& media = examined[static_cast<std::size_t>(i)];
        const std::string name = PathFileName(fromQt(paths[i]));
        const bool storable = FileNameCheck(name) == FileNameFault::None;
        const bool nameTaken = storable && media.playerName == UpperCase(name);
        if (!media.verdict.willNotPlay() && nameTaken)
            continue;
        std::vector<std::string> reasons;
        if (media.verdict.willNotPlay())
            for (const MediaReason& reason : media.verdict.reasons)
                reasons.push_back(MediaReasonText(reason, texts));
        // A copy of a file that will not play gets a player name anyway; the name is news only when
        // the file itself plays or could not be examined.
        if (!media.verdict.willNotPlay())
            reasons.push_back(!media.playerName ? texts.text(TextId::MsgMediaNoPlayerName)
                              : storable
                                  ? FillIn(texts.text(TextId::MsgMediaNameHeldElsewhere),
                                           {UpperCase(name), *media.playerName})
                                  : FillIn(texts.text(TextId::MsgMediaNameNotTaken), {*media.playerName}));
        std::string line = name + ": ";
        // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict for "x" + std::string.
        for (std::size_t k = 0; k < reasons.size(); ++k) {
            if (k > 0)
                line += "; ";
            line += reasons[k];
        }
        doubts.push_back({i, line});
    }
    return doubts;
}

} // namespace

QStringList AskAboutAddedMedia(QWidget* parent, AppContext& context, const QStringList& paths,
                               std::vector<std::string>* notAdded) {
    if (paths.isEmpty())
        return paths;
    std::vector<std::string> sources;
    for (const QString& path : paths)
        sources.push_back(fromQt(path));
    std::vector<ExaminedMedia> examined;
    std::vector<bool> present;
    // The names the schedule holds, by the files of its media folders: a different file added gets
    // the next free name, and its player copy too.
    auto held = std::make_shared<PlayerNameClaims>(ContentNameClaims());
    RunOffThread([&examined, &present, sources, held, schedule = context.state.schedule,
                  folders = ScheduleMediaFolders(context.state.publish.settings(), context.state.mediaDir,
                                                 context.state.scheduleDir)] {
        examined = MediaProbeCache().examineAll(sources);
        HoldScheduleNames(*held, schedule, folders);
        PlayerNameClaims claims = *held;
        ClaimPlayerNames(examined, claims);
        for (const std::string& source : sources) {
            std::error_code error;
            present.push_back(std::filesystem::is_regular_file(std::filesystem::u8path(source), error));
        }
    });
    std::vector<Doubt> doubts = doubtsAbout(paths, examined, context.texts);
    // A name with no file behind it is for a file still to come, as a typed one.
    doubts.erase(
        std::remove_if(doubts.begin(), doubts.end(),
                       [&present](const Doubt& d) { return !present[static_cast<std::size_t>(d.index)]; }),
        doubts.end());
    if (doubts.empty())
        return paths;

    std::string lines;
    for (const Doubt& doubt : doubts)
        lines += (lines.empty() ? "" : "\n") + doubt.line;
    const WontPlayAnswer answer = AskThreeWay<WontPlayAnswer>(
        context.prompts, parent, toQt(FillIn(context.texts.text(TextId::MsgMediaAddQuestion), {lines})),
        {{WontPlayAnswer::MakePlayerCopies, screenText(context.texts, TextId::TextAddPlayerCopy)},
         {WontPlayAnswer::UseAsTheyAre, screenText(context.texts, TextId::TextAddAnyway)},
         {WontPlayAnswer::Cancel, screenText(context.texts, TextId::TextCancel)}});

    QStringList result = paths;
    std::vector<bool> keep(static_cast<std::size_t>(paths.size()), true);
    std::vector<bool> told(keep.size(), false);
    for (const Doubt& doubt : doubts)
        keep[static_cast<std::size_t>(doubt.index)] = answer == WontPlayAnswer::UseAsTheyAre;
    if (answer == WontPlayAnswer::MakePlayerCopies) {
        if (const std::optional<std::string> folder = PlayerCopiesFolder(parent, context)) {
            std::vector<std::string> toCopy;
            for (const Doubt& doubt : doubts)
                toCopy.push_back(sources[static_cast<std::size_t>(doubt.index)]);
            ConvertOptions options;
            // Names of the copies folder are the conversion's own to weigh; elsewhere a name is taken.
            options.heldElsewhere = [held, copies = *folder](const std::string& name) {
                const std::optional<std::string> holder = held->holder(name);
                return holder && holder->rfind(copies, 0) != 0;
            };
            const std::vector<ConvertOutcome> made =
                MakePlayerCopies(parent, context, toCopy, *folder, options);
            for (std::size_t i = 0; i < made.size(); ++i) {
                const auto index = static_cast<std::size_t>(doubts[i].index);
                if (made[i].action != ConvertOutcome::Action::Failed) {
                    result[static_cast<int>(index)] = toQt(*folder + made[i].name);
                    keep[index] = true;
                } else if (notAdded && made[i].reason) {
                    // Named with its reason, not again by name below.
                    notAdded->push_back(PathFileName(sources[index]) + ": " +
                                        MediaReasonText(*made[i].reason, context.texts));
                    told[index] = true;
                }
            }
            if (notAdded == nullptr)
                TellFailedPlayerCopies(parent, context, made);
        }
    }
    QStringList added;
    for (int i = 0; i < result.size(); ++i) {
        const auto index = static_cast<std::size_t>(i);
        if (keep[index])
            added << result[i];
        else if (notAdded && !told[index])
            notAdded->push_back(PathFileName(sources[index]));
    }
    return added;
}

} // namespace velmo
