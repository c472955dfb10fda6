#include "media/media_convert.h"
#include "media/media_probe.h"
#include "media_files.h"
#include "model/temp_dir.h"

#ifdef VELMO_HAVE_MEDIA_LIBRARIES
#include "jpeg_writer.h"
#endif

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <memory>

namespace velmo {
namespace {

using test::MakeWithFfmpeg;
using test::operator+;
using test::Pattern;
using test::Tone;

class PlayerCopies : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!test::FfmpegInstalled())
            return;
        sources_ = std::make_unique<test::TempDir>();
        const auto make = [](const std::string& name, const std::vector<std::string>& args) {
            ASSERT_TRUE(MakeWithFfmpeg(sources_->file(name), args)) << name;
        };
        make("Phone Video.mp4", Pattern("640x360", "2") + Tone("44100", "2") +
                                    std::vector<std::string>{"-c:v", "libx264", "-c:a", "aac"});
        make("clip.mpg", Pattern("352x288") + Tone() +
                             std::vector<std::string>{"-c:v", "mpeg2video", "-c:a", "mp2", "-f", "dvd"});
        make("Croissant Special Offer.jpg", Pattern("320x240") + std::vector<std::string>{"-frames:v", "1"});
        make("Poster.png", Pattern("2000x1200") + std::vector<std::string>{"-frames:v", "1"});
        make("logo.png", {"-f", "lavfi", "-i", "color=c=red@0.0:s=64x64,format=rgba", "-frames:v", "1"});
        make("voice.wav", Tone("44100"));
#ifdef VELMO_HAVE_MEDIA_LIBRARIES
        ASSERT_TRUE(test::WriteTestJpeg(sources_->file("upright.jpg"), 64, 48, true, false, 6));
#endif
        test::WriteBytes(sources_->file("noise.mpg"), std::string(3000, '\x47'));
    }
    static void TearDownTestSuite() {
        sources_.reset();
    }
    void SetUp() override {
        if (!sources_)
            GTEST_SKIP() << "ffmpeg is not installed";
    }
    static std::string source(const std::string& name) {
        return sources_->file(name);
    }

    // The files in the target, hidden ones included.
    std::vector<std::string> targetNames() const {
        return target_.names();
    }

    static std::unique_ptr<test::TempDir> sources_;
    test::TempDir target_;
};

std::unique_ptr<test::TempDir> PlayerCopies::sources_;

// The average brightness (0..255) of a strip of rows of the first frame.
int brightness(const std::string& path, const std::string& crop) {
    ProcessRequest request;
    request.argv = {FfmpegProgram(),     "-v", "error",    "-i",       path,   "-frames:v", "1", "-vf",
                    crop + ",scale=1:1", "-f", "rawvideo", "-pix_fmt", "gray", "-"};
    const ProcessOutcome run = RunProcess(request);
    return run.succeeded() && run.out.size() == 1 ? static_cast<unsigned char>(run.out[0]) : -1;
}

TEST_F(PlayerCopies, MakePlayerCopy_eachKind_givesAPlayableCopyUnderThePlayerName) {
    struct Case {
        const char* source;
        ConvertOutcome::Action action;
        const char* name;
        MediaKind kind;
        const char* codec;
        int width;
        int height;
    };
    const std::vector<Case> cases = {
        {"Phone Video.mp4", ConvertOutcome::Action::Converted, "PHONE_VIDEO.MPG", MediaKind::Video,
         "mpeg2video", 720, 576},
        {"clip.mpg", ConvertOutcome::Action::Copied, "CLIP.MPG", MediaKind::Video, "mpeg2video", 352, 288},
        {"Croissant Special Offer.jpg", ConvertOutcome::Action::Copied, "CROISSANT_SPECIA.JPG",
         MediaKind::Picture, "mjpeg", 320, 240},
        {"Poster.png", ConvertOutcome::Action::Converted, "POSTER.JPG", MediaKind::Picture, "mjpeg", 1800,
         1080},
        {"logo.png", ConvertOutcome::Action::Converted, "LOGO.JPG", MediaKind::Picture, "mjpeg", 64, 64},
        {"voice.wav", ConvertOutcome::Action::Converted, "VOICE.MP3", MediaKind::Audio, "", 0, 0},
#ifdef VELMO_HAVE_MEDIA_LIBRARIES
        {"upright.jpg", ConvertOutcome::Action::Converted, "UPRIGHT.JPG", MediaKind::Picture, "mjpeg", 48,
         64},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        const ConvertOutcome made = MakePlayerCopy(source(c.source), target_.dir());
        ASSERT_EQ(made.action, c.action) << (made.reason ? TextIdName(made.reason->text) : "");
        EXPECT_EQ(made.name, c.name);
        const ExaminedMedia copy = ExamineMedia(target_.file(c.name));
        EXPECT_TRUE(copy.verdict.plays);
        EXPECT_EQ(copy.facts.kind, c.kind);
        if (c.width > 0) {
            ASSERT_TRUE(copy.facts.video);
            EXPECT_EQ(copy.facts.video->codec, c.codec);
            EXPECT_EQ(copy.facts.video->width, c.width);
            EXPECT_EQ(copy.facts.video->height, c.height);
        }
        if (c.kind == MediaKind::Video) {
            ASSERT_TRUE(copy.facts.duration);
            EXPECT_NEAR(*copy.facts.duration, *ExamineMedia(source(c.source)).facts.duration, 0.3);
        }
    }
    // Copies are exact, and every original is as it was.
    EXPECT_EQ(test::ReadAll(target_.file("CLIP.MPG")), test::ReadAll(source("clip.mpg")));
    EXPECT_TRUE(ExamineMedia(source("Poster.png")).facts.video->width == 2000);
    // 16:9 in a 4:3 frame: black bars above and below, picture in the middle.
    EXPECT_LT(brightness(target_.file("PHONE_VIDEO.MPG"), "crop=720:40:0:0"), 20);
    EXPECT_GT(brightness(target_.file("PHONE_VIDEO.MPG"), "crop=720:200:0:188"), 60);
    // Transparency becomes white.
    EXPECT_GT(brightness(target_.file("LOGO.JPG"), "null"), 240);
    // Nothing else is left behind.
    EXPECT_EQ(targetNames().size(), cases.size());
}

