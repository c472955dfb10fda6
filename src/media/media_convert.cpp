#include "media_convert.h"

#include "media/ffprobe_output.h"
#include "media/media_probe.h"
#include "media/process.h"
#include "model/file_system.h"
#include "model/media_copy.h"
#include "rules/player_formats.h"
#include "rules/player_name.h"

#include <cstdlib>
#include <filesystem>
#include <random>

namespace velmo {

namespace {

constexpr int kPictureWidth = 1920;
constexpr int kPictureHeight = 1080;
constexpr int kMaxNameVariants = 99;

// A hidden directory beside the target for ffmpeg's output, removed with everything in it.
class WorkDirectory {
public:
    explicit WorkDirectory(const std::string& targetDir) {
        std::random_device random;
        for (int attempt = 0; attempt < 16 && path_.empty(); ++attempt) {
            const std::string candidate =
                WithTrailingSeparator(targetDir) + ".velmo-convert-" + std::to_string(random());
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error))
                path_ = candidate;
        }
    }
    ~WorkDirectory() {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    WorkDirectory(const WorkDirectory&) = delete;
    WorkDirectory& operator=(const WorkDirectory&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The filters that turn a picture upright as its EXIF orientation says.
std::string uprightFilter(int orientation) {
    switch (orientation) {
    case 2:
        return "hflip,";
    case 3:
        return "hflip,vflip,";
    case 4:
        return "vflip,";
    case 5:
        return "transpose=cclock_flip,";
    case 6:
        return "transpose=clock,";
    case 7:
        return "transpose=clock_flip,";
    case 8:
        return "transpose=cclock,";
    default:
        return "";
    }
}

int exifOrientation(const std::string& source, double timeout) {
    ProcessRequest request;
    request.argv = {FfprobeProgram(),
                    "-v",
                    "error",
                    "-protocol_whitelist",
                    "file",
                    "-of",
                    "json",
                    "-select_streams",
                    "v:0",
                    "-read_intervals",
                    "%+#1",
                    "-show_entries",
                    "frame_tags",
                    "-show_frames",
                    "file:" + source};
    request.timeoutSeconds = timeout;
    const ProcessOutcome outcome = RunProcess(request);
    return outcome.succeeded() ? ReadFfprobeOrientation(outcome.out) : 1;
}

std::vector<std::string> pictureArguments(int orientation) {
    const std::string fit = "scale=w='min(" + std::to_string(kPictureWidth) + ",iw)':h='min(" +
                            std::to_string(kPictureHeight) + ",ih)':force_original_aspect_ratio=decrease";
    // Transparent parts become white: the picture is laid over a white copy of itself.
    const std::string graph = "[0:v]" + uprightFilter(orientation) + fit +
                              ",format=rgba,split[picture][back];[back]drawbox=color=white:t=fill[white];"
                              "[white][picture]overlay=format=auto,format=yuvj420p";
    return {"-filter_complex", graph,     "-frames:v", "1", "-c:v", "mjpeg", "-q:v", "2", "-f",
            "image2",          "-update", "1"};
}

std::vector<std::string> audioArguments() {
    return {"-map", "0:a:0", "-vn", "-c:a", "libmp3lame", "-q:a", "2", "-f", "mp3"};
}

struct Conversion {
    std::vector<std::string> arguments;
    std::string extension;
    // Pictures are turned upright here, the same with every ffmpeg, not by its own autorotation.
    bool noAutorotate = false;
};

} // namespace

namespace {

// The ffmpeg arguments between the input and the output of a video copy.
std::vector<std::string> VideoCopyArguments(TvStandard tv) {
    const bool pal = tv == TvStandard::Pal;
    const std::string width = "720";
    const std::string height = pal ? "576" : "480";
    // The picture as it is seen (its pixels' own aspect included) fitted into the 4:3 frame of 768 or
    // 640 square pixels, squeezed to 720 wide and padded: letterboxed, never stretched. One scale,
    // straight from the source to the frame: a 4K source is read through once, at no more cost than
    // ffmpeg's own -target scaling, and every later filter works on the small frame.
    const std::string squareWidth = pal ? "768" : "640";
    const std::string aspect = "(iw*sar/ih)";
    const std::string fit = "scale=w='trunc(min(" + squareWidth + "," + height + "*" + aspect + ")*" + width +
                            "/" + squareWidth + "/2)*2':h='trunc(min(" + height + "," + squareWidth + "/" +
                            aspect + ")/2)*2',pad=" + width + ":" + height +
                            ":(ow-iw)/2:(oh-ih)/2:black,setdar=4/3";
    return {"-map", "0:v:0", "-map", "0:a:0?", "-vf", fit,     "-target", pal ? "pal-dvd" : "ntsc-dvd",
            "-c:a", "mp2",   "-b:a", "224k",   "-ar", "48000", "-ac",     "2"};
}

} // namespace

ConvertOutcome MakePlayerCopy(const std::string& source, const std::string& targetDir,
                              const ConvertOptions& options, const ConvertProgressCallback& progress) {
    ConvertOutcome outcome;
    outcome.source = source;
    const auto fail = [&outcome](MediaReason reason) {
        outcome.action = ConvertOutcome::Action::Failed;
        outcome.cancelled = reason.text == TextId::MsgMediaConvertCancelled;
        outcome.reason = std::move(reason);
        return outcome;
    };
    const auto report = [&](double fraction) { return !progress || progress({source, fraction}); };

    const ExaminedMedia media = ExamineMedia(source, {options.probeTimeoutSeconds});
    if (media.facts.failure)
        return fail(*media.facts.failure);
    if (media.facts.kind == MediaKind::Unknown)
        return fail({TextId::MsgMediaCannotConvert, {"holds no picture, video or sound"}});
    if (!media.playerName)
        return fail({TextId::MsgMediaNoPlayerName, {}});

    WorkDirectory work(targetDir);
    std::string candidate = source;
    double copyShare = 1.0;
    if (!media.verdict.plays) {
        if (work.path().empty())
            return fail({TextId::MsgMediaConvertFailed, {"cannot create a working folder in " + targetDir}});
        Conversion conversion;
        switch (media.facts.kind) {
        case MediaKind::Picture: {
            const long long width = media.facts.jpeg ? media.facts.jpeg->width : media.facts.video->width;
            const long long height = media.facts.jpeg ? media.facts.jpeg->height : media.facts.video->height;
            if (width * height > kMaxConvertPixels)
                return fail(
                    {TextId::MsgMediaTooLargeToConvert, {std::to_string(width), std::to_string(height)}});
            const int orientation = media.facts.video->codec == "mjpeg"
                                        ? exifOrientation(source, options.probeTimeoutSeconds)
                                        : 1;
            conversion = {pictureArguments(orientation), "JPG", true};
            break;
        }
        case MediaKind::Video:
            conversion = {VideoCopyArguments(options.tv), "MPG"};
            break;
        case MediaKind::Audio:
            conversion = {audioArguments(), "MP3"};
            break;
        case MediaKind::Unknown:
            break;
        }
        candidate = work.path() + "/OUT." + conversion.extension;
        ProcessRequest request;
        request.argv = {FfmpegProgram(), "-v", "error", "-nostdin", "-y", "-protocol_whitelist", "file"};
        if (conversion.noAutorotate)
            request.argv.push_back("-noautorotate");
        request.argv.insert(request.argv.end(), {"-i", "file:" + source});
        request.argv.insert(request.argv.end(), conversion.arguments.begin(), conversion.arguments.end());
        request.argv.insert(request.argv.end(), {"-progress", "pipe:1", "-nostats", "file:" + candidate});
        request.timeoutSeconds = options.convertTimeoutSeconds;
        request.maxOutput = 0;
        const double length = media.facts.duration.value_or(0);
        std::string pending;
        request.onOutput = [&](std::string_view piece) {
            pending.append(piece);
            bool go = true;
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos;
                 pending.erase(0, end + 1)) {
                const std::string line = pending.substr(0, end);
                if (line.rfind("out_time_us=", 0) == 0 && length > 0)
                    go = report(std::min(1.0, std::atof(line.c_str() + 12) / 1e6 / length) * 0.95) && go;
            }
            return go;
        };
        const ProcessOutcome run = RunProcess(request);
        if (!run.succeeded()) {
            MediaReason why = ProcessFailureReason(request.argv[0], run, options.convertTimeoutSeconds);
            if (why.text == TextId::MsgMediaDamaged)
                why.text = TextId::MsgMediaConvertFailed;
            return fail(why);
        }
        // The copy is judged like any file; one the player would still refuse is not handed out.
        const ExaminedMedia made = ExamineMedia(candidate, {options.probeTimeoutSeconds});
        if (!made.verdict.plays)
            return fail(made.verdict.reasons.empty()
                            ? MediaReason{TextId::MsgMediaConvertFailed, {"no output"}}
                            : made.verdict.reasons.front());
        outcome.action = ConvertOutcome::Action::Converted;
        copyShare = 0.05;
    } else {
        outcome.action = ConvertOutcome::Action::Copied;
    }

    // The player name, or the first variant that is free or already holds these bytes.
    std::string name = *media.playerName;
    const std::string target = WithTrailingSeparator(targetDir);
    for (int n = 1;; ++n) {
        if (n > kMaxNameVariants)
            return fail({TextId::MsgMediaConvertFailed, {"every variant of " + name + " is taken"}});
        const std::string tried = n == 1 ? name : PlayerNameVariant(name, n);
        const auto existing = ExistingFileName(target, tried);
        if (!existing) {
            name = tried;
            break;
        }
        if (SameFileContent(candidate, target + *existing)) {
            outcome.name = *existing;
            report(1.0);
            return outcome;
        }
    }
    const double base = 1.0 - copyShare;
    const CopyResult copied = CopyMediaFileTo(candidate, target, name, {}, [&](const CopyProgress& p) {
        return report(base + copyShare * p.fraction());
    });
    if (copied.cancelled)
        return fail({TextId::MsgMediaConvertCancelled, {}});
    if (!copied)
        return fail({TextId::MsgMediaConvertFailed, {copied.reason}});
    outcome.name = name;
    return outcome;
}

std::string VideoFramePng(const std::string& path, int width, int height, double timeoutSeconds) {
    ProcessRequest request;
    request.argv = {FfmpegProgram(),
                    "-v",
                    "error",
                    "-nostdin",
                    "-protocol_whitelist",
                    "file",
                    "-i",
                    "file:" + path,
                    "-map",
                    "0:v:0",
                    "-frames:v",
                    "1",
                    "-vf",
                    "scale=w=" + std::to_string(width > 0 ? width : 1) + ":h=" +
                        std::to_string(height > 0 ? height : 1) + ":force_original_aspect_ratio=decrease",
                    "-f",
                    "image2pipe",
                    "-c:v",
                    "png",
                    "pipe:1"};
    request.timeoutSeconds = timeoutSeconds;
    const ProcessOutcome outcome = RunProcess(request);
    return outcome.succeeded() ? outcome.out : std::string();
}

} // namespace velmo
