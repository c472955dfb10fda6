#pragma once

// The ffprobe program: its command line and its JSON report read into MediaFacts. Used where the
// build has no FFmpeg libraries, and by conversion for a picture's EXIF orientation.

#include "rules/media_facts.h"

#include <string>
#include <string_view>
#include <vector>

namespace velmo {

// The program name, or VELMO_FFPROBE / VELMO_FFMPEG from the environment when set.
std::string FfprobeProgram();
std::string FfmpegProgram();

// ffprobe's arguments for the report ReadFfprobeReport reads.
std::vector<std::string> FfprobeArguments(const std::string& path);

// Fills kind, container, streams and duration (a JPEG's profile and colour as jpeg facts) from
// `-of json -show_format -show_streams -show_error` output; sets failure when the report holds an
// error or is no report. Never throws.
void ReadFfprobeReport(std::string_view json, MediaFacts& facts);

// The EXIF orientation (1..8) of the first frame in `-show_frames` output; 1 when none.
int ReadFfprobeOrientation(std::string_view json);

// Probes with the ffprobe program (time limit, a crash is a failed probe).
void ProbeWithFfprobe(const std::string& path, double timeoutSeconds, MediaFacts& facts);

// The reason to give when a helper program could not run as asked.
struct ProcessOutcome;
MediaReason ProcessFailureReason(const std::string& program, const ProcessOutcome& outcome,
                                 double timeoutSeconds);

} // namespace velmo
