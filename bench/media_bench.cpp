// Media probing and player copies, each against a yardstick measured in the same run.
//
//   velmo_media_bench probe WORKDIR [FILES]      probing FILES (default 300) mixed media files of a
//                                                few MiB, cold and cached, against ffprobe run over
//                                                the same files
//   velmo_media_bench convert WORKDIR [SECONDS] [4K-SECONDS]
//                                                converting a 1080p H.264 clip (default 60 s) and a
//                                                4K HEVC clip (default 30 s; 0 leaves a clip out) to
//                                                the PAL .MPG, each against `ffmpeg -target pal-dvd`
//                                                on the same clip
//
// WORKDIR is made if needed; the generated media stay there for the next run.
#include "bench_support.h"
#include "media/ffprobe_output.h"
#include "media/media_convert.h"
#include "media/media_probe.h"
#include "media/process.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using velmo::bench::Clock;
using velmo::bench::RunCommand;
using velmo::bench::SecondsSince;
namespace fs = std::filesystem;

bool ffmpeg(const std::vector<std::string>& args, const std::string& out) {
    if (fs::exists(out))
        return true;
    std::vector<std::string> command = {velmo::FfmpegProgram(), "-v", "error", "-y"};
    command.insert(command.end(), args.begin(), args.end());
    command.push_back(out);
    return RunCommand(command);
}

int probe(const std::string& work, int count) {
    // Five kinds of a few MiB each, then copies up to `count`, every one probed under its own path.
    const std::string seeds = work + "/seeds/";
    fs::create_directories(seeds);
    const std::vector<std::pair<std::string, std::vector<std::string>>> kinds = {
        {"PHOTO.JPG", {"-f", "lavfi", "-i", "testsrc2=size=1920x1080", "-frames:v", "1", "-q:v", "1"}},
        {"CLIP.MPG",
         {"-f", "lavfi", "-i", "testsrc2=size=720x576:rate=25", "-f", "lavfi", "-i", "sine", "-t", "5",
          "-target", "pal-dvd", "-c:a", "mp2", "-b:a", "224k"}},
        {"CLIP.AVI",
         {"-f", "lavfi", "-i", "testsrc2=size=640x480:rate=25", "-f", "lavfi", "-i", "sine", "-t", "5",
          "-c:v", "mpeg4", "-vtag", "XVID", "-b:v", "4M", "-c:a", "libmp3lame"}},
        {"PHONE.MP4",
         {"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=30", "-t", "5", "-c:v", "libx264", "-preset",
          "ultrafast"}},
        {"SONG.MP3", {"-f", "lavfi", "-i", "sine", "-t", "120", "-c:a", "libmp3lame"}},
    };
    for (const auto& [name, args] : kinds)
        if (!ffmpeg(args, seeds + name)) {
            std::fprintf(stderr, "cannot make %s with ffmpeg\n", name.c_str());
            return 2;
        }
    const std::string many = work + "/many/";
    fs::create_directories(many);
    std::vector<std::string> paths;
    std::uint64_t bytes = 0;
    for (int i = 0; i < count; ++i) {
        const std::string& seed = kinds[static_cast<std::size_t>(i) % kinds.size()].first;
        const std::string path = many + std::to_string(i) + "_" + seed;
        if (!fs::exists(path))
            fs::copy_file(seeds + seed, path);
        bytes += fs::file_size(path);
        paths.push_back(path);
    }

    velmo::MediaProbeCache cache;
    auto start = Clock::now();
    const auto results = cache.examineAll(paths, 2);
    const double cold = SecondsSince(start);
    start = Clock::now();
    cache.examineAll(paths, 2);
    const double cached = SecondsSince(start);
    int plays = 0;
    for (const auto& r : results)
        plays += r.verdict.plays ? 1 : 0;

    // Yardstick: ffprobe as a subprocess over the same files, two at a time as the probe runs.
    const std::size_t sample = paths.size();
    start = Clock::now();
    for (std::size_t i = 0; i < sample; i += 2) {
        std::vector<std::vector<std::string>> pair;
        for (std::size_t k = i; k < std::min(i + 2, sample); ++k)
            pair.push_back(velmo::FfprobeArguments(paths[k]));
        std::vector<std::thread> runners;
        for (auto& command : pair)
            runners.emplace_back([command] {
                velmo::ProcessRequest request;
                request.argv = command;
                velmo::RunProcess(request);
            });
        for (auto& runner : runners)
            runner.join();
    }
    const double ffprobeEach = SecondsSince(start) / static_cast<double>(sample);

    std::printf("probe backend: %s\n", velmo::MediaProbeBackend().c_str());
    std::printf("files: %d (%.1f MiB, %d play)\n", count, static_cast<double>(bytes) / (1 << 20), plays);
    std::printf("cold:   %.3f s (%.2f ms a file; goal 10 s)\n", cold, cold * 1000 / count);
    std::printf("cached: %.3f s (%.3f ms a file; goal 0.5 s)\n", cached, cached * 1000 / count);
    std::printf("yardstick, ffprobe subprocess over the same files two at a time: %.1f ms a file, %.1f s\n",
                ffprobeEach * 1000, ffprobeEach * count);
    std::printf("ratio cold / ffprobe: %.3fx\n", cold / (ffprobeEach * count));
    return 0;
}

