#include "model/media_copy.h"

#include "temp_dir.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace velmo;
namespace fs = std::filesystem;

namespace {

// A media directory and a stick to copy to.
struct TempDir : test::TempDir {
    TempDir() {
        fs::create_directory(path / "media");
        fs::create_directory(path / "stick");
    }
    std::string media() const { return (path / "media").string() + "/"; }
    std::string stick() const { return (path / "stick").string() + "/"; }
};

std::string contents(const std::string& path) {
    return test::ReadText(path);
}
void put(const std::string& path, const std::string& bytes) {
    test::WriteText(path, bytes);
}

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

std::vector<std::string> names(const std::string& directory) {
    std::vector<std::string> result;
    for (const auto& entry : fs::directory_iterator(directory))
        result.push_back(entry.path().filename().string());
    std::sort(result.begin(), result.end());
    return result;
}

// Several chunks and a tail that is not a whole chunk.
const std::size_t kSize = 3 * kMediaCopyChunkSize + 4321;

// Fails or corrupts chosen calls and logs the order of the steps that make a copy safe.
class InjectingIo final : public FileIo {
public:
    std::uint64_t failSourceReadAt = UINT64_MAX; // source offset at which reading fails
    std::uint64_t failWriteAt = UINT64_MAX;      // temporary-file offset at which writing fails (medium full)
    std::uint64_t corruptReadBackAt = UINT64_MAX;
    bool failRename = false;
    std::vector<std::string> log;

    int open(const std::string& path, int flags, mode_t mode) override {
        const int fd = FileIo::open(path, flags, mode);
        if (fd >= 0)
            files_[fd] = {path, 0};
        return fd;
    }
    ssize_t read(int fd, void* buffer, std::size_t size) override {
        File& file = files_[fd];
        const bool source = !isTemporary(file.path);
        if (source && file.offset + size > failSourceReadAt) {
            if (file.offset >= failSourceReadAt) {
                errno = EIO;
                return -1;
            }
            size = failSourceReadAt - file.offset;
        }
        const ssize_t n = FileIo::read(fd, buffer, size);
        if (n > 0 && !source) {
            note("read back");
            if (corruptReadBackAt >= file.offset && corruptReadBackAt < file.offset + n)
                static_cast<unsigned char*>(buffer)[corruptReadBackAt - file.offset] ^= 0x01;
        }
        if (n > 0)
            file.offset += static_cast<std::uint64_t>(n);
        return n;
    }
    ssize_t write(int fd, const void* buffer, std::size_t size) override {
        File& file = files_[fd];
        if (file.offset + size > failWriteAt) {
            if (file.offset >= failWriteAt) {
                errno = ENOSPC;
                return -1;
            }
            size = failWriteAt - file.offset;
        }
        note("write");
        const ssize_t n = FileIo::write(fd, buffer, size);
        if (n > 0)
            file.offset += static_cast<std::uint64_t>(n);
        return n;
    }
    int fsync(int fd) override {
        note(isTemporary(files_[fd].path) ? "flush file" : "flush directory");
        return FileIo::fsync(fd);
    }
    int close(int fd) override {
        files_.erase(fd);
        return FileIo::close(fd);
    }
    int rename(const std::string& from, const std::string& to) override {
        if (failRename) {
            errno = EIO;
            return -1;
        }
        note("rename");
        return FileIo::rename(from, to);
    }
    int dropCache(int fd) override {
        note("drop cache");
        return FileIo::dropCache(fd);
    }

private:
    struct File {
        std::string path;
        std::uint64_t offset;
    };
    std::map<int, File> files_;
    static bool isTemporary(const std::string& path) { return path.find(".tmp-") != std::string::npos; }
    // Consecutive repeats are noted once, so the log reads as a sequence of steps.
    void note(const std::string& step) {
        if (log.empty() || log.back() != step)
            log.push_back(step);
    }
};

// A stick holding an old CLIP.AVI, and a new clip.avi in the media directory.
struct OverwriteCase {
    TempDir dir;
    const std::string old = randomBytes(kSize / 2, 1);
    const std::string fresh = randomBytes(kSize, 2);
    OverwriteCase() {
        put(dir.media() + "clip.avi", fresh);
        put(dir.stick() + "clip.avi", old);
    }
    void expectOldFileKeptAndNothingElse() const {
        EXPECT_EQ(contents(dir.stick() + "clip.avi"), old);
        EXPECT_EQ(names(dir.stick()), std::vector<std::string>{"clip.avi"});
    }
};

} // namespace

