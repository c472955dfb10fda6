#include "ffprobe_output.h"

#include "media/process.h"

#include <cstdlib>
#include <nlohmann/json.hpp>

namespace velmo {

namespace {

using nlohmann::json;

std::string text(const json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// ffprobe writes some numbers as strings ("sample_rate": "48000", "duration": "2.016000").
std::optional<double> number(const json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end())
        return std::nullopt;
    if (found->is_number())
        return found->get<double>();
    if (found->is_string()) {
        const std::string value = found->get<std::string>();
        char* end = nullptr;
        const double parsed = std::strtod(value.c_str(), &end);
        if (!value.empty() && end == value.c_str() + value.size())
            return parsed;
    }
    return std::nullopt;
}

int whole(const json& object, const char* key) {
    const auto value = number(object, key);
    return value && *value >= 0 && *value < 1e9 ? static_cast<int>(*value) : 0;
}

bool isPictureFormat(const std::string& name) {
    return name == "image2" || (name.size() > 5 && name.compare(name.size() - 5, 5, "_pipe") == 0);
}

std::string environmentOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

} // namespace

std::string FfprobeProgram() {
    return environmentOr("VELMO_FFPROBE", "ffprobe");
}
std::string FfmpegProgram() {
#ifdef _WIN32
    // The one shipped beside the program, never a different one on PATH.
    return environmentOr("VELMO_FFMPEG", velmo_beside_program("ffmpeg.exe").c_str());
#else
    return environmentOr("VELMO_FFMPEG", "ffmpeg");
#endif
}

std::vector<std::string> FfprobeArguments(const std::string& path) {
    return {FfprobeProgram(), "-v",          "error", "-hide_banner", "-protocol_whitelist",
            "file",           "-of",         "json",  "-show_format", "-show_streams",
            "-show_error",    "file:" + path};
}

void ReadFfprobeReport(std::string_view report, MediaFacts& facts) {
    const json root = json::parse(report, nullptr, false);
    if (!root.is_object()) {
        facts.failure = MediaReason{TextId::MsgMediaDamaged, {"no report from ffprobe"}};
        return;
    }
    if (const auto error = root.find("error"); error != root.end() && error->is_object()) {
        facts.failure = MediaReason{TextId::MsgMediaDamaged, {text(*error, "string")}};
        return;
    }
    const auto format = root.find("format");
    if (format != root.end() && format->is_object())
        facts.container = text(*format, "format_name");
    const auto streams = root.find("streams");
    if (streams != root.end() && streams->is_array()) {
        for (const json& stream : *streams) {
            if (!stream.is_object())
                continue;
            const std::string type = text(stream, "codec_type");
            bool attached = false;
            if (const auto disposition = stream.find("disposition");
                disposition != stream.end() && disposition->is_object())
                attached = number(*disposition, "attached_pic").value_or(0) != 0;
            if (type == "video" && !facts.video && !attached) {
                std::string tag = text(stream, "codec_tag_string");
                if (tag.find('[') != std::string::npos)
                    tag.clear();
                facts.video = VideoFacts{text(stream, "codec_name"), tag, whole(stream, "width"),
                                         whole(stream, "height")};
                // FFmpeg decodes an Adobe CMYK JPEG to gbrap; its profile names the process.
                if (facts.video->codec == "mjpeg" && isPictureFormat(facts.container)) {
                    const std::string pixels = text(stream, "pix_fmt");
                    const std::string profile = text(stream, "profile");
                    facts.jpeg = JpegFacts{
                        profile == "Progressive",
                        pixels.find("cmyk") != std::string::npos || pixels == "gbrap",
                        whole(stream, "bits_per_raw_sample") == 0 ? 8 : whole(stream, "bits_per_raw_sample"),
                        facts.video->width, facts.video->height};
                }
            } else if (type == "audio" && !facts.audio) {
                facts.audio = AudioFacts{text(stream, "codec_name"), whole(stream, "sample_rate")};
            }
        }
    }
    if (facts.video)
        facts.kind = isPictureFormat(facts.container) ? MediaKind::Picture : MediaKind::Video;
    else if (facts.audio)
        facts.kind = MediaKind::Audio;
    if ((facts.kind == MediaKind::Video || facts.kind == MediaKind::Audio) && format != root.end() &&
        format->is_object())
        if (const auto duration = number(*format, "duration"); duration && *duration > 0 && *duration < 1e9)
            facts.duration = duration;
}

int ReadFfprobeOrientation(std::string_view report) {
    const json root = json::parse(report, nullptr, false);
    if (!root.is_object() || !root.contains("frames") || !root["frames"].is_array() || root["frames"].empty())
        return 1;
    const json& frame = root["frames"][0];
    if (!frame.is_object() || !frame.contains("tags") || !frame["tags"].is_object())
        return 1;
    const int orientation = whole(frame["tags"], "Orientation");
    return orientation >= 1 && orientation <= 8 ? orientation : 1;
}

MediaReason ProcessFailureReason(const std::string& program, const ProcessOutcome& outcome,
                                 double timeoutSeconds) {
    using Status = ProcessOutcome::Status;
    switch (outcome.status) {
    case Status::NotFound:
#ifdef _WIN32
        return {TextId::MsgMediaToolMissingWindows, {program}};
#else
        return {TextId::MsgMediaToolMissing, {program}};
#endif
    case Status::TimedOut:
        return {TextId::MsgMediaProbeTimeout, {std::to_string(static_cast<int>(timeoutSeconds))}};
    case Status::Crashed:
        return {TextId::MsgMediaProbeCrashed, {program, outcome.signalName}};
    case Status::Cancelled:
        return {TextId::MsgMediaConvertCancelled, {}};
    case Status::NotRun:
        return {TextId::MsgMediaProbeNotRun, {program, outcome.error}};
    case Status::Exited:
        break;
    }
    // The last line ffmpeg or ffprobe wrote says what went wrong.
    std::string last = outcome.err;
    while (!last.empty() && (last.back() == '\n' || last.back() == '\r'))
        last.pop_back();
    if (const auto newline = last.rfind('\n'); newline != std::string::npos)
        last = last.substr(newline + 1);
    if (last.empty())
        last = program + " ended with status " + std::to_string(outcome.exitCode);
    return {TextId::MsgMediaDamaged, {last}};
}

void ProbeWithFfprobe(const std::string& path, double timeoutSeconds, MediaFacts& facts) {
    ProcessRequest request;
    request.argv = FfprobeArguments(path);
    request.timeoutSeconds = timeoutSeconds;
    const ProcessOutcome outcome = RunProcess(request);
    // ffprobe ends with status 1 for a damaged file and says why in its report.
    if (outcome.status == ProcessOutcome::Status::Exited && (outcome.exitCode == 0 || !outcome.out.empty())) {
        ReadFfprobeReport(outcome.out, facts);
        return;
    }
    facts.failure = ProcessFailureReason(request.argv[0], outcome, timeoutSeconds);
}

} // namespace velmo