struct Clip {
    std::string label; // "1080p H.264"
    std::string path;
    int seconds = 0;
};

// One clip's player copy against `ffmpeg -target pal-dvd` before and after it: the load moves
// between them, so the yardstick is their mean.
int convertClip(const std::string& work, const Clip& clip) {
    const std::string ours = work + "/ours/";
    fs::remove_all(ours);
    fs::create_directories(ours);
    const std::string yard = work + "/yardstick.mpg";
    fs::remove(yard);
    const std::vector<std::string> plain = {
        velmo::FfmpegProgram(), "-v", "error", "-y", "-i", clip.path, "-target", "pal-dvd", yard};
    auto start = Clock::now();
    RunCommand(plain);
    const double yardFirst = SecondsSince(start);
    start = Clock::now();
    const velmo::ConvertOutcome made = velmo::MakePlayerCopy(clip.path, ours);
    const double ourTime = SecondsSince(start);
    fs::remove(yard);
    start = Clock::now();
    RunCommand(plain);
    const double yardSecond = SecondsSince(start);
    if (made.action != velmo::ConvertOutcome::Action::Converted) {
        std::fprintf(stderr, "the conversion of %s failed\n", clip.path.c_str());
        return 1;
    }
    const double yardstick = (yardFirst + yardSecond) / 2;
    std::printf("clip: %d s of %s + AAC\n", clip.seconds, clip.label.c_str());
    std::printf("  ffmpeg -target pal-dvd: %.2f s and %.2f s\n", yardFirst, yardSecond);
    std::printf("  MakePlayerCopy (letterbox, MP2, probe before and after, verified copy): %.2f s -> %s\n",
                ourTime, made.name.c_str());
    std::printf("  ratio: %.3fx the mean yardstick (goal 1.1x)\n", ourTime / yardstick);
    return 0;
}

int convert(const std::string& work, int seconds, int uhdSeconds) {
    fs::create_directories(work);
    std::vector<Clip> clips;
    if (seconds > 0) {
        Clip hd{"1920x1080 H.264", work + "/clip-" + std::to_string(seconds) + "s-1080p.mp4", seconds};
        if (!ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=25", "-f", "lavfi", "-i",
                     "sine=sample_rate=48000", "-t", std::to_string(seconds), "-c:v", "libx264", "-preset",
                     "veryfast", "-c:a", "aac"},
                    hd.path)) {
            std::fprintf(stderr, "cannot make the 1080p clip with ffmpeg\n");
            return 2;
        }
        clips.push_back(hd);
    }
    if (uhdSeconds > 0) {
        // A phone's 4K HEVC clip; 8-bit 4:2:0 as most phones record.
        const std::string length = std::to_string(uhdSeconds);
        Clip uhd{"3840x2160 HEVC", work + "/clip-" + length + "s-2160p-hevc.mp4", uhdSeconds};
        if (!ffmpeg({"-f",       "lavfi",     "-i",           "testsrc2=size=3840x2160:rate=25",
                     "-f",       "lavfi",     "-i",           "sine=sample_rate=48000",
                     "-t",       length,      "-c:v",         "libx265",
                     "-preset",  "ultrafast", "-x265-params", "log-level=error",
                     "-pix_fmt", "yuv420p",   "-c:a",         "aac"},
                    uhd.path)) {
            std::fprintf(stderr, "cannot make the 4K clip with ffmpeg (libx265)\n");
            return 2;
        }
        clips.push_back(uhd);
    }
    for (const Clip& clip : clips)
        if (const int failed = convertClip(work, clip))
            return failed;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s probe WORKDIR [FILES] | convert WORKDIR [SECONDS] [4K-SECONDS]\n",
                     argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    if (mode == "probe")
        return probe(argv[2], argc > 3 ? std::atoi(argv[3]) : 300);
    if (mode == "convert")
        return convert(argv[2], argc > 3 ? std::atoi(argv[3]) : 60, argc > 4 ? std::atoi(argv[4]) : 30);
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
}
