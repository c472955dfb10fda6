#include "media/publish_summary.h"

#include "support/schedule_builder.h"
#include "texts/screen_texts.h"

#include <gtest/gtest.h>

namespace velmo {
namespace {

using test::MakeFile;
using test::Period;

MediaFileInfo plays(MediaKind kind, std::optional<double> seconds) {
    MediaFileInfo info;
    info.found = true;
    info.media.facts.kind = kind;
    info.media.facts.duration = seconds;
    info.media.verdict.plays = true;
    return info;
}

PublishItem item(const std::string& name, PublishAction action) {
    PublishItem i;
    i.name = name;
    i.action = action;
    i.sourceDir = action == PublishAction::Remove ? "" : "/media/";
    return i;
}

TEST(PublishSummary, TheMediumItsRoomTheListsLengthsAndTheCounts) {
    const Schedule schedule = MakeSchedule(
        {MakeFile("SONG", "MP3", 2), MakeFile("CLIP", "AVI"), MakeFile("GONE", "JPG")},
        {Period("2026-12-01", "2026-12-24", kWeekDayAll, "00:00:00", "23:59:59",
                {MakeFile("CLIP", "AVI", 3), MakeFile("SHOP", "JPG")}),
         Period("2027-01-01", "2027-01-31", kWeekDayAll, "00:00:00", "23:59:59", {MakeFile("GONE", "JPG")})});
    // Looked up by the stored name in any letter case, as the plan names them.
    const std::map<std::string, MediaFileInfo> media = {{"SONG.MP3", plays(MediaKind::Audio, 200.0)},
                                                        {"CLIP.AVI", plays(MediaKind::Video, 30.0)},
                                                        {"SHOP.JPG", plays(MediaKind::Picture, {})}};
    PublishPlan plan;
    plan.items = {item("OLD.JPG", PublishAction::Remove), item("SONG.MP3", PublishAction::Keep),
                  item("CLIP.AVI", PublishAction::Replace), item("SHOP.JPG", PublishAction::Copy),
                  item("GONE.JPG", PublishAction::Missing)};
    plan.freeSpace = 8ull << 30;
    plan.freeAfter = (7ull << 30) + (300ull << 20);
    MediumIdentity shop;
    shop.label = "SHOP";
    shop.mountPoint = "/media/shop";
    // GONE.JPG is not there to copy: a row that will not play, as the list counts it.
    const std::vector<std::string> lengths = {
        "Basic Schedule, each round: 3 files: 2 timed (7 min 10 s), 1 will not play",
        "Advance 1, each round: 2 files: 1 timed (1 min 30 s), 1 picture",
        "Advance 2 plays nothing from this medium"};
    const auto with = [&lengths](const std::string& first) {
        std::vector<std::string> lines{first};
        lines.insert(lines.end(), lengths.begin(), lengths.end());
        lines.push_back("1 kept, 1 copied, 1 replaced, 1 removed");
        return lines;
    };
    PublishPlan unknownSpace = plan;
    unknownSpace.spaceKnown = false;
    const struct Case {
        const char* what;
        const PublishPlan& plan;
        MediumIdentity medium;
        std::vector<std::string> lines;
    } cases[] = {
        {"a labelled medium", plan, shop, with("Medium: SHOP, 8.0 GiB free before, 7.3 GiB free after")},
        {"a medium without a name", plan, MediumIdentity{"", "", "/mnt", "/dev/sdc1"},
         with("Medium: (no name), 8.0 GiB free before, 7.3 GiB free after")},
        {"a volume that gives no figure", unknownSpace, shop, with("Medium: SHOP, free space not known")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PublishSummaryLines(c.plan, schedule, c.medium, media, EnglishTexts()), c.lines) << c.what;
}

TEST(PublishSummary, DataSizesInBytesThenOneDecimal) {
    const struct {
        std::uint64_t bytes;
        const char* text;
    } cases[] = {{0, "0 bytes"},
                 {1023, "1023 bytes"},
                 {1024, "1.0 KiB"},
                 {1536, "1.5 KiB"},
                 {1024 * 1024 - 1, "1.0 MiB"},
                 {138412032, "132.0 MiB"},
                 {80315168768ull, "74.8 GiB"}};
    for (const auto& c : cases)
        EXPECT_EQ(DataSizeText(c.bytes, EnglishTexts()), c.text) << c.bytes;
}

} // namespace
} // namespace velmo
