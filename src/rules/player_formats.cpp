#include "player_formats.h"

#include "model/file_system.h"
#include "rules/entry_rules.h"
#include "rules/schedule_sense.h"

#include <algorithm>
#include <cctype>

namespace velmo {

namespace {

// What the player decodes. A row is changed here and nowhere else.
const std::vector<PlayerFormat> kFormats = {
    {{"JPG"},
     MediaKind::Picture,
     {"jpeg_pipe", "image2"},
     {"mjpeg"},
     "baseline JPEG",
     {},
     1920,
     1080,
     {},
     "",
     true},
    {{"MPG", "DAT", "VOB"},
     MediaKind::Video,
     {"mpeg"},
     {"mpeg1video", "mpeg2video"},
     "MPEG-1 and MPEG-2",
     {},
     720,
     576,
     {"mp2", "mp3", "ac3", "pcm_dvd"},
     "MP2, MP3, AC-3 and LPCM",
     false},
    {{"AVI"},
     MediaKind::Video,
     {"avi"},
     {"mpeg4"},
     "MPEG-4 Part 2 (DivX/Xvid)",
     {"XVID", "DIVX", "DX50", "FMP4"},
     720,
     576,
     {"mp3", "mp2", "ac3", "pcm_s16le", "pcm_u8"},
     "MP3, MP2, AC-3 and PCM",
     false},
    {{"MP3"}, MediaKind::Audio, {"mp3"}, {}, "", {}, 0, 0, {"mp3"}, "MP3", false},
};

bool contains(const std::vector<std::string>& list, const std::string& value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

// Codec names as people know them; FFmpeg's own name otherwise.
std::string codecTitle(const std::string& codec) {
    static const std::pair<const char*, const char*> kTitles[] = {
        {"h264", "H.264"},        {"hevc", "H.265 (HEVC)"}, {"mpeg4", "MPEG-4 Part 2"},
        {"mpeg2video", "MPEG-2"}, {"mpeg1video", "MPEG-1"}, {"mjpeg", "JPEG"},
        {"png", "PNG"},           {"gif", "GIF"},           {"bmp", "BMP"},
        {"webp", "WebP"},         {"vp8", "VP8"},           {"vp9", "VP9"},
        {"av1", "AV1"},           {"aac", "AAC"},           {"mp3", "MP3"},
        {"mp2", "MP2"},           {"ac3", "AC-3"},          {"opus", "Opus"},
        {"vorbis", "Vorbis"},     {"flac", "FLAC"},         {"tiff", "TIFF"},
        {"wmv3", "WMV"},          {"wmav2", "WMA"},         {"msmpeg4v3", "MS MPEG-4"},
    };
    for (const auto& [name, title] : kTitles)
        if (codec == name)
            return title;
    if (codec.rfind("pcm_", 0) == 0)
        return "PCM";
    return codec;
}

std::string containerTitle(const std::string& container) {
    static const std::pair<const char*, const char*> kTitles[] = {
        {"mov,mp4,m4a,3gp,3g2,mj2", "MP4"},
        {"matroska,webm", "Matroska"},
        {"avi", "AVI"},
        {"mpeg", "MPEG"},
        {"mpegts", "MPEG-TS"},
        {"wav", "WAV"},
        {"mp3", "MP3"},
        {"asf", "ASF"},
        {"flv", "FLV"},
        {"ogg", "Ogg"},
        {"aac", "AAC"},
        {"flac", "FLAC"},
    };
    for (const auto& [name, title] : kTitles)
        if (container == name)
            return title;
    return container;
}

// "PNG picture", "MP4 video", "WAV audio".
std::string contentTitle(const MediaFacts& facts) {
    switch (facts.kind) {
    case MediaKind::Picture:
        return codecTitle(facts.video ? facts.video->codec : facts.container) + " picture";
    case MediaKind::Video:
        return containerTitle(facts.container) + " video";
    case MediaKind::Audio:
        return containerTitle(facts.container) + " audio";
    case MediaKind::Unknown:
        break;
    }
    return "file";
}

// English wants "an" before a vowel sound: "an MP3 audio", "an AVI video", "an H.264 picture".
bool takesAn(const std::string& title) {
    if (title.empty())
        return false;
    const char first = title[0];
    if (std::string_view("AEIOaeio").find(first) != std::string_view::npos)
        return true;
    // Letters read out one by one that start with a vowel sound: M-P-3, H.264, F-L-V.
    const bool spelled = title.size() > 1 && (std::isupper(static_cast<unsigned char>(title[1])) ||
                                              std::isdigit(static_cast<unsigned char>(title[1])) ||
                                              title[1] == '.' || title[1] == '-' || title[1] == ' ');
    return spelled && std::string_view("FHLMNRSX").find(first) != std::string_view::npos &&
           title.rfind("FLAC", 0) != 0;
}

std::string dotted(const std::vector<std::string>& extensions) {
    std::string out;
    for (std::size_t i = 0; i < extensions.size(); ++i)
        out += (i == 0 ? "." : i + 1 == extensions.size() ? " and ." : ", .") + extensions[i];
    return out;
}

} // namespace

const PlayerFormat* PlayerFormatFor(std::string_view extension) {
    const std::string wanted = UpperCase(extension);
    for (const PlayerFormat& format : kFormats)
        if (contains(format.extensions, wanted))
            return &format;
    return nullptr;
}

MediaKind MediaKindByExtension(const std::string& fileName) {
    const std::string extension = UpperCase(SplitFileName(PathFileName(fileName)).extension);
    if (const PlayerFormat* format = PlayerFormatFor(extension))
        return format->kind;
    static const std::pair<MediaKind, std::vector<std::string>> kGuesses[] = {
        {MediaKind::Picture, {"JPEG", "PNG", "GIF", "BMP", "WEBP", "TIF", "TIFF", "HEIC", "HEIF"}},
        {MediaKind::Video,
         {"MP4", "M4V", "MOV", "MKV", "WEBM", "WMV", "3GP", "MTS", "M2TS", "TS", "FLV", "MPEG"}},
        {MediaKind::Audio, {"WAV", "M4A", "AAC", "FLAC", "OGG", "OGA", "OPUS", "WMA", "MP2"}},
    };
    for (const auto& [kind, extensions] : kGuesses)
        if (contains(extensions, extension))
            return kind;
    return MediaKind::Unknown;
}

bool IsPlayerMediaFileName(const std::string& name) {
    const auto dot = name.rfind('.');
    return dot != std::string::npos && dot != 0 &&
           PlayerFormatFor(std::string_view(name).substr(dot + 1)) != nullptr;
}

MediaVerdict JudgeMedia(const std::string& fileName, const MediaFacts& facts) {
    MediaVerdict verdict;
    const auto reason = [&verdict](TextId text, std::vector<std::string> values = {}) {
        verdict.reasons.push_back({text, std::move(values)});
    };
    const std::string extension = UpperCase(SplitFileName(PathFileName(fileName)).extension);
    const PlayerFormat* format = PlayerFormatFor(extension);
    // The name alone decides when the player plays no such extension, examined or not.
    if (facts.failure && !(IsProbeFailureNotTheFiles(*facts.failure) && !format)) {
        verdict.examined = !IsProbeFailureNotTheFiles(*facts.failure);
        verdict.reasons.push_back(*facts.failure);
        return verdict;
    }
    if (facts.kind == MediaKind::Picture && facts.video) {
        const long long width = facts.jpeg ? facts.jpeg->width : facts.video->width;
        const long long height = facts.jpeg ? facts.jpeg->height : facts.video->height;
        if (width * height > kMaxConvertPixels) {
            reason(TextId::MsgMediaPictureFarTooLarge, {std::to_string(width), std::to_string(height)});
            return verdict;
        }
    }
    if (!format) {
        reason(TextId::MsgMediaWrongExtension,
               {"." + (extension.empty() ? std::string("(none)") : extension)});
        return verdict;
    }
    if (facts.kind == MediaKind::Unknown) {
        reason(TextId::MsgMediaNoStreams);
        return verdict;
    }
    if (facts.kind != format->kind || !contains(format->containers, facts.container)) {
        const std::string title = contentTitle(facts);
        if (format->kind == MediaKind::Video && facts.kind == MediaKind::Audio &&
            contains(format->containers, facts.container))
            reason(TextId::MsgMediaNoVideoAudioOnly, {containerTitle(facts.container)});
        else
            reason(takesAn(title) ? TextId::MsgMediaContentMismatchAn : TextId::MsgMediaContentMismatch,
                   {title, "." + extension});
        return verdict;
    }
    const std::string rowExtensions = dotted(format->extensions);
    if (format->maxWidth > 0) {
        if (!facts.video) {
            reason(TextId::MsgMediaNoStreams);
        } else if (!contains(format->videoCodecs, facts.video->codec)) {
            reason(TextId::MsgMediaVideoCodec,
                   {codecTitle(facts.video->codec), format->videoCodecsText, rowExtensions});
        } else {
            if (!format->videoTags.empty() && !contains(format->videoTags, UpperCase(facts.video->tag)))
                reason(TextId::MsgMediaVideoTag, {facts.video->tag.empty() ? "(none)" : facts.video->tag});
            const int width = facts.jpeg ? facts.jpeg->width : facts.video->width;
            const int height = facts.jpeg ? facts.jpeg->height : facts.video->height;
            if (width > format->maxWidth || height > format->maxHeight)
                reason(format->kind == MediaKind::Picture ? TextId::MsgMediaPictureTooLarge
                                                          : TextId::MsgMediaVideoTooLarge,
                       {std::to_string(width), std::to_string(height), std::to_string(format->maxWidth),
                        std::to_string(format->maxHeight)});
        }
    }
    if (format->jpegRules && facts.jpeg) {
        if (facts.jpeg->progressive)
            reason(TextId::MsgMediaProgressiveJpeg);
        if (facts.jpeg->cmyk)
            reason(TextId::MsgMediaCmykJpeg);
        if (facts.jpeg->precision != 8)
            reason(TextId::MsgMediaJpegPrecision, {std::to_string(facts.jpeg->precision)});
    }
    if (!format->audioCodecs.empty() && facts.audio && !contains(format->audioCodecs, facts.audio->codec))
        reason(TextId::MsgMediaAudioCodec,
               {codecTitle(facts.audio->codec), format->audioCodecsText, rowExtensions});
    if (format->kind == MediaKind::Audio && !facts.audio)
        reason(TextId::MsgMediaNoStreams);
    verdict.plays = verdict.reasons.empty();
    return verdict;
}

bool IsProbeFailureNotTheFiles(const MediaReason& failure) {
    return failure.text == TextId::MsgMediaToolMissing ||
           failure.text == TextId::MsgMediaToolMissingWindows || failure.text == TextId::MsgMediaProbeNotRun;
}

const char* MediaKindName(MediaKind kind) {
    switch (kind) {
    case MediaKind::Picture:
        return "picture";
    case MediaKind::Video:
        return "video";
    case MediaKind::Audio:
        return "audio";
    case MediaKind::Unknown:
        break;
    }
    return "unknown";
}

std::string MediaReasonText(const MediaReason& reason, const ScreenTexts& texts) {
    return FillIn(texts.text(reason.text), reason.values);
}

std::string MediaReasonsText(const MediaVerdict& verdict, const ScreenTexts& texts) {
    std::string why;
    for (const MediaReason& reason : verdict.reasons) {
        if (!why.empty())
            why += "; ";
        why += MediaReasonText(reason, texts);
    }
    return why;
}

} // namespace velmo
