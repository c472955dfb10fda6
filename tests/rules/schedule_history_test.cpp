#include "rules/entry_batch.h"
#include "rules/schedule_history.h"

#include "texts/screen_texts.h"

#include <gtest/gtest.h>

namespace velmo {
namespace {

DocumentState documentWith(int basicCount) {
    DocumentState document{{}, "/d/", "velmo.vlm"};
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

TEST(ScheduleHistoryTest, ByteCap_dropsTheOldestSteps_keepsOneStateEach_andUndoesTheRest) {
    const std::size_t oneState = StateBytes(documentWith(40));
    // Room for five states of this size: the base and four steps.
    ScheduleHistory history(kHistorySteps, oneState * 5 + oneState / 2);
    history.reset(documentWith(40));
    for (int i = 0; i < 10; ++i) {
        DocumentState after = documentWith(40);
        after.schedule.basicEntries[0].playTimes = static_cast<std::uint8_t>(i + 1);
        DocumentState before = documentWith(40);
        before.schedule.basicEntries[0].playTimes = static_cast<std::uint8_t>(i);
        ASSERT_TRUE(history.record(TextId::TextModify, before, {}, after, {}));
        EXPECT_LE(history.bytes(), oneState * 5 + oneState / 2);
    }
    EXPECT_EQ(history.undoSteps(), 4u);
    for (int played = 9; played >= 6; --played)
        EXPECT_EQ(history.undo().document->schedule.basicEntries[0].playTimes, played);
    EXPECT_FALSE(history.canUndo());
    EXPECT_EQ(history.redo().document->schedule.basicEntries[0].playTimes, 7);
}

TEST(ScheduleHistoryTest, ChangeMadeOutsideTheHistory_isWhatTheNextUndoReturnsTo) {
    ScheduleHistory history;
    history.reset(documentWith(1));
    history.record(TextId::TextAdd, documentWith(1), {}, documentWith(2), {});
    DocumentState renamed = documentWith(2);
    renamed.fileName = "saved-as.vlm";
    history.record(TextId::TextAdd, renamed, {}, documentWith(3), {});
    EXPECT_EQ(*history.undo().document, renamed);
    EXPECT_EQ(*history.undo().document, documentWith(1));
}

TEST(EntryBatchTest, RefusedNamesListed_othersAdded_untilTheLimitWhichSaysHowMany) {
    ScreenTexts texts;
    texts.SelectScreenTexts(1);
    const BatchAddResult result = NewFileEntries(
        2, {{"ok1.mp3"}, {"this-name-is-too-long.mp3"}, {"gone.avi", false}, {"ok2.jpg"}, {"ok3.jpg"}}, 4,
        kVolumeDefault);
    ASSERT_EQ(result.entries.size(), 2u);
    EXPECT_EQ(result.added, (std::vector<std::string>{"ok1.mp3", "ok2.jpg"}));
    EXPECT_TRUE(result.full);
    EXPECT_EQ(result.entries[1], MakeFileEntry("OK2", "JPG", 4, kVolumeDefault));
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
