#pragma once

// Probing in a helper process that can be given up on. A read from a volume that never answers
// (a FUSE or network file system whose server hangs) holds the reader in the kernel, where no
// signal ends it; so the reads happen in a helper (the command-line tool started with a hidden
// argument), and a file that does not answer in time costs only that helper, which is left behind
// while the next file is examined by another.

#include "media/media_probe.h"

#include <iosfwd>
#include <memory>
#include <string>

namespace velmo {

class HelperProcess;

// The hidden argument that makes the command-line tool a probing helper.
inline constexpr char kMediaProbeHelperArgument[] = "--media-probe-helper";

// The helper's side: answers each request line of `in` on `out` until `in` ends. Exit status.
int RunMediaProbeHelper(std::istream& in, std::ostream& out);

// The program that serves as the helper: $VELMO_MEDIA_HELPER (empty: probe in this process), else
// velmo-schedule beside the running program, else the one this build made; empty when none is found,
// and files are then probed in this process.
std::string MediaProbeHelperProgram();

// What runs inside the helper (or in process where there is none).
MediaFacts ProbeMediaFileHere(const std::string& path, const MediaProbeOptions& options);

// The facts as one line and back; for the helper's answers.
std::string MediaFactsLine(const MediaFacts& facts);
bool ReadMediaFactsLine(const std::string& line, MediaFacts& facts);

// One helper, started when first needed and replaced when one is given up on; used by one thread.
class MediaProbeSession {
public:
    explicit MediaProbeSession(MediaProbeOptions options);
    ~MediaProbeSession();
    MediaProbeSession(const MediaProbeSession&) = delete;
    MediaProbeSession& operator=(const MediaProbeSession&) = delete;

    // As ProbeMediaFile; a file the helper does not answer about within the limit (and a little
    // more for the answer to come back) is "did not answer".
    MediaFacts probe(const std::string& path);

private:
    bool ensureHelper();
    MediaProbeOptions options_;
    std::string program_;
    std::unique_ptr<HelperProcess> helper_;
    bool inProcess_ = false;
};

} // namespace velmo
