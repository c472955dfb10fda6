#pragma once

// Player copies: for each file, a copy the player plays, under the player's name, in a target
// folder. Pictures, video and audio are converted by the ffmpeg program; a file that already plays
// is copied unchanged. Originals are never changed, and no partial file ever bears a player name.

#include "rules/media_facts.h"

#include <functional>
#include <optional>
#include <string>

namespace velmo {

enum class TvStandard { Pal, Ntsc };

struct ConvertOptions {
    TvStandard tv = TvStandard::Pal;
    double probeTimeoutSeconds = 10;
    double convertTimeoutSeconds = 6 * 3600; // a converter that hangs is killed at last
    // Called with the name about to be taken, just before it is; lets a test make another
    // conversion take it first.
    std::function<void(const std::string& name)> beforeNameTaken;
    // Whether a different file elsewhere (the schedule, another media folder) holds a name: such a
    // name is passed over for the next variant, as one taken in the target folder is.
    std::function<bool(const std::string& name)> heldElsewhere;
};

struct ConvertProgress {
    std::string source;
    double fraction = 0; // 0..1 for this file
};
// Called as the work goes on; false cancels.
using ConvertProgressCallback = std::function<bool(const ConvertProgress&)>;

struct ConvertOutcome {
    enum class Action { Converted, Copied, Failed };
    Action action = Action::Failed;
    std::string source;
    std::string name;                  // the player name it was written under
    std::optional<MediaReason> reason; // Failed: why
    bool cancelled = false;
};

// Makes the player copy of one file in targetDir. A name taken there by a different file gets a
// suffix ("NAME-2.JPG"); a name holding the very same bytes already is left as it is. No file is
// ever replaced: the copy takes its name only while that name is free.
ConvertOutcome MakePlayerCopy(const std::string& source, const std::string& targetDir,
                              const ConvertOptions& options = {},
                              const ConvertProgressCallback& progress = {});

// The first frame of the video in `path`, scaled by ffmpeg to fit `width` × `height`, as JPEG bytes
// (the encoder every ffmpeg build has; the Windows one has no PNG); empty when it holds no video,
// cannot be read or takes longer than `timeoutSeconds`.
std::string VideoFrameJpeg(const std::string& path, int width, int height, double timeoutSeconds = 10);

} // namespace velmo
