#include "media/ffprobe_output.h"
#include "media/media_probe.h"
#include "media/media_summary.h"
#include "media_files.h"
#include "model/temp_dir.h"
#include "rules/player_formats.h"

#ifdef VELMO_HAVE_MEDIA_LIBRARIES
#include "jpeg_writer.h"
#endif

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace velmo {
namespace {

using test::MakeWithFfmpeg;
using test::Pattern;
using test::Tone;
using test::operator+;

// One directory of real files for every test here, made once.
class MediaFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!test::FfmpegInstalled())
            return;
        dir_ = std::make_unique<test::TempDir>();
        const auto make = [](const std::string& name, const std::vector<std::string>& args) {
            ASSERT_TRUE(MakeWithFfmpeg(dir_->file(name), args)) << name;
        };
        make("MPEG2.MPG", Pattern("352x288") + Tone() +
                              std::vector<std::string>{"-c:v", "mpeg2video", "-c:a", "mp2", "-f", "dvd"});
        make("XVID.AVI",
             Pattern("320x240") + Tone("44100") +
                 std::vector<std::string>{"-c:v", "mpeg4", "-vtag", "XVID", "-c:a", "libmp3lame"});
        make("H264.AVI", Pattern("320x240") + std::vector<std::string>{"-c:v", "libx264"});
        make("PHONE.MP4",
             Pattern("320x240") + Tone() + std::vector<std::string>{"-c:v", "libx264", "-c:a", "aac"});
        make("HD.MPG", Pattern("1280x720") + std::vector<std::string>{"-c:v", "mpeg2video", "-f", "vob"});
        make("PHOTO.JPG", Pattern("640x480") + std::vector<std::string>{"-frames:v", "1"});
        make("BIG.JPG", Pattern("2000x1200") + std::vector<std::string>{"-frames:v", "1"});
        make("LOGO.PNG", Pattern("64x64") + std::vector<std::string>{"-frames:v", "1"});
        make("SONG.MP3", Tone("44100", "2") + std::vector<std::string>{"-c:a", "libmp3lame"});
        make("VOICE.WAV", Tone("44100") + std::vector<std::string>{"-c:a", "pcm_s16le"});
        make("FAST.MP4",
             Pattern("320x240") + Tone() +
                 std::vector<std::string>{"-c:v", "libx264", "-c:a", "aac", "-movflags", "+faststart"});
        make("SOUND.AVI", Tone("44100") + std::vector<std::string>{"-c:a", "libmp3lame"});
        std::filesystem::copy_file(dir_->file("LOGO.PNG"), dir_->file("LOGO.JPG"));
        std::filesystem::copy_file(dir_->file("VOICE.WAV"), dir_->file("VOICE.MP3"));
        std::filesystem::copy_file(dir_->file("MPEG2.MPG"), dir_->file("MPEG2.AVI"));
#ifdef VELMO_HAVE_MEDIA_LIBRARIES
        ASSERT_TRUE(test::WriteTestJpeg(dir_->file("PROGRESS.JPG"), 64, 48, true, false));
        ASSERT_TRUE(test::WriteTestJpeg(dir_->file("PRINT.JPG"), 64, 48, false, true));
#endif
        // Damaged and hostile files.
        const std::string mpeg = test::ReadAll(dir_->file("MPEG2.MPG"));
        const std::string jpeg = test::ReadAll(dir_->file("PHOTO.JPG"));
        test::WriteBytes(dir_->file("EMPTY.MPG"), "");
        test::WriteBytes(dir_->file("EMPTY.JPG"), "");
        test::WriteBytes(dir_->file("CUT.MPG"), mpeg.substr(0, 40));
        test::WriteBytes(dir_->file("CUT.JPG"), jpeg.substr(0, 100));
        test::WriteBytes(dir_->file("CUT.MP3"), test::ReadAll(dir_->file("SONG.MP3")).substr(0, 30));
        std::string noise(4096, '\0');
        unsigned state = 12345;
        for (char& c : noise)
            c = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
        for (const char* name : {"NOISE.MPG", "NOISE.AVI", "NOISE.JPG", "NOISE.MP3"})
            test::WriteBytes(dir_->file(name), noise);
        // A picture that declares 30000 x 30000 in its frame header.
        std::string huge = jpeg;
        const auto frame = huge.find("\xFF\xC0");
        ASSERT_NE(frame, std::string::npos);
        huge.replace(frame + 5, 4, "\x75\x30\x75\x30");
        test::WriteBytes(dir_->file("HUGE.JPG"), huge);
        std::filesystem::create_directory(dir_->file("FOLDER.JPG"));
    }
    static void TearDownTestSuite() {
        dir_.reset();
    }

    void SetUp() override {
        if (!dir_)
            GTEST_SKIP() << "ffmpeg is not installed";
    }
    static std::string file(const std::string& name) {
        return dir_->file(name);
    }

    static std::unique_ptr<test::TempDir> dir_;
};

