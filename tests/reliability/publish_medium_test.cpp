// Publishes onto small real media (tmpfs in a private mount namespace): a nearly full medium, a
// medium unmounted part way, space in allocation units. After every kill the medium's schedule
// names only files that are on it.

#include "reliability_support.h"

#include "rules/entry_rules.h"
#include "rules/publish.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

using namespace velmo;
using namespace velmo::test;

namespace {

FileEntry Named(const std::string& name, int playTimes) {
    FileEntry e;
    StoreFileEntry(e, name, playTimes, kVolumeDefault);
    return e;
}

// A file of `size` bytes that leaves exactly `keepFree` bytes of the file system free.
bool FillLeaving(const std::string& path, std::uint64_t keepFree) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const std::vector<char> block(65536, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    struct stat info {};
    const bool ok = ::fstat(fd, &info) == 0 &&
                    ::ftruncate(fd, info.st_size - static_cast<off_t>(keepFree)) == 0 && ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Names the schedule on the card gives that are not on the card; "no schedule" when none can be read.
std::string MissingOnCard(const TempDir& card) {
    Schedule onCard;
    if (!ReadScheduleFile(card.dir(), "show.vlm", onCard))
        return "no schedule";
    std::string missing;
    for (int i = 0; i < onCard.basicCount; ++i) {
        const std::string name = StoredNameText(onCard.basicEntries[static_cast<std::size_t>(i)]);
        struct stat info {};
        if (::stat(card.file(name).c_str(), &info) != 0)
            missing += name + " ";
    }
    return missing;
}

constexpr std::size_t kOldBig = 4 << 20;
constexpr std::size_t kNewBig = (4 << 20) + (512 << 10);

// The card of the report: last time's BIG.MP3 and SMALL.JPG with their schedule, then filled so
// that the new BIG.MP3 fits only without its old copy, with a killed copy's leftover on top.
std::string SetUpNearlyFullCard(const TempDir& media, const TempDir& card, const Schedule& old) {
    for (const std::string& name : card.names())
        std::filesystem::remove_all(card.file(name));
    WriteBytes(media.file("BIG.MP3"), Pattern(kOldBig, 1));
    WriteBytes(media.file("SMALL.JPG"), Pattern(1000, 2));
    SeededRandomSource random(1);
    const PublishReport first =
        CarryOutPublish(PlanPublish(old, {media.dir()}, card.dir(), "show.vlm"), old, random);
    if (!first.complete())
        return "the first publish failed: " + PublishReportLines(first).front();
    if (!FillLeaving(card.file("filler.bin"), 1 << 20))
        return "cannot fill the card";
    // A leftover of a killed copy that no one holds: free space as soon as it is cleaned up.
    WriteBytes(card.file(".BIG.MP3.tmp-4242"), Pattern(600 << 10, 3));
    WriteBytes(media.file("BIG.MP3"), Pattern(kNewBig, 4));
    return {};
}

std::string PublishOntoNearlyFullCard(const TempDir& media, const TempDir& card) {
    if (std::string skip = MountTmpfs(card, "size=8m"); !skip.empty())
        return skip;
    const Schedule old = MakeSchedule({Named("BIG.MP3", 1), Named("SMALL.JPG", 1)}, {});
    const Schedule fresh = MakeSchedule({Named("BIG.MP3", 2), Named("SMALL.JPG", 2)}, {});
    if (std::string failed = SetUpNearlyFullCard(media, card, old); !failed.empty())
        return failed;
    std::string problems;

    // Without leave: refused for that reason alone (the leftover counted as free), nothing touched.
    const PublishPlan refused = PlanPublish(fresh, {media.dir()}, card.dir(), "show.vlm");
    if (!refused.refusedOnlyForRemoveFirst())
        problems += "refused for another reason: " + refused.refusal.value_or("none") + "\n";
    if (refused.removeFirstNames() != std::vector<std::string>{"BIG.MP3"})
        problems += "the plan does not name BIG.MP3 as needing its old copy removed first\n";
    SeededRandomSource random(2);
    if (CarryOutPublish(refused, fresh, random).complete() ||
        ReadBytes(card.file("BIG.MP3")) != Pattern(kOldBig, 1))
        problems += "the refused publish touched the card\n";

    PublishOptions allowed;
    allowed.allowRemoveFirst = true;
    // Cancel half way through the new copy: the card's schedule no longer names BIG.MP3, and says so.
    {
        const PublishPlan plan = PlanPublish(fresh, {media.dir()}, card.dir(), "show.vlm", allowed);
        const PublishReport cancelled = CarryOutPublish(
            plan, fresh, random, [](const PublishProgress& p) { return p.done < p.total / 2; });
        if (!cancelled.cancelled || cancelled.scheduleNarrowed != std::vector<std::string>{"BIG.MP3"})
            problems +=
                "the cancel did not report the narrowed schedule: " + PublishReportLines(cancelled).back() +
                "\n";
        if (PublishReportLines(cancelled).back().find("without BIG.MP3") == std::string::npos)
            problems += "the report line does not say the schedule lost BIG.MP3\n";
        if (const std::string missing = MissingOnCard(card); !missing.empty())
            problems += "after the cancel the schedule names missing files: " + missing + "\n";
    }

    // Kill at every step of the write.
    bool finished = false;
    for (long stopAt = 0; stopAt < 5000 && !finished; ++stopAt) {
        if (std::string failed = SetUpNearlyFullCard(media, card, old); !failed.empty())
            return problems + failed;
        const PublishPlan plan = PlanPublish(fresh, {media.dir()}, card.dir(), "show.vlm", allowed);
        if (plan.refusal)
            return problems + "refused with leave given: " + *plan.refusal;
        const StepRun run = RunToStepOrEnd([&] {
            StoppingAtStepIo io(stopAt);
            SeededRandomSource childRandom(static_cast<std::uint64_t>(stopAt));
            return CarryOutPublish(plan, fresh, childRandom, {}, io).complete() ? 0 : 1;
        });
        if (!run.stopped && run.exitStatus != 0)
            return problems + "the publish failed at step " + std::to_string(stopAt) + "\n";
        finished = !run.stopped;
        if (const std::string missing = MissingOnCard(card); !missing.empty())
            problems +=
                "killed at step " + std::to_string(stopAt) + ", the schedule names: " + missing + "\n";
    }
    if (!finished)
        problems += "the publish never finished\n";
    else if (ReadBytes(card.file("BIG.MP3")) != Pattern(kNewBig, 4))
        problems += "the finished publish did not leave the new BIG.MP3\n";
    return problems;
}

// Files take whole pages on a tmpfs: 300 files of 1000 bytes do not fit in 1 MiB although their
// bytes do, and the plan says so before writing anything.
std::string SpaceCountsAllocationUnits(const TempDir& media, const TempDir& card) {
    if (std::string skip = MountTmpfs(card, "size=1m"); !skip.empty())
        return skip;
    std::vector<FileEntry> names;
    for (int i = 0; i < 300; ++i) {
        const std::string name = "F" + std::to_string(i) + ".JPG";
        WriteBytes(media.file(name), Pattern(1000, static_cast<std::uint8_t>(i)));
        names.push_back(Named(name, 1));
    }
    std::string problems;
    const Schedule many = MakeSchedule(names, {});
    const PublishPlan plan = PlanPublish(many, {media.dir()}, card.dir(), "show.vlm");
    if (!plan.refusal || plan.refusal->find("not enough free space") == std::string::npos)
        problems += "300 files of 1000 bytes in 1 MiB of 4 KiB pages were not refused\n";
    if (plan.bytesToWrite != 300'000u || plan.bytesNeeded < 300u * 4096u)
        problems += "the plan counts " + std::to_string(plan.bytesNeeded) + " bytes needed\n";
    if (!card.names().empty())
        problems += "the refused plan wrote to the card\n";
    names.resize(120);
    const Schedule fewer = MakeSchedule(names, {});
    SeededRandomSource random(3);
    const PublishReport report =
        CarryOutPublish(PlanPublish(fewer, {media.dir()}, card.dir(), "show.vlm"), fewer, random);
    if (!report.complete())
        problems += "120 files did not fit: " + PublishReportLines(report).front() + "\n";
    return problems;
}

// The medium unmounted part way: what is left is not written to the bare mount point, and the
// publish is a failure.
std::string MediumUnmountedPartWay(const TempDir& media, const TempDir& card) {
    if (std::string skip = MountTmpfs(card, "size=8m"); !skip.empty())
        return skip;
    std::vector<FileEntry> names;
    for (int i = 0; i < 6; ++i) {
        const std::string name = "CLIP" + std::to_string(i) + ".AVI";
        WriteBytes(media.file(name), Pattern(300 << 10, static_cast<std::uint8_t>(i)));
        names.push_back(Named(name, 1));
    }
    const Schedule s = MakeSchedule(names, {});
    const PublishPlan plan = PlanPublish(s, {media.dir()}, card.dir(), "show.vlm");
    bool unmounted = false;
    SeededRandomSource random(4);
    const PublishReport report = CarryOutPublish(plan, s, random, [&](const PublishProgress& p) {
        if (!unmounted && p.name == "CLIP2.AVI") {
            unmounted = ::umount2(card.path.c_str(), MNT_DETACH) == 0;
        }
        return true;
    });
    std::string problems;
    if (!unmounted)
        return kSkip + std::string("cannot unmount the tmpfs: ") + std::strerror(errno);
    if (report.complete())
        problems += "reported complete: " + PublishReportLines(report).back() + "\n";
    bool said = false;
    for (const PublishFailure& failure : report.failures)
        said = said || failure.reason.find("no longer the directory") != std::string::npos;
    if (!said)
        problems += "no failure says the medium went away: " + PublishReportLines(report).front() + "\n";
    if (!card.names().empty())
        problems += "the bare mount point got " + card.names()[0] + "\n";
    return problems;
}

// Lazily unmounts the card (as a file manager's eject does) at the stopAt-th file-system step.
class UnmountingAtStepIo final : public FileIo {
public:
    UnmountingAtStepIo(std::string mountPoint, long stopAt)
        : mountPoint_(std::move(mountPoint)), stopAt_(stopAt) {}
    bool unmounted() const { return unmounted_; }
    int open(const std::string& p, int f, mode_t m) override { return point(), FileIo::open(p, f, m); }
    ssize_t write(int fd, const void* b, std::size_t n) override { return point(), FileIo::write(fd, b, n); }
    int fsync(int fd) override { return point(), FileIo::fsync(fd); }
    int rename(const std::string& a, const std::string& b) override { return point(), FileIo::rename(a, b); }
    int unlink(const std::string& p) override { return point(), FileIo::unlink(p); }

private:
    void point() {
        if (points_++ == stopAt_)
            unmounted_ = ::umount2(mountPoint_.c_str(), MNT_DETACH) == 0;
    }
    std::string mountPoint_;
    long stopAt_;
    long points_ = 0;
    bool unmounted_ = false;
};

// The medium lazily unmounted at every step of a write in turn, the schedule file's own steps too:
// never a success, never a file on the bare mount point.
std::string MediumUnmountedAtEveryStep(const TempDir& media, const TempDir& card) {
    if (std::string skip = MountTmpfs(card, "size=8m"); !skip.empty())
        return skip;
    std::vector<FileEntry> names;
    for (int i = 0; i < 3; ++i) {
        const std::string name = "CLIP" + std::to_string(i) + ".AVI";
        WriteBytes(media.file(name), Pattern(200 << 10, static_cast<std::uint8_t>(i)));
        names.push_back(Named(name, 1));
    }
    const Schedule s = MakeSchedule(names, {});
    std::string problems;
    bool finished = false;
    long steps = 0;
    for (long stopAt = 0; stopAt < 2000 && !finished; ++stopAt, ++steps) {
        if (stopAt > 0 && ::mount("velmo-test", card.path.c_str(), "tmpfs", 0, "size=8m") != 0)
            return problems + "cannot mount the tmpfs again: " + std::strerror(errno);
        const PublishPlan plan = PlanPublish(s, {media.dir()}, card.dir(), "show.vlm");
        UnmountingAtStepIo io(card.path, stopAt);
        SeededRandomSource random(static_cast<std::uint64_t>(stopAt));
        const PublishReport report = CarryOutPublish(plan, s, random, {}, io);
        const std::string at = "unmounted at step " + std::to_string(stopAt) + ": ";
        if (!io.unmounted()) {
            // The write took fewer steps: it ran whole on the mounted card.
            finished = true;
            if (!report.complete())
                problems += "the write on a card left mounted failed: " + PublishReportLines(report).front();
            ::umount2(card.path.c_str(), MNT_DETACH);
            continue;
        }
        if (report.complete())
            problems += at + "reported complete: " + PublishReportLines(report).back() + "\n";
        if (!card.names().empty())
            problems += at + "the bare mount point got " + card.names()[0] + "\n";
    }
    if (!finished)
        problems += "the write never finished\n";
    else if (steps < 10)
        problems += "the write took only " + std::to_string(steps) + " steps\n";
    return problems;
}

} // namespace

TEST(PublishMedium, AMediumUnmountedAtAnyStepIsNeverASuccessAndLeavesTheMountPointBare) {
    ExpectHeldUp(CopyInChild(MediumUnmountedAtEveryStep));
}

TEST(PublishMedium, NearlyFullCardNeverNamesAMissingFileWhateverStopsTheWrite) {
    ExpectHeldUp(CopyInChild(PublishOntoNearlyFullCard));
}

TEST(PublishMedium, SpaceIsJudgedInAllocationUnits) {
    ExpectHeldUp(CopyInChild(SpaceCountsAllocationUnits));
}

TEST(PublishMedium, AMediumUnmountedPartWayIsAFailureAndNothingLandsOnTheMountPoint) {
    ExpectHeldUp(CopyInChild(MediumUnmountedPartWay));
}
