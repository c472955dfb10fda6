#pragma once

// Real media files for the tests, made with the ffmpeg program at test time.

#include "media/ffprobe_output.h"
#include "media/process.h"

#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace velmo::test {

// An ffmpeg that can make the test media: its lavfi sources draw them. Windows' ffmpeg beside the
// program is built without them, so there the cases that need made media are skipped, not failed.
inline bool FfmpegInstalled() {
    ProcessRequest request;
    request.argv = {FfmpegProgram(),      "-v",        "error", "-f", "lavfi", "-i",
                    "testsrc=size=16x16", "-frames:v", "1",     "-f", "null",  "-"};
    request.timeoutSeconds = 60;
    return RunProcess(request).succeeded();
}

// ffmpeg -v error -y <arguments> <dir/name>; false when it failed.
inline bool MakeWithFfmpeg(const std::string& path, const std::vector<std::string>& arguments) {
    ProcessRequest request;
    request.argv = {FfmpegProgram(), "-v", "error", "-y"};
    request.argv.insert(request.argv.end(), arguments.begin(), arguments.end());
    request.argv.push_back(path);
    request.timeoutSeconds = 120;
    return RunProcess(request).succeeded();
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A test pattern of the given size and length.
inline std::vector<std::string> Pattern(const std::string& size, const std::string& seconds = "1") {
    return {"-f", "lavfi", "-i", "testsrc=size=" + size + ":rate=25", "-t", seconds};
}
inline std::vector<std::string> Tone(const std::string& rate = "48000", const std::string& seconds = "1") {
    return {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=" + rate, "-t", seconds};
}
inline std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace velmo::test
