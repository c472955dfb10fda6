// A save that runs out of room (file size limit, a full file system, no free inode) is reported
// and leaves the old file as it was, with no temporary file taking space.

#include "reliability_support.h"

#include "model/media_copy.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

using namespace velmo;
using namespace velmo::test;

namespace {

// Checks a failed save from inside a child; empty when it held up.
std::string CheckRefused(const Saver& saver, const TempDir& dir, const Bytes& old, const Result& result,
                         int expectedErrno, const std::string& when) {
    std::string problems;
    if (result)
        problems += when + ": the save reported success\n";
    else if (result.reason.find(std::strerror(expectedErrno)) == std::string::npos)
        problems +=
            when + ": reason \"" + result.reason + "\" does not say " + std::strerror(expectedErrno) + "\n";
    if (ReadBytes(dir.file(saver.name)) != old)
        problems += when + ": the old " + saver.kind + " changed\n";
    if (!Temporaries(dir).empty())
        problems += when + ": temporary file " + Temporaries(dir)[0] + " left behind\n";
    return problems;
}

// Lowers the file size limit to points before, inside and at the end of the new file.
std::string SaveUnderFileSizeLimits(const Saver& saver, const TempDir& dir) {
    ::signal(SIGXFSZ, SIG_IGN);
    if (!saver.save(dir.dir(), 1, FileIo::system()))
        return "cannot write the old file";
    const Bytes old = ReadBytes(dir.file(saver.name));
    const std::size_t size = saver.bytesOf(2).size();
    std::string problems;
    for (std::size_t limit :
         {std::size_t{0}, std::size_t{1}, std::size_t{50}, size / 3, size / 2, size - 1}) {
        const rlimit lowered{static_cast<rlim_t>(limit), RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &lowered);
        const Result result = saver.save(dir.dir(), 2, FileIo::system());
        const rlimit restored{RLIM_INFINITY, RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &restored);
        problems += CheckRefused(saver, dir, old, result, EFBIG, "limit " + std::to_string(limit));
    }
    const rlimit exact{static_cast<rlim_t>(size), RLIM_INFINITY};
    ::setrlimit(RLIMIT_FSIZE, &exact);
    if (!saver.save(dir.dir(), 2, FileIo::system()) || ReadBytes(dir.file(saver.name)) != saver.bytesOf(2))
        problems += "a limit of exactly the file's size refused the save\n";
    return problems;
}

// Fills the file system with one file until it is full; returns false when that failed otherwise.
bool Fill(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return errno == ENOSPC;
    const std::vector<char> block(4096, 'f');
    ssize_t n;
    while ((n = ::write(fd, block.data(), block.size())) > 0) {
    }
    const bool full = n < 0 && errno == ENOSPC;
    ::close(fd);
    return full;
}

unsigned long FreeBlocks(const TempDir& dir) {
    struct statvfs info {};
    ::statvfs(dir.path.c_str(), &info);
    return info.f_bfree;
}

std::string SaveOnFullTmpfs(const Saver& saver, const TempDir& dir) {
    if (std::string skip = MountTmpfs(dir, "size=256k,nr_inodes=64"); !skip.empty())
        return skip;
    if (!saver.save(dir.dir(), 1, FileIo::system()))
        return "cannot write the old file on the tmpfs";
    const Bytes old = ReadBytes(dir.file(saver.name));
    std::string problems;

    // No room at all, then room for part of the new file only.
    if (!Fill(dir.file("filler")))
        return "cannot fill the tmpfs";
    const unsigned long freeWhenFull = FreeBlocks(dir);
    problems += CheckRefused(saver, dir, old, saver.save(dir.dir(), 2, FileIo::system()), ENOSPC, "no room");
    if (FreeBlocks(dir) != freeWhenFull)
        problems += "the failed save did not give back the room it took\n";
    // Pages are the unit of room; a file of under two pages cannot be given half of it.
    const off_t page = 4096;
    const off_t halfPages = static_cast<off_t>(saver.bytesOf(2).size()) / page / 2;
    struct stat filler {};
    if (halfPages > 0 && ::stat(dir.file("filler").c_str(), &filler) == 0) {
        ::truncate(dir.file("filler").c_str(), filler.st_size / page * page - halfPages * page);
        problems += CheckRefused(saver, dir, old, saver.save(dir.dir(), 2, FileIo::system()), ENOSPC,
                                 "half the room");
    }

    // Room again: the same save goes through.
    ::unlink(dir.file("filler").c_str());
    if (!saver.save(dir.dir(), 2, FileIo::system()) || ReadBytes(dir.file(saver.name)) != saver.bytesOf(2))
        problems += "the save failed once there was room\n";
    return problems;
}

std::string SaveWithoutFreeInode(const Saver& saver, const TempDir& dir) {
    if (std::string skip = MountTmpfs(dir, "size=1m,nr_inodes=8"); !skip.empty())
        return skip;
    if (!saver.save(dir.dir(), 1, FileIo::system()))
        return "cannot write the old file on the tmpfs";
    const Bytes old = ReadBytes(dir.file(saver.name));
    int made = 0;
    for (; made < 100; ++made) {
        const int fd = ::open(dir.file("empty-" + std::to_string(made)).c_str(), O_WRONLY | O_CREAT, 0644);
        if (fd < 0)
            break;
        ::close(fd);
    }
    if (made == 100)
        return "the inode limit did not hold";
    std::string problems =
        CheckRefused(saver, dir, old, saver.save(dir.dir(), 2, FileIo::system()), ENOSPC, "no free inode");
    ::unlink(dir.file("empty-0").c_str());
    if (!saver.save(dir.dir(), 2, FileIo::system()))
        problems += "the save failed once an inode was free\n";
    return problems;
}

// A disk filled by the leftovers of killed saves: the next save removes them first and fits.
std::string SaveOnDiskFullOfLeftovers(const Saver& saver, const TempDir& dir) {
    const std::size_t size = saver.bytesOf(2).size();
    // Room for the old file, the new one and a little; the leftovers take all but the old file's.
    if (std::string skip = MountTmpfs(dir, "size=" + std::to_string((2 * size / 4096 + 4) * 4) + "k");
        !skip.empty())
        return skip;
    if (!saver.save(dir.dir(), 1, FileIo::system()))
        return "cannot write the old file on the tmpfs";
    for (int i = 0; i < 2; ++i)
        if (!Fill(dir.file("." + saver.name + ".tmp-" + std::to_string(100 + i))))
            return "cannot fill the tmpfs with leftovers";
    if (!saver.save(dir.dir(), 2, FileIo::system()))
        return "the save failed although the leftovers would have made room";
    std::string problems;
    if (ReadBytes(dir.file(saver.name)) != saver.bytesOf(2))
        problems += "the new file is not complete\n";
    if (dir.names() != std::vector<std::string>{saver.name})
        problems += "leftovers not removed\n";
    return problems;
}

// Fails every write once this many bytes went out: a medium that breaks during the copy.
struct BreakingIo final : FileIo {
    std::size_t left = 0;
    ssize_t write(int fd, const void* buffer, std::size_t size) override {
        if (size > left) {
            errno = EIO;
            return -1;
        }
        left -= size;
        return FileIo::write(fd, buffer, size);
    }
};

// A 700 KiB clip on a 1 MiB card with about 320 KiB free, replaced by another 700 KiB clip.
std::string ReplaceOnNearlyFullCard(const TempDir& media, const TempDir& card) {
    const std::size_t size = 700 * 1024;
    const Bytes old = Pattern(size, 1), fresh = Pattern(size, 2), tooLarge = Pattern(1100 * 1024, 3);
    WriteBytes(media.file("clip.avi"), fresh);
    WriteBytes(media.file("huge.avi"), tooLarge);
    if (std::string skip = MountTmpfs(card, "size=1m"); !skip.empty())
        return skip;
    WriteBytes(card.file("CLIP.AVI"), old);
    if (ReadBytes(card.file("CLIP.AVI")) != old)
        return "cannot write the old clip on the tmpfs";
    CopyOptions confirmed;
    confirmed.mayRemoveOldFirst = true;
    std::string problems;
    const auto expectOld = [&](const std::string& when) {
        if (ReadBytes(card.file("CLIP.AVI")) != old || card.names() != std::vector<std::string>{"CLIP.AVI"})
            problems += when + ": the old clip did not stay alone and unchanged\n";
    };

    if (CopyMediaFileTo(media.file("clip.avi"), card.dir(), "CLIP.AVI"))
        problems += "replaced without leave to remove the old clip first\n";
    expectOld("not confirmed");
    if (CopyMediaFileTo(media.file("huge.avi"), card.dir(), "CLIP.AVI", confirmed))
        problems += "a clip larger than the card was copied\n";
    expectOld("too large even without the old clip");

    BreakingIo breaking;
    breaking.left = 200 * 1024;
    const CopyResult broken =
        CopyMediaFileTo(media.file("clip.avi"), card.dir(), "CLIP.AVI", confirmed, {}, breaking);
    if (broken || broken.reason.find(std::strerror(EIO)) == std::string::npos)
        problems += "a copy that broke after the old clip went reported \"" + broken.reason + "\"\n";
    if (!card.names().empty())
        problems += "a broken copy left " + card.names()[0] + "\n";

    WriteBytes(card.file("CLIP.AVI"), old);
    const CopyResult replaced = CopyMediaFileTo(media.file("clip.avi"), card.dir(), "CLIP.AVI", confirmed);
    if (!replaced)
        problems += "the confirmed replacement failed: " + replaced.reason + "\n";
    if (ReadBytes(card.file("CLIP.AVI")) != fresh || card.names() != std::vector<std::string>{"CLIP.AVI"})
        problems += "the card does not hold the new clip alone\n";
    return problems;
}

// A card filled by the leftover of a killed copy: the next copy removes it first and fits, while
// the temporary file of a copy still running stays.
std::string CopyOnCardFullOfLeftovers(const TempDir& media, const TempDir& card) {
    const Bytes clip = Pattern(300 * 1024, 4);
    WriteBytes(media.file("clip.avi"), clip);
    if (std::string skip = MountTmpfs(card, "size=1m"); !skip.empty())
        return skip;
    const std::string running = card.file(".SONG.MP3.tmp-77");
    const int held = ::open(running.c_str(), O_RDWR | O_CREAT, 0644);
    if (held < 0 || ::flock(held, LOCK_EX) != 0)
        return "cannot make the temporary file of a running copy";
    if (!Fill(card.file(".CLIP.AVI.tmp-4242")))
        return "cannot fill the tmpfs with a leftover";
    std::string problems;
    const CopyResult result = CopyMediaFile(media.dir(), "clip.avi", card.dir());
    if (!result)
        problems += "the copy failed although the leftover would have made room: " + result.reason + "\n";
    std::vector<std::string> names = card.names();
    std::sort(names.begin(), names.end());
    if (names != std::vector<std::string>{".SONG.MP3.tmp-77", "clip.avi"} ||
        ReadBytes(card.file("clip.avi")) != clip)
        problems += "the card does not hold the running copy's file and the new clip alone\n";
    ::close(held);
    return problems;
}

} // namespace

