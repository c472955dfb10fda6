#include "media_listing.h"

#include "ui/platform/off_thread.h"

#include "model/media_folder.h"
#include "rules/publish.h"

#include <QCoreApplication>
#include <thread>

namespace velmo {

MediaListing::MediaListing(QObject* parent) : QObject(parent), token_(std::make_shared<Token>(Token{this})) {}

MediaListing::~MediaListing() = default;

void MediaListing::request(const std::string& appPath, const std::string& mediaDir,
                           const std::string& scheduleDir) {
    const unsigned generation = ++generation_;
    pending_ = true;
    std::weak_ptr<Token> token = token_;
    // Detached: a listing that never returns must not hold up the program's end either.
    std::thread([token, generation, appPath, mediaDir, scheduleDir,
                 counted = std::make_shared<const DetachedWork>()] {
        auto folder = std::make_shared<const MediaFolder>(
            ScheduleMediaFolders(ReadPublishSettings(appPath), mediaDir, scheduleDir));
        // Delivered on the window's thread, where the token is checked and dropped alike.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [token, generation, folder] {
                const std::shared_ptr<Token> alive = token.lock();
                if (!alive || generation != alive->owner->generation_)
                    return;
                alive->owner->folder_ = folder;
                alive->owner->pending_ = false;
                emit alive->owner->arrived();
            },
            Qt::QueuedConnection);
    }).detach();
}

} // namespace velmo
