#pragma once

#include "media/media_summary.h"
#include "rules/schedule_sense.h"

#include <QObject>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace velmo {

struct AppState;
class MediaFolder;
class MediaProbeCache;
class ScheduleDocument;

// The media the schedule names, looked up in the media folders (the schedule's own folder, the
// remembered ones and mediaDir) and examined there, off the window's thread: a folder on a volume
// that stops answering delays the facts, never the window. Follows the document by itself. Its
// listing and its probe cache are the program's one each: the marks, the overview, the count after
// a save and the question on adding media all read them.
class ScheduleMedia : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScheduleMedia)
public:
    ScheduleMedia(const AppState& state, ScheduleDocument& document, QObject* parent = nullptr);
    ~ScheduleMedia() override;

    // What is known of the file named `name` ("SONG.MP3"); null while it is being examined.
    const MediaFileInfo* info(const std::string& name) const;
    // The folders as last listed; null before the first answer.
    const std::shared_ptr<const MediaFolder>& folder() const { return folder_; }
    // True while an answer is awaited.
    bool pending() const { return pending_; }
    // For the problems: whether a name is in a media folder (a name not examined yet counts as found),
    // and why one there will not play. Valid while this object lives.
    MediaLookup lookup() const;
    MediaJudge judge(const ScreenTexts& texts) const;
    // As judge(), on a copy of what is known now: safe to call off the window's thread.
    MediaJudge judgeCopy(const ScreenTexts& texts) const;
    // How long `files` run, as a list's title tells it; empty while one is being examined.
    std::string listLength(const std::vector<FileEntry>& files, const ScreenTexts& texts) const;
    // The results its look-ups keep, for whoever examines the same files off the window's thread.
    const std::shared_ptr<MediaProbeCache>& probeCache() const { return cache_; }
    // Looks up and examines every file again (a media folder was added, a file was made).
    void refresh();

signals:
    // New facts arrived; every name of the schedule has an answer.
    void updated();

private:
    struct Token {
        ScheduleMedia* owner;
    };
    void request();

    const AppState& state_;
    ScheduleDocument& document_;
    std::shared_ptr<MediaProbeCache> cache_;
    std::shared_ptr<Token> token_;
    std::shared_ptr<const MediaFolder> folder_;
    std::map<std::string, MediaFileInfo> infos_;
    bool pending_ = false;
    bool again_ = false;
};

} // namespace velmo