std::unique_ptr<test::TempDir> MediaFiles::dir_;

struct VerdictCase {
    const char* file;
    bool plays;
    MediaKind kind;
    const char* container; // "" for none
    const char* videoCodec;
    const char* audioCodec;
    std::optional<TextId> reason; // the first reason
    const char* playerName;       // "" for none
};

TEST_F(MediaFiles, ExamineMedia_realFiles_giveTheTablesVerdictAndReason) {
    const std::vector<VerdictCase> cases = {
        {"MPEG2.MPG", true, MediaKind::Video, "mpeg", "mpeg2video", "mp2", std::nullopt, "MPEG2.MPG"},
        {"XVID.AVI", true, MediaKind::Video, "avi", "mpeg4", "mp3", std::nullopt, "XVID.AVI"},
        {"H264.AVI", false, MediaKind::Video, "avi", "h264", "", TextId::MsgMediaVideoCodec, "H264.MPG"},
        {"PHONE.MP4", false, MediaKind::Video, "mov,mp4,m4a,3gp,3g2,mj2", "h264", "aac",
         TextId::MsgMediaWrongExtension, "PHONE.MPG"},
        {"HD.MPG", false, MediaKind::Video, "mpeg", "mpeg2video", "", TextId::MsgMediaVideoTooLarge,
         "HD.MPG"},
        {"PHOTO.JPG", true, MediaKind::Picture, "image2", "mjpeg", "", std::nullopt, "PHOTO.JPG"},
        {"BIG.JPG", false, MediaKind::Picture, "image2", "mjpeg", "", TextId::MsgMediaPictureTooLarge,
         "BIG.JPG"},
        {"LOGO.PNG", false, MediaKind::Picture, "png_pipe", "png", "", TextId::MsgMediaWrongExtension,
         "LOGO.JPG"},
        {"LOGO.JPG", false, MediaKind::Picture, "png_pipe", "png", "", TextId::MsgMediaContentMismatch,
         "LOGO.JPG"},
        {"SONG.MP3", true, MediaKind::Audio, "mp3", "", "mp3", std::nullopt, "SONG.MP3"},
        {"VOICE.MP3", false, MediaKind::Audio, "wav", "", "pcm_s16le", TextId::MsgMediaContentMismatch,
         "VOICE.MP3"},
        {"SOUND.AVI", false, MediaKind::Audio, "avi", "", "mp3", TextId::MsgMediaNoVideoAudioOnly,
         "SOUND.MP3"},
        {"MPEG2.AVI", false, MediaKind::Video, "mpeg", "mpeg2video", "mp2", TextId::MsgMediaContentMismatchAn,
         "MPEG2.MPG"},
#ifdef VELMO_HAVE_MEDIA_LIBRARIES
        {"PROGRESS.JPG", false, MediaKind::Picture, "jpeg_pipe", "mjpeg", "", TextId::MsgMediaProgressiveJpeg,
         "PROGRESS.JPG"},
        {"PRINT.JPG", false, MediaKind::Picture, "image2", "mjpeg", "", TextId::MsgMediaCmykJpeg,
         "PRINT.JPG"},
#endif
        {"EMPTY.MPG", false, MediaKind::Unknown, "", "", "", TextId::MsgMediaEmpty, "EMPTY.MPG"},
        {"EMPTY.JPG", false, MediaKind::Unknown, "", "", "", TextId::MsgMediaEmpty, "EMPTY.JPG"},
        {"NOISE.JPG", false, MediaKind::Unknown, "", "", "", TextId::MsgMediaDamaged, "NOISE.JPG"},
        {"FOLDER.JPG", false, MediaKind::Unknown, "", "", "", TextId::MsgMediaUnreadable, "FOLDER.JPG"},
        {"GONE.MPG", false, MediaKind::Unknown, "", "", "", TextId::MsgMediaUnreadable, "GONE.MPG"},
    };
    for (const VerdictCase& c : cases) {
        SCOPED_TRACE(c.file);
        const ExaminedMedia media = ExamineMedia(file(c.file));
        EXPECT_EQ(media.verdict.plays, c.plays);
        EXPECT_EQ(media.facts.kind, c.kind);
        EXPECT_EQ(media.facts.container, c.container);
        EXPECT_EQ(media.facts.video ? media.facts.video->codec : "", c.videoCodec);
        EXPECT_EQ(media.facts.audio ? media.facts.audio->codec : "", c.audioCodec);
        EXPECT_EQ(media.verdict.plays, media.verdict.reasons.empty());
        if (c.reason) {
            ASSERT_FALSE(media.verdict.reasons.empty());
            EXPECT_EQ(media.verdict.reasons.front().text, *c.reason);
        }
        EXPECT_EQ(media.playerName.value_or(""), c.playerName);
        EXPECT_EQ(media.facts.duration.has_value(), c.kind == MediaKind::Video || c.kind == MediaKind::Audio);
    }
}

