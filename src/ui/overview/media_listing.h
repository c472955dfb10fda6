#pragma once

#include <QObject>
#include <memory>
#include <string>

namespace velmo {

class MediaFolder;
struct PublishSettings;

// The media folders Write to Player Medium uses (its remembered folders and mediaDir) and the
// schedule's own folder, listed off the window's thread: a folder on a volume that stops answering
// delays the answer, never the window. The listing comes back to the window's thread through
// arrived(). One listing serves the overview and the count after a save, so both judge the same files.
class MediaListing : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MediaListing)
public:
    explicit MediaListing(QObject* parent = nullptr);
    ~MediaListing() override;

    // Lists the folders anew; an answer to an earlier request that comes later is dropped.
    void request(const PublishSettings& settings, const std::string& mediaDir,
                 const std::string& scheduleDir);
    // The latest listing that came back; null before the first.
    const std::shared_ptr<const MediaFolder>& folder() const { return folder_; }
    bool pending() const { return pending_; }

signals:
    void arrived();

private:
    std::shared_ptr<const MediaFolder> folder_;
    unsigned generation_ = 0;
    bool pending_ = false;
};

} // namespace velmo
