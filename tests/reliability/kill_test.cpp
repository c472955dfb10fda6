// A save killed with SIGKILL at any moment leaves the target holding exactly its old bytes or exactly
// its new bytes, and at most one temporary file, which the next save removes.

#include "reliability_support.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <iostream>
#include <random>

using namespace velmo;
using namespace velmo::test;

namespace {

// Numbers every point between the system calls of a save (data written in small pieces, so there are
// many points inside the data too) and stops the process at one of them for the parent to kill.
class StoppingIo final : public FileIo {
public:
    StoppingIo(long stopAt, std::size_t piece) : stopAt_(stopAt), piece_(piece) {}

    long points = 0;
    long renamePoint = -1;

    int open(const std::string& p, int f, mode_t m) override { return point(), FileIo::open(p, f, m); }
    ssize_t write(int fd, const void* b, std::size_t n) override {
        point();
        return FileIo::write(fd, b, std::min(n, piece_));
    }
    int fsync(int fd) override { return point(), FileIo::fsync(fd); }
    int close(int fd) override { return point(), FileIo::close(fd); }
    int rename(const std::string& a, const std::string& b) override {
        renamePoint = points;
        point();
        return FileIo::rename(a, b);
    }
    int unlink(const std::string& p) override { return point(), FileIo::unlink(p); }

private:
    void point() {
        if (points++ == stopAt_)
            ::raise(SIGSTOP);
    }
    long stopAt_;
    std::size_t piece_;
};

// Pieces small enough for at least 240 points inside the data.
std::size_t PieceFor(const Saver& saver) {
    return std::max<std::size_t>(1, saver.bytesOf(2).size() / 240);
}

void KillAtEveryPoint(const Saver& saver) {
    const Bytes old = saver.bytesOf(1);
    const Bytes fresh = saver.bytesOf(2);
    ASSERT_FALSE(old.empty());
    ASSERT_NE(old, fresh);
    const std::size_t piece = PieceFor(saver);

    TempDir dir;
    const std::string target = dir.file(saver.name);
    ASSERT_TRUE(saver.save(dir.dir(), 1, FileIo::system()));
    StoppingIo dryRun(-1, piece);
    ASSERT_TRUE(saver.save(dir.dir(), 2, dryRun));
    ASSERT_GE(dryRun.points, 200) << "too few points to kill at";
    ASSERT_GT(dryRun.renamePoint, 0);

    int oldSeen = 0, newSeen = 0;
    for (long stopAt = 0; stopAt < dryRun.points; ++stopAt) {
        // Back to the old bytes; this save is also the one that must clear the last kill's leftover.
        ASSERT_TRUE(saver.save(dir.dir(), 1, FileIo::system()));
        ASSERT_EQ(dir.names(), std::vector<std::string>{saver.name})
            << "leftover not removed, point " << stopAt;

        const StepRun run = RunToStepOrEnd([&] {
            StoppingIo io(stopAt, piece);
            return saver.save(dir.dir(), 2, io) ? 0 : 1;
        });
        ASSERT_TRUE(run.started);
        ASSERT_TRUE(run.stopped) << "the save did not reach point " << stopAt;
        ASSERT_TRUE(run.killed);

        // Killed before the rename: the old file; after it: the new one. Never anything else.
        const Bytes now = ReadBytes(target);
        const bool renamed = stopAt > dryRun.renamePoint;
        EXPECT_EQ(now, renamed ? fresh : old) << saver.kind << " killed at point " << stopAt << " of "
                                              << dryRun.points << " (rename at " << dryRun.renamePoint << ")";
        (renamed ? newSeen : oldSeen)++;
        EXPECT_LE(Temporaries(dir).size(), 1u) << "point " << stopAt;
        for (const std::string& name : Temporaries(dir))
            EXPECT_EQ(name.rfind("." + saver.name + ".tmp-", 0), 0u) << name;
    }
    EXPECT_GE(oldSeen, 200);
    EXPECT_GE(newSeen, 1);
    std::cout << saver.kind << ": killed at " << dryRun.points << " points, " << oldSeen
              << " before the rename, " << newSeen << " after it\n";
}

// Announces each save to the parent: +version before it starts, -version once it returned.
[[noreturn]] void SaveForever(const Saver& saver, const std::string& dir, int first, int channel) {
    for (int version = first;; ++version) {
        for (int message : {version, -version})
            if (message > 0 || saver.save(dir, version, FileIo::system()))
                if (::write(channel, &message, sizeof message) != sizeof message)
                    ::_exit(2);
    }
}

// Kills a child that saves over and over at random moments, as a crash or a power switch would.
void KillAtRandomMoments(const Saver& saver, int kills) {
    TempDir dir;
    const std::string target = dir.file(saver.name);
    int current = 1;
    ASSERT_TRUE(saver.save(dir.dir(), current, FileIo::system()));

    // How long a child takes from its start to its first completed save, so the kills spread over
    // the start and whole saves whatever this machine's speed.
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const auto start = std::chrono::steady_clock::now();
    const pid_t probe = ::fork();
    ASSERT_GE(probe, 0);
    if (probe == 0)
        SaveForever(saver, dir.dir(), current, channel[1]);
    int message = 0;
    while (::read(channel[0], &message, sizeof message) == sizeof message && message != -current) {
    }
    const auto firstSave =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    ::kill(probe, SIGKILL);
    ::waitpid(probe, nullptr, 0);
    ::close(channel[0]);
    ::close(channel[1]);

    std::mt19937 random(20240607);
    std::uniform_int_distribution<long> delay(0, 3 * firstSave.count());
    int duringSave = 0, replacedDuringSave = 0, betweenSaves = 0;
    for (int kill = 0; kill < kills; ++kill) {
        ASSERT_EQ(::pipe(channel), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(channel[0]);
            SaveForever(saver, dir.dir(), current + 1, channel[1]);
        }
        ::close(channel[1]);
        ::usleep(static_cast<useconds_t>(delay(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the saving child failed: " << status;

        int last = -current; // nothing started: the file stays as it was
        while (::read(channel[0], &message, sizeof message) == sizeof message)
            last = message;
        ::close(channel[0]);

        // A finished save shows its version; one in progress either had not replaced the file yet
        // or had done so completely.
        const Bytes now = ReadBytes(target);
        const int version = last < 0 ? -last : last;
        if (last < 0) {
            ++betweenSaves;
            ASSERT_EQ(now, saver.bytesOf(version))
                << saver.kind << ": kill " << kill << " after save " << version;
            current = version;
        } else {
            ++duringSave;
            const bool replaced = now == saver.bytesOf(version);
            ASSERT_TRUE(replaced || now == saver.bytesOf(version - 1))
                << saver.kind << ": kill " << kill << " during save " << version << " left neither version "
                << version - 1 << " nor " << version;
            replacedDuringSave += replaced;
            current = replaced ? version : version - 1;
        }
        EXPECT_LE(Temporaries(dir).size(), 1u) << "after kill " << kill;
    }
    std::cout << saver.kind << ": " << duringSave << " kills during a save (" << replacedDuringSave
              << " of them after the rename), " << betweenSaves << " between saves\n";
    ASSERT_TRUE(saver.save(dir.dir(), current + 1, FileIo::system()));
    EXPECT_EQ(dir.names(), std::vector<std::string>{saver.name});
}

} // namespace

TEST(KilledSave, ScheduleFileIsOldOrNewAtEveryPointOfTheWrite) {
    KillAtEveryPoint(ScheduleSaver());
}

TEST(KilledSave, SettingsFileIsOldOrNewAtEveryPointOfTheWrite) {
    KillAtEveryPoint(SettingsSaver());
}

TEST(KilledSave, ScheduleFileIsOldOrNewAfterKillsAtRandomMoments) {
    KillAtRandomMoments(ScheduleSaver(), 200);
}

TEST(KilledSave, SettingsFileIsOldOrNewAfterKillsAtRandomMoments) {
    KillAtRandomMoments(SettingsSaver(), 200);
}