TEST_F(MediaFiles, ExamineMedia_damagedFiles_neverPlayAndSayWhy) {
    for (const char* name :
         {"CUT.MPG", "CUT.JPG", "CUT.MP3", "NOISE.MPG", "NOISE.AVI", "NOISE.MP3", "HUGE.JPG"}) {
        SCOPED_TRACE(name);
        const ExaminedMedia media = ExamineMedia(file(name));
        EXPECT_FALSE(media.verdict.plays);
        ASSERT_FALSE(media.verdict.reasons.empty());
    }
#ifdef VELMO_HAVE_MEDIA_LIBRARIES
    // The header alone says how large it is; nothing is decoded.
    const ExaminedMedia huge = ExamineMedia(file("HUGE.JPG"));
    ASSERT_TRUE(huge.facts.jpeg);
    EXPECT_EQ(huge.facts.jpeg->width, 30000);
    // Too large for a player copy as well: the reason says so rather than promising a smaller copy.
    EXPECT_EQ(huge.verdict.reasons.front().text, TextId::MsgMediaPictureFarTooLarge);
#endif
}

// Files cut short or written over, each made from a whole file above that plays.
TEST_F(MediaFiles, ExamineMedia_cutShortFiles_areDamagedWithWhatWasFound) {
    const auto size = [](const std::string& name) {
        return static_cast<std::size_t>(std::filesystem::file_size(file(name)));
    };
    struct Case {
        const char* name;
        const char* from;
        std::size_t keep;    // bytes kept from the start
        std::size_t noiseAt; // 0: none; else 4 000 random bytes written there
        TextId reason;
        std::vector<std::string> values; // the reason's first values
    };
    const std::vector<Case> cases = {
        {"CUT5000.JPG", "PHOTO.JPG", 5000, 0, TextId::MsgMediaCutShortEnd, {"5 000", "JPEG"}},
        {"HALF.AVI", "XVID.AVI", size("XVID.AVI") / 2, 0, TextId::MsgMediaCutShortSize, {"AVI"}},
        // Not at a pack's end: the last pack is cut through.
        {"HALF.MPG", "MPEG2.MPG", size("MPEG2.MPG") / 2 + 1001, 0, TextId::MsgMediaCutShortPack, {}},
        {"HALF.MP4", "PHONE.MP4", size("PHONE.MP4") / 2, 0, TextId::MsgMediaCutShortAt, {"MP4's mdat box"}},
        {"HALF_FAST.MP4",
         "FAST.MP4",
         size("FAST.MP4") * 3 / 4,
         0,
         TextId::MsgMediaCutShortAt,
         {"MP4 sample table"}},
        {"HALF.MP3", "SONG.MP3", size("SONG.MP3") / 2, 0, TextId::MsgMediaCutShortFrames, {"MP3"}},
        {"NOISY.AVI", "XVID.AVI", size("XVID.AVI"), 12000, TextId::MsgMediaDecodeErrors, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(ExamineMedia(file(c.from)).facts.failure);
        std::string bytes = test::ReadAll(file(c.from)).substr(0, c.keep);
        if (c.noiseAt > 0) {
            unsigned state = 99;
            for (std::size_t i = c.noiseAt; i < c.noiseAt + 4000 && i < bytes.size(); ++i)
                bytes[i] = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
        }
        test::WriteBytes(file(c.name), bytes);
        const ExaminedMedia media = ExamineMedia(file(c.name));
        EXPECT_TRUE(media.verdict.willNotPlay());
        ASSERT_EQ(media.verdict.reasons.size(), 1u);
        EXPECT_EQ(media.verdict.reasons[0].text, c.reason)
            << MediaReasonText(media.verdict.reasons[0], EnglishTexts());
        for (std::size_t i = 0; i < c.values.size(); ++i)
            EXPECT_EQ(media.verdict.reasons[0].values.at(i), c.values[i]);
    }
    // The size found is the size of the cut file, as people read it.
    const ExaminedMedia avi = ExamineMedia(file("HALF.AVI"));
    EXPECT_EQ(MediaReasonText(avi.verdict.reasons.at(0), EnglishTexts()),
              "damaged: cut short (the AVI says " + avi.verdict.reasons[0].values.at(1) +
                  " bytes, the file has " + avi.verdict.reasons[0].values.at(2) + ")");
    EXPECT_EQ(std::stoul(std::string(avi.verdict.reasons[0].values.at(1))
                             .erase(avi.verdict.reasons[0].values[1].find(' '), 1)),
              size("XVID.AVI"));
}

// A file that cannot be examined for a cause not its own is never said not to play; the name's own
// rule still speaks.
TEST_F(MediaFiles, JudgeMedia_notExaminedAgainstWillNotPlay_overTheCauses) {
    const std::string folder = file("FOLDER.JPG");
    struct Case {
        const char* cause;
        const char* ffprobe; // probed with this ffprobe program; null: in process
        const char* name;
        bool examined;
        bool willNotPlay;
        TextId reason;
    };
    const std::vector<Case> cases = {
        {"no ffprobe", "/nonexistent/ffprobe", "MPEG2.MPG", false, false, TextId::MsgMediaToolMissing},
        {"ffprobe cannot run", folder.c_str(), "PHOTO.JPG", false, false, TextId::MsgMediaProbeNotRun},
        {"no ffprobe, a name the player never plays", "/nonexistent/ffprobe", "PHONE.MP4", true, true,
         TextId::MsgMediaWrongExtension},
        {"empty", nullptr, "EMPTY.MPG", true, true, TextId::MsgMediaEmpty},
        {"not a file", nullptr, "FOLDER.JPG", true, true, TextId::MsgMediaUnreadable},
        {"damaged", nullptr, "NOISE.JPG", true, true, TextId::MsgMediaDamaged},
        {"cut short", nullptr, "CUT5000.JPG", true, true, TextId::MsgMediaCutShortEnd},
        {"plays", nullptr, "PHOTO.JPG", true, false, TextId::MsgMediaDamaged},
    };
    test::WriteBytes(file("CUT5000.JPG"), test::ReadAll(file("PHOTO.JPG")).substr(0, 5000));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cause);
        MediaFacts facts;
        if (c.ffprobe) {
            ::setenv("VELMO_FFPROBE", c.ffprobe, 1);
            ProbeWithFfprobe(file(c.name), 30, facts);
            ::unsetenv("VELMO_FFPROBE");
        } else {
            facts = ProbeMediaFile(file(c.name));
        }
        MediaFileInfo info;
        info.found = true;
        info.media.facts = facts;
        info.media.verdict = JudgeMedia(c.name, facts);
        EXPECT_EQ(info.media.verdict.examined, c.examined);
        EXPECT_EQ(info.media.verdict.willNotPlay(), c.willNotPlay);
        const std::string tip = MediaFactsText(info, EnglishTexts());
        EXPECT_EQ(tip.find("Will not play: ") != std::string::npos, c.willNotPlay) << tip;
        EXPECT_EQ(tip.find("Not examined: ") != std::string::npos, c.ffprobe != nullptr) << tip;
        EXPECT_EQ(tip.find("Not a picture, video or sound"), std::string::npos) << tip;
        if (info.media.verdict.plays)
            continue;
        ASSERT_FALSE(info.media.verdict.reasons.empty());
        EXPECT_EQ(info.media.verdict.reasons[0].text, c.reason);
    }
    // Where a probe finds nothing, the extension still tells what a player copy would be.
    EXPECT_EQ(MediaKindByExtension("Phone Clip.mp4"), MediaKind::Video);
    EXPECT_EQ(MediaKindByExtension("LOGO.PNG"), MediaKind::Picture);
    EXPECT_EQ(MediaKindByExtension("VOICE.m4a"), MediaKind::Audio);
}

