// Every system call of a save made to fail, one at a time: each failure is reported and none leaves
// the target changed, except the directory flush after the rename, which cannot take the rename back
// and says so.

#include "model/safe_file.h"
#include "reliability_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <sys/file.h>

using namespace velmo;
using namespace velmo::test;

namespace {

enum class Call { Open, Write, Fsync, Close, Rename, Unlink };

const char* NameOf(Call call) {
    switch (call) {
    case Call::Open:
        return "open";
    case Call::Write:
        return "write";
    case Call::Fsync:
        return "fsync";
    case Call::Close:
        return "close";
    case Call::Rename:
        return "rename";
    case Call::Unlink:
        return "unlink";
    }
    return "?";
}

struct Traced {
    Call call;
    std::string path;
};

// Records every call with the path it concerns and fails the chosen ones with the chosen error.
class InjectingIo final : public FileIo {
public:
    std::vector<Traced> trace;
    std::map<long, int> failures; // call index -> errno
    std::size_t piece = std::numeric_limits<std::size_t>::max();
    int interruptedWrites = 0; // this many writes, every other one, fail with EINTR first

    int open(const std::string& p, int f, mode_t m) override {
        if (fails(Call::Open, p))
            return -1;
        const int fd = FileIo::open(p, f, m);
        if (fd >= 0)
            paths_[fd] = p;
        return fd;
    }
    ssize_t write(int fd, const void* b, std::size_t n) override {
        if (interruptedWrites > 0 && writes_++ % 2 == 0) {
            --interruptedWrites;
            trace.push_back({Call::Write, paths_[fd]});
            errno = EINTR;
            return -1;
        }
        return fails(Call::Write, paths_[fd]) ? -1 : FileIo::write(fd, b, std::min(n, piece));
    }
    int fsync(int fd) override { return fails(Call::Fsync, paths_[fd]) ? -1 : FileIo::fsync(fd); }
    int close(int fd) override {
        // A failed close still releases the descriptor.
        const bool failed = fails(Call::Close, paths_[fd]);
        FileIo::close(fd);
        return failed ? -1 : 0;
    }
    int rename(const std::string& a, const std::string& b) override {
        return fails(Call::Rename, a) ? -1 : FileIo::rename(a, b);
    }
    int unlink(const std::string& p) override { return fails(Call::Unlink, p) ? -1 : FileIo::unlink(p); }

private:
    bool fails(Call call, const std::string& path) {
        trace.push_back({call, path});
        const auto found = failures.find(static_cast<long>(trace.size()) - 1);
        if (found == failures.end())
            return false;
        errno = found->second;
        return true;
    }
    std::map<int, std::string> paths_;
    int writes_ = 0;
};

std::string BaseName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

enum class Start { OldFile, NoFile, OldFileAndLeftover };

const char* NameOf(Start start) {
    switch (start) {
    case Start::OldFile:
        return "over an old file";
    case Start::NoFile:
        return "as a new file";
    case Start::OldFileAndLeftover:
        return "over an old file beside a killed save's leftover";
    }
    return "?";
}

struct Scene {
    TempDir dir;
    std::string leftover;

