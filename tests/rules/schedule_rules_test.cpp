#include "rules/schedule_rules.h"

#include "model/file_system.h"
#include "rules/entry_batch.h"
#include "rules/entry_rules.h"
#include "support/schedule_builder.h"
#include "texts/screen_texts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace velmo {
namespace {

using test::MakeFile;

AdvanceEntry advanceEntry(int year, int month, int day, int weekDay, int files = 0) {
    AdvanceEntry entry;
    entry.startYear = entry.stopYear = static_cast<std::uint8_t>(year);
    entry.startMonth = entry.stopMonth = static_cast<std::uint8_t>(month);
    entry.startDay = entry.stopDay = static_cast<std::uint8_t>(day);
    entry.weekDay = static_cast<std::uint8_t>(weekDay);
    for (int i = 0; i < files; ++i)
        entry.files.push_back(MakeFile("F" + std::to_string(i), "MP3", i, 1));
    entry.fileCount = static_cast<std::int16_t>(files);
    entry.files.resize(static_cast<std::size_t>(files) + 1);
    return entry;
}

std::string spaces(int n) {
    return std::string(static_cast<std::size_t>(n), ' ');
}

// --- Row texts --------------------------------------------------------------------------------

TEST(FormatFileRow, fullWidthNameHasNoPaddingAndNumbersFollowTheirFields) {
    EXPECT_EQ(FormatFileRow(MakeFile("1234567890123456", "1234", 250, 16)),
              "1234567890123456.1234" + spaces(5) + "250" + spaces(8) + "16");
}

TEST(FormatFileRow, defaultVolumeIsTheFixedWordAfterFiveSpaces) {
    const std::string row = FormatFileRow(MakeFile("SONG", "MP3", 1, 13));
    EXPECT_EQ(row, "SONG.MP3" + spaces(13) + spaces(5) + "1" + spaces(2) + spaces(5) + "Default");
    EXPECT_EQ(row.size(), 41u);
}

TEST(FormatFileRow, volumesTwelveAndZeroShowTheirDigitsAfterEightSpaces) {
    EXPECT_EQ(FormatFileRow(MakeFile("A", "B", 100, 12)),
              "A.B" + spaces(18) + spaces(5) + "100" + spaces(8) + "12");
    EXPECT_EQ(FormatFileRow(MakeFile("A", "B", 5, 0)),
              "A.B" + spaces(18) + spaces(5) + "5" + spaces(2) + spaces(8) + "0");
}

TEST(FormatFileRow, nameFieldIsAlways21CharactersAndTheDotStays) {
    // One character and no extension: 19 spaces after the dot.
    EXPECT_EQ(FormatFileRow(MakeFile("A", "", 0, 0)).substr(0, 21), "A." + spaces(19));
    // A zero byte inside the name is skipped but still pads the field.
    FileEntry gap = MakeFile("AB", "MP3", 7, 3);
    gap.fileName[3] = 'C';
    EXPECT_EQ(FormatFileRow(gap).substr(0, 26), "ABC.MP3" + spaces(14) + spaces(5));
    // Every byte value is accepted; the play count and volume take up to three digits.
    EXPECT_EQ(FormatFileRow(MakeFile("X", "Y", 255, 255)),
              "X.Y" + spaces(18) + spaces(5) + "255" + spaces(8) + "255");
}

TEST(FormatFileRow, highBytesAreWindows1252CharactersCountedAsOneEach) {
    FileEntry entry = MakeFile("", "", 1, 13);
    entry.fileName[0] = 0xC9; // É
    entry.fileName[1] = 0x80; // €
    entry.fileExt[0] = 0x81;  // undefined in Windows-1252: the control character U+0081
    const std::string row = FormatFileRow(entry);
    EXPECT_EQ(row.substr(0, 9), "\xC3\x89\xE2\x82\xAC.\xC2\x81 ");
    EXPECT_EQ(CharacterCount(row), 41);
    EXPECT_EQ(CodePageCharacter(0x9F), "\xC5\xB8"); // Ÿ
    EXPECT_EQ(CodePageCharacter(0xFF), "\xC3\xBF"); // ÿ
    EXPECT_EQ(CodePageCharacter('A'), "A");
}

TEST(FormatAdvanceRow, datesWithLeadingZerosAndThreeSpacesBeforeTheDay) {
    EXPECT_EQ(FormatAdvanceRow(advanceEntry(6, 12, 28, 3)),
              "2006/12/28" + spaces(3) + "2006/12/28" + spaces(3) + "Wednesday");
    AdvanceEntry entry = advanceEntry(6, 3, 7, 0);
    entry.stopYear = 255;
    entry.stopMonth = 123;
    entry.stopDay = 0;
    EXPECT_EQ(FormatAdvanceRow(entry), "2006/03/07" + spaces(3) + "2255/123/00" + spaces(3) + "Sunday");
}

TEST(FormatAdvanceRow, everyWeekDayWordAndAllDayFromSevenUp) {
    const char* words[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    for (int day = 0; day < 7; ++day)
        EXPECT_EQ(FormatAdvanceRow(advanceEntry(0, 1, 1, day)),
                  "2000/01/01   2000/01/01   " + std::string(words[day]));
    EXPECT_EQ(FormatAdvanceRow(advanceEntry(0, 1, 1, 7)), "2000/01/01   2000/01/01   All Day");
    EXPECT_EQ(FormatAdvanceRow(advanceEntry(0, 1, 1, 200)), "2000/01/01   2000/01/01   All Day");
}

// --- Extension rule -----------------------------------------------------------------------------

TEST(AppendEntry, intoAnElementHoldingAnEarlierEntry_leavesNoOldByte) {
    FileEntry stale = MakeFile("ABCDEFGHIJKLMNOP", "MPEG", 50, 5);
    stale.reserved = {9, 9, 9, 9, 9, 9};
    std::vector<FileEntry> entries = {stale, stale};
    std::int16_t count = 0;
    ASSERT_TRUE(AppendEntry(entries, count, kMaxBasicEntries, MakeFile("X", "AVI", 2, 4)));
    EXPECT_EQ(count, 1);
    EXPECT_EQ(entries[0], MakeFile("X", "AVI", 2, 4));
}

TEST(ApplyScheduleExtension, threeCharacterExtensionsStayOthersGetVlm) {
    EXPECT_EQ(ApplyScheduleExtension("test"), "test.vlm");
    EXPECT_EQ(ApplyScheduleExtension("test.txt"), "test.txt");
    EXPECT_EQ(ApplyScheduleExtension("my.sched"), "my.sched.vlm");
    EXPECT_EQ(ApplyScheduleExtension("a.vl"), "a.vl.vlm"); // four characters: too short
    EXPECT_EQ(ApplyScheduleExtension(".vlm"), ".vlm.vlm"); // four characters
    EXPECT_EQ(ApplyScheduleExtension("x.VLM"), "x.VLM");   // letter case is not compared
    EXPECT_EQ(ApplyScheduleExtension("abcde"), "abcde.vlm");
    EXPECT_EQ(ApplyScheduleExtension(""), ".vlm");
}

TEST(ApplyScheduleExtension, countsCharactersNotBytes) {
    EXPECT_EQ(ApplyScheduleExtension("\xC3\xA9.txt"), "\xC3\xA9.txt"); // é.txt, five characters
    EXPECT_EQ(ApplyScheduleExtension("\xC3\xA9\xC3\xA9.t"),
              "\xC3\xA9\xC3\xA9.t.vlm"); // éé.t, four characters
    EXPECT_EQ(ApplyScheduleExtension("ab.\xC3\xA9\xC3\xA9\xC3\xA9"), "ab.\xC3\xA9\xC3\xA9\xC3\xA9");
}

// --- Save checks --------------------------------------------------------------------------------

class SaveRefusal : public ::testing::Test {
protected:
    void SetUp() override { texts.SelectScreenTexts(1); }
    ScreenTexts texts;
    Schedule schedule;

    void addBasic(int n) {
        for (int i = 0; i < n; ++i)
            schedule.basicEntries.insert(schedule.basicEntries.begin(), MakeFile("B", "MP3", 1, 1));
        schedule.basicCount = static_cast<std::int16_t>(schedule.basicCount + n);
    }
    void addAdvance(int files) {
        schedule.advanceEntries.insert(schedule.advanceEntries.begin() + schedule.advanceCount,
                                       advanceEntry(7, 1, 1, 7, files));
        ++schedule.advanceCount;
    }
};

TEST_F(SaveRefusal, emptyScheduleGivesTheTwoLineMessage) {
    EXPECT_EQ(ScheduleSaveRefusal(schedule, texts),
              std::optional<std::string>("No any schedule!\r\nCan't save!"));
}

TEST_F(SaveRefusal, firstAdvanceEntryWithoutFilesIsNamedWith25Spaces) {
    addAdvance(1);
    addAdvance(2);
    addAdvance(0);
    addAdvance(1);
    addAdvance(0);
    EXPECT_EQ(ScheduleSaveRefusal(schedule, texts),
              std::optional<std::string>("No any schedule file in advance schedule! Can't Save!3 !\r\n" +
                                         spaces(25) + "Can't save!"));
}

TEST_F(SaveRefusal, sizeLimitIsBelow30000) {
    addBasic(250); // 50 + 7500
    EXPECT_EQ(ScheduleSaveRefusal(schedule, texts), std::nullopt);

    Schedule advanceOnly;
    for (int i = 0; i < 250; ++i)
        advanceOnly.advanceEntries.insert(advanceOnly.advanceEntries.begin(), advanceEntry(7, 1, 1, 7, 4));
    advanceOnly.advanceCount = 250; // 50 + 3750 + 30000 = 33800
    EXPECT_EQ(ScheduleSaveRefusal(advanceOnly, texts), std::optional<std::string>("Too many schedules!!"));
}

TEST_F(SaveRefusal, sizeBoundary) {
    addAdvance(1);
    addAdvance(1); // 50 + 30 + 60 = 140
    addBasic(995); // + 29850 = 29990
    EXPECT_EQ(ScheduleSaveRefusal(schedule, texts), std::nullopt);
    addBasic(1); // 30020
    EXPECT_EQ(ScheduleSaveRefusal(schedule, texts), std::optional<std::string>("Too many schedules!!"));
}

TEST_F(SaveRefusal, messagesComeFromTheActiveTable) {
    texts.SelectScreenTexts(2);
    EXPECT_EQ(ScheduleSaveRefusal(schedule, texts),
              SecondLanguageText(TextId::MsgNoSchedule) + "\r\n" + SecondLanguageText(TextId::MsgCantSave));
}

// --- Default name -------------------------------------------------------------------------------

TEST(FreeScheduleName, firstNameNotTakenWithPausesBetweenAttempts) {
    int pauses = 0;
    const std::set<std::string> existing = {"velmo.vlm", "velmo1.vlm", "velmo3.vlm"};
    EXPECT_EQ(
        FreeScheduleName([&](const std::string& n) { return existing.count(n) > 0; }, [&] { ++pauses; }),
        "velmo2.vlm");
    EXPECT_EQ(pauses, 2);
    EXPECT_EQ(FreeScheduleName([](const std::string&) { return false; }), "velmo.vlm");
}

// --- Move and remove ----------------------------------------------------------------------------

std::vector<FileEntry> fiveFiles() {
    std::vector<FileEntry> entries;
    for (int i = 0; i < 5; ++i)
        entries.push_back(MakeFile("E" + std::to_string(i), "MP3", i, i));
    entries.resize(6);
    return entries;
}

TEST(SwapEntries, swapsWholeRecordsOnlyAmongEntriesInUse) {
    std::vector<FileEntry> entries = fiveFiles();
    entries[3].reserved = {9, 9, 9, 9, 9, 9};
    const std::vector<FileEntry> before = entries;
    ASSERT_TRUE(SwapEntries(entries, 5, 3, 2));
    EXPECT_EQ(entries[2], before[3]);
    EXPECT_EQ(entries[3], before[2]);
    EXPECT_EQ(entries[4], before[4]);

    const std::vector<FileEntry> swapped = entries;
    EXPECT_FALSE(SwapEntries(entries, 5, 4, 5)); // element 5 is storage, not an entry
    EXPECT_FALSE(SwapEntries(entries, 5, -1, 0));
    EXPECT_EQ(entries, swapped);
}

TEST(SwapEntries, advanceEntriesTakeTheirOwnDetails) {
    std::vector<AdvanceEntry> entries = {advanceEntry(1, 1, 1, 1, 3), advanceEntry(2, 2, 2, 2, 0),
                                         AdvanceEntry{}};
    ASSERT_TRUE(SwapEntries(entries, 2, 0, 1));
    EXPECT_EQ(entries[1].fileCount, 3);
    EXPECT_EQ(entries[1].startYear, 1);
    EXPECT_EQ(entries[0].fileCount, 0);
    EXPECT_EQ(entries[1].files[2], MakeFile("F2", "MP3", 2, 1));
    // No sharing: changing one entry's details leaves the other's alone.
    entries[1].files[0].playTimes = 77;
    EXPECT_EQ(entries[0].files.size(), 1u);
    EXPECT_EQ(entries[0].files[0].playTimes, 0);
}

TEST(MoveEntry, theEntryTakesItsNewPlaceAndThoseBetweenShift) {
    const struct {
        int from;
        int to;
        std::vector<int> order; // of the five entries afterwards
    } moves[] = {
        {0, 3, {1, 2, 3, 0, 4}}, {4, 1, {0, 4, 1, 2, 3}}, {2, 3, {0, 1, 3, 2, 4}}, {2, 2, {0, 1, 2, 3, 4}}};
    for (const auto& m : moves) {
        SCOPED_TRACE(testing::Message() << m.from << " to " << m.to);
        std::vector<FileEntry> entries = fiveFiles();
        const std::vector<FileEntry> before = entries;
        ASSERT_TRUE(MoveEntry(entries, 5, m.from, m.to));
        for (std::size_t i = 0; i < m.order.size(); ++i)
            EXPECT_EQ(entries[i], before[static_cast<std::size_t>(m.order[i])]) << i;
        EXPECT_EQ(entries[5], before[5]);
    }
    std::vector<FileEntry> entries = fiveFiles();
    EXPECT_FALSE(MoveEntry(entries, 5, 0, 5)); // element 5 is storage, not an entry
    EXPECT_FALSE(MoveEntry(entries, 5, -1, 0));
    EXPECT_EQ(entries, fiveFiles());
}

TEST(RemoveEntry, laterEntriesMoveUpAndTheCountDrops) {
    std::vector<FileEntry> entries = fiveFiles();
    const std::vector<FileEntry> before = entries;
    std::int16_t count = 3;
    entries.resize(4);
    ASSERT_TRUE(RemoveEntry(entries, count, 1));
    EXPECT_EQ(count, 2);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0], before[0]);
    EXPECT_EQ(entries[1], before[2]);
    EXPECT_EQ(entries[2], FileEntry{}); // the spare element is empty

