#include "media_listing.h"

#include "ui/platform/off_thread.h"

#include "model/media_folder.h"
#include "rules/publish.h"

namespace velmo {

MediaListing::MediaListing(QObject* parent) : QObject(parent) {}

MediaListing::~MediaListing() = default;

void MediaListing::request(const PublishSettings& settings, const std::string& mediaDir,
                           const std::string& scheduleDir) {
    const unsigned generation = ++generation_;
    pending_ = true;
    using Folder = std::shared_ptr<const MediaFolder>;
    RunInBackground<Folder>(
        [folders = ScheduleMediaFolders(settings, mediaDir, scheduleDir)] {
            return std::make_shared<const MediaFolder>(folders);
        },
        this,
        [this, generation](Folder folder) {
            if (generation != generation_)
                return;
            folder_ = std::move(folder);
            pending_ = false;
            emit arrived();
        });
}

} // namespace velmo
