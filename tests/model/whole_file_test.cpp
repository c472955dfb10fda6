#include "model/whole_file.h"

#include "temp_dir.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace velmo;
using velmo::test::TempDir;
using velmo::test::WriteText;

TEST(ReadWholeFile, ReadsUpToTheLimitAndTellsALongerFile) {
    TempDir dir;
    WriteText(dir.file("a"), "abcdef");
    WholeFile file;
    ASSERT_TRUE(ReadWholeFile(dir.file("a"), 6, file));
    EXPECT_EQ(file.bytes, "abcdef");
    EXPECT_FALSE(file.longer);
    ASSERT_TRUE(ReadWholeFile(dir.file("a"), 4, file));
    EXPECT_EQ(file.bytes, "abcd");
    EXPECT_TRUE(file.longer);

    // A sparse file of 8 GB costs only the limit.
    ASSERT_EQ(::truncate(dir.file("a").c_str(), 8LL << 30), 0);
    ASSERT_TRUE(ReadWholeFile(dir.file("a"), 100, file));
    EXPECT_EQ(file.bytes, std::string("abcdef") + std::string(94, '\0'));
    EXPECT_TRUE(file.longer);
}

TEST(ReadWholeFile, RefusesPipesDevicesAndDirectoriesAtOnce) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0); // no writer: a blocking open would hang
    WholeFile file;
    Result r = ReadWholeFile(dir.file("pipe"), 100, file);
    EXPECT_EQ(r.reason, "not a regular file (a named pipe)");
    r = ReadWholeFile("/dev/zero", 100, file);
    EXPECT_EQ(r.reason, "not a regular file (a device)");
    r = ReadWholeFile(dir.dir(), 100, file);
    EXPECT_EQ(r.reason, std::strerror(EISDIR));
    r = ReadWholeFile(dir.file("none"), 100, file);
    EXPECT_EQ(r.reason, std::strerror(ENOENT));
}

namespace {

class FailingRead final : public FileIo {
public:
    int opened = -1;
    bool closed = false;
    int open(const std::string& path, int flags, mode_t mode) override {
        return opened = FileIo::open(path, flags, mode);
    }
    ssize_t read(int, void*, std::size_t) override {
        errno = EIO;
        return -1;
    }
    int close(int fd) override {
        closed = fd == opened;
        return FileIo::close(fd);
    }
};

} // namespace

TEST(ReadWholeFile, AFailedReadIsReportedAndClosesTheFile) {
    TempDir dir;
    WriteText(dir.file("a"), "abc");
    FailingRead io;
    WholeFile file;
    const Result r = ReadWholeFile(dir.file("a"), 100, file, io);
    EXPECT_EQ(r.reason, std::strerror(EIO));
    EXPECT_TRUE(file.bytes.empty());
    EXPECT_TRUE(io.closed);
}
