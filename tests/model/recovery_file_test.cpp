#include "model/recovery_file.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

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

TEST(RecoveryFileTest, TruncatedFile_damaged_setAsideUnderAFreeName) {
    test::TempDir dir;
    SeededRandomSource random(1);
    Schedule one;
    one.basicCount = 1;
    ASSERT_TRUE(WriteRecoveryFile(dir.file("r"), {"/d/", "v.vlm", one}, random).ok);
    const std::vector<std::uint8_t> bytes = test::ReadBytes(dir.file("r"));
    for (std::size_t keep : {std::size_t{0}, std::size_t{10}, bytes.size() - 1}) {
        std::ofstream(dir.file("r"), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(keep));
        RecoveredSchedule read{"untouched", "", {}};
        EXPECT_EQ(ReadRecoveryFile(dir.file("r"), read), RecoveryRead::Damaged) << keep;
        EXPECT_EQ(read.directory, "untouched");
    }
    std::ofstream(dir.file("r.damaged")) << "older";
    EXPECT_EQ(SetRecoveryFileAside(dir.file("r")), dir.file("r.damaged1"));
    EXPECT_EQ(test::ReadBytes(dir.file("r.damaged1")).size(), bytes.size() - 1);
}

} // namespace
} // namespace velmo
