#include "model/safe_file.h"

#include "temp_dir.h"

#include <cerrno>
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