// Every shape of picture fits the 4:3 frame whole, as it is seen (square pixels or not):
// letterboxed or pillarboxed, never stretched or cut.
TEST_F(PlayerCopies, MakePlayerCopy_videoShapes_fitTheFrameWithoutStretching) {
    const struct {
        const char* size;
        const char* sar;
        bool barsAbove;  // black at the top of the frame's middle column
        bool tallBars;   // still black 100 rows down (wider than 16:9)
        bool barsBeside; // black at the left of the frame's middle row
    } cases[] = {
        {"1920x1080", "1", true, false, false},   // 16:9
        {"640x480", "1", false, false, false},    // 4:3: fills the frame
        {"1080x1920", "1", false, false, true},   // a phone held upright
        {"720x576", "64/45", true, false, false}, // a 16:9 DVD's wide pixels
        {"2560x1080", "1", true, true, false},    // 21:9
    };
    test::TempDir shapes;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.size) + " " + c.sar);
        const std::string clip = shapes.file(std::string(c.size) + ".mp4");
        ASSERT_TRUE(
            MakeWithFfmpeg(clip, {"-f", "lavfi", "-i", std::string("color=c=white:r=25:s=") + c.size, "-t",
                                  "1", "-vf", std::string("setsar=") + c.sar, "-c:v", "libx264"}));
        test::TempDir target;
        const ConvertOutcome made = MakePlayerCopy(clip, target.dir());
        ASSERT_EQ(made.action, ConvertOutcome::Action::Converted);
        const std::string copy = target.file(made.name);
        EXPECT_EQ(ExamineMedia(copy).facts.video, (VideoFacts{"mpeg2video", "", 720, 576}));
        const auto black = [&copy](const char* crop) {
            const int level = brightness(copy, crop);
            EXPECT_TRUE(level < 40 || level > 200) << crop << ": " << level;
            return level < 40;
        };
        EXPECT_FALSE(black("crop=60:60:330:258"));
        EXPECT_EQ(black("crop=100:20:310:0"), c.barsAbove);
        EXPECT_EQ(black("crop=100:20:310:100"), c.tallBars);
        EXPECT_EQ(black("crop=40:100:0:238"), c.barsBeside);
    }
}

TEST_F(PlayerCopies, MakePlayerCopy_ntsc_givesTheNtscFrame) {
    ConvertOptions ntsc;
    ntsc.tv = TvStandard::Ntsc;
    const ConvertOutcome made = MakePlayerCopy(source("Phone Video.mp4"), target_.dir(), ntsc);
    ASSERT_EQ(made.action, ConvertOutcome::Action::Converted);
    const ExaminedMedia copy = ExamineMedia(target_.file(made.name));
    EXPECT_EQ(copy.facts.video, (VideoFacts{"mpeg2video", "", 720, 480}));
    EXPECT_EQ(copy.facts.audio, (AudioFacts{"mp2", 48000}));
}

TEST_F(PlayerCopies, MakePlayerCopy_nameTakenByAnotherFile_getsASuffix_sameFileKeepsItsName) {
    test::WriteBytes(target_.file("CLIP.MPG"), "another file");
    const ConvertOutcome first = MakePlayerCopy(source("clip.mpg"), target_.dir());
    EXPECT_EQ(first.name, "CLIP-2.MPG");
    EXPECT_EQ(test::ReadAll(target_.file("CLIP.MPG")), "another file");
    const ConvertOutcome again = MakePlayerCopy(source("clip.mpg"), target_.dir());
    EXPECT_EQ(again.action, ConvertOutcome::Action::Copied);
    EXPECT_EQ(again.name, "CLIP-2.MPG");
    EXPECT_EQ(targetNames().size(), 2u);
}

