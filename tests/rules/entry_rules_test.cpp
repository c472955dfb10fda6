#include "rules/entry_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmo {
namespace {

template <std::size_t N> std::array<std::uint8_t, N> bytes(const std::string& text) {
    std::array<std::uint8_t, N> result{};
    for (std::size_t i = 0; i < text.size() && i < N; ++i)
        result[i] = static_cast<std::uint8_t>(text[i]);
    return result;
}

FileEntry entryNamed(const std::string& name, const std::string& ext) {
    FileEntry entry;
    entry.fileName = bytes<kFileNameWidth>(name);
    entry.fileExt = bytes<kFileExtWidth>(ext);
    return entry;
}

// ---- names -------------------------------------------------------------------------------------

TEST(EntryRulesFileName, FileNameCheck_reportsTheFirstBrokenRule) {
    struct Case {
        std::string typed;
        FileNameFault fault;
    };
    const std::vector<Case> cases = {
        {"clip.mpeg", FileNameFault::None},
        {"clip.jpeg2", FileNameFault::ExtensionTooLong},
        {"abcdefghijklmnop.mpg", FileNameFault::None},
        {"abcdefghijklmnopq.mpg", FileNameFault::BaseTooLong},
        {"abcdefghijklmnopqrst", FileNameFault::BaseTooLong}, // no dot: all of it is the base
        {"a.b.c", FileNameFault::None},
        {".mp3", FileNameFault::None},
        {".", FileNameFault::None},
        {"clip", FileNameFault::None},
        {"", FileNameFault::Empty},
        {"    ", FileNameFault::Empty},
        {"my clip.avi", FileNameFault::CharacterNotAllowed},
        {"   clip.avi  ", FileNameFault::None},
        {"a_b-C9.MP3", FileNameFault::None},
        {"clip.avi\t", FileNameFault::CharacterNotAllowed}, // only spaces are trimmed
        {"caf\xC3\xA9.avi", FileNameFault::CharacterNotAllowed},
        // The order: base before extension before characters.
        {"abcdefghijklmnopq.jpeg2", FileNameFault::BaseTooLong},
        {"a b.jpeg2", FileNameFault::ExtensionTooLong},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FileNameCheck(c.typed), c.fault) << '"' << c.typed << '"';

    // Lengths count characters: 16 accented letters are a base of 16, not of 32.
    std::string sixteenAccented;
    for (int i = 0; i < 16; ++i)
        sixteenAccented += "\xC3\xA9";
    EXPECT_EQ(FileNameCheck(sixteenAccented + ".avi"), FileNameFault::CharacterNotAllowed);
    EXPECT_EQ(FileNameCheck(sixteenAccented + "\xC3\xA9.avi"), FileNameFault::BaseTooLong);
    EXPECT_EQ(FileNameCheck("a.\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"), FileNameFault::CharacterNotAllowed);
}

TEST(EntryRulesFileName, FileNameFaultText_describesEachFault) {
    EXPECT_STREQ(FileNameFaultText(FileNameFault::ExtensionTooLong), "extension longer than 4");
    EXPECT_STREQ(FileNameFaultText(FileNameFault::BaseTooLong), "name longer than 16");
    EXPECT_STREQ(FileNameFaultText(FileNameFault::Empty), "empty name");
    EXPECT_STREQ(FileNameFaultText(FileNameFault::CharacterNotAllowed), "character not allowed");
}

TEST(EntryRulesFileName, FileNameCharCheck_allowsExactlyLettersDigitsDotUnderscoreHyphen) {
    const std::string allowed = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-";
    for (int code = 1; code < 256; ++code) {
        const std::string one(1, static_cast<char>(code));
        EXPECT_EQ(FileNameCharCheck(one), allowed.find(one) != std::string::npos) << "code " << code;
    }
    EXPECT_TRUE(FileNameCharCheck("A.b.C_1-2"));
    EXPECT_FALSE(FileNameCharCheck("abc def")); // every character is examined
    EXPECT_TRUE(FileNameCharCheck(""));
}

TEST(EntryRulesFileName, LastDotPositionAndSplit_useTheLastDot) {
    EXPECT_EQ(LastDotPosition("a.b.c"), 4);
    EXPECT_EQ(LastDotPosition("clip"), 0);
    EXPECT_EQ(LastDotPosition("."), 1);
    EXPECT_EQ(LastDotPosition(".mp3"), 1);
    EXPECT_EQ(LastDotPosition("clip."), 5);
    EXPECT_EQ(LastDotPosition("\xC3\xA9.x"), 2); // positions count characters

    EXPECT_EQ(SplitFileName("a.b.c").base, "a.b");
    EXPECT_EQ(SplitFileName("a.b.c").extension, "c");
    EXPECT_EQ(SplitFileName("clip").base, "clip");
    EXPECT_EQ(SplitFileName("clip").extension, "");
    EXPECT_EQ(SplitFileName(".").base, "");
    EXPECT_EQ(SplitFileName(".").extension, "");

    EXPECT_EQ(TrimSpaces("  clip.avi "), "clip.avi");
    EXPECT_EQ(TrimSpaces("   "), "");
    EXPECT_EQ(UpperCase("Clip.Avi_x-1"), "CLIP.AVI_X-1");
}

// ---- storing -----------------------------------------------------------------------------------

TEST(EntryRulesStore, StoreFileEntry_upperCasesAndZeroPadsTheFullWidths) {
    FileEntry entry;
    ASSERT_TRUE(StoreFileEntry(entry, "  Clip.Avi ", 0, 13));
    EXPECT_EQ(entry.fileName, bytes<16>("CLIP"));
    EXPECT_EQ(entry.fileExt, bytes<4>("AVI"));
    EXPECT_EQ(entry.playTimes, 0);
    EXPECT_EQ(entry.volume, 13);

    ASSERT_TRUE(StoreFileEntry(entry, "a.b.c", 5, 7));
    EXPECT_EQ(entry.fileName, bytes<16>("A.B"));
    EXPECT_EQ(entry.fileExt, bytes<4>("C"));

    ASSERT_TRUE(StoreFileEntry(entry, ".mp3", 1, 1));
    EXPECT_EQ(entry.fileName, bytes<16>(""));
    EXPECT_EQ(entry.fileExt, bytes<4>("MP3"));

    ASSERT_TRUE(StoreFileEntry(entry, ".", 1, 1));
    EXPECT_EQ(entry.fileName, bytes<16>(""));
    EXPECT_EQ(entry.fileExt, bytes<4>(""));

    ASSERT_TRUE(StoreFileEntry(entry, "clip", 1, 1));
    EXPECT_EQ(entry.fileName, bytes<16>("CLIP"));
    EXPECT_EQ(entry.fileExt, bytes<4>(""));

    ASSERT_TRUE(StoreFileEntry(entry, "abcdefghijklmnop.mpeg", 100, 12));
    EXPECT_EQ(entry.fileName, bytes<16>("ABCDEFGHIJKLMNOP"));
    EXPECT_EQ(entry.fileExt, bytes<4>("MPEG"));
    EXPECT_EQ(entry.playTimes, 100);
    EXPECT_EQ(entry.volume, 12);
}

TEST(EntryRulesStore, StoreFileEntry_leavesNoOldByteAndZeroesReserved) {
    FileEntry entry = entryNamed("ABCDEFGHIJKLMNOP", "MPEG");
    entry.reserved = {1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(StoreFileEntry(entry, "x.avi", 3, 4));
    const std::array<std::uint8_t, 16> name = {'X', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const std::array<std::uint8_t, 4> ext = {'A', 'V', 'I', 0};
    EXPECT_EQ(entry.fileName, name);
    EXPECT_EQ(entry.fileExt, ext);
    EXPECT_EQ(entry.reserved, (std::array<std::uint8_t, 6>{}));
}

TEST(EntryRulesStore, StoreFileEntry_refusedNameLeavesTheEntryAlone) {
    FileEntry entry = entryNamed("SONG", "MP3");
    entry.playTimes = 9;
    const FileEntry before = entry;
    EXPECT_FALSE(StoreFileEntry(entry, "my clip.avi", 1, 1));
    EXPECT_FALSE(StoreFileEntry(entry, "   ", 1, 1));
    EXPECT_FALSE(StoreFileEntry(entry, "clip.jpeg2", 1, 1));
    EXPECT_EQ(entry, before);
}

TEST(EntryRulesStore, StoreFileEntry_bringsCountsIntoTheirLists) {
    FileEntry entry;
    ASSERT_TRUE(StoreFileEntry(entry, "a.b", 250, 200));
    EXPECT_EQ(entry.playTimes, 100);
    EXPECT_EQ(entry.volume, 13);
    ASSERT_TRUE(StoreFileEntry(entry, "a.b", -4, -1));
    EXPECT_EQ(entry.playTimes, 0);
    EXPECT_EQ(entry.volume, 0);
    EXPECT_EQ(NearestPlayTimes(101), 100);
    EXPECT_EQ(NearestPlayTimes(37), 37);
    EXPECT_EQ(NearestVolume(14), 13);
    EXPECT_EQ(NearestVolume(13), 13);
}

TEST(EntryRulesStore, StoredNameText_stopsAtZeroAndAlwaysShowsTheDot) {
    EXPECT_EQ(StoredNameText(entryNamed("ABCDEFGHIJKLMNOP", "MPEG")), "ABCDEFGHIJKLMNOP.MPEG");
    EXPECT_EQ(StoredNameText(entryNamed("CLIP", "")), "CLIP.");
    EXPECT_EQ(StoredNameText(entryNamed("", "")), ".");
    EXPECT_EQ(StoredNameText(entryNamed(std::string("AB\0CD", 5), "MP3")), "AB.MP3");
    // Bytes above 127 are Windows-1252 characters.
    EXPECT_EQ(StoredNameText(entryNamed("\x80\xE9", "\x81")), "\xE2\x82\xAC\xC3\xA9.\xC2\x81");
}

// ---- stored file entries -------------------------------------------------------------------------

TEST(EntryRulesStoredFile, CheckStoredFileEntry_findsWhatTheEditorNeverWrites) {
    FileEntry entry = entryNamed("SONG", "MP3");
    entry.playTimes = 100;
    entry.volume = 13;
    EXPECT_EQ(CheckStoredFileEntry(entry), FileEntryFault::None);
    EXPECT_EQ(CheckStoredFileEntry(entryNamed("A.B", "")), FileEntryFault::None);

    EXPECT_EQ(CheckStoredFileEntry(entryNamed("SO NG", "MP3")), FileEntryFault::NameCharacterNotAllowed);
    EXPECT_EQ(CheckStoredFileEntry(entryNamed("SONG", "\xE9")), FileEntryFault::NameCharacterNotAllowed);
    EXPECT_EQ(CheckStoredFileEntry(entryNamed("Song", "MP3")), FileEntryFault::NameNotUpperCase);
    EXPECT_EQ(CheckStoredFileEntry(entryNamed(std::string("AB\0C", 4), "MP3")), FileEntryFault::NameGap);
    EXPECT_EQ(CheckStoredFileEntry(entryNamed("SONG", "M.P")), FileEntryFault::ExtensionDot);

    FileEntry loud = entry;
    loud.volume = 14;
    EXPECT_EQ(CheckStoredFileEntry(loud), FileEntryFault::VolumeOutOfRange);
    FileEntry often = entry;
    often.playTimes = 101;
    EXPECT_EQ(CheckStoredFileEntry(often), FileEntryFault::PlayTimesOutOfRange);
    EXPECT_STREQ(FileEntryFaultText(FileEntryFault::VolumeOutOfRange), "volume above 13");
}

// ---- calendar ----------------------------------------------------------------------------------

TEST(EntryRulesCalendar, IsLeapYearAndDaysOfMonth_followTheGregorianRule) {
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_TRUE(IsLeapYear(2004));
    EXPECT_TRUE(IsLeapYear(2096));
    EXPECT_FALSE(IsLeapYear(2001));
    EXPECT_FALSE(IsLeapYear(2100));
    EXPECT_FALSE(IsLeapYear(1900));

    EXPECT_EQ(DaysOfMonth(2000, 2), 29);
    EXPECT_EQ(DaysOfMonth(2096, 2), 29);
    EXPECT_EQ(DaysOfMonth(2001, 2), 28);
    EXPECT_EQ(DaysOfMonth(2100, 2), 28);
    const int days2007[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int month = 1; month <= 12; ++month)
        EXPECT_EQ(DaysOfMonth(2007, month), days2007[month - 1]) << month;
    EXPECT_EQ(DaysOfMonth(2007, 0), 30);
    EXPECT_EQ(DaysOfMonth(2007, 13), 30);
}

TEST(EntryRulesCalendar, NearestDay_keepsTheDayWhenTheMonthHasIt) {
    EXPECT_EQ(NearestDay(2004, 2, 31), 29);
    EXPECT_EQ(NearestDay(2004, 3, 29), 29);
    EXPECT_EQ(NearestDay(2005, 2, 29), 28);
    EXPECT_EQ(NearestDay(2007, 4, 31), 30);
    EXPECT_EQ(NearestDay(2007, 4, 0), 1);
}

// ---- advance setups ----------------------------------------------------------------------------

TEST(EntryRulesAdvance, CheckDateSetup_passesEqualDatesAndComparesYearFirst) {
    EXPECT_TRUE(CheckDateSetup({2007, 5, 31}, {2007, 5, 31}));
    EXPECT_TRUE(CheckDateSetup({2007, 12, 31}, {2008, 1, 1}));
    EXPECT_FALSE(CheckDateSetup({2008, 1, 1}, {2007, 12, 31}));
    EXPECT_FALSE(CheckDateSetup({2007, 6, 1}, {2007, 5, 31}));
    EXPECT_FALSE(CheckDateSetup({2007, 5, 2}, {2007, 5, 1}));
}

TEST(EntryRulesAdvance, CheckTimeSetup_needsStartStrictlyBeforeStop) {
    EXPECT_TRUE(CheckTimeSetup({8, 0, 0}, {8, 0, 1}));
    EXPECT_FALSE(CheckTimeSetup({12, 30, 0}, {12, 30, 0}));
    EXPECT_FALSE(CheckTimeSetup({22, 0, 0}, {6, 0, 0}));
    EXPECT_TRUE(CheckTimeSetup({0, 59, 59}, {1, 0, 0}));
    EXPECT_FALSE(CheckTimeSetup({1, 0, 0}, {0, 59, 59}));
}

TEST(EntryRulesAdvance, CheckAdvanceSetup_testsDatesFirstAndNeverCombinesDateAndTime) {
    AdvanceSetup overnight = NewAdvanceSetup(2007, 1, 1);
    overnight.stopDate = {2007, 1, 2};
    overnight.startTime = {22, 0, 0};
    overnight.stopTime = {6, 0, 0};
    EXPECT_EQ(CheckAdvanceSetup(overnight), AdvanceSetupFault::TimeSetup);

    AdvanceSetup both = NewAdvanceSetup(2007, 1, 2);
    both.stopDate = {2007, 1, 1};
    both.startTime = both.stopTime = {12, 30, 0};
    EXPECT_EQ(CheckAdvanceSetup(both), AdvanceSetupFault::DateSetup);

    AdvanceSetup sameDay = NewAdvanceSetup(2007, 1, 1);
    sameDay.startTime = {8, 0, 0};
    sameDay.stopTime = {8, 0, 1};
    EXPECT_EQ(CheckAdvanceSetup(sameDay), AdvanceSetupFault::None);
}

TEST(EntryRulesAdvance, NewAdvanceSetup_isTodayAllDayLong) {
    const AdvanceSetup setup = NewAdvanceSetup(2007, 5, 31);
    EXPECT_EQ(setup.startDate, (DateSetup{2007, 5, 31}));
    EXPECT_EQ(setup.stopDate, (DateSetup{2007, 5, 31}));
    EXPECT_EQ(setup.startTime, (TimeSetup{0, 0, 0}));
    EXPECT_EQ(setup.stopTime, (TimeSetup{23, 59, 59}));
    EXPECT_EQ(setup.weekDay, 7);
}

TEST(EntryRulesAdvance, NewAdvanceSetup_outsideTheYearListTakesTheNearestYear) {
    EXPECT_EQ(NewAdvanceSetup(1999, 2, 29).startDate, (DateSetup{2000, 2, 29}));
    EXPECT_EQ(NewAdvanceSetup(2100, 2, 29).startDate, (DateSetup{2099, 2, 28}));
    EXPECT_EQ(NewAdvanceSetup(2150, 12, 31).stopDate, (DateSetup{2099, 12, 31}));
    EXPECT_EQ(NewAdvanceSetup(1970, 1, 1).stopDate, (DateSetup{2000, 1, 1}));
}

TEST(EntryRulesAdvance, AdvanceSetupFromEntry_bringsStrayValuesToTheNearestItem) {
    AdvanceEntry e;
    e.startYear = 120;
    e.startMonth = 0;
    e.startDay = 0;
    e.startHour = 24;
    e.startMinute = 60;
    e.startSecond = 255;
    e.stopYear = 7;
    e.stopMonth = 13;
    e.stopDay = 40;
    e.stopHour = 23;
    e.stopMinute = 59;
    e.stopSecond = 59;
    e.weekDay = 8;
    const AdvanceSetup setup = AdvanceSetupFromEntry(e);
    EXPECT_EQ(setup.startDate, (DateSetup{2099, 1, 1}));
    EXPECT_EQ(setup.stopDate, (DateSetup{2007, 12, 31}));
    EXPECT_EQ(setup.startTime, (TimeSetup{23, 59, 59}));
    EXPECT_EQ(setup.stopTime, (TimeSetup{23, 59, 59}));
    EXPECT_EQ(setup.weekDay, 7);

    e.startYear = 4;
    e.startMonth = 4;
    e.startDay = 31; // April has 30
    e.weekDay = 2;
    EXPECT_EQ(AdvanceSetupFromEntry(e).startDate, (DateSetup{2004, 4, 30}));
    EXPECT_EQ(AdvanceSetupFromEntry(e).weekDay, 2);
}

TEST(EntryRulesAdvance, StoreAdvanceEntry_writesTheFieldsAndKeepsFilesOfAModifiedEntry) {
    AdvanceSetup setup = NewAdvanceSetup(2007, 5, 31);
    AdvanceEntry added;
    added.fileCount = 3;
    added.files.resize(3);
    StoreAdvanceEntry(added, setup, true);
    EXPECT_EQ(added.startYear, 7);
    EXPECT_EQ(added.startMonth, 5);
    EXPECT_EQ(added.startDay, 31);
    EXPECT_EQ(added.startHour, 0);
    EXPECT_EQ(added.startMinute, 0);
    EXPECT_EQ(added.startSecond, 0);
    EXPECT_EQ(added.stopYear, 7);
    EXPECT_EQ(added.stopMonth, 5);
    EXPECT_EQ(added.stopDay, 31);
    EXPECT_EQ(added.stopHour, 23);
    EXPECT_EQ(added.stopMinute, 59);
    EXPECT_EQ(added.stopSecond, 59);
    EXPECT_EQ(added.weekDay, 7);
    EXPECT_EQ(added.fileCount, 0);

    AdvanceEntry modified;
    modified.fileCount = 2;
    modified.files = {entryNamed("A", "MP3"), entryNamed("B", "AVI")};
    const auto files = modified.files;
    setup.startDate = {2099, 12, 31};
    setup.stopDate = {2099, 12, 31};
    setup.weekDay = 0;
    StoreAdvanceEntry(modified, setup, false);
    EXPECT_EQ(modified.startYear, 99);
    EXPECT_EQ(modified.stopDay, 31);
    EXPECT_EQ(modified.weekDay, 0);
    EXPECT_EQ(modified.fileCount, 2);
    EXPECT_EQ(modified.files, files);
}

TEST(EntryRulesAdvance, CheckStoredAdvanceEntry_findsEachFieldOutsideItsList) {
    AdvanceEntry good;
    StoreAdvanceEntry(good, NewAdvanceSetup(2007, 2, 28), true);
    EXPECT_EQ(CheckStoredAdvanceEntry(good), AdvanceEntryFault::None);

    using F = AdvanceEntryFault;
    const auto with = [&](auto change) {
        AdvanceEntry e = good;
        change(e);
        return CheckStoredAdvanceEntry(e);
    };
    EXPECT_EQ(with([](AdvanceEntry& e) { e.startYear = 100; }), F::StartYearOutOfRange);
    EXPECT_EQ(with([](AdvanceEntry& e) { e.startMonth = 0; }), F::StartMonthOutOfRange);
    EXPECT_EQ(with([](AdvanceEntry& e) { e.startDay = 29; }), F::StartDayOutOfRange); // February 2007
    EXPECT_EQ(with([](AdvanceEntry& e) { e.startHour = 24; }), F::StartHourOutOfRange);
    EXPECT_EQ(with([](AdvanceEntry& e) { e.startMinute = 60; }), F::StartMinuteOutOfRange);
    EXPECT_EQ(with([](AdvanceEntry& e) { e.startSecond = 60; }), F::StartSecondOutOfRange);
    EXPECT_EQ(with([](AdvanceEntry& e) { e.stopYear = 255; }), F::StopYearOutOfRange);
    EXPECT_EQ(with([](AdvanceEntry& e) { e.stopMonth = 13; }), F::StopMonthOutOfRange);
    EXPECT_EQ(with([](AdvanceEntry& e) { e.stopDay = 0; }), F::StopDayOutOfRange);
    EXPECT_EQ(with([](AdvanceEntry& e) { e.stopHour = 24; }), F::StopHourOutOfRange);
    EXPECT_EQ(with([](AdvanceEntry& e) { e.stopMinute = 60; }), F::StopMinuteOutOfRange);
    EXPECT_EQ(with([](AdvanceEntry& e) { e.stopSecond = 60; }), F::StopSecondOutOfRange);
    EXPECT_EQ(with([](AdvanceEntry& e) { e.weekDay = 8; }), F::WeekDayOutOfRange);
    EXPECT_EQ(with([](AdvanceEntry& e) { e.startDay = 28, e.stopDay = 27; }), F::DateSetup);
    EXPECT_EQ(with([](AdvanceEntry& e) { e.startHour = 23, e.startMinute = 59, e.startSecond = 59; }),
              F::TimeSetup);
    EXPECT_STREQ(AdvanceEntryFaultText(F::TimeSetup), "start time not before stop time");
}

} // namespace
} // namespace velmo