TEST(CopyMediaFile, CopiesEveryByteUnderTheSameNameAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string bytes = randomBytes(kSize, 7);
    put(dir.media() + "Clip.Avi", bytes);

    const CopyResult result = CopyMediaFile(dir.media(), "Clip.Avi", dir.stick());

    ASSERT_TRUE(result) << result.reason;
    EXPECT_EQ(contents(dir.stick() + "Clip.Avi"), bytes);
    EXPECT_EQ(names(dir.stick()), std::vector<std::string>{"Clip.Avi"});
    EXPECT_EQ(contents(dir.media() + "Clip.Avi"), bytes);
}

TEST(CopyMediaFile, ReplacesAnExistingFileAndAddsTheSeparatorsThatAreMissing) {
    OverwriteCase c;
    std::string media = c.dir.media(), stick = c.dir.stick();
    media.pop_back();
    stick.pop_back();

    ASSERT_TRUE(CopyMediaFile(media, "clip.avi", stick));

    EXPECT_EQ(contents(c.dir.stick() + "clip.avi"), c.fresh);
    EXPECT_EQ(names(c.dir.stick()), std::vector<std::string>{"clip.avi"});
}

TEST(CopyMediaFile, ReplacesTheFileOfTheSameNameInOtherLetterCaseInsteadOfAddingASecondOne) {
    TempDir dir;
    put(dir.media() + "Clip.Avi", "new bytes");
    put(dir.stick() + "CLIP.AVI", "old");
    put(dir.stick() + "other.avi", "untouched");

    ASSERT_TRUE(CopyMediaFile(dir.media(), "Clip.Avi", dir.stick()));

    EXPECT_EQ(contents(dir.stick() + "CLIP.AVI"), "new bytes");
    EXPECT_EQ(contents(dir.stick() + "other.avi"), "untouched");
    EXPECT_EQ(names(dir.stick()), (std::vector<std::string>{"CLIP.AVI", "other.avi"}));
}

TEST(CopyMediaFile, CopiesAnEmptyFile) {
    TempDir dir;
    put(dir.media() + "empty.mp3", "");
    put(dir.stick() + "empty.mp3", "old");
    ASSERT_TRUE(CopyMediaFile(dir.media(), "empty.mp3", dir.stick()));
    EXPECT_TRUE(fs::exists(dir.stick() + "empty.mp3"));
    EXPECT_EQ(fs::file_size(dir.stick() + "empty.mp3"), 0u);
}

TEST(CopyMediaFile, FailsWithoutWritingWhenSourceOrDestinationIsMissing) {
    TempDir dir;
    put(dir.media() + "clip.avi", "x");
    fs::create_directory(dir.media() + "folder.avi");

    EXPECT_FALSE(CopyMediaFile(dir.media(), "missing.avi", dir.stick()));
    EXPECT_FALSE(CopyMediaFile(dir.media(), "folder.avi", dir.stick()));
    EXPECT_FALSE(CopyMediaFile(dir.media(), "", dir.stick()));
    EXPECT_FALSE(CopyMediaFile(dir.media(), "clip.avi", dir.stick() + "gone/"));
    EXPECT_TRUE(names(dir.stick()).empty());
}

