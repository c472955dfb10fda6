#include "model/safe_file.h"

#include "temp_dir.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>

using namespace velmo;
namespace fs = std::filesystem;

namespace {

size_t entries(const test::TempDir& dir) {
    return dir.names().size();
}

std::vector<std::uint8_t> bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// Fails one chosen kind of call, the n-th time it is made.
class FailingIo final : public FileIo {
public:
    enum Step { Open, Write, Fsync, Close, Rename } step;
    int failOn;
    int calls = 0;
    FailingIo(Step s, int n) : step(s), failOn(n) {}
    bool fail(Step s) {
        if (s != step)
            return false;
        if (++calls != failOn)
            return false;
        errno = EIO;
        return true;
    }
    int open(const std::string& p, int f, mode_t m) override {
        return fail(Open) ? -1 : FileIo::open(p, f, m);
    }
    ssize_t write(int fd, const void* b, std::size_t n) override {
        // One byte at a time, so a failure can land in the middle of the data.
        return fail(Write) ? -1 : FileIo::write(fd, b, n > 0 ? 1 : 0);
    }
    int fsync(int fd) override { return fail(Fsync) ? -1 : FileIo::fsync(fd); }
    int close(int fd) override {
        const bool f = fail(Close);
        FileIo::close(fd);
        return f ? -1 : 0;
    }
    int rename(const std::string& a, const std::string& b) override {
        return fail(Rename) ? -1 : FileIo::rename(a, b);
    }
};

} // namespace

TEST(AtomicFileWriter, ReplacesTheTargetAndLeavesNothingElse) {
    test::TempDir dir;
    test::WriteText(dir.file("a.vlm"), "old");
    ASSERT_TRUE(WriteFileAtomically(dir.file("a.vlm"), bytes("brand new")));
    EXPECT_EQ(test::ReadText(dir.file("a.vlm")), "brand new");
    EXPECT_EQ(entries(dir), 1u);
}

TEST(AtomicFileWriter, CreatesAMissingTarget) {
    test::TempDir dir;
    ASSERT_TRUE(WriteFileAtomically(dir.file("new.vlm"), bytes("x")));
    EXPECT_EQ(test::ReadText(dir.file("new.vlm")), "x");
}

TEST(AtomicFileWriter, EveryInjectedFailureKeepsTheOldFileAndRemovesTheTemporary) {
    const std::string payload = "new content of some length";
    for (auto step :
         {FailingIo::Open, FailingIo::Write, FailingIo::Fsync, FailingIo::Close, FailingIo::Rename}) {
        const int tries = step == FailingIo::Write ? static_cast<int>(payload.size()) : 1;
        for (int n = 1; n <= tries; ++n) {
            test::TempDir dir;
            test::WriteText(dir.file("a.vlm"), "old bytes");
            FailingIo io(step, n);
            const Result result = WriteFileAtomically(dir.file("a.vlm"), bytes(payload), io);
            EXPECT_FALSE(result) << "step " << step << " call " << n;
            EXPECT_FALSE(result.reason.empty());
            EXPECT_EQ(test::ReadText(dir.file("a.vlm")), "old bytes");
            EXPECT_EQ(entries(dir), 1u) << "temporary file left behind";
        }
    }
}

TEST(AtomicFileWriter, RefusesAReadOnlyTargetEvenForRoot) {
    test::TempDir dir;
    test::WriteText(dir.file("a.vlm"), "old");
    ::chmod(dir.file("a.vlm").c_str(), 0444);
    EXPECT_TRUE(IsReadOnlyFile(dir.file("a.vlm")));
    EXPECT_FALSE(WriteFileAtomically(dir.file("a.vlm"), bytes("new")));
    EXPECT_EQ(test::ReadText(dir.file("a.vlm")), "old");
    EXPECT_EQ(entries(dir), 1u);
}

