#pragma once

// Write's summary: the facts a person checks before the stick goes out (which medium and how much
// room is left on it, how long each list plays, how many files change). The editor's dialog and the
// tool's `publish` say the same lines.

#include "media/media_probe.h"
#include "media/media_summary.h"
#include "model/publish_settings.h"
#include "model/schedule.h"
#include "rules/publish.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace velmo {

class ScreenTexts;

// What the medium holds once the plan is written, by stored name in upper case ("SONG.MP3",
// "CLIP."): each file that goes on it examined where the write takes it from (its media folder, or
// the medium for a file kept there without a source). Reads the files: off the window's thread.
std::map<std::string, MediaFileInfo> PublishedMedia(const PublishPlan& plan, MediaProbeCache& cache);

// "Medium: SHOP, 7.4 GiB free before, 7.2 GiB free after", "Basic Schedule, each round: 12 files ·
// 14 min 20 s", one such line per period, then "3 kept, 2 copied, 1 replaced, 0 removed". The
// lengths are those the lists show, of the files the medium will hold.
std::vector<std::string> PublishSummaryLines(const PublishPlan& plan, const Schedule& schedule,
                                             const MediumIdentity& medium,
                                             const std::map<std::string, MediaFileInfo>& media,
                                             const ScreenTexts& texts);

// "512 bytes", "1.5 KiB", "132.0 MiB", "74.8 GiB": one decimal from KiB on.
std::string DataSizeText(std::uint64_t bytes, const ScreenTexts& texts);

} // namespace velmo
