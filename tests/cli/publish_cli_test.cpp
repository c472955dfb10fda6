#include "cli_runner.h"

#include "model/file_system.h"
#include "model/publish_settings.h"
#include "model/random_source.h"
#include "model/schedule_file.h"
#include "rules/entry_rules.h"
#include "rules/medium_identity.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <sstream>

namespace velmo {
namespace {

using test::runCli;
using test::TempDir;
namespace fs = std::filesystem;

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The output without its warn lines: the stage's media are a few bytes each, no media the player plays.
std::string withoutWarnings(const std::string& out) {
    std::string kept;
    for (std::size_t at = 0; at < out.size();) {
        const std::size_t end = std::min(out.find('\n', at), out.size() - 1) + 1;
        if (out.compare(at, 6, "warn  ") != 0)
            kept += out.substr(at, end - at);
        at = end;
    }
    return kept;
}

FileEntry entry(const std::string& name) {
    FileEntry e;
    EXPECT_TRUE(StoreFileEntry(e, name, 1, kVolumeDefault));
    return e;
}

// A schedule file in media/ naming SONG.MP3 (there as song.mp3), CLIP.AVI (in extra/) and GONE.JPG.
struct Stage {
    TempDir dir;
    std::string media = dir.file("media");
    std::string extra = dir.file("extra");
    std::string stick = dir.file("stick");
    std::string schedule = dir.file("media/show.vlm");

    explicit Stage(bool withMissing = true) {
        for (const std::string& d : {media, extra, stick})
            fs::create_directory(d);
        writeText(media + "/song.mp3", "song");
        writeText(extra + "/CLIP.AVI", "clip");
        std::vector<FileEntry> basic = {entry("SONG.MP3"), entry("CLIP.AVI")};
        if (withMissing)
            basic.push_back(entry("GONE.JPG"));
        SeededRandomSource random(1);
        EXPECT_TRUE(WriteScheduleFile(media + "/", "show.vlm", MakeSchedule(basic, {}), random));
    }
};

TEST(CliPublish, DryRunPrintsOneLinePerNameAndWritesNothing) {
    Stage s;
    const auto run =
        runCli({"publish", s.schedule, "--to", s.stick, "--media", s.media, "--media", s.extra, "--dry-run"});
    EXPECT_EQ(run.status, 1) << run.err; // a name is missing
    const std::string separator(1, kDirSeparator);
    EXPECT_EQ(withoutWarnings(run.out),
              "copy  SONG.MP3  " + s.media + separator + "song.mp3\n" + "copy  CLIP.AVI  " + s.extra +
                  separator + "CLIP.AVI\n" + "missing  GONE.JPG\n" +
                  "dry run: 2 to copy, 0 to replace, 0 to keep, 0 to remove, 1 missing; schedule file to "
                  "write; 2 files will not play; nothing written\n");
    EXPECT_NE(run.out.find("\nwarn  SONG.MP3: damaged"), std::string::npos) << run.out;
    EXPECT_TRUE(fs::is_empty(s.stick));
}

TEST(CliPublish, WritesEverythingThenKeepsEverything) {
    Stage s(false);
    const auto first =
        runCli({"publish", s.schedule, "--to", s.stick, "--media", s.media, "--media", s.extra});
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out.substr(first.out.rfind("2 copied")),
              "2 copied, 0 replaced, 0 kept, 0 removed, 0 missing; schedule file written; 2 files will not "
              "play\n");
    EXPECT_EQ(readText(s.stick + "/SONG.MP3"), "song");
    EXPECT_EQ(readText(s.stick + "/CLIP.AVI"), "clip");
    Schedule published, source;
    ASSERT_TRUE(ReadScheduleFile(s.stick + "/", "show.vlm", published));
    ASSERT_TRUE(ReadScheduleFile(s.media + "/", "show.vlm", source));
    EXPECT_EQ(published, source);

