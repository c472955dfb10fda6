#include "media_probe.h"

#ifdef VELMO_HAVE_MEDIA_LIBRARIES
#include "media/jpeg_header.h"
#endif
#include "media/media_probe_backend.h"
#include "media/player_formats.h"
#include "model/file_system.h"
#include "rules/entry_rules.h"
#include "rules/player_name.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace velmo {

namespace {

struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modified = 0; // nanoseconds
    bool operator==(const FileStamp&) const = default;
};

// The stamp of a regular file; the reason it cannot be probed otherwise.
std::optional<FileStamp> stampOf(const std::string& path, std::optional<MediaReason>& failure) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        failure = MediaReason{TextId::MsgMediaUnreadable, {std::strerror(errno)}};
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode)) {
        failure = MediaReason{TextId::MsgMediaUnreadable, {"not a regular file"}};
        return std::nullopt;
    }
    return FileStamp{static_cast<std::uint64_t>(status.st_size),
                     static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec};
}

MediaReason unreadable() {
    return {TextId::MsgMediaUnreadable, {std::strerror(errno)}};
}

// The first bytes of a file, up to limit.
bool readHead(const std::string& path, std::size_t limit, std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bytes.resize(limit);
    std::size_t have = 0;
    while (have < limit) {
        const ssize_t got = ::read(fd, bytes.data() + have, limit - have);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        have += static_cast<std::size_t>(got);
    }
    ::close(fd);
    bytes.resize(have);
    return true;
}

#ifdef VELMO_HAVE_MEDIA_LIBRARIES
void readJpegFacts(const std::string& path, MediaFacts& facts) {
    std::string head;
    if (!readHead(path, kJpegHeaderReadLimit, head)) {
        facts.failure = unreadable();
        return;
    }
    JpegFacts jpeg;
    std::string reason;
    if (ReadJpegHeader(reinterpret_cast<const std::uint8_t*>(head.data()), head.size(), jpeg, reason))
        facts.jpeg = jpeg;
    else
        facts.failure = MediaReason{TextId::MsgMediaDamaged, {reason}};
}
#endif

} // namespace

std::string MediaProbeBackend() {
    return BackendName();
}

MediaFacts ProbeMediaFile(const std::string& path, const MediaProbeOptions& options) {
    MediaFacts facts;
    const auto before = stampOf(path, facts.failure);
    if (!before)
        return facts;
    if (before->size == 0) {
        facts.failure = MediaReason{TextId::MsgMediaEmpty, {}};
        return facts;
    }
    if (const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
        ::close(fd);
    } else {
        facts.failure = unreadable();
        return facts;
    }
    ProbeWithBackend(path, options.timeoutSeconds, facts);
#ifdef VELMO_HAVE_MEDIA_LIBRARIES
    // libjpeg-turbo reads the header exactly; the ffprobe report already said what it could.
    if (!facts.failure && facts.kind == MediaKind::Picture && facts.video && facts.video->codec == "mjpeg")
        readJpegFacts(path, facts);
#endif
    if (!facts.failure && facts.video && (facts.video->width <= 0 || facts.video->height <= 0) && !facts.jpeg)
        facts.failure = MediaReason{TextId::MsgMediaDamaged, {"no picture size"}};
    std::optional<MediaReason> gone;
    const auto after = stampOf(path, gone);
    if (!after)
        facts.failure = gone;
    else if (!(*after == *before))
        facts.failure = MediaReason{TextId::MsgMediaChangedWhileProbed, {}};
    if (facts.failure) {
        const MediaReason failure = *facts.failure;
        facts = MediaFacts{};
        facts.failure = failure;
    }
    return facts;
}

std::optional<std::string> PlayerNameFor(const std::string& path, const MediaFacts& facts, bool plays) {
    if (plays || facts.failure)
        return MakePlayerName(path);
    switch (facts.kind) {
    case MediaKind::Picture:
        return MakePlayerName(path, "JPG");
    case MediaKind::Video:
        return MakePlayerName(path, "MPG");
    case MediaKind::Audio:
        return MakePlayerName(path, "MP3");
    case MediaKind::Unknown:
        break;
    }
    return MakePlayerName(path);
}

ExaminedMedia ExamineMedia(const std::string& path, const MediaProbeOptions& options) {
    ExaminedMedia out;
    out.path = path;
    out.facts = ProbeMediaFile(path, options);
    out.verdict = JudgeMedia(path, out.facts);
    out.playerName = PlayerNameFor(path, out.facts, out.verdict.plays);
    return out;
}

ExaminedMedia MediaProbeCache::examine(const std::string& path) {
    std::optional<MediaReason> failure;
    const auto stamp = stampOf(path, failure);
    if (stamp) {
        const std::lock_guard lock(mutex_);
        const auto found = entries_.find(path);
        if (found != entries_.end() && found->second.size == stamp->size &&
            found->second.modified == stamp->modified)
            return found->second.result;
    }
    ExaminedMedia result = ExamineMedia(path, options_);
    // A probe the file changed under is not kept: the next look must probe again.
    if (stamp && result.facts.failure.value_or(MediaReason{}).text != TextId::MsgMediaChangedWhileProbed) {
        const std::lock_guard lock(mutex_);
        entries_[path] = Entry{stamp->size, stamp->modified, result};
    }
    return result;
}

std::vector<ExaminedMedia> MediaProbeCache::examineAll(const std::vector<std::string>& paths, int threads) {
    std::vector<ExaminedMedia> results(paths.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < paths.size(); i = next++)
            results[i] = examine(paths[i]);
    };
    std::vector<std::thread> workers;
    const int count = std::clamp(threads, 1, static_cast<int>(std::max<std::size_t>(paths.size(), 1)));
    for (int i = 1; i < count; ++i)
        workers.emplace_back(work);
    work();
    for (std::thread& worker : workers)
        worker.join();
    return results;
}

void MediaProbeCache::clear() {
    const std::lock_guard lock(mutex_);
    entries_.clear();
}

} // namespace velmo
