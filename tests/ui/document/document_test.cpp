#include "ui/main/main_form_fixture.h"

#include "model/app_state.h"
#include "model/random_source.h"
#include "rules/schedule_rules.h"
#include "ui/document/entry_list_model.h"
#include "ui/document/schedule_document.h"

#include <QSignalSpy>

namespace velmo::test {
namespace {

// The schedule as a save would store it, read back: what "the same document" means on disk.
Schedule savedAndRead(const Schedule& s) {
    SeededRandomSource random(3);
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(EncodeSchedule(s, random, bytes).ok);
    Schedule read;
    EXPECT_TRUE(DecodeSchedule(bytes.data(), bytes.size(), read).ok);
    return read;
}

Schedule twoOfEach() {
    Schedule s;
    AddBasic(s, MakeFile("A", "MP3", 1, 13));
    AddBasic(s, MakeFile("B", "AVI", 2, 5));
    AddAdvance(s, MakeAdvance(7, 1, 1, 7, 2));
    AddAdvance(s, MakeAdvance(8, 2, 3, 1, 3, 10));
    return s;
}

TEST(ScheduleDocumentTest, UndoAfterEveryKindOfEdit_restoresTheSavedSchedule_andRedoTheEdit) {
    using L = EntryRef::List;
    AdvanceEntry period = MakeAdvance(9, 3, 4, 2, 1, 40);
    const FileEntry file = MakeFile("NEW", "JPG", 4, 9);
    const std::vector<std::pair<const char*, std::function<bool(ScheduleDocument&)>>> edits = {
        {"add basic",
         [&](ScheduleDocument& d) {
             return d.addFiles(AddSource::Editor, L::Basic, -1, {file, file});
         }},
        {"add detail",
         [&](ScheduleDocument& d) { return d.addFiles(AddSource::Drop, L::Detail, 1, {file}); }},
        {"modify basic", [&](ScheduleDocument& d) { return d.replaceFile(L::Basic, -1, 1, file); }},
        {"modify detail", [&](ScheduleDocument& d) { return d.replaceFile(L::Detail, 0, 1, file); }},
        {"add advance", [&](ScheduleDocument& d) { return d.addAdvance(AddSource::Paste, period); }},
        {"modify advance", [&](ScheduleDocument& d) { return d.replaceAdvance(1, period); }},
        {"move basic", [&](ScheduleDocument& d) { return d.moveEntry(L::Basic, -1, 1, -1); }},
        {"move advance", [&](ScheduleDocument& d) { return d.moveEntry(L::Advance, -1, 0, +1); }},
        {"move detail", [&](ScheduleDocument& d) { return d.moveEntry(L::Detail, 1, 2, -1); }},
        {"remove basic", [&](ScheduleDocument& d) { return d.removeEntry(L::Basic, -1, 0); }},
        {"remove advance", [&](ScheduleDocument& d) { return d.removeEntry(L::Advance, -1, 1); }},
        {"remove detail", [&](ScheduleDocument& d) { return d.removeEntry(L::Detail, 1, 0); }},
        {"new",
         [&](ScheduleDocument& d) {
             d.replace(TextId::TextNew, {Schedule{}, "/app/", "velmo1.vlm"}, Replacement::Opened);
             return true;
         }},
        {"open",
         [&](ScheduleDocument& d) {
             d.replace(TextId::TextOpen, {MakeSchedule({MakeFile("O", "MPG", 1, 1)}, {}), "/other/", "b.vlm"},
                       Replacement::Opened);
             return true;
         }},
    };
    for (const auto& [name, edit] : edits) {
        AppState state;
        ScheduleDocument document(state);
        document.load({twoOfEach(), "/dir/", "a.vlm"});
        const Schedule before = savedAndRead(document.schedule());
        ASSERT_TRUE(edit(document)) << name;
        const DocumentState after = document.state();
        ASSERT_NE(savedAndRead(after.schedule), before) << name;
        ASSERT_TRUE(document.canUndo()) << name;

        document.undo();
        EXPECT_EQ(savedAndRead(state.schedule), before) << name;
        EXPECT_EQ(state.scheduleDir + state.scheduleFileName, "/dir/a.vlm") << name;
        // New and Open start a new unchanged state; returning from it is a change.
        EXPECT_EQ(document.isModified(), std::string(name) == "new" || std::string(name) == "open") << name;
        document.redo();
        EXPECT_EQ(document.state(), after) << name;
    }
}

TEST(ScheduleDocumentTest, EditOutOfRange_changesNothingAndRecordsNoStep) {
    AppState state;
    ScheduleDocument document(state);
    document.load({twoOfEach(), "/dir/", "a.vlm"});
    QSignalSpy rows(&document, &ScheduleDocument::rowsChanged);
    EXPECT_FALSE(document.removeEntry(EntryRef::List::Basic, -1, 2));
    EXPECT_FALSE(document.moveEntry(EntryRef::List::Detail, 5, 0, +1));
    EXPECT_FALSE(document.replaceFile(EntryRef::List::Detail, 0, 2, MakeFile("X", "MP3", 1, 1)));
    EXPECT_EQ(rows.count(), 0);
    EXPECT_FALSE(document.canUndo());
    EXPECT_EQ(document.schedule(), twoOfEach());
}

} // namespace
} // namespace velmo::test