// Runs one scenario in a child (limits and mounts stay there) on a directory the parent removes.
std::string InChild(std::string (*scenario)(const Saver&, const TempDir&), const Saver& saver) {
    TempDir dir;
    return RunInChild([&] { return scenario(saver, dir); });
}

TEST(DiskFull, FileSizeLimitFailsTheScheduleSaveAndKeepsTheOldFile) {
    ExpectHeldUp(InChild(SaveUnderFileSizeLimits, ScheduleSaver()));
}

TEST(DiskFull, FileSizeLimitFailsTheSettingsWriteAndKeepsTheOldFile) {
    ExpectHeldUp(InChild(SaveUnderFileSizeLimits, SettingsSaver()));
}

TEST(DiskFull, FullTmpfsFailsTheScheduleSaveAndKeepsTheOldFile) {
    ExpectHeldUp(InChild(SaveOnFullTmpfs, ScheduleSaver()));
}

TEST(DiskFull, FullTmpfsFailsTheSettingsWriteAndKeepsTheOldFile) {
    ExpectHeldUp(InChild(SaveOnFullTmpfs, SettingsSaver()));
}

TEST(DiskFull, NoFreeInodeFailsTheScheduleSaveAndKeepsTheOldFile) {
    ExpectHeldUp(InChild(SaveWithoutFreeInode, ScheduleSaver()));
}

TEST(DiskFull, NoFreeInodeFailsTheSettingsWriteAndKeepsTheOldFile) {
    ExpectHeldUp(InChild(SaveWithoutFreeInode, SettingsSaver()));
}

TEST(DiskFull, LeftoversOfKilledSavesAreRemovedToMakeRoom) {
    ExpectHeldUp(InChild(SaveOnDiskFullOfLeftovers, ScheduleSaver()));
}

TEST(DiskFull, ConfirmedReplacementOnANearlyFullCardRemovesTheOldClipFirst) {
    ExpectHeldUp(CopyInChild(ReplaceOnNearlyFullCard));
}

TEST(DiskFull, LeftoversOfKilledCopiesAreRemovedBeforeTheSpaceIsChecked) {
    ExpectHeldUp(CopyInChild(CopyOnCardFullOfLeftovers));
}