TEST(AtomicFileWriter, KeepsThePermissionsOfTheReplacedFile) {
    test::TempDir dir;
    test::WriteText(dir.file("a.vlm"), "old");
    ::chmod(dir.file("a.vlm").c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomically(dir.file("a.vlm"), bytes("new")));
    struct stat info {};
    ::stat(dir.file("a.vlm").c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(AtomicFileWriter, FailsInAMissingDirectory) {
    test::TempDir dir;
    EXPECT_FALSE(WriteFileAtomically(dir.file("no/such/a.vlm"), bytes("x")));
}

TEST(AtomicFileWriter, AbandonedWriterRemovesItsTemporaryFile) {
    test::TempDir dir;
    {
        AtomicFileWriter writer(dir.file("a.vlm"));
        ASSERT_TRUE(writer.open());
        ASSERT_TRUE(writer.write("abc", 3));
        EXPECT_EQ(entries(dir), 1u);
    }
    EXPECT_EQ(entries(dir), 0u);
}

namespace {

// Notes where each new file is created and the mode it has at that moment.
class CreationIo final : public FileIo {
public:
    std::vector<std::pair<std::string, mode_t>> created;
    int open(const std::string& path, int flags, mode_t mode) override {
        const int fd = FileIo::open(path, flags, mode);
        struct stat info {};
        if (fd >= 0 && (flags & O_CREAT) != 0 && ::fstat(fd, &info) == 0)
            created.emplace_back(path, info.st_mode & 07777);
        return fd;
    }
};

bool isLink(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

} // namespace

TEST(AtomicFileWriter, SavingThroughALinkReplacesTheFileItNamesInItsOwnDirectory) {
    test::TempDir dir;
    fs::create_directory(dir.path / "s");
    fs::create_directory(dir.path / "usb");
    test::WriteText(dir.file("usb/VELMO.VLM"), "old");
    fs::create_symlink("../usb/VELMO.VLM", dir.path / "s/sched.vlm");
    CreationIo io;

    ASSERT_TRUE(WriteFileAtomically(dir.file("s/sched.vlm"), bytes("new"), io));

    EXPECT_TRUE(isLink(dir.file("s/sched.vlm")));
    EXPECT_EQ(test::ReadText(dir.file("usb/VELMO.VLM")), "new");
    ASSERT_EQ(io.created.size(), 1u);
    EXPECT_TRUE(fs::equivalent(fs::path(io.created[0].first).parent_path(), dir.path / "usb"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path / "usb"), fs::directory_iterator()), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path / "s"), fs::directory_iterator()), 1);
}

TEST(AtomicFileWriter, DanglingLinkIsWrittenThroughOrRefusedWhenItsDirectoryIsMissing) {
    test::TempDir dir;
    fs::create_directory(dir.path / "usb");
    fs::create_symlink("usb/NEW.VLM", dir.path / "new.vlm");
    fs::create_symlink("gone/NEW.VLM", dir.path / "lost.vlm");

    ASSERT_TRUE(WriteFileAtomically(dir.file("new.vlm"), bytes("new")));
    EXPECT_TRUE(isLink(dir.file("new.vlm")));
    EXPECT_EQ(test::ReadText(dir.file("usb/NEW.VLM")), "new");

    const Result refused = WriteFileAtomically(dir.file("lost.vlm"), bytes("x"));
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.reason.find("does not exist"), std::string::npos) << refused.reason;
    EXPECT_TRUE(isLink(dir.file("lost.vlm")));
    EXPECT_EQ(entries(dir), 3u);
}

TEST(AtomicFileWriter, TemporaryIsNeverMoreOpenThanThePrivateFileItReplaces) {
    test::TempDir dir;
    test::WriteText(dir.file("private.vlm"), "old");
    ::chmod(dir.file("private.vlm").c_str(), 0600);
    // No umask to narrow a wide creation mode: what the file is created with is what others get.
    const mode_t previous = ::umask(0);
    CreationIo io;
    const Result saved = WriteFileAtomically(dir.file("private.vlm"), bytes("new"), io);
    ::umask(previous);

    ASSERT_TRUE(saved);
    ASSERT_EQ(io.created.size(), 1u);
    EXPECT_EQ(io.created[0].second, 0600u);
}
