#pragma once

// The part of probing that looks inside the file: FFmpeg's libraries in process where the build
// has them, the ffprobe program where it has not (see docs/media.md).

#include "rules/media_facts.h"

#include <string>

namespace velmo {

// Fills kind, container, streams and duration, or failure.
void ProbeWithBackend(const std::string& path, double timeoutSeconds, MediaFacts& facts);
std::string BackendName();

} // namespace velmo