TEST(CopyMediaFile, ReadOnlyDestinationFileIsLeftAsItWas) {
    OverwriteCase c;
    // Permission bits do not stop root, so the copy has to honour them itself.
    fs::permissions(c.dir.stick() + "clip.avi", fs::perms::owner_read | fs::perms::group_read);

    const CopyResult result = CopyMediaFile(c.dir.media(), "clip.avi", c.dir.stick());

    EXPECT_FALSE(result);
    EXPECT_FALSE(result.cancelled);
    c.expectOldFileKeptAndNothingElse();
    EXPECT_EQ(fs::status(c.dir.stick() + "clip.avi").permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST(CopyMediaFile, EveryFailureHalfwayKeepsTheOldFileAndRemovesTheTemporary) {
    struct Injection {
        const char* what;
        std::function<void(InjectingIo&)> arm;
    };
    const std::vector<Injection> injections = {
        {"source unreadable halfway", [](InjectingIo& io) { io.failSourceReadAt = kSize / 2; }},
        {"medium full halfway", [](InjectingIo& io) { io.failWriteAt = kSize / 2 + 3; }},
        {"first byte differs on the medium", [](InjectingIo& io) { io.corruptReadBackAt = 0; }},
        {"middle byte differs on the medium", [](InjectingIo& io) { io.corruptReadBackAt = kSize / 2; }},
        {"last byte differs on the medium", [](InjectingIo& io) { io.corruptReadBackAt = kSize - 1; }},
        {"rename refused", [](InjectingIo& io) { io.failRename = true; }},
    };
    for (const Injection& injection : injections) {
        SCOPED_TRACE(injection.what);
        OverwriteCase c;
        InjectingIo io;
        injection.arm(io);

        const CopyResult result = CopyMediaFile(c.dir.media(), "clip.avi", c.dir.stick(), {}, io);

        EXPECT_FALSE(result);
        EXPECT_FALSE(result.cancelled);
        c.expectOldFileKeptAndNothingElse();
    }
}

TEST(CopyMediaFile, SourceThatShrinksWhileCopiedIsAFailure) {
    OverwriteCase c;
    const auto shrink = [&](const CopyProgress& p) {
        if (p.copied >= kMediaCopyChunkSize && p.copied < 2 * kMediaCopyChunkSize)
            fs::resize_file(c.dir.media() + "clip.avi", kMediaCopyChunkSize + 10);
        return true;
    };
    EXPECT_FALSE(CopyMediaFile(c.dir.media(), "clip.avi", c.dir.stick(), shrink));
    c.expectOldFileKeptAndNothingElse();
}

// Runs in a forked child: the limit is per process and holds for root too. Exits 0 when the copy
// reported the failure.
[[noreturn]] void copyWithFileSizeLimit(const OverwriteCase& c, rlim_t limit) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit fileSize{limit, limit};
    if (::setrlimit(RLIMIT_FSIZE, &fileSize) != 0)
        std::_Exit(3);
    const CopyResult result = CopyMediaFile(c.dir.media(), "clip.avi", c.dir.stick());
    std::_Exit(result.ok ? 1 : 0);
}

TEST(CopyMediaFile, DestinationLimitedInSizeKeepsTheOldFile) {
    OverwriteCase c;
    EXPECT_EXIT(copyWithFileSizeLimit(c, kSize / 2), ::testing::ExitedWithCode(0), "");
    c.expectOldFileKeptAndNothingElse();
}

TEST(CopyMediaFile, CancelWhileWritingOrCheckingKeepsTheOldFile) {
    for (const bool whileChecking : {false, true}) {
        SCOPED_TRACE(whileChecking ? "cancel while checking" : "cancel at 50 % of writing");
        OverwriteCase c;
        int callsAfterCancel = -1;
        const auto cancelHalfway = [&](const CopyProgress& p) {
            if (callsAfterCancel >= 0)
                ++callsAfterCancel;
            const std::uint64_t done = whileChecking ? p.verified : p.copied;
            if (whileChecking == p.checking && done >= p.total / 2 && callsAfterCancel < 0) {
                callsAfterCancel = 0;
                return false;
            }
            return true;
        };

        const CopyResult result = CopyMediaFile(c.dir.media(), "clip.avi", c.dir.stick(), cancelHalfway);

        EXPECT_FALSE(result);
        EXPECT_TRUE(result.cancelled);
        EXPECT_EQ(callsAfterCancel, 0);
        c.expectOldFileKeptAndNothingElse();
    }
}

TEST(CopyMediaFile, ProgressOnlyGrowsAndEndsWithEveryByteWrittenAndChecked) {
    OverwriteCase c;
    std::vector<CopyProgress> seen;
    ASSERT_TRUE(CopyMediaFile(c.dir.media(), "clip.avi", c.dir.stick(), [&](const CopyProgress& p) {
        seen.push_back(p);
        return true;
    }));

    ASSERT_GT(seen.size(), 6u);
    for (std::size_t i = 1; i < seen.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].total, kSize);
        EXPECT_GE(seen[i].copied, seen[i - 1].copied);
        EXPECT_GE(seen[i].verified, seen[i - 1].verified);
        EXPECT_GE(seen[i].checking, seen[i - 1].checking);
        EXPECT_GE(seen[i].fraction(), seen[i - 1].fraction());
        EXPECT_LE(seen[i].fraction(), 1.0);
    }
    EXPECT_EQ(seen.back().copied, kSize);
    EXPECT_EQ(seen.back().verified, kSize);
    EXPECT_DOUBLE_EQ(seen.back().fraction(), 1.0);
}

