// The ffprobe program's JSON report as the Windows build reads it, and a picture's orientation.
#include "media/ffprobe_output.h"
#include "rules/player_formats.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view report(reinterpret_cast<const char*>(data), size);
    velmo::MediaFacts facts;
    velmo::ReadFfprobeReport(report, facts);
    velmo::JudgeMedia("f.avi", facts);
    velmo::ReadFfprobeOrientation(report);
    return 0;
}
