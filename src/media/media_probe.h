#pragma once

// Probing media files: what each is, how long it runs, the name the player would know it by and
// whether it plays. Blocking; the editor runs it off the window's thread.

#include "rules/media_facts.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velmo {

struct MediaProbeOptions {
    double timeoutSeconds = 10; // per file; a probe that takes longer is a failed probe
};

// Kind, container, streams and duration; `failure` set when it cannot be examined. Never throws.
MediaFacts ProbeMediaFile(const std::string& path, const MediaProbeOptions& options = {});

// The same from bytes in memory, named `fileName` (its extension guides the container guess): the
// in-process parsing, for the fuzz target. Only built with FFmpeg's libraries.
MediaFacts ProbeMediaBytes(const std::uint8_t* data, std::size_t size, const std::string& fileName);

// What ProbeMediaFile runs on: "libavformat 59.27.100" or "ffprobe".
std::string MediaProbeBackend();

struct ExaminedMedia {
    std::string path;
    MediaFacts facts;
    MediaVerdict verdict;
    std::optional<std::string> playerName; // the name a player copy gets; none when none can be made
};

// Examines a file; its reads run in a helper process that is given up on when the file does not
// answer (see media_probe_helper.h).
ExaminedMedia ExamineMedia(const std::string& path, const MediaProbeOptions& options = {});

class MediaProbeSession;
// As ExamineMedia, through a helper kept for many files.
ExaminedMedia ExamineMediaWith(const std::string& path, MediaProbeSession& session);

// Results by path, kept while the file's size and modification time stay the same.
class MediaProbeCache {
public:
    explicit MediaProbeCache(MediaProbeOptions options = {}) : options_(options) {}
    ExaminedMedia examine(const std::string& path);
    // Every path, `threads` at a time, in the order given.
    std::vector<ExaminedMedia> examineAll(const std::vector<std::string>& paths, int threads = 2);
    void clear();

private:
    ExaminedMedia examineWith(const std::string& path, MediaProbeSession& session);
    struct Entry {
        std::uint64_t size = 0;
        std::int64_t modified = 0;
        ExaminedMedia result;
    };
    MediaProbeOptions options_;
    std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

} // namespace velmo