TEST(CopyMediaFile, FlushesBeforeReadingBackFromTheMediumAndRenamesOnlyAfterTheCheck) {
    OverwriteCase c;
    InjectingIo io;
    ASSERT_TRUE(CopyMediaFile(c.dir.media(), "clip.avi", c.dir.stick(), {}, io));
    // The directory is flushed before the rename too, so a directory that cannot be flushed fails
    // the copy while the destination is still untouched.
    const std::vector<std::string> expected = {"write",           "flush file", "drop cache",     "read back",
                                               "flush directory", "rename",     "flush directory"};
    EXPECT_EQ(io.log, expected);
}

TEST(CheckCopyFits, RefusesFilesLargerThanTheFreeSpaceOrThanFatCanHold) {
    const std::uint64_t plenty = std::uint64_t{1} << 40;
    EXPECT_TRUE(CheckCopyFits(kFatMaxFileSize, {plenty, true}));
    EXPECT_FALSE(CheckCopyFits(kFatMaxFileSize + 1, {plenty, true}));
    EXPECT_TRUE(CheckCopyFits(kFatMaxFileSize + 1, {plenty, false}));
    EXPECT_TRUE(CheckCopyFits(1000, {1000, false}));
    EXPECT_FALSE(CheckCopyFits(1001, {1000, false}));
    EXPECT_EQ(kFatMaxFileSize, 4ull * 1024 * 1024 * 1024 - 1);
}

TEST(CopyMediaFile, FileLargerThanTheFreeSpaceFailsAtOnceWithoutWritingAnything) {
    OverwriteCase c;
    const std::optional<VolumeSpace> space = QueryVolumeSpace(c.dir.stick());
    ASSERT_TRUE(space);
    const std::uint64_t tooLarge = space->available + (std::uint64_t{1} << 30);
    if (tooLarge > (std::uint64_t{8} << 40))
        GTEST_SKIP() << "this volume has more free space than a sparse test file can exceed";
    // A sparse file: large to the copy, small on the disk.
    fs::resize_file(c.dir.media() + "clip.avi", tooLarge);
    InjectingIo io;

    EXPECT_FALSE(CopyMediaFile(c.dir.media(), "clip.avi", c.dir.stick(), {}, io));

    c.expectOldFileKeptAndNothingElse();
    EXPECT_TRUE(io.log.empty());
}

TEST(CopyMediaFileTo, CopiesUnderTheGivenNameAndKeepsTheSourceTimeOnRequest) {
    TempDir dir;
    const std::string bytes = randomBytes(5000, 3);
    put(dir.media() + "clip.avi", bytes);
    const struct timespec old[2] = {{1600000000, 0}, {1600000000, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir.media() + "clip.avi").c_str(), old, 0), 0);
    CopyOptions keep;
    keep.keepModificationTime = true;

    ASSERT_TRUE(CopyMediaFileTo(dir.media() + "clip.avi", dir.stick(), "CLIP.AVI", keep));
    ASSERT_TRUE(CopyMediaFileTo(dir.media() + "clip.avi", dir.stick(), "OTHER.AVI"));

    EXPECT_EQ(names(dir.stick()), (std::vector<std::string>{"CLIP.AVI", "OTHER.AVI"}));
    EXPECT_EQ(contents(dir.stick() + "CLIP.AVI"), bytes);
    struct stat kept {
    }, fresh{};
    ::stat((dir.stick() + "CLIP.AVI").c_str(), &kept);
    ::stat((dir.stick() + "OTHER.AVI").c_str(), &fresh);
    EXPECT_EQ(kept.st_mtim.tv_sec, 1600000000);
    EXPECT_EQ(kept.st_mtim.tv_nsec, 123456789);
    EXPECT_NE(fresh.st_mtim.tv_sec, 1600000000);
}

