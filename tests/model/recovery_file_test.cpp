#include "model/recovery_file.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace velmo {
namespace {

TEST(RecoveryFileTest, WrittenAndReadBack_withTheFileItBelongsTo_evenWhenItCouldNotBeSaved) {
    test::TempDir dir;
    RecoveredSchedule kept{"/home/u/with\nnewline/", "week.vlm", {}};
    kept.schedule.advanceEntries.resize(2);
    kept.schedule.advanceCount = 1; // an advance entry without files: not savable, still kept
    kept.schedule.advanceEntries[0].startYear = 7;
    SeededRandomSource random(1);
    ASSERT_TRUE(WriteRecoveryFile(dir.file("r"), kept, random).ok);

    RecoveredSchedule read;
    ASSERT_EQ(ReadRecoveryFile(dir.file("r"), read), RecoveryRead::Read);
    EXPECT_EQ(read.directory, kept.directory);
    EXPECT_EQ(read.fileName, kept.fileName);
    EXPECT_EQ(read.schedule, kept.schedule);
    EXPECT_EQ(ReadRecoveryFile(dir.file("none"), read), RecoveryRead::Absent);
}

TEST(RecoveryFileTest, APipeUnderTheName_isDamagedAtOnce_neverBlocksTheStart) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("r").c_str(), 0600), 0);
    RecoveredSchedule read;
    EXPECT_EQ(ReadRecoveryFile(dir.file("r"), read), RecoveryRead::Damaged);
}

TEST(RecoveryFileTest, ANewerFormat_isCalledNewer_otherBytesDamaged) {
    test::TempDir dir;
    RecoveredSchedule read;
    for (const auto& [bytes, expected] : std::vector<std::pair<std::string, RecoveryRead>>{
             {"VELMO-RECOVERY 2\n5\n/a/b/", RecoveryRead::Newer},
             {"VELMO-RECOVERY 17\n", RecoveryRead::Newer},
             {"VELMO-RECOVERY 0\n", RecoveryRead::Damaged},
             {"VELMO-RECOVERY 1\nxx", RecoveryRead::Damaged},
             {"VELMO-RECOVERY x\n", RecoveryRead::Damaged},
             {"garbage", RecoveryRead::Damaged}}) {
        test::WriteText(dir.file("r"), bytes);
        EXPECT_EQ(ReadRecoveryFile(dir.file("r"), read), expected) << bytes;
    }
}

// An unanswered file stays when a later session keeps its own: both are there, newest first.
TEST(RecoveryFileTest, ALaterSessionKeepsItsFileBesideAnUnansweredOne_newestFirst) {
    test::TempDir dir;
    const std::string base = dir.file("r");
    EXPECT_EQ(FreeRecoveryPath(base), base);
    EXPECT_TRUE(RecoveryFilesNewestFirst(base).empty());
    SeededRandomSource random(2);
    RecoveredSchedule first{"/a/", "first.vlm", {}};
    ASSERT_TRUE(WriteRecoveryFile(FreeRecoveryPath(base), first, random).ok);
    RecoveredSchedule second{"/a/", "second.vlm", {}};
    const std::string besides = FreeRecoveryPath(base);
    EXPECT_EQ(besides, base + ".2");
    ASSERT_TRUE(WriteRecoveryFile(besides, second, random).ok);
    const timespec older[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, base.c_str(), older, 0), 0);
    EXPECT_EQ(RecoveryFilesNewestFirst(base), (std::vector<std::string>{base + ".2", base}));
    RecoveredSchedule read;
    ASSERT_EQ(ReadRecoveryFile(base, read), RecoveryRead::Read);
    EXPECT_EQ(read.fileName, "first.vlm");
}

// A recovery file that could not be written is said at the next start, once.
TEST(RecoveryFileTest, AFailedWrite_isNotedAndToldOnce_evenWhenItsDirectoryTakesNothing) {
    test::TempDir dir;
    NoteRecoveryFailure(dir.file("r"), "No space left on device");
    EXPECT_EQ(TakeRecoveryFailure(dir.file("r")), std::optional<std::string>("No space left on device"));
    EXPECT_EQ(TakeRecoveryFailure(dir.file("r")), std::nullopt);
    // A directory that cannot be written to at all: noted elsewhere, found all the same.
    const std::string gone = dir.file("absent/r");
    NoteRecoveryFailure(gone, "Read-only file system");
    EXPECT_EQ(TakeRecoveryFailure(gone), std::optional<std::string>("Read-only file system"));
    EXPECT_EQ(TakeRecoveryFailure(gone), std::nullopt);
}

} // namespace
} // namespace velmo
