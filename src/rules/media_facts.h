#pragma once

// What probing finds in a media file, and the player's verdict on it, free of any toolkit.
// Reasons are screen-text ids with their values, so the tool and the editor show them in the
// active language.

#include "texts/screen_texts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmo {

enum class MediaKind { Picture, Video, Audio, Unknown };

// "picture", "video", "audio", "unknown".
const char* MediaKindName(MediaKind kind);

struct VideoFacts {
    std::string codec; // FFmpeg's codec name: "mpeg2video", "mpeg4", "h264", "mjpeg", "png"
    std::string tag;   // the container's four-character code, "XVID"; empty when it has none
    int width = 0;
    int height = 0;
    bool operator==(const VideoFacts&) const = default;
};

struct AudioFacts {
    std::string codec; // "mp2", "mp3", "ac3", "pcm_s16le", "aac"
    int sampleRate = 0;
    bool operator==(const AudioFacts&) const = default;
};

// The header facts of a JPEG picture that decide whether the player shows it.
struct JpegFacts {
    bool progressive = false;
    bool cmyk = false; // CMYK or YCCK
    int precision = 8; // bits per sample
    int width = 0;
    int height = 0;
    bool operator==(const JpegFacts&) const = default;
};

struct MediaReason {
    TextId text = TextId::MsgMediaDamaged;
    std::vector<std::string> values; // %1, %2, ...
    bool operator==(const MediaReason&) const = default;
};

struct MediaFacts {
    MediaKind kind = MediaKind::Unknown;
    std::string container; // FFmpeg's short format name: "mpeg", "avi", "jpeg_pipe"; empty when unknown
    std::optional<VideoFacts> video;
    std::optional<AudioFacts> audio;
    std::optional<double> duration; // seconds; none for pictures and unknown files
    std::optional<JpegFacts> jpeg;  // JPEG pictures, when libjpeg-turbo read the header
    int orientation = 1;            // EXIF orientation 1..8 of a picture, when known
    // Set when the file could not be examined at all (unreadable, damaged, probe failed); the
    // verdict then carries only this reason.
    std::optional<MediaReason> failure;
    bool operator==(const MediaFacts&) const = default;
};

struct MediaVerdict {
    bool plays = false;
    std::vector<MediaReason> reasons; // empty when it plays; why not examined when not examined
    // False when the file could not be looked into for a cause that is not the file's (no FFmpeg, a
    // probe that could not run): nothing is known against it, so no mark, warning or copy follows.
    bool examined = true;
    bool willNotPlay() const { return !plays && examined; }
};

// Whether a probe's failure says nothing about the file itself (the probing program is missing or
// could not run).
bool IsProbeFailureNotTheFiles(const MediaReason& failure);

// A reason in the given texts, values filled in.
std::string MediaReasonText(const MediaReason& reason, const ScreenTexts& texts);
// Every reason of a verdict, in the given texts, joined by "; ".
std::string MediaReasonsText(const MediaVerdict& verdict, const ScreenTexts& texts);

} // namespace velmo