    Scene(const Saver& saver, Start start) {
        if (start != Start::NoFile) {
            EXPECT_TRUE(saver.save(dir.dir(), 1, FileIo::system()));
        }
        if (start == Start::OldFileAndLeftover) {
            leftover = dir.file("." + saver.name + ".tmp-4711");
            WriteText(leftover, "half a file");
        }
    }
};

void ExpectEveryFailureHandled(const Saver& saver, Start start, int error, std::size_t piece) {
    const Bytes fresh = saver.bytesOf(2);
    InjectingIo dryRun;
    dryRun.piece = piece;
    std::string directory;
    {
        Scene scene(saver, start);
        directory = scene.dir.path.string();
        ASSERT_TRUE(saver.save(scene.dir.dir(), 2, dryRun));
    }
    long renameAt = -1;
    std::map<std::string, int> kinds;
    for (std::size_t i = 0; i < dryRun.trace.size(); ++i) {
        if (dryRun.trace[i].call == Call::Rename)
            renameAt = static_cast<long>(i);
        const bool onDirectory = dryRun.trace[i].path == directory;
        ++kinds[std::string(NameOf(dryRun.trace[i].call)) + (onDirectory ? " directory" : "")];
    }
    ASSERT_GE(renameAt, 0);
    // The calls a save makes: temporary file open, write, flush, close; directory open, flush
    // before and after the rename, close.
    for (const char* kind :
         {"open", "write", "fsync", "close", "rename", "open directory", "close directory"})
        EXPECT_GE(kinds[kind], 1) << kind << " not among the calls made";
    EXPECT_EQ(kinds["fsync directory"], 2);

    for (long k = 0; k < static_cast<long>(dryRun.trace.size()); ++k) {
        const Traced& failing = dryRun.trace[static_cast<std::size_t>(k)];
        Scene scene(saver, start);
        const Bytes before = ReadBytes(scene.dir.file(saver.name));
        InjectingIo io;
        io.piece = piece;
        io.failures[k] = error;
        const Result result = saver.save(scene.dir.dir(), 2, io);
        const Bytes after = ReadBytes(scene.dir.file(saver.name));
        const std::string where = saver.kind + " " + NameOf(start) + ": " + NameOf(failing.call) + " of " +
                                  failing.path + " (call " + std::to_string(k) + ") failing with " +
                                  std::strerror(error);
        ASSERT_GT(io.trace.size(), static_cast<std::size_t>(k)) << where;
        ASSERT_EQ(io.trace[static_cast<std::size_t>(k)].call, failing.call)
            << where << ": the calls differ from the dry run";

        const bool onLeftover = !scene.leftover.empty() && BaseName(failing.path) == BaseName(scene.leftover);
        if (onLeftover) {
            // Tidying up after others is no part of the save: it goes on.
            EXPECT_TRUE(result) << where << ": " << result.reason;
            EXPECT_TRUE(after == fresh) << where;
        } else if (k > renameAt && failing.call == Call::Fsync) {
            EXPECT_FALSE(result) << where;
            EXPECT_NE(result.reason.find("holds the new content"), std::string::npos)
                << where << ": " << result.reason;
            EXPECT_TRUE(after == fresh) << where << ": the new file is not complete";
        } else if (k > renameAt) {
            EXPECT_EQ(failing.call, Call::Close) << where;
            EXPECT_TRUE(result) << where << ": closing a directory loses nothing, yet: " << result.reason;
            EXPECT_TRUE(after == fresh) << where;
        } else {
            EXPECT_FALSE(result) << where;
            EXPECT_NE(result.reason.find(std::strerror(error)), std::string::npos)
                << where << ": the reason does not give the cause: " << result.reason;
            EXPECT_TRUE(after == before) << where << ": the target changed";
        }
        std::vector<std::string> temporaries = Temporaries(scene.dir);
        if (onLeftover)
            std::erase(temporaries, BaseName(scene.leftover));
        EXPECT_TRUE(temporaries.empty()) << where << ": " << temporaries.front() << " left behind";
    }
}

struct FailureCase {
    int error;
    std::size_t piece;
};

class EveryCallFails : public ::testing::TestWithParam<FailureCase> {};

} // namespace

TEST_P(EveryCallFails, ScheduleSave) {
    for (Start start : {Start::OldFile, Start::NoFile, Start::OldFileAndLeftover})
        ExpectEveryFailureHandled(ScheduleSaver(), start, GetParam().error, GetParam().piece);
}

TEST_P(EveryCallFails, SettingsWrite) {
    for (Start start : {Start::OldFile, Start::NoFile, Start::OldFileAndLeftover})
        ExpectEveryFailureHandled(SettingsSaver(), start, GetParam().error, GetParam().piece);
}

// Whole writes with an I/O error; the data in pieces with the disk full or the quota used up, so
// failures land in the middle of the data too.
INSTANTIATE_TEST_SUITE_P(IoErrors, EveryCallFails,
                         ::testing::Values(FailureCase{EIO, std::numeric_limits<std::size_t>::max()},
                                           FailureCase{ENOSPC, 4096}, FailureCase{EDQUOT, 512}),
                         [](const ::testing::TestParamInfo<FailureCase>& info) {
                             const char* error = info.param.error == EIO      ? "EIO"
                                                 : info.param.error == ENOSPC ? "ENOSPC"
                                                                              : "EDQUOT";
                             return std::string(error) + "_" +
                                    (info.param.piece == std::numeric_limits<std::size_t>::max()
                                         ? std::string("wholeWrites")
                                         : std::to_string(info.param.piece) + "BytePieces");
                         });