    EXPECT_FALSE(RemoveEntry(entries, count, 2));
    EXPECT_FALSE(RemoveEntry(entries, count, -1));
    EXPECT_EQ(count, 2);

    ASSERT_TRUE(RemoveEntry(entries, count, 1));
    ASSERT_TRUE(RemoveEntry(entries, count, 0));
    EXPECT_EQ(count, 0);
    EXPECT_EQ(entries.size(), 1u);
}

TEST(RemoveEntry, removedAdvanceEntryTakesItsDetailsAlong) {
    std::vector<AdvanceEntry> entries = {advanceEntry(1, 1, 1, 1, 2), advanceEntry(2, 2, 2, 2, 3),
                                         advanceEntry(3, 3, 3, 3, 1), AdvanceEntry{}};
    const AdvanceEntry first = entries[0];
    const AdvanceEntry third = entries[2];
    std::int16_t count = 3;
    ASSERT_TRUE(RemoveEntry(entries, count, 1));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(entries[0], first);
    EXPECT_EQ(entries[1], third);
    EXPECT_EQ(entries[1].fileCount, 1);
    EXPECT_TRUE(entries[2].files.empty());
    EXPECT_EQ(entries[2].fileCount, 0);
}

// --- Application directory ------------------------------------------------------------------------

TEST(ChooseAppPath, besideTheProgramUnlessInstalledOrUnwritable) {
    auto data = [] { return std::string("/home/u/.local/share/velmo"); };
    const std::string dataDir = data() + kDirSeparator;
    EXPECT_EQ(ChooseAppPath("/opt/velmo", false, true, data), "/opt/velmo" + std::string(1, kDirSeparator));
    EXPECT_EQ(ChooseAppPath("/usr/bin", true, true, data), dataDir);
    EXPECT_EQ(ChooseAppPath("/opt/velmo", false, false, data), dataDir);
    // Without a data directory the program's own is the only choice left.
    EXPECT_EQ(ChooseAppPath("/usr/bin", true, true, [] { return std::string(); }),
              "/usr/bin" + std::string(1, kDirSeparator));
    // A program in the root directory: the root with a single separator.
    EXPECT_EQ(ChooseAppPath("/", false, true, data), "/");
    EXPECT_EQ(WithTrailingSeparator("/a/"), "/a/");
}