TEST_F(MediaFiles, ExamineMedia_fileWithoutReadPermission_isUnreadable) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    const std::string locked = file("LOCKED.MPG");
    std::filesystem::copy_file(file("MPEG2.MPG"), locked, std::filesystem::copy_options::overwrite_existing);
    ::chmod(locked.c_str(), 0);
    const ExaminedMedia media = ExamineMedia(locked);
    EXPECT_EQ(media.verdict.reasons.at(0).text, TextId::MsgMediaUnreadable);
}

TEST_F(MediaFiles, ProbeWithFfprobe_agreesWithTheInProcessProbe) {
    std::vector<std::string> names = {"MPEG2.MPG", "XVID.AVI", "H264.AVI", "PHONE.MP4",
                                      "PHOTO.JPG", "LOGO.JPG", "SONG.MP3", "VOICE.MP3"};
#ifdef VELMO_HAVE_MEDIA_LIBRARIES
    names.insert(names.end(), {"PROGRESS.JPG", "PRINT.JPG"});
#endif
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const MediaFacts inProcess = ProbeMediaFile(file(name));
        MediaFacts external;
        ProbeWithFfprobe(file(name), 30, external);
        EXPECT_EQ(external.kind, inProcess.kind);
        EXPECT_EQ(external.container, inProcess.container);
        EXPECT_EQ(external.video, inProcess.video);
        EXPECT_EQ(external.audio, inProcess.audio);
        ASSERT_EQ(external.duration.has_value(), inProcess.duration.has_value());
        if (external.duration) {
            EXPECT_NEAR(*external.duration, *inProcess.duration, 0.001);
        }
        EXPECT_EQ(JudgeMedia(name, external).reasons, JudgeMedia(name, inProcess).reasons);
    }
}

