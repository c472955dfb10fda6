#include "rules/entry_batch.h"
#include "rules/schedule_history.h"

#include "texts/screen_texts.h"

#include <gtest/gtest.h>

namespace velmo {
namespace {

ScheduleDocument documentWith(int basicCount) {
    ScheduleDocument document{{}, "/d/", "velmo.vlm"};
    for (int i = 0; i < basicCount; ++i) {
        FileEntry entry;
        entry.fileName[0] = static_cast<std::uint8_t>('A' + i % 26);
        entry.playTimes = static_cast<std::uint8_t>(i % 100);
        EXPECT_TRUE(AppendEntry(document.schedule.basicEntries, document.schedule.basicCount,
                                kMaxBasicEntries, entry));
    }
    return document;
}

TEST(ScheduleHistoryTest, KeepsTheLast128Steps_andUndoesThemInOrder) {
    ScheduleHistory history;
    history.reset(documentWith(0));
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(history.record(TextId::TextAdd, documentWith(i), {}, documentWith(i + 1), {}));
    EXPECT_EQ(history.undoSteps(), kHistorySteps);
    for (int i = 200; i > 200 - static_cast<int>(kHistorySteps); --i)
        EXPECT_EQ(*history.undo().document, documentWith(i - 1));
    EXPECT_FALSE(history.canUndo());
    EXPECT_EQ(history.undo().document, nullptr);
}

TEST(ScheduleHistoryTest, NothingChanged_noStep_andANewChangeDropsTheRedoSteps) {
    ScheduleHistory history;
    history.reset(documentWith(1));
    EXPECT_FALSE(history.record(TextId::TextModify, documentWith(1), {}, documentWith(1), {}));
    EXPECT_FALSE(history.canUndo());
    history.record(TextId::TextAdd, documentWith(1), {}, documentWith(2), {});
    history.record(TextId::TextRemove, documentWith(2), {EntryRef::List::Basic, -1, 1}, documentWith(1), {});
    EXPECT_EQ(history.undoLabel(), TextId::TextRemove);
    EXPECT_EQ(history.undo().touched, (EntryRef{EntryRef::List::Basic, -1, 1}));
    EXPECT_EQ(history.redoLabel(), TextId::TextRemove);
    history.record(TextId::TextMoveUp, documentWith(2), {}, documentWith(3), {});
    EXPECT_FALSE(history.canRedo());
}

TEST(EntryBatchTest, RefusedNamesListed_othersAdded_untilTheLimitWhichSaysHowMany) {
    ScreenTexts texts;
    texts.SelectScreenTexts(1);
    ScheduleDocument document = documentWith(kMaxBasicEntries - 2);
    Schedule& s = document.schedule;
    const BatchAddResult result = AddFileEntries(
        s.basicEntries, s.basicCount, kMaxBasicEntries,
        {{"ok1.mp3"}, {"this-name-is-too-long.mp3"}, {"gone.avi", false}, {"ok2.jpg"}, {"ok3.jpg"}}, 4,
        kVolumeDefault);
    EXPECT_EQ(s.basicCount, kMaxBasicEntries);
    EXPECT_EQ(result.added, (std::vector<std::string>{"ok1.mp3", "ok2.jpg"}));
    EXPECT_TRUE(result.full);
    EXPECT_EQ(s.basicEntries[kMaxBasicEntries - 1].fileExt[0], 'J');
    EXPECT_EQ(s.basicEntries[kMaxBasicEntries - 1].playTimes, 4);
    EXPECT_EQ(BatchAddMessage(result, texts),
              "These files were not added:\r\nthis-name-is-too-long.mp3\r\ngone.avi\r\n\r\n"
              "Too many basic schedules!!\r\nFiles added: 2.");
}

TEST(EntryBatchTest, PastedAdvanceEntryBringsItsOwnCopyOfTheDetails) {
    Schedule s;
    AdvanceEntry entry;
    entry.fileCount = 1;
    entry.files.resize(2);
    entry.files[0].fileName[0] = 'X';
    ASSERT_TRUE(AppendEntry(s.advanceEntries, s.advanceCount, kMaxAdvanceEntries, entry));
    ASSERT_TRUE(AppendEntry(s.advanceEntries, s.advanceCount, kMaxAdvanceEntries, s.advanceEntries[0]));
    s.advanceEntries[1].files[0].fileName[0] = 'Y';
    EXPECT_EQ(s.advanceEntries[0].files[0].fileName[0], 'X');
    EXPECT_EQ(s.advanceCount, 2);
}

} // namespace
} // namespace velmo
