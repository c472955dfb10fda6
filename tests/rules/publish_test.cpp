#include "rules/publish.h"

#include "model/schedule_file.h"
#include "model/temp_dir.h"
#include "reliability/reliability_support.h"
#include "rules/entry_rules.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velmo;
namespace fs = std::filesystem;

namespace {

FileEntry entry(const std::string& name) {
    FileEntry e;
    EXPECT_TRUE(StoreFileEntry(e, name, 1, kVolumeDefault));
    return e;
}

// Basic entries for the names, and one advance entry naming the first again.
Schedule scheduleOf(const std::vector<std::string>& names) {
    std::vector<FileEntry> basic;
    for (const std::string& name : names)
        basic.push_back(entry(name));
    AdvanceEntry advance;
    advance.startYear = advance.stopYear = 7;
    advance.startMonth = advance.stopMonth = advance.startDay = advance.stopDay = 1;
    advance.stopHour = 23;
    advance.weekDay = kWeekDayAll;
    SetDetailEntries(advance, {entry(names.front())});
    return MakeSchedule(basic, {advance});
}

struct Media : test::TempDir {
    Media() {
        for (const char* dir : {"a", "b", "stick"})
            fs::create_directory(path / dir);
    }
    std::string a() const { return dir() + "a/"; }
    std::string b() const { return dir() + "b/"; }
    std::string stick() const { return dir() + "stick/"; }
};

void put(const std::string& path, const std::string& bytes) {
    test::WriteText(path, bytes);
}

// Sets a file's modification time to the given seconds and nanoseconds.
void setTime(const std::string& path, time_t seconds, long nanoseconds = 0) {
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

const PublishItem* find(const PublishPlan& plan, const std::string& name) {
    for (const PublishItem& item : plan.items)
        if (item.name == name)
            return &item;
    return nullptr;
}

std::vector<std::string> visibleNames(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Schedule readBack(const std::string& dir, const std::string& name) {
    Schedule s;
    EXPECT_TRUE(ReadScheduleFile(dir, name, s)) << dir << name;
    return s;
}

// Logs every rename, and fails writes to the temporary file of a chosen target.
class RecordingIo final : public FileIo {
public:
    std::vector<std::string> renamedTo;
    std::string failWritesOf;
    std::map<int, std::string> paths;

    int open(const std::string& path, int flags, mode_t mode) override {
        const int fd = FileIo::open(path, flags, mode);
        if (fd >= 0)
            paths[fd] = path;
        return fd;
    }
    ssize_t write(int fd, const void* buffer, std::size_t size) override {
        if (!failWritesOf.empty() && paths[fd].find("/." + failWritesOf + ".") != std::string::npos) {
            errno = ENOSPC;
            return -1;
        }
        return FileIo::write(fd, buffer, size);
    }
    int rename(const std::string& from, const std::string& to) override {
        renamedTo.push_back(fs::path(to).filename().string());
        steps.push_back("rename " + renamedTo.back());
        return FileIo::rename(from, to);
    }
    int fsync(int fd) override {
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode))
            steps.push_back("flush directory");
        return FileIo::fsync(fd);
    }
    std::vector<std::string> steps; // renames and directory flushes, in order
};

} // namespace