// Two conversions of two files of one name into one folder at once: the second takes the name just
// before the first would, which then goes on to the next free name. Both copies stay.
TEST_F(PlayerCopies, MakePlayerCopy_twoRacingForOneName_neitherReplacesTheOther) {
    test::TempDir other;
    std::filesystem::copy_file(source("clip.mpg"), other.file("clip.mpg"));
    { std::ofstream(other.file("clip.mpg"), std::ios::app) << 'x'; } // one byte apart
    ConvertOutcome second;
    ConvertOptions racing;
    racing.beforeNameTaken = [&](const std::string& name) {
        if (second.name.empty())
            second = MakePlayerCopy(other.file("clip.mpg"), target_.dir());
        EXPECT_TRUE(name == "CLIP.MPG" || name == "CLIP-2.MPG") << name;
    };
    const ConvertOutcome first = MakePlayerCopy(source("clip.mpg"), target_.dir(), racing);
    EXPECT_EQ(second.name, "CLIP.MPG");
    EXPECT_EQ(first.name, "CLIP-2.MPG");
    EXPECT_EQ(test::ReadAll(target_.file("CLIP.MPG")), test::ReadAll(other.file("clip.mpg")));
    EXPECT_EQ(test::ReadAll(target_.file("CLIP-2.MPG")), test::ReadAll(source("clip.mpg")));
    std::vector<std::string> names = targetNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"CLIP-2.MPG", "CLIP.MPG"}));
}

// A work folder left by a killed conversion goes with the next conversion into that folder; one whose
// lock is held (a conversion under way) stays.
TEST_F(PlayerCopies, MakePlayerCopy_removesLeftWorkFoldersButNotOneInUse) {
    const struct {
        const char* name;
        bool lock;
        bool held;
        bool stays;
    } cases[] = {{".velmo-convert-1", true, false, false},
                 {".velmo-convert-2", false, false, false},
                 {".velmo-convert-3", true, true, true}};
    std::vector<int> held;
    for (const auto& c : cases) {
        std::filesystem::create_directory(target_.file(c.name));
        test::WriteBytes(target_.file(std::string(c.name) + "/OUT.MPG"), "half");
        if (!c.lock)
            continue;
        const int fd = ::open(target_.file(std::string(c.name) + ".lock").c_str(), O_RDWR | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        if (c.held) {
            ASSERT_EQ(::flock(fd, LOCK_EX), 0);
        }
        held.push_back(fd);
    }
    EXPECT_EQ(MakePlayerCopy(source("clip.mpg"), target_.dir()).name, "CLIP.MPG");
    for (const auto& c : cases)
        EXPECT_EQ(std::filesystem::exists(target_.file(c.name)), c.stays) << c.name;
    std::vector<std::string> names = targetNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".velmo-convert-3", ".velmo-convert-3.lock", "CLIP.MPG"}));
    for (const int fd : held)
        ::close(fd);
}

TEST_F(PlayerCopies, MakePlayerCopy_failures_leaveNoFileUnderAPlayerName) {
    const std::string killer = sources_->file("killed-ffmpeg.sh");
    // Writes a little of its output, then dies as a killed converter would.
    test::WriteBytes(killer,
                     "#!/bin/sh\nfor last; do :; done\necho partial > \"${last#file:}\"\nkill -9 $$\n");
    ::chmod(killer.c_str(), 0755);
    struct Case {
        const char* what;
        const char* source;
        const char* ffmpeg; // VELMO_FFMPEG, or null
        bool cancel;
        TextId reason;
    };
    const Case cases[] = {
        {"cancelled", "Phone Video.mp4", nullptr, true, TextId::MsgMediaConvertCancelled},
        {"ffmpeg missing", "Phone Video.mp4", "/nonexistent/ffmpeg", false, TextId::MsgMediaToolMissing},
        {"converter killed half way", "Phone Video.mp4", killer.c_str(), false, TextId::MsgMediaProbeCrashed},
        {"damaged source", "noise.mpg", nullptr, false, TextId::MsgMediaDamaged},
        {"missing source", "none.mpg", nullptr, false, TextId::MsgMediaUnreadable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.ffmpeg)
            ::setenv("VELMO_FFMPEG", c.ffmpeg, 1);
        const ConvertOutcome made = MakePlayerCopy(source(c.source), target_.dir(), {},
                                                   [&](const ConvertProgress&) { return !c.cancel; });
        ::unsetenv("VELMO_FFMPEG");
        EXPECT_EQ(made.action, ConvertOutcome::Action::Failed);
        ASSERT_TRUE(made.reason);
        EXPECT_EQ(made.reason->text, c.reason);
        EXPECT_EQ(made.cancelled, c.cancel);
        EXPECT_TRUE(targetNames().empty());
    }
}

TEST_F(PlayerCopies, MakePlayerCopy_fullTargetFolder_failsWithoutAPartialCopy) {
    // The file-size limit stands for a full medium: no file there may grow beyond 4 KiB.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const ConvertOutcome made = MakePlayerCopy(source("Phone Video.mp4"), target_.dir());
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(made.action, ConvertOutcome::Action::Failed);
    EXPECT_TRUE(targetNames().empty());
}

} // namespace
} // namespace velmo