TEST_F(MediaFiles, ProbeWithFfprobe_programMissing_saysSoClearly) {
    ::setenv("VELMO_FFPROBE", "/nonexistent/ffprobe", 1);
    MediaFacts facts;
    ProbeWithFfprobe(file("MPEG2.MPG"), 30, facts);
    ::unsetenv("VELMO_FFPROBE");
    ASSERT_TRUE(facts.failure);
    EXPECT_EQ(facts.failure->text, TextId::MsgMediaToolMissing);
    ScreenTexts texts;
    texts.LoadEnglishTexts();
    EXPECT_EQ(
        MediaReasonText(*facts.failure, texts),
        "/nonexistent/ffprobe is not installed, so media files cannot be examined or converted (Debian: apt "
        "install ffmpeg)");
}

TEST_F(MediaFiles, MediaProbeCache_keepsResultsUntilSizeOrTimeChange) {
    const std::string path = file("CACHED.MPG");
    std::filesystem::copy_file(file("MPEG2.MPG"), path, std::filesystem::copy_options::overwrite_existing);
    MediaProbeCache cache;
    EXPECT_TRUE(cache.examine(path).verdict.plays);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    // Same size and time: the cached verdict stands, though the bytes are now noise.
    test::WriteBytes(path, std::string(static_cast<std::size_t>(before.st_size), 'x'));
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    EXPECT_TRUE(cache.examine(path).verdict.plays);
    // Another modification time: probed again.
    const timespec later[2] = {before.st_atim, {before.st_mtim.tv_sec + 5, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), later, 0), 0);
    EXPECT_FALSE(cache.examine(path).verdict.plays);
    const auto all = cache.examineAll({file("SONG.MP3"), path, file("LOGO.PNG")});
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].path, file("SONG.MP3"));
    EXPECT_TRUE(all[0].verdict.plays);
    EXPECT_FALSE(all[2].verdict.plays);
}