TEST(PublishPlan, TrickyFoldersCaseDuplicatesMissingAndAlreadyThere) {
    Media m;
    put(m.a() + "song.mp3", "song from a");
    put(m.b() + "SONG.MP3", "song from b, other content");
    put(m.b() + "CLIP.AVI", "clip");
    put(m.stick() + "CLIP.AVI", "clip");
    setTime(m.b() + "CLIP.AVI", 1'000'000'000);
    setTime(m.stick() + "CLIP.AVI", 1'000'000'000);
    put(m.stick() + "only.jpg", "only on the stick");

    const Schedule s = scheduleOf({"SONG.MP3", "Clip.avi", "GONE.JPG", "ONLY.JPG", "song.mp3"});
    const PublishPlan plan = PlanPublish(s, {m.a(), m.dir() + "nowhere/", m.b()}, m.stick(), "show.vlm");

    ASSERT_FALSE(plan.refusal) << *plan.refusal;
    // Named three times (twice in basic, once in detail), listed once.
    ASSERT_EQ(plan.items.size(), 4u);
    EXPECT_EQ(plan.items[0].name, "SONG.MP3");
    EXPECT_EQ(plan.items[0].action, PublishAction::Copy);
    EXPECT_EQ(plan.items[0].sourcePath(), m.a() + "song.mp3");
    EXPECT_EQ(plan.items[0].size, 11u);
    EXPECT_NE(plan.items[0].note.find(m.b() + "SONG.MP3"), std::string::npos) << plan.items[0].note;
    EXPECT_EQ(find(plan, "CLIP.AVI")->action, PublishAction::Keep);
    EXPECT_EQ(find(plan, "GONE.JPG")->action, PublishAction::Missing);
    // On the medium, in no folder: present, not missing.
    EXPECT_EQ(find(plan, "ONLY.JPG")->action, PublishAction::Keep);
    EXPECT_EQ(find(plan, "ONLY.JPG")->mediumName, "only.jpg");
    ASSERT_EQ(plan.notes.size(), 1u);
    EXPECT_NE(plan.notes[0].find("nowhere"), std::string::npos);
    EXPECT_EQ(plan.bytesToWrite, 11u);
    EXPECT_EQ(plan.count(PublishAction::Missing), 1);
}

// Off FAT times are kept exactly, so a copy one second off is another version.
TEST(PublishPlan, QuickCheckIsExactOffFat) {
    Media m;
    for (const char* name : {"NEAR.MP3", "FAR.MP3", "SAME.MP3"}) {
        put(m.a() + name, "0123456789");
        setTime(m.a() + name, 1'000'000'000, 900'000'000);
    }
    put(m.stick() + "NEAR.MP3", "0123456789");
    setTime(m.stick() + "NEAR.MP3", 1'000'000'002); // 1.1 s off, as FAT would round
    put(m.stick() + "FAR.MP3", "0123456789");
    setTime(m.stick() + "FAR.MP3", 1'000'000'003, 900'000'001);
    put(m.stick() + "SAME.MP3", "9876543210"); // same size and time, other bytes
    setTime(m.stick() + "SAME.MP3", 1'000'000'000, 900'000'000);

    const Schedule s = scheduleOf({"NEAR.MP3", "FAR.MP3", "SAME.MP3"});
    const PublishPlan quick = PlanPublish(s, {m.a()}, m.stick(), "show.vlm");
    EXPECT_EQ(find(quick, "NEAR.MP3")->action, PublishAction::Replace);
    EXPECT_EQ(find(quick, "FAR.MP3")->action, PublishAction::Replace);
    EXPECT_EQ(find(quick, "SAME.MP3")->action, PublishAction::Keep);

    PublishOptions checksum;
    checksum.checksum = true;
    const PublishPlan full = PlanPublish(s, {m.a()}, m.stick(), "show.vlm", checksum);
    EXPECT_EQ(find(full, "NEAR.MP3")->action, PublishAction::Keep);
    EXPECT_EQ(find(full, "FAR.MP3")->action, PublishAction::Keep);
    EXPECT_EQ(find(full, "SAME.MP3")->action, PublishAction::Replace);
}

TEST(PublishPlan, RefusesADestinationThatIsNoDirectory) {
    Media m;
    put(m.dir() + "file", "x");
    const Schedule s = scheduleOf({"A.MP3"});
    EXPECT_TRUE(PlanPublish(s, {m.a()}, m.dir() + "file", "show.vlm").refusal);
    EXPECT_TRUE(PlanPublish(s, {m.a()}, m.dir() + "absent/", "show.vlm").refusal);
    SeededRandomSource random(1);
    const PublishReport report =
        CarryOutPublish(PlanPublish(s, {m.a()}, m.dir() + "file", "show.vlm"), s, random);
    EXPECT_FALSE(report.complete());
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_NE(report.failures[0].reason.find("not a directory"), std::string::npos);
}

// The plan and the write word their reasons from the table they are given; English is the default.
TEST(PublishPlan, ReasonsAreWordedFromTheGivenTexts) {
    ScreenTexts japanese;
    japanese.LoadSecondLanguageTexts();
    Media m;
    put(m.dir() + "file", "x");
    put(m.a() + "A.MP3", "first");
    const Schedule s = scheduleOf({"A.MP3"});
    const std::string notADirectory = m.dir() + "file";
    struct Case {
        const ScreenTexts& texts;
        std::string refusal;
        std::string changed;
    };
    const Case cases[] = {
        {EnglishTexts(), "the destination " + notADirectory + " is not a directory",
         "the medium or the media folders changed since the plan was made; nothing was written, plan again"},
        {japanese, FillIn(japanese.text(TextId::MsgPlanNotDirectory), {notADirectory}),
         japanese.text(TextId::MsgWriteMediumChanged)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PlanPublish(s, {m.a()}, notADirectory, "show.vlm", {}, c.texts).refusal, c.refusal);
        put(m.a() + "A.MP3", "first");
        const PublishPlan plan = PlanPublish(s, {m.a()}, m.stick(), "show.vlm", {}, c.texts);
        ASSERT_FALSE(plan.refusal) << *plan.refusal;
        put(m.a() + "A.MP3", "grown since the plan");
        SeededRandomSource random(1);
        const PublishReport report = CarryOutPublish(plan, s, random, {}, FileIo::system(), c.texts);
        ASSERT_EQ(report.failures.size(), 1u);
        EXPECT_EQ(report.failures[0].reason, c.changed);
    }
}

TEST(PublishPlan, AStoredNameThatIsAPathIsNeverLookedUp) {
    Media m;
    put(m.dir() + "SECRET.TXT", "outside");
    FileEntry e;
    const std::string name = "../SECRET";
    std::copy(name.begin(), name.end(), e.fileName.begin());
    std::copy_n("TXT", 3, e.fileExt.begin());
    const PublishPlan plan = PlanPublish(MakeSchedule({e}, {}), {m.a()}, m.stick(), "show.vlm");
    ASSERT_EQ(plan.items.size(), 1u);
    EXPECT_EQ(plan.items[0].action, PublishAction::Missing);
    EXPECT_TRUE(plan.items[0].sourceDir.empty());
}

TEST(PublishCarryOut, MediaFirstScheduleLastThenNothingTheSecondTime) {
    Media m;
    put(m.a() + "one.mp3", std::string(3 << 20, 'a'));
    put(m.a() + "TWO.AVI", "two");
    put(m.stick() + "Two.avi", "old two, other case"); // replaced under one name
    put(m.stick() + "STALE.JPG", "named by nobody");
    put(m.stick() + ".ONE.MP3.tmp-123", "left by a killed copy");
    const Schedule s = scheduleOf({"ONE.MP3", "TWO.AVI"});
    PublishOptions options;
    options.removeUnlisted = true;
    const PublishPlan plan = PlanPublish(s, {m.a()}, m.stick(), "show.vlm", options);
    ASSERT_EQ(plan.items.size(), 3u);
    EXPECT_EQ(plan.items[0].action, PublishAction::Remove); // removals are listed first
    EXPECT_EQ(plan.items[0].name, "STALE.JPG");
    EXPECT_EQ(find(plan, "TWO.AVI")->action, PublishAction::Replace);

    RecordingIo io;
    SeededRandomSource random(7);
    std::vector<std::uint64_t> done;
    const PublishReport report = CarryOutPublish(
        plan, s, random,
        [&](const PublishProgress& p) {
            done.push_back(p.done);
            return true;
        },
        io);
    ASSERT_TRUE(report.complete()) << PublishReportLines(report).front();
    EXPECT_EQ(report.copied, std::vector<std::string>{"ONE.MP3"});
    EXPECT_EQ(report.replaced, std::vector<std::string>{"TWO.AVI"});
    EXPECT_EQ(report.removed, std::vector<std::string>{"STALE.JPG"});
    ASSERT_FALSE(io.renamedTo.empty());
    EXPECT_EQ(io.renamedTo.back(), "show.vlm");
    // The media renames, one directory flush for all of them, then the schedule's own atomic write.
    EXPECT_EQ(io.steps, (std::vector<std::string>{"rename ONE.MP3", "rename Two.avi", "rename TWO.AVI",
                                                  "flush directory", "flush directory", "rename show.vlm",
                                                  "flush directory"}));
    EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));

    EXPECT_EQ(visibleNames(m.stick()), (std::vector<std::string>{"ONE.MP3", "TWO.AVI", "show.vlm"}));
    EXPECT_EQ(test::ReadText(m.stick() + "ONE.MP3"), test::ReadText(m.a() + "one.mp3"));
    EXPECT_EQ(test::ReadText(m.stick() + "TWO.AVI"), "two");
    EXPECT_EQ(readBack(m.stick(), "show.vlm"), s);
    EXPECT_EQ(fs::last_write_time(m.stick() + "ONE.MP3"), fs::last_write_time(m.a() + "one.mp3"));

    // Unchanged: everything is kept and not one file is written.
    const PublishPlan again = PlanPublish(s, {m.a()}, m.stick(), "show.vlm");
    EXPECT_TRUE(again.scheduleUnchanged);
    EXPECT_EQ(again.count(PublishAction::Keep), 2);
    RecordingIo quiet;
    const PublishReport second = CarryOutPublish(again, s, random, {}, quiet);
    EXPECT_TRUE(second.complete());
    EXPECT_TRUE(second.scheduleUnchanged);
    EXPECT_TRUE(quiet.renamedTo.empty());
}

TEST(PublishCarryOut, AFailurePartWayKeepsTheOldScheduleAndItsFiles) {
    Media m;
    put(m.a() + "ONE.MP3", "one, new");
    put(m.a() + "TWO.MP3", "two");
    // Last time's publish: a schedule naming ONE.MP3 only.
    const Schedule old = scheduleOf({"ONE.MP3"});
    SeededRandomSource random(3);
    put(m.stick() + "ONE.MP3", "one, old");
    ASSERT_TRUE(WriteScheduleFile(m.stick(), "show.vlm", old, random));

    const Schedule s = scheduleOf({"ONE.MP3", "TWO.MP3"});
    RecordingIo io;
    io.failWritesOf = "TWO.MP3";
    const PublishReport report =
        CarryOutPublish(PlanPublish(s, {m.a()}, m.stick(), "show.vlm"), s, random, {}, io);
    EXPECT_FALSE(report.complete());
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].name, "TWO.MP3");
    EXPECT_NE(report.failures[0].reason.find("No space left"), std::string::npos)
        << report.failures[0].reason;
    EXPECT_FALSE(report.scheduleWritten);
    EXPECT_NE(PublishReportLines(report).front().find("TWO.MP3"), std::string::npos);

    // The player still reads the old schedule, and every file it names is there; no temporary is left.
    const Schedule onStick = readBack(m.stick(), "show.vlm");
    EXPECT_EQ(onStick, old);
    for (int i = 0; i < onStick.basicCount; ++i)
        EXPECT_TRUE(
            fs::exists(m.stick() + StoredNameText(onStick.basicEntries[static_cast<std::size_t>(i)])));
    EXPECT_EQ(visibleNames(m.stick()), (std::vector<std::string>{"ONE.MP3", "show.vlm"}));
}

TEST(PublishCarryOut, DestinationEqualToAMediaFolderCopiesNothingOntoItself) {
    Media m;
    put(m.a() + "one.mp3", "one");
    const auto before = fs::last_write_time(m.a() + "one.mp3");
    const Schedule s = scheduleOf({"ONE.MP3"});
    const PublishPlan plan = PlanPublish(s, {m.a()}, m.a(), "show.vlm");
    ASSERT_EQ(plan.items.size(), 1u);
    EXPECT_EQ(plan.items[0].action, PublishAction::Keep);
    EXPECT_EQ(plan.bytesToWrite, 0u);
    SeededRandomSource random(5);
    EXPECT_TRUE(CarryOutPublish(plan, s, random).complete());
    EXPECT_EQ(test::ReadText(m.a() + "one.mp3"), "one");
    EXPECT_EQ(fs::last_write_time(m.a() + "one.mp3"), before);
    EXPECT_EQ(readBack(m.a(), "show.vlm"), s);
}

TEST(PublishCarryOut, CancelInsideAFileLeavesTheOldFileAndNoTemporary) {
    Media m;
    put(m.a() + "BIG.AVI", std::string(4 << 20, 'n'));
    put(m.stick() + "BIG.AVI", "old");
    const Schedule s = scheduleOf({"BIG.AVI"});
    SeededRandomSource random(9);
    int calls = 0;
    const PublishReport report = CarryOutPublish(PlanPublish(s, {m.a()}, m.stick(), "show.vlm"), s, random,
                                                 [&](const PublishProgress&) { return ++calls < 3; });
    EXPECT_TRUE(report.cancelled);
    EXPECT_FALSE(report.complete());
    EXPECT_EQ(test::ReadText(m.stick() + "BIG.AVI"), "old");
    EXPECT_EQ(visibleNames(m.stick()), std::vector<std::string>{"BIG.AVI"});
}

TEST(PublishSettingsFile, RoundTripsAndADamagedFileGivesDefaults) {
    test::TempDir app;
    PublishSettings settings;
    settings.destination = "/media/stick/";
    settings.mediaDirs = {"/home/u/a/", "/home/u/b, with comma/"};
    ASSERT_TRUE(WritePublishSettings(app.dir(), settings));
    const PublishSettings read = ReadPublishSettings(app.dir());
    EXPECT_EQ(read.destination, settings.destination);
    EXPECT_EQ(read.mediaDirs, settings.mediaDirs);

    for (const std::string& damaged :
         {std::string("velmo publish 1\nto=/a/\nmedia=/b/"), // cut short
          std::string("garbage\nto=/a/\n"), std::string("velmo publish 1\nto=rel/\n"),
          std::string("velmo publish 1\nto=/a/\0b\n", 22)}) {
        test::WriteText(app.file(kPublishSettingsFileName), damaged);
        const PublishSettings fallback = ReadPublishSettings(app.dir());
        EXPECT_TRUE(fallback.destination.empty()) << damaged;
        EXPECT_TRUE(fallback.mediaDirs.empty()) << damaged;
    }
    EXPECT_TRUE(ReadPublishSettings(app.dir() + "absent/").destination.empty());
}

TEST(PublishSettingsFile, MediaFoldersAreTheRememberedOnesElseTheLastMediaFolder) {
    PublishSettings settings;
    EXPECT_EQ(MediaFoldersOf(settings, "/home/u/media/"), std::vector<std::string>{"/home/u/media/"});
    settings.mediaDirs = {"/home/u/a/", "/home/u/b/"};
    EXPECT_EQ(MediaFoldersOf(settings, "/home/u/media/"), settings.mediaDirs);
}

TEST(PublishCarryOut, AKillAtAnyStepLeavesAScheduleWhoseFilesAreThere) {
    Media m;
    put(m.a() + "ONE.MP3", std::string(300000, '1'));
    put(m.a() + "TWO.MP3", std::string(200000, '2'));
    put(m.a() + "THREE.MP3", "3");
    const Schedule old = scheduleOf({"ONE.MP3"});
    const Schedule fresh = scheduleOf({"ONE.MP3", "TWO.MP3", "THREE.MP3"});
    bool finished = false;
    for (long stopAt = 0; stopAt < 2000 && !finished; ++stopAt) {
        fs::remove_all(m.stick());
        fs::create_directory(m.stick());
        put(m.stick() + "ONE.MP3", "one, last time's");
        SeededRandomSource random(static_cast<std::uint64_t>(stopAt));
        ASSERT_TRUE(WriteScheduleFile(m.stick(), "show.vlm", old, random));
        const PublishPlan plan = PlanPublish(fresh, {m.a()}, m.stick(), "show.vlm");

        const test::StepRun run = test::RunToStepOrEnd([&] {
            test::StoppingAtStepIo io(stopAt);
            return CarryOutPublish(plan, fresh, random, {}, io).complete() ? 0 : 1;
        });
        ASSERT_TRUE(run.started);
        if (!run.stopped) {
            ASSERT_EQ(run.exitStatus, 0) << "step " << stopAt;
            finished = true;
        }

        // Whichever schedule the player finds, every file it names is there, and nothing but the
        // named files, the schedule and dot-named temporaries lies on the medium.
        const Schedule onStick = readBack(m.stick(), "show.vlm");
        ASSERT_TRUE(onStick == old || onStick == fresh) << "step " << stopAt;
        for (int i = 0; i < onStick.basicCount; ++i)
            EXPECT_TRUE(
                fs::exists(m.stick() + StoredNameText(onStick.basicEntries[static_cast<std::size_t>(i)])))
                << "step " << stopAt;
        for (const std::string& name : visibleNames(m.stick()))
            EXPECT_TRUE(name[0] == '.' || name == "show.vlm" || name == "ONE.MP3" || name == "TWO.MP3" ||
                        name == "THREE.MP3")
                << name << " at step " << stopAt;
        if (finished) {
            EXPECT_EQ(onStick, fresh);
        }
    }
    EXPECT_TRUE(finished);
}

TEST(PublishCarryOut, AFileSizeLimitPartWayNamesTheFileAndKeepsTheOldSchedule) {
    Media m;
    put(m.a() + "SMALL.MP3", std::string(1000, 's'));
    put(m.a() + "HUGE.AVI", std::string(600000, 'h'));
    const Schedule old = scheduleOf({"SMALL.MP3"});
    SeededRandomSource random(11);
    ASSERT_TRUE(WriteScheduleFile(m.stick(), "show.vlm", old, random));
    put(m.stick() + "SMALL.MP3", "old small");
    const Schedule fresh = scheduleOf({"SMALL.MP3", "HUGE.AVI"});
    const PublishPlan plan = PlanPublish(fresh, {m.a()}, m.stick(), "show.vlm");

    // The limit stands for a medium that fills up half-way through the second file.
    const std::string reportPath = m.dir() + "report.txt";
    const test::StepRun run = test::RunToStepOrEnd([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{300000, 300000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const PublishReport report = CarryOutPublish(plan, fresh, random);
        std::string lines;
        for (const std::string& line : PublishReportLines(report))
            lines += line + "\n";
        ::rlimit none{RLIM_INFINITY, RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &none);
        test::WriteText(reportPath, lines);
        return report.complete() ? 0 : 3;
    });
    ASSERT_TRUE(run.started && !run.stopped);
    EXPECT_EQ(run.exitStatus, 3);
    const std::string report = test::ReadText(reportPath);
    EXPECT_EQ(report.rfind("HUGE.AVI: ", 0), 0u) << report;
    EXPECT_NE(report.find("File too large"), std::string::npos) << report;
    EXPECT_EQ(readBack(m.stick(), "show.vlm"), old);
    EXPECT_EQ(visibleNames(m.stick()), (std::vector<std::string>{"SMALL.MP3", "show.vlm"}));
    EXPECT_EQ(test::ReadText(m.stick() + "SMALL.MP3"), std::string(1000, 's'));
}

namespace {

std::string reportText(const PublishReport& report) {
    std::string text;
    for (const std::string& line : PublishReportLines(report))
        text += line + "\n";
    return text;
}

} // namespace

// A link or a directory under a needed name on the medium is a failure in the plan; nothing is
// written through it, and nothing is written at all.
TEST(PublishPlan, ALinkOrDirectoryOnTheMediumIsAFailureAndNeverFollowed) {
    struct Case {
        const char* what;
        std::function<void(const Media&)> make;
        const char* kind;
    };
    const std::vector<Case> cases = {
        {"link to a file outside",
         [](const Media& m) { fs::create_symlink(m.dir() + "victim.txt", m.stick() + "F1.MP3"); },
         "a symbolic link"},
        {"dangling link",
         [](const Media& m) { fs::create_symlink(m.dir() + "nowhere.txt", m.stick() + "f1.mp3"); },
         "a symbolic link"},
        {"directory", [](const Media& m) { fs::create_directory(m.stick() + "F1.MP3"); }, "a directory"},
    };
    for (const Case& c : cases) {
        Media m;
        put(m.dir() + "victim.txt", "the user's own file");
        put(m.a() + "F1.MP3", "f1");
        put(m.a() + "F2.MP3", "f2");
        c.make(m);
        const Schedule s = scheduleOf({"F1.MP3", "F2.MP3"});
        const PublishPlan plan = PlanPublish(s, {m.a()}, m.stick(), "show.vlm");
        ASSERT_NE(find(plan, "F1.MP3"), nullptr) << c.what;
        EXPECT_EQ(find(plan, "F1.MP3")->action, PublishAction::Fail) << c.what;
        EXPECT_NE(find(plan, "F1.MP3")->note.find(c.kind), std::string::npos) << find(plan, "F1.MP3")->note;
        ASSERT_TRUE(plan.refusal) << c.what;
        EXPECT_NE(plan.refusal->find("F1.MP3"), std::string::npos) << *plan.refusal;
        SeededRandomSource random(1);
        EXPECT_FALSE(CarryOutPublish(plan, s, random).complete()) << c.what;
        EXPECT_EQ(test::ReadText(m.dir() + "victim.txt"), "the user's own file") << c.what;
        EXPECT_FALSE(fs::exists(m.stick() + "F2.MP3")) << c.what;
        EXPECT_FALSE(fs::exists(m.dir() + "nowhere.txt")) << c.what;
    }

    // The schedule file's own name as a link is refused too.
    Media m;
    put(m.dir() + "victim.txt", "the user's own file");
    put(m.a() + "F1.MP3", "f1");
    fs::create_symlink(m.dir() + "victim.txt", m.stick() + "show.vlm");
    const PublishPlan plan = PlanPublish(scheduleOf({"F1.MP3"}), {m.a()}, m.stick(), "show.vlm");
    ASSERT_TRUE(plan.refusal);
    EXPECT_NE(plan.refusal->find("show.vlm"), std::string::npos) << *plan.refusal;
}

// --remove-unlisted takes only files the player plays, and never sweeps a media folder.
TEST(PublishPlan, RemoveUnlistedTakesOnlyPlayerMediaAndNeverAMediaFolder) {
    Media m;
    put(m.a() + "KEEP.MP3", "k");
    for (const char* name :
         {"OLD.MP3", "old2.jpg", "Clip.Vob", "NOTES.TXT", "readme.md", "other.vlm", "NOEXT"})
        put(m.stick() + name, "x");
    const Schedule s = scheduleOf({"KEEP.MP3"});
    PublishOptions options;
    options.removeUnlisted = true;
    const PublishPlan plan = PlanPublish(s, {m.a()}, m.stick(), "show.vlm", options);
    ASSERT_FALSE(plan.refusal) << *plan.refusal;
    std::vector<std::string> removed;
    for (const PublishItem& item : plan.items)
        if (item.action == PublishAction::Remove)
            removed.push_back(item.name);
    std::sort(removed.begin(), removed.end());
    EXPECT_EQ(removed, (std::vector<std::string>{"Clip.Vob", "OLD.MP3", "old2.jpg"}));
    fs::permissions(m.stick() + "Clip.Vob", fs::perms::owner_read);
    SeededRandomSource random(2);
    const PublishReport report = CarryOutPublish(plan, s, random);
    EXPECT_EQ(report.removed, (std::vector<std::string>{"OLD.MP3", "old2.jpg"}));
    // A read-only file stays, and says so.
    ASSERT_EQ(report.failures.size(), 1u) << reportText(report);
    EXPECT_EQ(report.failures[0].name, "Clip.Vob");
    EXPECT_EQ(report.failures[0].reason, "cannot remove: " + std::string(std::strerror(EACCES)));
    EXPECT_EQ(visibleNames(m.stick()), (std::vector<std::string>{"Clip.Vob", "KEEP.MP3", "NOEXT", "NOTES.TXT",
                                                                 "other.vlm", "readme.md", "show.vlm"}));

    // The destination equal to, inside or around a media folder: refused, nothing touched.
    fs::create_directory(m.a() + "sub");
    put(m.a() + "sub/SUB.MP3", "s");
    for (const auto& [media, destination] : std::vector<std::pair<std::string, std::string>>{
             {m.a(), m.a()}, {m.a(), m.a() + "sub/"}, {m.a() + "sub/", m.a()}, {m.a(), m.a() + "sub/../"}}) {
        const PublishPlan refused = PlanPublish(s, {media}, destination, "show.vlm", options);
        ASSERT_TRUE(refused.refusal) << media << " " << destination;
        EXPECT_NE(refused.refusal->find("--remove-unlisted"), std::string::npos) << *refused.refusal;
        EXPECT_FALSE(CarryOutPublish(refused, s, random).complete());
    }
    EXPECT_TRUE(fs::exists(m.a() + "sub/SUB.MP3"));
    EXPECT_TRUE(fs::exists(m.a() + "KEEP.MP3"));
}

// A typo in the only media folder must not replace a working schedule with one whose every file
// is missing.
TEST(PublishPlan, NoReadableMediaFolderIsRefusedAndNothingWritten) {
    Media m;
    put(m.a() + "ONE.MP3", "one");
    const Schedule s = scheduleOf({"ONE.MP3"});
    SeededRandomSource random(4);
    ASSERT_TRUE(CarryOutPublish(PlanPublish(s, {m.a()}, m.stick(), "show.vlm"), s, random).complete());
    const std::string before = test::ReadText(m.stick() + "show.vlm");
    const Schedule other = scheduleOf({"ONE.MP3", "TWO.MP3"});
    for (const std::vector<std::string>& folders :
         {std::vector<std::string>{m.dir() + "a-typo/"},
          std::vector<std::string>{m.dir() + "x/", m.dir() + "y/"}, std::vector<std::string>{}}) {
        const PublishPlan plan = PlanPublish(other, folders, m.stick(), "show.vlm");
        ASSERT_TRUE(plan.refusal);
        EXPECT_NE(plan.refusal->find("no media folder can be read"), std::string::npos) << *plan.refusal;
        EXPECT_FALSE(CarryOutPublish(plan, other, random).complete());
        EXPECT_EQ(test::ReadText(m.stick() + "show.vlm"), before);
    }
}

// A name a foreign file stores in lower case goes onto the medium in upper case, with a note.
TEST(PublishPlan, ALowerCaseStoredNameIsWrittenInUpperCase) {
    Media m;
    put(m.a() + "song.mp3", "song");
    FileEntry e;
    const std::string name = "song";
    std::copy(name.begin(), name.end(), e.fileName.begin());
    std::copy_n("mp3", 3, e.fileExt.begin());
    const Schedule s = MakeSchedule({e, entry("SONG.MP3")}, {});
    const PublishPlan plan = PlanPublish(s, {m.a()}, m.stick(), "show.vlm");
    ASSERT_EQ(plan.items.size(), 1u);
    EXPECT_EQ(plan.items[0].name, "SONG.MP3");
    EXPECT_NE(plan.items[0].note.find("song.mp3"), std::string::npos) << plan.items[0].note;
    SeededRandomSource random(6);
    EXPECT_TRUE(CarryOutPublish(plan, s, random).complete());
    EXPECT_EQ(visibleNames(m.stick()), (std::vector<std::string>{"SONG.MP3", "show.vlm"}));
}

// One publish at a time: a held lock makes the next one wait, then refuse; a plan the medium no
// longer matches is refused under the lock; the lock file goes with the publish.
TEST(PublishCarryOut, AnotherPublishHoldingTheMediumRefusesThisOne) {
    Media m;
    put(m.a() + "ONE.MP3", "one");
    const Schedule s = scheduleOf({"ONE.MP3"});
    PublishOptions options;
    options.lockWaitMs = 300;
    SeededRandomSource random(8);
    {
        const int held = ::open((m.stick() + ".velmo-publish.lock").c_str(), O_RDWR | O_CREAT, 0644);
        ASSERT_GE(held, 0);
        ASSERT_EQ(::flock(held, LOCK_EX), 0);
        const PublishReport report =
            CarryOutPublish(PlanPublish(s, {m.a()}, m.stick(), "show.vlm", options), s, random);
        ::close(held);
        ASSERT_EQ(report.failures.size(), 1u);
        EXPECT_NE(report.failures[0].reason.find("another write"), std::string::npos) << reportText(report);
        EXPECT_EQ(visibleNames(m.stick()), std::vector<std::string>{".velmo-publish.lock"});
    }
    // A lock file left by a killed publish is taken over, and removed afterwards.
    const PublishPlan plan = PlanPublish(s, {m.a()}, m.stick(), "show.vlm", options);
    put(m.stick() + "ONE.MP3", "changed meanwhile by someone else");
    const PublishReport stale = CarryOutPublish(plan, s, random);
    ASSERT_EQ(stale.failures.size(), 1u) << reportText(stale);
    EXPECT_NE(stale.failures[0].reason.find("changed since the plan"), std::string::npos)
        << reportText(stale);
    EXPECT_FALSE(fs::exists(m.stick() + "show.vlm"));
    const PublishReport fresh =
        CarryOutPublish(PlanPublish(s, {m.a()}, m.stick(), "show.vlm", options), s, random);
    EXPECT_TRUE(fresh.complete()) << reportText(fresh);
    EXPECT_EQ(visibleNames(m.stick()), (std::vector<std::string>{"ONE.MP3", "show.vlm"}));
}

// Two publishes of different versions to one medium at the same moment: the medium ends with one
// version's schedule and that version's files, never a mixture.
TEST(PublishCarryOut, TwoPublishesAtOnceLeaveOneVersionWhole) {
    Media m;
    std::vector<std::string> names;
    for (int i = 0; i < 20; ++i) {
        names.push_back("F" + std::to_string(i) + ".MP3");
        put(m.a() + names.back(), std::string(20000, 'a'));
        put(m.b() + names.back(), std::string(20000, 'b'));
    }
    const Schedule fromA = scheduleOf(names);
    Schedule fromB = fromA;
    fromB.basicEntries[0].playTimes = 7;
    for (int round = 0; round < 5; ++round) {
        fs::remove_all(m.stick());
        fs::create_directory(m.stick());
        std::vector<pid_t> children;
        for (const auto& [dir, schedule] :
             {std::pair{m.a(), &fromA}, std::pair{m.b(), static_cast<const Schedule*>(&fromB)}}) {
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                SeededRandomSource random(static_cast<std::uint64_t>(round));
                const PublishPlan plan = PlanPublish(*schedule, {dir}, m.stick(), "show.vlm");
                std::_Exit(CarryOutPublish(plan, *schedule, random).complete() ? 0 : 1);
            }
            children.push_back(child);
        }
        int succeeded = 0;
        for (const pid_t child : children) {
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            succeeded += WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        EXPECT_GE(succeeded, 1) << "round " << round;
        const Schedule onStick = readBack(m.stick(), "show.vlm");
        ASSERT_TRUE(onStick == fromA || onStick == fromB) << "round " << round;
        const char version = onStick == fromA ? 'a' : 'b';
        for (const std::string& name : names)
            EXPECT_EQ(test::ReadText(m.stick() + name), std::string(20000, version))
                << name << " round " << round;
    }
}
