#include "schedule_media.h"

#include "ui/platform/off_thread.h"

#include "model/app_state.h"
#include "model/media_folder.h"
#include "rules/publish.h"
#include "rules/schedule_sense.h"
#include "schedule_document.h"

#include <QCoreApplication>
#include <filesystem>
#include <set>
#include <system_error>
#include <thread>

namespace velmo {

namespace {

std::vector<std::string> namesIn(const Schedule& schedule) {
    std::set<std::string> names;
    for (int i = 0; i < schedule.basicCount && i < static_cast<int>(schedule.basicEntries.size()); ++i)
        names.insert(MediaFileName(schedule.basicEntries[static_cast<std::size_t>(i)]));
    for (int i = 0; i < schedule.advanceCount && i < static_cast<int>(schedule.advanceEntries.size()); ++i) {
        const AdvanceEntry& e = schedule.advanceEntries[static_cast<std::size_t>(i)];
        for (int k = 0; k < e.fileCount && k < static_cast<int>(e.files.size()); ++k)
            names.insert(MediaFileName(e.files[static_cast<std::size_t>(k)]));
    }
    return {names.begin(), names.end()};
}

struct Answer {
    std::shared_ptr<const MediaFolder> folder;
    std::map<std::string, MediaFileInfo> infos;
};

Answer lookUp(const std::vector<std::string>& folders, const std::vector<std::string>& names,
              MediaProbeCache& cache) {
    Answer answer;
    answer.folder = std::make_shared<const MediaFolder>(folders);
    std::vector<std::string> paths;
    std::vector<std::string> found;
    for (const std::string& name : names) {
        answer.infos[name];
        for (const MediaFolder::Listing& listing : answer.folder->folders())
            if (const auto spelling = listing.find(name)) {
                paths.push_back(listing.dir + *spelling);
                found.push_back(name);
                break;
            }
    }
    const std::vector<ExaminedMedia> examined = cache.examineAll(paths);
    for (std::size_t i = 0; i < examined.size(); ++i) {
        MediaFileInfo& info = answer.infos[found[i]];
        info.found = true;
        info.media = examined[i];
        std::error_code error;
        const auto size = std::filesystem::file_size(std::filesystem::u8path(paths[i]), error);
        info.size = error ? 0 : static_cast<std::uint64_t>(size);
    }
    return answer;
}

} // namespace

ScheduleMedia::ScheduleMedia(const AppState& state, ScheduleDocument& document, QObject* parent)
    : QObject(parent), state_(state), document_(document), cache_(std::make_shared<MediaProbeCache>()),
      token_(std::make_shared<Token>(Token{this})) {
    connect(&document_, &ScheduleDocument::changed, this, &ScheduleMedia::refresh);
    connect(&document_, &ScheduleDocument::fileChanged, this, &ScheduleMedia::refresh);
}

ScheduleMedia::~ScheduleMedia() = default;

const MediaFileInfo* ScheduleMedia::info(const std::string& name) const {
    const auto it = infos_.find(name);
    return it == infos_.end() ? nullptr : &it->second;
}

MediaLookup ScheduleMedia::lookup() const {
    // A file not examined yet counts as found until the answer says otherwise.
    return [this](const std::string& name) {
        const MediaFileInfo* known = info(name);
        return known == nullptr || known->found;
    };
}

MediaJudge ScheduleMedia::judge(const ScreenTexts& texts) const {
    return [this, &texts](const std::string& name) -> std::optional<std::string> {
        const MediaFileInfo* known = info(name);
        if (known == nullptr || !known->found || !known->media.verdict.willNotPlay())
            return std::nullopt;
        return MediaReasonsText(known->media.verdict, texts);
    };
}

MediaJudge ScheduleMedia::judgeCopy(const ScreenTexts& texts) const {
    auto reasons = std::make_shared<std::map<std::string, std::string>>();
    const MediaJudge now = judge(texts);
    for (const auto& entry : infos_)
        if (const std::optional<std::string> why = now(entry.first))
            reasons->emplace(entry.first, *why);
    return [reasons](const std::string& name) -> std::optional<std::string> {
        const auto it = reasons->find(name);
        if (it == reasons->end())
            return std::nullopt;
        return it->second;
    };
}

void ScheduleMedia::refresh() {
    // One look-up at a time: a folder that hangs holds one thread, not one per edit.
    if (pending_) {
        again_ = true;
        return;
    }
    request();
}

void ScheduleMedia::request() {
    pending_ = true;
    again_ = false;
    const std::vector<std::string> names = namesIn(document_.schedule());
    std::weak_ptr<Token> token = token_;
    // Detached: a look-up that never returns must not hold up the program's end either.
    std::thread([token, names, cache = cache_,
                 folders =
                     ScheduleMediaFolders(state_.publish.settings(), state_.mediaDir, document_.directory()),
                 counted = std::make_shared<const DetachedWork>()] {
        auto answer = std::make_shared<Answer>(lookUp(folders, names, *cache));
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [token, answer] {
                const std::shared_ptr<Token> alive = token.lock();
                if (!alive)
                    return;
                ScheduleMedia& owner = *alive->owner;
                owner.pending_ = false;
                owner.folder_ = answer->folder;
                owner.infos_ = std::move(answer->infos);
                if (owner.again_)
                    owner.request();
                emit owner.updated();
            },
            Qt::QueuedConnection);
    }).detach();
}

std::string ScheduleMedia::listLength(const std::vector<FileEntry>& files, const ScreenTexts& texts) const {
    std::vector<ListedMedia> listed;
    for (const FileEntry& entry : files)
        listed.push_back({info(MediaFileName(entry)), entry.playTimes});
    return ListLengthText(listed, texts);
}

} // namespace velmo
