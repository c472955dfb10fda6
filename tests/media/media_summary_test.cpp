#include "media/media_summary.h"

#include <gtest/gtest.h>

namespace velmo {
namespace {

MediaFileInfo examined(MediaKind kind, std::optional<double> duration, bool plays) {
    MediaFileInfo info;
    info.found = true;
    info.size = 2048;
    info.media.facts.kind = kind;
    info.media.facts.duration = duration;
    info.media.verdict.plays = plays;
    if (!plays)
        info.media.verdict.reasons.push_back({TextId::MsgMediaEmpty, {}});
    return info;
}

TEST(DurationText, wholeSecondsInHoursMinutesAndSeconds) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {{0, "0 s"},           {0.4, "0 s"},  {59.6, "1 min"},
                 {860, "14 min 20 s"}, {3600, "1 h"}, {3725, "1 h 2 min 5 s"}};
    for (const auto& c : cases)
        EXPECT_EQ(DurationText(c.seconds, EnglishTexts()), c.text) << c.seconds;
}

TEST(ListLengthText, countsEveryRowTimesPlayCountsAndPicturesApart) {
    const MediaFileInfo video = examined(MediaKind::Video, 30.0, true);
    const MediaFileInfo song = examined(MediaKind::Audio, 200.0, true);
    const MediaFileInfo picture = examined(MediaKind::Picture, std::nullopt, true);
    const MediaFileInfo broken = examined(MediaKind::Video, 100.0, false);
    MediaFileInfo missing;
    const struct {
        std::vector<ListedMedia> list;
        const char* text;
        const char* japanese;
    } cases[] = {
        {{}, "", ""},
        {{{&video, 2}, {&song, 3}}, "2 files · 11 min", "2 ファイル · 11 分"},
        {{{&picture, 1}}, "1 picture", "画像 1 枚"},
        {{{&picture, 1}, {&picture, 3}}, "2 pictures", "画像 2 枚"},
        // Mixed rows: every row counted, then what they are, adding up to the list's rows.
        {{{&video, 1}, {&picture, 1}, {&picture, 5}},
         "3 files: 1 timed (30 s), 2 pictures",
         "3 ファイル: 時間のあるもの 1 (30 秒)、画像 2 枚"},
        {{{&video, 1}, {&broken, 1}, {&missing, 1}},
         "3 files: 1 timed (30 s), 2 will not play",
         "3 ファイル: 時間のあるもの 1 (30 秒)、再生できないもの 2"},
        {{{&picture, 1}, {&missing, 1}},
         "2 files: 1 picture, 1 will not play",
         "2 ファイル: 画像 1 枚、再生できないもの 1"},
        {{{&broken, 1}, {&missing, 1}}, "", ""},
        {{{&video, 1}, {nullptr, 1}}, "", ""}, // one not examined yet: no length that would change
    };
    ScreenTexts japanese;
    japanese.LoadSecondLanguageTexts();
    for (const auto& c : cases) {
        EXPECT_EQ(ListLengthText(c.list, EnglishTexts()), c.text) << c.text;
        EXPECT_EQ(ListLengthText(c.list, japanese), c.japanese) << c.text;
    }
}

// The list: 10 rows, 6 of them timed files and 4 pictures.
TEST(ListLengthText, aListOfTimedFilesAndPicturesCountsAllItsRows) {
    const MediaFileInfo clip = examined(MediaKind::Video, 106.0 / 6, true);
    const MediaFileInfo picture = examined(MediaKind::Picture, std::nullopt, true);
    std::vector<ListedMedia> list(6, {&clip, 1});
    list.insert(list.end(), 4, {&picture, 1});
    EXPECT_EQ(ListLengthText(list, EnglishTexts()), "10 files: 6 timed (1 min 46 s), 4 pictures");
}

TEST(MediaFactsText, linesForKindSizeLengthResolutionCodecsAndVerdict) {
    MediaFileInfo video = examined(MediaKind::Video, 65.0, false);
    video.media.facts.video = VideoFacts{"h264", "", 1920, 1080};
    video.media.facts.audio = AudioFacts{"aac", 44100};
    const MediaFileInfo picture = examined(MediaKind::Picture, std::nullopt, true);
    const struct {
        MediaFileInfo info;
        const char* text;
    } cases[] = {
        {MediaFileInfo{}, "Not in any media folder"},
        {picture, "Picture\nSize: 2 KiB\nPlays on the player"},
        {video, "Video\nSize: 2 KiB\nLength: 1 min 5 s\nResolution: 1920 × 1080\nVideo codec: h264\n"
                "Sound codec: aac, 44100 Hz\nWill not play: the file is empty"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MediaFactsText(c.info, EnglishTexts()), c.text);
}

} // namespace
} // namespace velmo
