#include "media/ffprobe_output.h"
#include "media_probe.h"
#include "media_probe_backend.h"

namespace velmo {

std::string BackendName() {
    return "ffprobe";
}

void ProbeWithBackend(const std::string& path, double timeoutSeconds, MediaFacts& facts) {
    ProbeWithFfprobe(path, timeoutSeconds, facts);
}

MediaFacts ProbeMediaBytes(const std::uint8_t*, std::size_t, const std::string&) {
    MediaFacts facts;
    facts.failure = MediaReason{TextId::MsgMediaUnreadable, {"built without FFmpeg's libraries"}};
    return facts;
}

} // namespace velmo
