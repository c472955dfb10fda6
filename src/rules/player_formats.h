#pragma once

// The player's formats, as data: the one place to change when a real player disagrees.

#include "rules/media_facts.h"

#include <string>
#include <string_view>
#include <vector>

namespace velmo {

struct PlayerFormat {
    std::vector<std::string> extensions; // upper case, without the dot
    MediaKind kind = MediaKind::Unknown;
    std::vector<std::string> containers; // FFmpeg's format names
    std::vector<std::string> videoCodecs;
    std::string videoCodecsText;        // how the reasons name them: "MPEG-1 and MPEG-2"
    std::vector<std::string> videoTags; // when not empty, the four-character codes it decodes
    int maxWidth = 0;                   // 0: no video or picture
    int maxHeight = 0;
    std::vector<std::string> audioCodecs;
    std::string audioCodecsText;
    bool jpegRules = false; // baseline, 8-bit, not CMYK
};

// Pictures of more pixels than this are refused: neither the player nor a player copy can take them
// (ffmpeg would need gigabytes to decode one).
inline constexpr long long kMaxConvertPixels = 16384LL * 16384LL;

// The row for an extension (any letter case, without the dot); null when the player plays none.
const PlayerFormat* PlayerFormatFor(std::string_view extension);

// Whether the name ends in an extension the player plays, in any letter case: the files a clean-up
// of the player's medium may touch, and no others.
bool IsPlayerMediaFileName(const std::string& name);

// What a file of this name most likely holds, by its extension alone: for a file that could not be
// examined.
MediaKind MediaKindByExtension(const std::string& fileName);

// The verdict on a file named `fileName` with these facts, every reason the table gives.
MediaVerdict JudgeMedia(const std::string& fileName, const MediaFacts& facts);

} // namespace velmo
