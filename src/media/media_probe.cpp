#include "media_probe.h"

#ifdef VELMO_HAVE_MEDIA_LIBRARIES
#include "media/jpeg_header.h"
#endif
#include "media/media_probe_backend.h"
#include "media/media_probe_helper.h"
#include "model/file_system.h"
#include "rules/entry_rules.h"
#include "rules/player_formats.h"
#include "rules/player_name.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

namespace velmo {

namespace {

struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modified = 0; // nanoseconds
    bool operator==(const FileStamp&) const = default;
};

// The stamp of a regular file; the reason it cannot be probed otherwise.
std::optional<FileStamp> stampOf(const std::string& path, std::optional<MediaReason>& failure) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::exists(status)) {
        failure = MediaReason{TextId::MsgMediaUnreadable, {error ? error.message() : std::strerror(ENOENT)}};
        return std::nullopt;
    }
    if (!fs::is_regular_file(status)) {
        failure = MediaReason{TextId::MsgMediaUnreadable, {"not a regular file"}};
        return std::nullopt;
    }
    const auto size = fs::file_size(path, error);
    const auto modified = fs::last_write_time(path, error);
    if (error) {
        failure = MediaReason{TextId::MsgMediaUnreadable, {error.message()}};
        return std::nullopt;
    }
    return FileStamp{
        static_cast<std::uint64_t>(size),
        static_cast<std::int64_t>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(modified.time_since_epoch()).count())};
}

MediaReason unreadable() {
    return {TextId::MsgMediaUnreadable, {std::strerror(errno)}};
}

#ifdef VELMO_HAVE_MEDIA_LIBRARIES
// The first bytes of a file, up to limit.
bool readHead(const std::string& path, std::size_t limit, std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    bytes.resize(limit);
    bytes.resize(std::fread(bytes.data(), 1, limit, file));
    std::fclose(file);
    return true;
}

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
    return MediaProbeSession(options).probe(path);
}

MediaFacts ProbeMediaFileHere(const std::string& path, const MediaProbeOptions& options) {
    MediaFacts facts;
    const auto before = stampOf(path, facts.failure);
    if (!before)
        return facts;
    if (before->size == 0) {
        facts.failure = MediaReason{TextId::MsgMediaEmpty, {}};
        return facts;
    }
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        std::fclose(file);
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

namespace {

// The player name a file gets: its own extension when it plays as it is, else the extension of the
// copy its kind is converted to (.JPG, .MPG, .MP3).
std::optional<std::string> PlayerNameFor(const std::string& path, const MediaFacts& facts, bool plays) {
    const bool notExamined = facts.failure && IsProbeFailureNotTheFiles(*facts.failure);
    if (plays || (facts.failure && !notExamined))
        return MakePlayerName(path);
    switch (notExamined ? MediaKindByExtension(path) : facts.kind) {
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

} // namespace

ExaminedMedia ExamineMedia(const std::string& path, const MediaProbeOptions& options) {
    MediaProbeSession session(options);
    return ExamineMediaWith(path, session);
}

ExaminedMedia ExamineMediaWith(const std::string& path, MediaProbeSession& session) {
    ExaminedMedia out;
    out.path = path;
    out.facts = session.probe(path);
    out.verdict = JudgeMedia(path, out.facts);
    out.playerName = PlayerNameFor(path, out.facts, out.verdict.plays);
    return out;
}

ExaminedMedia MediaProbeCache::examine(const std::string& path) {
    MediaProbeSession session(options_);
    return examineWith(path, session);
}

ExaminedMedia MediaProbeCache::examineWith(const std::string& path, MediaProbeSession& session) {
    std::optional<MediaReason> failure;
    const auto stamp = stampOf(path, failure);
    if (stamp) {
        const std::lock_guard lock(mutex_);
        const auto found = entries_.find(path);
        if (found != entries_.end() && found->second.size == stamp->size &&
            found->second.modified == stamp->modified)
            return found->second.result;
    }
    ExaminedMedia result = ExamineMediaWith(path, session);
    // A probe the file changed under, or one that did not answer, is not kept: the next look must
    // probe again.
    const TextId failed = result.facts.failure.value_or(MediaReason{}).text;
    if (stamp && failed != TextId::MsgMediaChangedWhileProbed && failed != TextId::MsgMediaNotAnswering) {
        const std::lock_guard lock(mutex_);
        entries_[path] = Entry{stamp->size, stamp->modified, result};
    }
    return result;
}

std::vector<ExaminedMedia> MediaProbeCache::examineAll(const std::vector<std::string>& paths, int threads) {
    std::vector<ExaminedMedia> results(paths.size());
    std::atomic<std::size_t> next{0};
    // Each thread with a helper of its own, started only when a file is not in the cache.
    const auto work = [&] {
        MediaProbeSession session(options_);
        for (std::size_t i = next++; i < paths.size(); i = next++)
            results[i] = examineWith(paths[i], session);
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
