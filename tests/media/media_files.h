#pragma once

// Real media files for the tests, made with the ffmpeg program at test time.

#include "media/ffprobe_output.h"
#include "media/process.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace velmo::test {

// An ffmpeg that can make the test media: its lavfi sources draw them. Windows' ffmpeg beside the
// program is built without them: there the media come made (MakeMedium), or the cases are skipped.
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

// The folder of media made beforehand that VELMO_TEST_MEDIA names, or "" when none is.
inline std::string MadeMediaFolder() {
    const char* folder = std::getenv("VELMO_TEST_MEDIA");
    return folder != nullptr ? folder : "";
}

// Whether MakeMedium can give the files of made-media.txt: made beforehand, or by ffmpeg here.
inline bool MediaCanBeMade() {
    return !MadeMediaFolder().empty() || FfmpegInstalled();
}

// Puts the file `name` of tests/data/made-media.txt at `path`: copied from the folder of media made
// beforehand, else made here with its ffmpeg arguments. False when it could not be had.
inline bool MakeMedium(const std::string& path, const std::string& name) {
    if (const std::string folder = MadeMediaFolder(); !folder.empty()) {
        std::error_code error;
        return std::filesystem::copy_file(folder + "/" + name, path,
                                          std::filesystem::copy_options::overwrite_existing, error);
    }
    std::ifstream recipes(VELMO_TEST_DATA_DIR "/made-media.txt");
    for (std::string line; std::getline(recipes, line);) {
        std::istringstream words(line);
        std::string first;
        if (!(words >> first) || first != name)
            continue;
        std::vector<std::string> arguments;
        for (std::string word; words >> word;)
            arguments.push_back(word);
        return MakeWithFfmpeg(path, arguments);
    }
    return false;
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
