#include "publish_summary.h"

#include "model/file_system.h"
#include "rules/entry_rules.h"
#include "rules/schedule_sense.h"
#include "texts/screen_texts.h"

#include <cstdio>

namespace velmo {

namespace {

// "Basic Schedule, each round: 12 files · 14 min 20 s", as the list's title counts them.
std::string lengthLine(TextId pattern, const std::string& who, const std::vector<FileEntry>& files, int count,
                       const std::map<std::string, MediaFileInfo>& media, const ScreenTexts& texts) {
    // A file the medium will not hold plays nothing there.
    static const MediaFileInfo absent;
    std::vector<ListedMedia> listed;
    for (int k = 0; k < count && k < static_cast<int>(files.size()); ++k) {
        const FileEntry& entry = files[static_cast<std::size_t>(k)];
        const auto it = media.find(UpperCase(StoredNameText(entry)));
        listed.push_back({it == media.end() ? &absent : &it->second, entry.playTimes});
    }
    const std::string length = ListLengthText(listed, texts);
    if (length.empty())
        return FillIn(texts.text(TextId::MsgPublishNothingPlays), {who});
    return pattern == TextId::MsgPublishLengthBasic ? FillIn(texts.text(pattern), {length})
                                                    : FillIn(texts.text(pattern), {who, length});
}

} // namespace

std::map<std::string, MediaFileInfo> PublishedMedia(const PublishPlan& plan, MediaProbeCache& cache) {
    std::vector<std::string> names;
    std::vector<std::string> paths;
    std::vector<std::uint64_t> sizes;
    for (const PublishItem& item : plan.items) {
        if (item.goesOnMedium())
            paths.push_back(item.sourcePath());
        else if (item.action == PublishAction::Keep && !item.mediumName.empty())
            paths.push_back(plan.destination + item.mediumName);
        else
            continue;
        names.push_back(UpperCase(item.name));
        sizes.push_back(item.size);
    }
    std::map<std::string, MediaFileInfo> media;
    const std::vector<ExaminedMedia> examined = cache.examineAll(paths);
    for (std::size_t i = 0; i < examined.size() && i < names.size(); ++i)
        media[names[i]] = MediaFileInfo{true, sizes[i], examined[i]};
    return media;
}

std::vector<std::string> PublishSummaryLines(const PublishPlan& plan, const Schedule& schedule,
                                             const MediumIdentity& medium,
                                             const std::map<std::string, MediaFileInfo>& media,
                                             const ScreenTexts& texts) {
    std::vector<std::string> lines;
    const std::string name = medium.label.empty() ? texts.text(TextId::TextNoLabel) : medium.label;
    if (plan.spaceKnown)
        lines.push_back(
            FillIn(texts.text(TextId::MsgPublishMedium),
                   {name, DataSizeText(plan.freeSpace, texts), DataSizeText(plan.freeAfter, texts)}));
    else
        lines.push_back(FillIn(texts.text(TextId::MsgPublishMediumSpaceUnknown), {name}));
    lines.push_back(lengthLine(TextId::MsgPublishLengthBasic, texts.text(TextId::TextBasicSchedule),
                               schedule.basicEntries, schedule.basicCount, media, texts));
    for (int i = 0; i < schedule.advanceCount && i < static_cast<int>(schedule.advanceEntries.size()); ++i) {
        const AdvanceEntry& period = schedule.advanceEntries[static_cast<std::size_t>(i)];
        lines.push_back(lengthLine(TextId::MsgPublishLengthPeriod, EntryLabel(EntryId::advance(i), texts),
                                   period.files, period.fileCount, media, texts));
    }
    lines.push_back(FillIn(texts.text(TextId::MsgPublishSummaryCounts),
                           {std::to_string(plan.count(PublishAction::Keep)),
                            std::to_string(plan.count(PublishAction::Copy)),
                            std::to_string(plan.count(PublishAction::Replace)),
                            std::to_string(plan.count(PublishAction::Remove))}));
    return lines;
}

std::string DataSizeText(std::uint64_t bytes, const ScreenTexts& texts) {
    if (bytes < 1024)
        return FillIn(texts.text(TextId::TextSizeBytes), {std::to_string(bytes)});
    static const char* const units[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    double value = static_cast<double>(bytes) / 1024;
    std::size_t unit = 0;
    // 1023.96 KiB would print as "1024.0 KiB": the next unit says it better.
    while (value >= 1023.95 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

} // namespace velmo
