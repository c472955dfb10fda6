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

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

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

struct Examined {
    std::vector<ExaminedMedia> media;
    std::vector<bool> present;
};

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

// Keeps user input from one window while its files are examined, with a busy cursor: a second edit
// meanwhile could conflict with the one waiting. Its close button still works; `closed` is then told.
class InputHold final : public QObject {
public:
    InputHold(QWidget* window, std::function<void()> closed)
        : QObject(window), window_(window), closed_(std::move(closed)) {
        qApp->installEventFilter(this);
        QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    ~InputHold() override { QApplication::restoreOverrideCursor(); }
    InputHold(const InputHold&) = delete;
    InputHold& operator=(const InputHold&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Closed, not minimised: a minimised window still wants its answer.
        if (watched == window_ && event->type() == QEvent::Hide && !event->spontaneous()) {
            closed_();
            return false;
        }
        const auto* widget = qobject_cast<const QWidget*>(watched);
        if (!isUserInput(event->type()) || widget == nullptr || widget->window() != window_)
            return false;
        // Taken here, so no shortcut of the window fires either.
        if (event->type() == QEvent::ShortcutOverride)
            event->accept();
        return true;
    }

private:
    QWidget* window_;
    std::function<void()> closed_;
};

// One question, from the examination to the answer; goes with its parent, which withdraws it.
class AddQuestion final : public QObject {
public:
    AddQuestion(QWidget* parent, AppContext& context, const QStringList& paths, LeftOut leftOut,
                std::function<void(AddedMedia)> done)
        : QObject(parent), parent_(parent), context_(context), paths_(paths), leftOut_(leftOut),
          done_(std::move(done)), keep_(static_cast<std::size_t>(paths.size()), true), told_(keep_.size()) {
        for (const QString& path : paths)
            sources_.push_back(fromQt(path));
    }

    void start(std::shared_ptr<MediaProbeCache> cache);

private:
    void examined(Examined found);
    void copied(const std::vector<Doubt>& doubts, const std::string& folder,
                const std::vector<ConvertOutcome>& made);
    void finish();

