#include "cli_runner.h"
#include "media/media_files.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace velmo {
namespace {

using test::runCli;
using test::TempDir;

class MediaCli : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::MakeWithFfmpeg(dir_.file("Croissant Special Offer.jpg"),
                                  {"-f", "lavfi", "-i", "testsrc=size=320x240", "-frames:v", "1"}))
            GTEST_SKIP() << "ffmpeg is not installed";
        ASSERT_TRUE(test::MakeWithFfmpeg(dir_.file("logo.png"),
                                         {"-f", "lavfi", "-i", "testsrc=size=64x64", "-frames:v", "1"}));
        ASSERT_TRUE(test::MakeWithFfmpeg(dir_.file("song.mp3"),
                                         {"-f", "lavfi", "-i", "sine", "-t", "1.5", "-c:a", "libmp3lame"}));
    }
    TempDir dir_;
};

TEST_F(MediaCli, MediaJson_hasExactlyTheKeysAndStatusFollowsTheVerdicts) {
    const auto run = runCli({"media", "--json", dir_.file("Croissant Special Offer.jpg"),
                             dir_.file("song.mp3"), dir_.file("logo.png"), dir_.file("none.mpg")});
    EXPECT_EQ(run.status, 1) << run.err;
    const auto list = nlohmann::ordered_json::parse(run.out);
    ASSERT_EQ(list.size(), 4u);
    const std::vector<std::string> keys = {"file",  "name",     "kind",  "container", "video",
                                           "audio", "duration", "plays", "reasons"};
    for (const auto& item : list) {
        std::vector<std::string> have;
        for (const auto& [key, value] : item.items())
            have.push_back(key);
        EXPECT_EQ(have, keys);
    }
    EXPECT_EQ(list[0]["name"], "CROISSANT_SPECIA.JPG");
    EXPECT_EQ(list[0]["kind"], "picture");
    EXPECT_EQ(list[0]["video"],
              (nlohmann::ordered_json{{"codec", "mjpeg"}, {"width", 320}, {"height", 240}}));
    EXPECT_TRUE(list[0]["duration"].is_null());
    EXPECT_EQ(list[0]["plays"], true);
    EXPECT_EQ(list[1]["audio"]["codec"], "mp3");
    EXPECT_NEAR(list[1]["duration"].get<double>(), 1.5, 0.1);
    EXPECT_EQ(list[2]["name"], "LOGO.JPG");
    EXPECT_EQ(list[2]["reasons"],
              nlohmann::ordered_json::array(
                  {".PNG files are not files the player plays (it plays .JPG, .MPG, .DAT, .VOB, "
                   ".AVI and .MP3)"}));
    EXPECT_TRUE(list[3]["container"].is_null());
    EXPECT_EQ(list[3]["plays"], false);

    EXPECT_EQ(runCli({"media", dir_.file("song.mp3")}).status, 0);
    EXPECT_EQ(runCli({"media"}).status, 2);
    EXPECT_EQ(runCli({"media", "--tv", "pal", dir_.file("song.mp3")}).status, 2);
}

TEST_F(MediaCli, CheckMedia_reportsMissingAndUnplayableNamesOnly) {
    const std::string json = R"({"basic": [{"name": "SONG.MP3", "playTimes": 1, "volume": 13},
                                           {"name": "LOGO.PNG", "playTimes": 1, "volume": 13},
                                           {"name": "GONE.MPG", "playTimes": 1, "volume": 13}], "advance": []})";
    TempDir other;
    ASSERT_EQ(runCli({"build", "-", other.file("s.vlm"), "--seed", "1"}, json).status, 0);
    const auto run = runCli({"check", other.file("s.vlm"), "--media", dir_.path(), "--media", other.path()});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errLines(),
              (std::vector<std::string>{
                  other.file("s.vlm") + ": basic entry 2: warning: LOGO.PNG will not play: .PNG "
                                        "files are not files the player plays (it plays .JPG, "
                                        ".MPG, .DAT, .VOB, .AVI and .MP3)",
                  other.file("s.vlm") + ": basic entry 3: warning: GONE.MPG is in no media folder"}));
    // Without --media the schedule's own folder is looked in.
    EXPECT_EQ(runCli({"check", other.file("s.vlm")}).errLines().size(), 3u);
    EXPECT_EQ(runCli({"check", other.file("s.vlm"), "--strict", "--media", dir_.path()}).status, 1);
}

TEST_F(MediaCli, Convert_printsOneLinePerFileAndStatusFollowsFailures) {
    TempDir target;
    const std::string croissant = dir_.file("Croissant Special Offer.jpg");
    const auto run =
        runCli({"convert", croissant, dir_.file("logo.png"), dir_.file("none.mpg"), "--to", target.path()});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, "copied  " + croissant + " -> CROISSANT_SPECIA.JPG\n" + "converted  " +
                           dir_.file("logo.png") + " -> LOGO.JPG\n" + "failed  " + dir_.file("none.mpg") +
                           ": cannot be read: No such file or directory\n");
    EXPECT_EQ(runCli({"media", target.file("CROISSANT_SPECIA.JPG"), target.file("LOGO.JPG")}).status, 0);
    EXPECT_EQ(runCli({"convert", dir_.file("song.mp3"), "--to", target.path(), "--tv", "ntsc"}).status, 0);

    EXPECT_EQ(runCli({"convert", croissant}).status, 2);
    EXPECT_EQ(runCli({"convert", croissant, "--to", target.path(), "--tv", "secam"}).status, 2);
    EXPECT_EQ(runCli({"convert", croissant, "--to", target.file("none")}).status, 2);
}

} // namespace
} // namespace velmo
