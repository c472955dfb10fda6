#pragma once

// The files a player copy is made from, by extension: what the converter's ffmpeg reads as a
// picture, a video or a sound. Browse offers them; the player's own formats are among them, since a
// JPEG or AVI the player refuses is converted too.

#include <array>
#include <string>

namespace velmo {

inline constexpr std::array kConvertibleExtensions = {
    // pictures
    "jpg", "jpeg", "png", "webp", "gif", "bmp", "tif", "tiff",
    // videos
    "avi", "mpg", "mpeg", "dat", "vob", "mp4", "m4v", "mov", "mkv", "webm", "3gp", "wmv", "flv", "ts", "mts",
    "m2ts",
    // sounds
    "mp3", "wav", "m4a", "aac", "flac", "ogg", "oga", "opus", "wma"};

// "*.jpg;*.jpeg;..." for a file dialog's filter.
inline std::string ConvertiblePatterns() {
    std::string patterns;
    for (const char* extension : kConvertibleExtensions)
        patterns += (patterns.empty() ? "*." : ";*.") + std::string(extension);
    return patterns;
}

} // namespace velmo
