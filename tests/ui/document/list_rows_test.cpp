#include "support/background_work.h"
#include "ui/main/main_form_fixture.h"

#include "ui/document/entry_list_model.h"
#include "ui/document/schedule_document.h"
#include "ui/platform/prompts.h"

#include <QDropEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>

namespace velmo::test {
namespace {

TEST(RowChangesTest, TheRowsBetweenWhatBothKeepAreTold) {
    using K = RowChange::Kind;
    const auto files = [](const std::string& names) {
        std::vector<FileEntry> entries;
        for (const char name : names)
            entries.push_back(MakeFile(std::string(1, name), "MP3", 1, 13));
        return entries;
    };
    const struct {
        const char* before;
        const char* after;
        std::vector<std::tuple<K, int, int, int>> changes; // kind, first, count, to
    } cases[] = {
        {"abc", "abc", {}},
        {"", "ab", {{K::Inserted, 0, 2, -1}}},
        {"abc", "abxc", {{K::Inserted, 2, 1, -1}}},
        {"abc", "ac", {{K::Removed, 1, 1, -1}}},
        {"abc", "", {{K::Removed, 0, 3, -1}}},
        {"abcd", "axcd", {{K::Changed, 1, 1, -1}}},
        {"abcd", "bacd", {{K::Changed, 0, 2, -1}}}, // a Move Up: two rows trade texts
        {"abcde", "acdbe", {{K::Moved, 1, 1, 3}}},  // b dragged down
        {"abcde", "adbce", {{K::Moved, 3, 1, 1}}},  // d dragged up
        {"abcd", "axyzd", {{K::Changed, 1, 2, -1}, {K::Inserted, 3, 1, -1}}},
        {"abcde", "axe", {{K::Changed, 1, 1, -1}, {K::Removed, 2, 2, -1}}},
    };
    for (const auto& c : cases) {
        const std::vector<FileEntry> before = files(c.before);
        const std::vector<FileEntry> after = files(c.after);
        std::vector<std::tuple<K, int, int, int>> told;
        for (const RowChange& change : RowChangesBetween(before, static_cast<int>(before.size()), after,
                                                         static_cast<int>(after.size())))
            told.emplace_back(change.kind, change.first, change.count, change.to);
        EXPECT_EQ(told, c.changes) << c.before << " -> " << c.after;
    }
}

class ListRowsTest : public MainFormTest {
protected:
    void SetUp() override {
        start();
        form->show();
        QCoreApplication::processEvents();
    }
    ScheduleListView* list(const char* name) const { return List(*form, name); }
    void trigger(const char* name) const { Action(*form, name)->trigger(); }
    void addClip() {
        WithDialog([&] { Button(*form, "NormalAddCmd")->click(); },
                   [](QWidget* dialog) {
                       dialog->findChild<QLineEdit*>(QStringLiteral("FileNameText"))->setText("clip");
                       dialog->findChild<QComboBox*>(QStringLiteral("PlayTimesCombo"))->setCurrentIndex(1);
                       dialog->findChild<QComboBox*>(QStringLiteral("VolumeCombo"))->setCurrentIndex(13);
                       dialog->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click();
                   });
    }
    void dropClip() {
        const std::string folder = makeDir("drop");
        WriteText(folder + "clip", "not a media file");
        tc.prompts.choices = {QString::fromStdString(tc.texts.text(TextId::TextAddAnyway))}; // will not play
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(folder + "clip"))});
        QWidget* viewport = list("NormalList")->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        LetBackgroundWorkAnswer();
    }
};

// However an entry came to be, its row reads the same, in the second language as well: the name with
// its dot, padded to 21, the play count and the fixed word for the default volume.
TEST_F(ListRowsTest, EveryPathToARow_givesTheSameText) {
    tc.texts.SelectScreenTexts(2);
    const QString clip =
        QString::fromStdString("CLIP." + Spaces(16) + Spaces(5) + "1  " + Spaces(5) + "Default");
    const std::string out = makeDir("out");
    const std::vector<std::pair<const char*, std::function<void()>>> paths = {
        {"editor OK", [&] { addClip(); }},
        {"paste",
         [&] {
             list("NormalList")->setCurrentRow(0);
             trigger("subCopyEntry");
             Button(*form, "NormalRemoveCmd")->click();
             list("NormalList")->setFocus();
             trigger("subPasteEntry");
         }},
        {"drop",
         [&] {
             Button(*form, "NormalRemoveCmd")->click();
             dropClip();
         }},
        {"undo",
         [&] {
             Button(*form, "NormalRemoveCmd")->click();
             trigger("subUndo");
         }},
        {"redo",
         [&] {
             trigger("subUndo");
             trigger("subRedo");
         }},
        {"open",
         [&] {
             tc.prompts.files = {QString::fromStdString(out + "rows")};
             Button(*form, "SaveCmd")->click();
             Button(*form, "NewCmd")->click();
             tc.prompts.files = {QString::fromStdString(out + "rows.vlm")};
             Button(*form, "OpenCmd")->click();
         }},
        {"restored recovery",
         [&] {
             DocumentState kept = form->document().state();
             Button(*form, "NewCmd")->click();
             form->document().replace(TextId::TextOpen, kept, Replacement::Restored);
         }},
    };
    for (const auto& [name, path] : paths) {
        path();
        EXPECT_EQ(Rows(list("NormalList")), QStringList({clip})) << name;
        EXPECT_EQ(schedule().basicCount, 1) << name;
    }
}

Schedule manyRows() {
    Schedule s;
    for (int i = 0; i < 40; ++i) {
        AddBasic(s, MakeFile("B" + std::to_string(i), "MP3", 1, 13));
        AddAdvance(s, MakeAdvance(7 + i / 12, 1 + i % 12, 1, 7, 3, i * 3));
    }
    return s;
}

// Where each list stands: the selected row and how far it is scrolled.
std::pair<int, int> placeOf(const ScheduleListView* list) {
    return {list->currentRow(), list->verticalScrollBar()->value()};
}

TEST_F(ListRowsTest, UndoInOneList_leavesTheOtherTwoWhereTheyWere) {
    load(manyRows());
    const std::vector<std::pair<const char*, const char*>> edits = {
        {"NormalList", "NormalMoveUpCmd"},
        {"AdvanceList", "AdvanceMoveDownCmd"},
        {"DetailList", "DetailRemoveCmd"},
    };
    for (const auto& [edited, command] : edits) {
        list("NormalList")->setCurrentRow(30);
        list("AdvanceList")->setCurrentRow(25);
        list("DetailList")->setCurrentRow(1);
        for (const char* name : {"NormalList", "AdvanceList", "DetailList"})
            list(name)->scrollTo(list(name)->currentIndex(), QAbstractItemView::PositionAtTop);
        QCoreApplication::processEvents();
        std::map<std::string, std::pair<int, int>> before;
        for (const char* name : {"NormalList", "AdvanceList", "DetailList"})
            before[name] = placeOf(list(name));
        ASSERT_GT(before["NormalList"].second, 0);

        Button(*form, command)->click();
        trigger("subUndo");
        QCoreApplication::processEvents();
        for (const char* name : {"NormalList", "AdvanceList", "DetailList"}) {
            if (std::string(name) == edited ||
                (std::string(edited) == "AdvanceList" && name == std::string("DetailList")))
                continue;
            EXPECT_EQ(placeOf(list(name)), before[name]) << "undo in " << edited << ", " << name;
        }
        EXPECT_EQ(schedule(), manyRows()) << edited;
    }
}

} // namespace
} // namespace velmo::test
