#pragma once
// What the editor says about the media a schedule names: one file's facts for its tooltip, and how
// long a list runs, beside the list's title.
#include "media/media_probe.h"
#include "texts/screen_texts.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velmo {

// A name the schedule uses, looked up in the media folders and examined there.
struct MediaFileInfo {
    bool found = false; // in one of the media folders; `media` and `size` only then
    std::uint64_t size = 0;
    ExaminedMedia media;
};

// "14 min 20 s", "1 h 2 min", "3 s"; whole seconds, rounded.
std::string DurationText(double seconds, const ScreenTexts& texts);

// One fact a line: kind, size, length, resolution, codecs, then whether it plays and why not.
std::string MediaFactsText(const MediaFileInfo& info, const ScreenTexts& texts);

struct ListedMedia {
    const MediaFileInfo* info = nullptr; // null while not yet examined
    int playTimes = 1;
};

// How long a list plays, counting its rows as the list shows them: "12 files · 14 min 20 s" when
// every row is a timed file that plays, "6 pictures" when every one is a picture, else
// "10 files: 6 timed (1 min 46 s), 3 pictures, 1 will not play": the timed ones' lengths times their
// play counts, the pictures apart (the player decides how long one shows). Empty while a file is not
// yet examined or when nothing in the list plays.
std::string ListLengthText(const std::vector<ListedMedia>& list, const ScreenTexts& texts);

} // namespace velmo