TEST(IoFailure, InterruptedWritesAreResumed) {
    for (const Saver& saver : {ScheduleSaver(), SettingsSaver()}) {
        TempDir dir;
        InjectingIo io;
        io.piece = 300;
        io.interruptedWrites = 3;
        ASSERT_TRUE(saver.save(dir.dir(), 2, io)) << saver.kind;
        EXPECT_EQ(io.interruptedWrites, 0) << saver.kind;
        EXPECT_EQ(ReadBytes(dir.file(saver.name)), saver.bytesOf(2)) << saver.kind;
    }
}

// A file system that cannot flush directories at all says EINVAL; saving there works as everywhere.
TEST(IoFailure, DirectoryFlushUnsupportedIsNoFailure) {
    for (const Saver& saver : {ScheduleSaver(), SettingsSaver()}) {
        TempDir dir;
        InjectingIo dryRun;
        ASSERT_TRUE(saver.save(dir.dir(), 1, dryRun));
        InjectingIo io;
        for (std::size_t i = 0; i < dryRun.trace.size(); ++i)
            if (dryRun.trace[i].call == Call::Fsync && dryRun.trace[i].path == dir.path.string())
                io.failures[static_cast<long>(i)] = EINVAL;
        ASSERT_EQ(io.failures.size(), 2u);
        const Result result = saver.save(dir.dir(), 2, io);
        EXPECT_TRUE(result) << saver.kind << ": " << result.reason;
        EXPECT_EQ(ReadBytes(dir.file(saver.name)), saver.bytesOf(2)) << saver.kind;
    }
}

// When even removing the temporary file fails, it is gone after the next save.
TEST(IoFailure, TemporaryThatCouldNotBeRemovedGoesWithTheNextSave) {
    for (const Saver& saver : {ScheduleSaver(), SettingsSaver()}) {
        TempDir dir;
        ASSERT_TRUE(saver.save(dir.dir(), 1, FileIo::system()));
        InjectingIo dryRun;
        ASSERT_TRUE(saver.save(dir.dir(), 1, dryRun));
        long fsyncAt = -1;
        for (std::size_t i = 0; i < dryRun.trace.size() && fsyncAt < 0; ++i)
            if (dryRun.trace[i].call == Call::Fsync)
                fsyncAt = static_cast<long>(i);
        InjectingIo io;
        io.failures[fsyncAt] = EIO;
        io.failures[fsyncAt + 2] = EACCES; // after the close, the unlink of the temporary file
        EXPECT_FALSE(saver.save(dir.dir(), 2, io));
        ASSERT_EQ(io.trace.back().call, Call::Unlink) << saver.kind;
        EXPECT_EQ(Temporaries(dir).size(), 1u) << saver.kind;
        EXPECT_EQ(ReadBytes(dir.file(saver.name)), saver.bytesOf(1)) << saver.kind;

        ASSERT_TRUE(saver.save(dir.dir(), 2, FileIo::system())) << saver.kind;
        EXPECT_EQ(dir.names(), std::vector<std::string>{saver.name}) << saver.kind;
        EXPECT_EQ(ReadBytes(dir.file(saver.name)), saver.bytesOf(2)) << saver.kind;
    }
}

// A temporary file still locked by a live save (another process, or here another writer) is never
// taken for a leftover.
TEST(IoFailure, TemporaryOfALiveSaveIsLeftAlone) {
    TempDir dir;
    const std::string target = dir.file("show.vlm");
    AtomicFileWriter live(target);
    ASSERT_TRUE(live.open());
    ASSERT_TRUE(live.write("live", 4));
    const std::string liveTemporary = live.tempPath();

    const std::string orphan = dir.file(".show.vlm.tmp-12");
    const std::string unrelated = dir.file(".show.vlm.tmp-12.bak");
    WriteText(orphan, "killed");
    WriteText(unrelated, "keep");
    ASSERT_TRUE(WriteFileAtomically(target, {'n', 'e', 'w'}));
    EXPECT_FALSE(std::filesystem::exists(orphan));
    EXPECT_TRUE(std::filesystem::exists(unrelated)) << "a name that is not a temporary of ours was removed";
    EXPECT_TRUE(std::filesystem::exists(liveTemporary)) << "a live save's temporary file was removed";

    ASSERT_TRUE(live.commit());
    const Bytes bytes = ReadBytes(target);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "live");
}
