#include "cli_runner.h"
#include "media/media_files.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

namespace velmo {
namespace {

using test::runCli;
using test::TempDir;
using test::operator+;

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
                                           "audio", "duration", "plays", "examined",  "reasons"};
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

// Two pictures named alike: `media` and `convert` give the second the next free player name, and
// `check` warns about a schedule's name that both would fill.
TEST_F(MediaCli, TwoFilesOfOnePlayerName_getTwoNames_checkWarns) {
    TempDir pictures, target;
    const std::string first = pictures.file("Ägyptische Sammlung 01.JPG");
    const std::string second = pictures.file("Ägyptische Sammlung 02 groß.JPG");
    std::filesystem::copy_file(dir_.file("Croissant Special Offer.jpg"), first);
    ASSERT_TRUE(
        test::MakeWithFfmpeg(second, {"-f", "lavfi", "-i", "smptebars=size=64x48", "-frames:v", "1"}));
    std::filesystem::copy_file(first, pictures.file("same bytes.jpg"));
    const auto media = runCli({"media", first, second, first});
    EXPECT_EQ(media.status, 0);
    EXPECT_EQ(media.out, first + ": plays (picture, mjpeg 320x240), player name AGYPTISCHE_SAMML.JPG\n" +
                             second +
                             ": plays (picture, mjpeg 64x48), player name AGYPTISCHE_SAM-2.JPG "
                             "(AGYPTISCHE_SAMML.JPG is another file's)\n" +
                             first + ": plays (picture, mjpeg 320x240), player name AGYPTISCHE_SAMML.JPG\n");
    const auto convert = runCli({"convert", first, second, "--to", target.path()});
    EXPECT_EQ(convert.out, "copied  " + first + " -> AGYPTISCHE_SAMML.JPG\ncopied  " + second +
                               " -> AGYPTISCHE_SAM-2.JPG\n");

    const std::string json =
        R"({"basic": [{"name": "SAME_BYTES.JPG", "playTimes": 1, "volume": 13},
                      {"name": "AGYPTISCHE_SAMML.JPG", "playTimes": 1, "volume": 13}], "advance": []})";
    ASSERT_EQ(runCli({"build", "-", target.file("s.vlm"), "--seed", "1"}, json).status, 0);
    std::filesystem::copy_file(first, target.file("SAME_BYTES.JPG"));
    const auto check =
        runCli({"check", target.file("s.vlm"), "--media", target.path(), "--media", pictures.path()});
    EXPECT_EQ(check.errLines(),
              (std::vector<std::string>{target.file("s.vlm") +
                                        ": basic entry 2: warning: AGYPTISCHE_SAMML.JPG would be filled by 2 "
                                        "different files: " +
                                        target.file("AGYPTISCHE_SAMML.JPG") + ", " + second}));
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

// What the editor's Write paints, publish says: a warn line for each file that will not play, counted
// in the summary; --strict writes nothing then.
TEST_F(MediaCli, Publish_warnsAboutFilesThatWillNotPlay_strictRefuses) {
    ASSERT_TRUE(test::MakeWithFfmpeg(dir_.file("CLIP.MPG"), {"-f", "lavfi", "-i", "testsrc=size=320x240",
                                                             "-t", "1", "-c:v", "libx264", "-f", "vob"}));
    std::filesystem::copy_file(dir_.file("logo.png"), dir_.file("LOGO.JPG"));
    const std::string json = R"({"basic": [{"name": "SONG.MP3", "playTimes": 1, "volume": 13},
                                           {"name": "CLIP.MPG", "playTimes": 1, "volume": 13},
                                           {"name": "LOGO.JPG", "playTimes": 1, "volume": 13}], "advance": []})";
    ASSERT_EQ(runCli({"build", "-", dir_.file("show.vlm"), "--seed", "1"}, json).status, 0);
    TempDir stick;
    const std::vector<std::string> warnings = {
        "warn  CLIP.MPG: H.264 video: in .MPG, .DAT and .VOB files the player plays MPEG-1 and MPEG-2",
        "warn  LOGO.JPG: a PNG picture named .JPG"};
    const auto lines = [](const std::string& out) {
        std::vector<std::string> found;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("warn  ", 0) == 0 || line.find("will not play") != std::string::npos)
                found.push_back(line);
        return found;
    };
    const auto strict = runCli({"publish", dir_.file("show.vlm"), "--to", stick.path(), "--strict"});
    EXPECT_EQ(strict.status, 1) << strict.err;
    EXPECT_EQ(lines(strict.out),
              warnings + std::vector<std::string>{"not written: 2 files will not play (--strict)"});
    EXPECT_TRUE(std::filesystem::is_empty(stick.path()));

    const auto written = runCli({"publish", dir_.file("show.vlm"), "--to", stick.path()});
    EXPECT_EQ(written.status, 0) << written.err;
    EXPECT_EQ(lines(written.out),
              warnings +
                  std::vector<std::string>{
                      "3 copied, 0 replaced, 0 kept, 0 removed, 0 missing; schedule file written; 2 files "
                      "will not play"});
}

// One line per file, however the file is named; a cut-short file is no file to copy.
TEST_F(MediaCli, MediaAndConvert_escapeControlCharacters_refuseCutShortFiles) {
    const std::string odd = dir_.file("two\nlines.mp3");
    std::filesystem::copy_file(dir_.file("song.mp3"), odd);
    const std::string jpeg = test::ReadAll(dir_.file("Croissant Special Offer.jpg"));
    test::WriteBytes(dir_.file("HALF.JPG"), jpeg.substr(0, jpeg.size() / 2));
    TempDir target;
    const auto grouped = [](std::size_t n) {
        std::string digits = std::to_string(n);
        for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
            digits.insert(static_cast<std::size_t>(at), " ");
        return digits;
    };
    const auto media = runCli({"media", odd, dir_.file("HALF.JPG")});
    EXPECT_EQ(media.status, 1);
    EXPECT_EQ(media.out, dir_.file("two\\nlines.mp3") +
                             ": plays (audio, mp3 44100 Hz, 1.5 s), player name "
                             "TWO_LINES.MP3\n" +
                             dir_.file("HALF.JPG") + ": will not play (unknown), player name HALF.JPG\n" +
                             "  damaged: cut short (ends after " + grouped(jpeg.size() / 2) +
                             " bytes; a JPEG ends with its end marker)\n")
        << media.out;
    const auto convert = runCli({"convert", odd, dir_.file("HALF.JPG"), "--to", target.path()});
    EXPECT_EQ(convert.status, 1);
    EXPECT_EQ(convert.out.substr(0, convert.out.find('\n') + 1),
              "copied  " + dir_.file("two\\nlines.mp3") + " -> TWO_LINES.MP3\n");
    EXPECT_NE(convert.out.find("failed  " + dir_.file("HALF.JPG") + ": damaged: cut short"),
              std::string::npos)
        << convert.out;
    EXPECT_FALSE(std::filesystem::exists(target.file("HALF.JPG")));

    const auto nowhere = runCli({"convert", odd, "--to", target.file("none")});
    EXPECT_EQ(nowhere.status, 2);
    EXPECT_EQ(nowhere.err, "velmo-schedule: " + target.file("none") + ": no such directory\n");
}

} // namespace
} // namespace velmo