    QWidget* parent_;
    AppContext& context_;
    QStringList paths_;
    std::vector<std::string> sources_;
    LeftOut leftOut_;
    std::function<void(AddedMedia)> done_;
    // The names the schedule holds, by the files of its media folders: a different file added gets
    // the next free name, and its player copy too.
    std::shared_ptr<PlayerNameClaims> held_ = std::make_shared<PlayerNameClaims>(ContentNameClaims());
    std::vector<bool> keep_;
    std::vector<bool> told_;
    AddedMedia answer_;
    InputHold* hold_ = nullptr;
    BackgroundRequests requests_{this};
};

void AddQuestion::start(std::shared_ptr<MediaProbeCache> cache) {
    if (parent_ != nullptr)
        hold_ = new InputHold(parent_->window(), [this] {
            // Closed meanwhile: the answer is for a window no longer there.
            requests_.withdraw();
            deleteLater();
        });
    requests_.start<Examined>(
        [cache = std::move(cache), sources = sources_, held = held_, schedule = context_.state.schedule,
         folders = ScheduleMediaFolders(context_.state.publish.settings(), context_.state.mediaDir,
                                        context_.state.scheduleDir)](const BackgroundRequests::Unwanted&) {
            Examined found;
            found.media = cache->examineAll(sources);
            HoldScheduleNames(*held, schedule, folders);
            PlayerNameClaims claims = *held;
            ClaimPlayerNames(found.media, claims);
            for (const std::string& source : sources) {
                std::error_code error;
                found.present.push_back(
                    std::filesystem::is_regular_file(std::filesystem::u8path(source), error));
            }
            return found;
        },
        [this](Examined found) { examined(std::move(found)); });
}

void AddQuestion::examined(Examined found) {
    delete std::exchange(hold_, nullptr);
    std::vector<Doubt> doubts = doubtsAbout(paths_, found.media, context_.texts);
    // A name with no file behind it is for a file still to come, as a typed one.
    doubts.erase(std::remove_if(
                     doubts.begin(), doubts.end(),
                     [&found](const Doubt& d) { return !found.present[static_cast<std::size_t>(d.index)]; }),
                 doubts.end());
    answer_.added = paths_;
    if (doubts.empty())
        return finish();

    std::string lines;
    for (const Doubt& doubt : doubts)
        lines += (lines.empty() ? "" : "\n") + doubt.line;
    const QPointer<AddQuestion> alive(this);
    const WontPlayAnswer answer = AskThreeWay<WontPlayAnswer>(
        context_.prompts, parent_, toQt(FillIn(context_.texts.text(TextId::MsgMediaAddQuestion), {lines})),
        {{WontPlayAnswer::MakePlayerCopies, screenText(context_.texts, TextId::TextAddPlayerCopy)},
         {WontPlayAnswer::UseAsTheyAre, screenText(context_.texts, TextId::TextAddAnyway)},
         {WontPlayAnswer::Cancel, screenText(context_.texts, TextId::TextCancel)}});
    if (!alive)
        return;
    for (const Doubt& doubt : doubts)
        keep_[static_cast<std::size_t>(doubt.index)] = answer == WontPlayAnswer::UseAsTheyAre;
    if (answer != WontPlayAnswer::MakePlayerCopies)
        return finish();
    const std::optional<std::string> folder = PlayerCopiesFolder(parent_, context_);
    if (!alive)
        return;
    if (!folder)
        return finish();
    std::vector<std::string> toCopy;
    for (const Doubt& doubt : doubts)
        toCopy.push_back(sources_[static_cast<std::size_t>(doubt.index)]);
    ConvertOptions options;
    // Names of the copies folder are the conversion's own to weigh; elsewhere a name is taken.
    options.heldElsewhere = [held = held_, copies = *folder](const std::string& name) {
        const std::optional<std::string> holder = held->holder(name);
        return holder && holder->rfind(copies, 0) != 0;
    };
    StartPlayerCopies(
        parent_, context_, toCopy, *folder,
        [alive, doubts, copies = *folder](std::vector<ConvertOutcome> made) {
            if (alive)
                alive->copied(doubts, copies, made);
        },
        options);
}

void AddQuestion::copied(const std::vector<Doubt>& doubts, const std::string& folder,
                         const std::vector<ConvertOutcome>& made) {
    for (std::size_t i = 0; i < made.size(); ++i) {
        const auto index = static_cast<std::size_t>(doubts[i].index);
        if (made[i].action != ConvertOutcome::Action::Failed) {
            answer_.added[static_cast<int>(index)] = toQt(folder + made[i].name);
            keep_[index] = true;
        } else if (leftOut_ == LeftOut::Named && made[i].reason) {
            // Named with its reason, not again by name below.
            answer_.notAdded.push_back(PathFileName(sources_[index]) + ": " +
                                       MediaReasonText(*made[i].reason, context_.texts));
            told_[index] = true;
        }
    }
    if (leftOut_ == LeftOut::Told)
        TellFailedPlayerCopies(parent_, context_, made);
    finish();
}

void AddQuestion::finish() {
    AddedMedia answer;
    answer.notAdded = std::move(answer_.notAdded);
    for (int i = 0; i < answer_.added.size(); ++i) {
        const auto index = static_cast<std::size_t>(i);
        if (keep_[index])
            answer.added << answer_.added[i];
        else if (leftOut_ == LeftOut::Named && !told_[index])
            answer.notAdded.push_back(PathFileName(sources_[index]));
    }
    deleteLater();
    done_(std::move(answer));
}

} // namespace

void AskAboutAddedMedia(QWidget* parent, AppContext& context, std::shared_ptr<MediaProbeCache> cache,
                        const QStringList& paths, LeftOut leftOut, std::function<void(AddedMedia)> done) {
    if (paths.isEmpty()) {
        done({});
        return;
    }
    (new AddQuestion(parent, context, paths, leftOut, std::move(done)))->start(std::move(cache));
}

} // namespace velmo
