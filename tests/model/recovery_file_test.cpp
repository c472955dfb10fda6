#include "model/recovery_file.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

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

} // namespace
} // namespace velmo