    const auto again =
        runCli({"publish", s.schedule, "--to", s.stick, "--media", s.media, "--media", s.extra});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(withoutWarnings(again.out), "keep  SONG.MP3\nkeep  CLIP.AVI\n"
                                          "0 copied, 0 replaced, 2 kept, 0 removed, 0 missing; schedule file "
                                          "unchanged; 2 files will not play\n");
}

TEST(CliPublish, MissingMediaStillWriteTheRestAndSaySo) {
    Stage s;
    // Without --media the schedule file's own folder is the one media folder.
    const auto run = runCli({"publish", s.schedule, "--to", s.stick});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("missing  CLIP.AVI\nmissing  GONE.JPG\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("schedule file written, naming 2 missing files"), std::string::npos) << run.out;
    EXPECT_TRUE(fs::exists(s.stick + "/show.vlm"));
    EXPECT_TRUE(fs::exists(s.stick + "/SONG.MP3"));
}

TEST(CliPublish, BadDestinationsAndCommandLinesAreStatusTwo) {
    Stage s;
    writeText(s.dir.file("plain"), "x");
    const auto notDir = runCli({"publish", s.schedule, "--to", s.dir.file("plain")});
    EXPECT_EQ(notDir.status, 2);
    EXPECT_NE(notDir.err.find("is not a directory"), std::string::npos) << notDir.err;
    EXPECT_TRUE(notDir.out.empty());

    EXPECT_EQ(runCli({"publish", s.schedule}).status, 2); // no --to
    EXPECT_EQ(runCli({"publish", s.schedule, "--to", s.stick, "--bogus"}).status, 2);
    const auto twice = runCli({"publish", s.schedule, "--to", s.stick, "--to", s.extra});
    EXPECT_EQ(twice.status, 2);
    EXPECT_NE(twice.err.find("--to given twice"), std::string::npos) << twice.err;
    EXPECT_EQ(runCli({"publish", s.dir.file("absent.vlm"), "--to", s.stick}).status, 2);

    // An empty schedule fails the save checks, with Save's words, and nothing is written.
    SeededRandomSource random(2);
    ASSERT_TRUE(WriteScheduleFile(s.media + "/", "empty.vlm", Schedule{}, random));
    const auto empty = runCli({"publish", s.media + "/empty.vlm", "--to", s.stick});
    EXPECT_EQ(empty.status, 1);
    EXPECT_NE(empty.err.find("No any schedule!"), std::string::npos) << empty.err;
    EXPECT_TRUE(fs::is_empty(s.stick));
}

TEST(CliPublish, RemoveUnlistedGoesAfterTheSchedule) {
    Stage s(false);
    writeText(s.stick + "/OLD.JPG", "old");
    const auto run = runCli({"publish", s.schedule, "--to", s.stick, "--media", s.media, "--media", s.extra,
                             "--remove-unlisted"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, 15), "remove  OLD.JPG");
    EXPECT_FALSE(fs::exists(s.stick + "/OLD.JPG"));
}

// A dry run shows the plan even when the write would be refused, then says why.
TEST(CliPublish, DryRunOfARefusedWriteShowsThePlanThenTheReason) {
    Stage s(false);
    fs::create_directory(s.stick + "/CLIP.AVI");
    const auto run =
        runCli({"publish", s.schedule, "--to", s.stick, "--media", s.media, "--media", s.extra, "--dry-run"});
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.out.find("copy  SONG.MP3"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("fail  CLIP.AVI"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("dry run: the write would be refused: 1 file cannot be written: CLIP.AVI"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.err.find("is not a regular file (a directory)"), std::string::npos) << run.err;
    // Without --dry-run the same plan is refused before anything is written.
    const auto real =
        runCli({"publish", s.schedule, "--to", s.stick, "--media", s.media, "--media", s.extra});
    EXPECT_EQ(real.status, 2);
    EXPECT_FALSE(fs::exists(s.stick + "/SONG.MP3"));
    EXPECT_FALSE(fs::exists(s.stick + "/show.vlm"));
}

// Ctrl+C while the write goes on stops it where it can stop: every file on the medium whole, the
// medium's schedule file the old one (or none), said in the summary and by status 130.
TEST(CliPublish, InterruptDuringTheWrite_stopsWithEveryFileWholeAndTheOldScheduleFile) {
    using Names = std::set<std::string>;
    const auto temporary = [](const Names& names) {
        return std::any_of(names.begin(), names.end(),
                           [](const std::string& name) { return name.find(".tmp-") != std::string::npos; });
    };
    const auto songThere = [](const Names& names) { return names.count("SONG.MP3") > 0; };
    struct Case {
        const char* when;
        bool oldSchedule; // the medium holds a schedule file already
        // Whether Ctrl+C has come, judged by what the medium holds at each look.
        std::function<bool(const Names&)> come;
        bool songCopied;
    };
    const std::vector<Case> cases = {
        {"before the first file", false, [](const Names&) { return true; }, false},
        {"between the files", true, songThere, true},
        {"inside the second file, its copy not yet in place", true,
         [&](const Names& names) { return songThere(names) && temporary(names); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.when);
        Stage s(false);
        const auto names = [&s] {
            Names all;
            for (const fs::directory_entry& e : fs::directory_iterator(s.stick))
                all.insert(e.path().filename().string());
            return all;
        };
        SeededRandomSource random(3);
        if (c.oldSchedule) {
            ASSERT_TRUE(
                WriteScheduleFile(s.stick + "/", "show.vlm", MakeSchedule({entry("SONG.MP3")}, {}), random));
        }
        const std::string oldBytes = readText(s.stick + "/show.vlm");
        bool come = false;
        const auto run =
            runCli({"publish", s.schedule, "--to", s.stick, "--media", s.media, "--media", s.extra}, {},
                   CivilDate{2007, 1, 1}, [&] { return come = come || c.come(names()); });

        EXPECT_EQ(run.status, 130) << run.err;
        EXPECT_TRUE(run.out.ends_with("\n" + std::to_string(c.songCopied) +
                                      " copied, 0 replaced, 0 kept, 0 removed, 0 missing; cancelled, the "
                                      "schedule file on the medium is the old one\n"))
            << run.out;
        // Before it, what the medium holds and what changes on it.
        EXPECT_TRUE(
            run.err.ends_with("\nvelmo-schedule: interrupted; no file on the medium is left half-written\n"))
            << run.err;
        Names left;
        if (c.songCopied)
            left.insert("SONG.MP3");
        if (c.oldSchedule)
            left.insert("show.vlm");
        EXPECT_EQ(names(), left);
        EXPECT_EQ(readText(s.stick + "/SONG.MP3"), c.songCopied ? "song" : "");
        EXPECT_EQ(readText(s.stick + "/show.vlm"), oldBytes);
    }
}

} // namespace
} // namespace velmo

namespace velmo {
namespace {

// Runs publish with the editor's remembered media in `dataDir`; gives what it said on standard error.
std::string publishSaying(const Stage& s, const std::string& dataDir) {
    std::istringstream in;
    std::ostringstream out, err;
    CliEnvironment env{in, out, err, [] { return CivilDate{2026, 12, 8}; }, [] { return std::uint64_t{42}; }};
    env.editorDataDir = [dataDir] { return dataDir; };
    EXPECT_EQ(RunCli({"publish", s.schedule, "--to", s.stick, "--media", s.media, "--media", s.extra}, env),
              0)
        << err.str();
    return err.str();
}

TEST(CliPublish, SaysWhichStickThisIsAsTheDialogDoes) {
    const struct Case {
        const char* what;
        const char* remembered; // the schedule the editor last wrote onto this stick; none when null
        const char* onStick;    // a schedule file already there
        const char* line;       // the line about it; none when null
    } cases[] = {
        {"last received another schedule", "CAFE.VLM", "CAFE.VLM",
         "This medium last received CAFE.VLM, written on 2026-11-30; now show.vlm is written."},
        {"a schedule this computer did not write", nullptr, "OTHER.VLM",
         "This medium holds a schedule written elsewhere (OTHER.VLM)."},
        {"the same schedule again", "show.vlm", nullptr, nullptr},
        {"a new stick", nullptr, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Stage s(false);
        TempDir data;
        if (c.onStick)
            writeText(s.stick + "/" + c.onStick, "old");
        if (c.remembered) {
            PublishSettings history;
            RememberWrite(history, {MediumKey(IdentifyMedium(s.stick)), c.remembered, "2026-11-30"});
            ASSERT_TRUE(WritePublishSettings(data.path(), history));
        }
        const std::string said = publishSaying(s, data.path());
        for (const char* line :
             {"This medium last received", "This medium holds a schedule written elsewhere"}) {
            if (!c.line || std::string(c.line).rfind(line, 0) != 0) {
                EXPECT_EQ(said.find(line), std::string::npos) << said;
            }
        }
        if (c.line) {
            EXPECT_NE(said.find(std::string(c.line) + "\n"), std::string::npos) << said;
        }
        // Then what the write changes and the summary's facts.
        EXPECT_NE(said.find("\n0 kept, 2 copied, 0 replaced, 0 removed\n"), std::string::npos) << said;
    }
}

} // namespace
} // namespace velmo