TEST(MediaReasons, EveryReasonReadsInBothLanguagesWithItsValues) {
    ScreenTexts english;
    english.LoadEnglishTexts();
    ScreenTexts japanese;
    japanese.LoadSecondLanguageTexts();
    MediaFacts h264;
    h264.kind = MediaKind::Video;
    h264.container = "avi";
    h264.video = VideoFacts{"h264", "H264", 1920, 1080};
    const MediaVerdict verdict = JudgeMedia("clip.avi", h264);
    ASSERT_EQ(verdict.reasons.size(), 1u);
    EXPECT_EQ(MediaReasonText(verdict.reasons[0], english),
              "H.264 video: in .AVI files the player plays MPEG-4 Part 2 (DivX/Xvid)");
    EXPECT_NE(MediaReasonText(verdict.reasons[0], japanese).find("H.264"), std::string::npos);
    MediaFacts mp4v = h264;
    mp4v.video = VideoFacts{"mpeg4", "MP4V", 1920, 1080};
    const MediaVerdict both = JudgeMedia("clip.avi", mp4v);
    ASSERT_EQ(both.reasons.size(), 2u);
    EXPECT_EQ(MediaReasonText(both.reasons[0], english),
              "MPEG-4 video tagged MP4V: the player plays only XVID, DIVX, DX50 and FMP4");
    EXPECT_EQ(MediaReasonText(both.reasons[1], english),
              "video of 1920 × 1080: the player shows at most 720 × 576");
    EXPECT_EQ(MediaReasonText(both.reasons[1], japanese),
              "1920 × 1080 の映像: プレーヤーが表示できるのは 720 × 576 までです");
    MediaFacts png;
    png.kind = MediaKind::Picture;
    png.container = "png_pipe";
    png.video = VideoFacts{"png", "", 10, 10};
    EXPECT_EQ(MediaReasonText(JudgeMedia("logo.jpg", png).reasons.at(0), english),
              "a PNG picture named .JPG");
    MediaFacts mp3;
    mp3.kind = MediaKind::Audio;
    mp3.container = "mp3";
    mp3.audio = AudioFacts{"mp3", 44100};
    EXPECT_EQ(MediaReasonText(JudgeMedia("song.mpg", mp3).reasons.at(0), english), "an MP3 audio named .MPG");
    mp3.container = "avi";
    EXPECT_EQ(MediaReasonText(JudgeMedia("song.avi", mp3).reasons.at(0), english),
              "an AVI without video, only sound");
    png.video = VideoFacts{"png", "", 60000, 60000};
    EXPECT_EQ(MediaReasonText(JudgeMedia("logo.png", png).reasons.at(0), english),
              "a picture too large for the player (60000 × 60000 pixels)");
}

} // namespace
} // namespace velmo