TEST(CopyMediaFile, FifoDirectoryOrDeviceAsSourceIsRefusedAtOnce) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir.media() + "pipe.mp3").c_str(), 0644), 0);
    fs::create_directory(dir.media() + "folder.mp3");
    for (const std::string& source :
         {dir.media() + "pipe.mp3", dir.media() + "folder.mp3", std::string("/dev/zero")}) {
        SCOPED_TRACE(source);
        const CopyResult result = CopyMediaFileTo(source, dir.stick(), "X.MP3");
        EXPECT_FALSE(result);
        EXPECT_NE(result.reason.find("not a regular file"), std::string::npos) << result.reason;
    }
    EXPECT_TRUE(names(dir.stick()).empty());
}

TEST(CopyMediaFile, SourceRewrittenInPlaceWhileCopiedIsAFailure) {
    OverwriteCase c;
    // Rewrites the first chunk with other bytes of the same length once it has been read.
    const auto rewrite = [&](const CopyProgress& p) {
        if (p.copied == kMediaCopyChunkSize) {
            std::fstream file(c.dir.media() + "clip.avi", std::ios::in | std::ios::out | std::ios::binary);
            const std::string other = randomBytes(kMediaCopyChunkSize, 9);
            file.write(other.data(), static_cast<std::streamsize>(other.size()));
        }
        return true;
    };
    const CopyResult result = CopyMediaFile(c.dir.media(), "clip.avi", c.dir.stick(), rewrite);
    EXPECT_FALSE(result);
    EXPECT_NE(result.reason.find("changed"), std::string::npos) << result.reason;
    c.expectOldFileKeptAndNothingElse();
}

TEST(CopyMediaFile, LinkedDestinationReplacesTheFileItNamesAndKeepsTheLink) {
    OverwriteCase c;
    fs::create_directory(c.dir.path / "real");
    fs::rename(c.dir.stick() + "clip.avi", c.dir.path / "real/clip.avi");
    fs::create_symlink("../real/clip.avi", c.dir.stick() + "clip.avi");

    ASSERT_TRUE(CopyMediaFile(c.dir.media(), "clip.avi", c.dir.stick()));

    EXPECT_TRUE(fs::is_symlink(c.dir.stick() + "clip.avi"));
    EXPECT_EQ(contents((c.dir.path / "real/clip.avi").string()), c.fresh);
    EXPECT_EQ(names((c.dir.path / "real").string()), std::vector<std::string>{"clip.avi"});
    EXPECT_EQ(names(c.dir.stick()), std::vector<std::string>{"clip.avi"});
}

TEST(CopyMediaFile, ReplacingTheSourceByItselfIsRefusedEvenWhenTheOldFileMayGoFirst) {
    TempDir dir;
    put(dir.media() + "clip.avi", "only copy");
    fs::create_directory_symlink(dir.path / "media", dir.path / "alias");
    CopyOptions removeFirst;
    removeFirst.mayRemoveOldFirst = true;
    EXPECT_FALSE(
        CopyMediaFileTo(dir.media() + "clip.avi", (dir.path / "alias").string(), "clip.avi", removeFirst));
    EXPECT_EQ(contents(dir.media() + "clip.avi"), "only copy");
}

TEST(CopyWouldReplace, SeesHiddenFilesAndOtherLetterCase) {
    TempDir dir;
    put(dir.stick() + ".intro.mp3", "old");
    put(dir.stick() + "CLIP.AVI", "old");
    EXPECT_TRUE(CopyWouldReplace(dir.stick(), ".intro.mp3"));
    EXPECT_TRUE(CopyWouldReplace(dir.stick(), "clip.avi"));
    EXPECT_FALSE(CopyWouldReplace(dir.stick(), "other.avi"));
}

TEST(IsFatMountType, KnowsFatAlsoThroughFuseButNotExfat) {
    for (const char* fat : {"vfat", "msdos", "fuse.fat", "fuseblk.vfat", "fuse.fusefat", "fuse.FAT32"})
        EXPECT_TRUE(IsFatMountType(fat)) << fat;
    for (const char* other : {"exfat", "fuse.exfat", "fuseblk", "fuse", "fuse.sshfs", "ext4", ""})
        EXPECT_FALSE(IsFatMountType(other)) << other;
}

TEST(CheckCopyFits, UnknownFreeSpaceLetsTheCopyTryButStillKnowsTheFatLimit) {
    VolumeSpace unknown{0, true, false};
    EXPECT_TRUE(CheckCopyFits(1u << 30, unknown));
    EXPECT_FALSE(CheckCopyFits(kFatMaxFileSize + 1, unknown));
}