TEST(MountPointOf, longestMountPointAboveThePath) {
    const std::vector<std::string> mounts = {"/", "/media/usb", "/media/usb2", "/home/"};
    EXPECT_EQ(MountPointOf("/media/usb2/x/", mounts), "/media/usb2");
    EXPECT_EQ(MountPointOf("/media/usb/", mounts), "/media/usb");
    EXPECT_EQ(MountPointOf("/media/usbx/", mounts), "/");
    EXPECT_EQ(MountPointOf("/home/u/", mounts), "/home/");
    EXPECT_EQ(MountPointOf("/media/usb", {"/media/usb"}), "/media/usb");
    EXPECT_EQ(MountPointOf("/srv/", {}), std::string(1, kDirSeparator));
#ifdef _WIN32
    // The drives as Windows names them, the folder in either spelling.
    const std::vector<std::string> drives = {"C:\\", "D:\\", "\\\\server\\share"};
    EXPECT_EQ(MountPointOf("C:/Users/u/stick", drives), "C:\\");
    EXPECT_EQ(MountPointOf("D:\\", drives), "D:\\");
    EXPECT_EQ(MountPointOf("D:", drives), "D:\\");
    EXPECT_EQ(MountPointOf("\\\\server\\share\\clips", drives), "\\\\server\\share");
    EXPECT_EQ(MountPointOf("\\\\server\\shared", drives), "\\");
#endif
}

} // namespace
} // namespace velmo
