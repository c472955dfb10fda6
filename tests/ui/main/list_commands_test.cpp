#include "main_form_fixture.h"

#include "rules/schedule_rules.h"

#include <QAction>
#include <QDropEvent>
#include <QMimeData>

namespace velmo::test {
namespace {

const QString kFileEditor = QStringLiteral("Schedule File Editor");
const QString kAdvanceEditorShows = QStringLiteral("Advance Schecule Editor: ");

class ListCommandsTest : public MainFormTest {
protected:
    void SetUp() override { start(); }

    // n basic entries B0..B(n-1) with play counts 0..n-1.
    static Schedule basics(int n) {
        Schedule s;
        for (int i = 0; i < n; ++i)
            AddBasic(s, MakeFile("B" + std::to_string(i), "MP3", i, 1));
        return s;
    }
    std::vector<std::string> basicNames() {
        std::vector<std::string> names;
        for (int i = 0; i < schedule().basicCount; ++i)
            names.emplace_back(reinterpret_cast<const char*>(
                                   schedule().basicEntries[static_cast<std::size_t>(i)].fileName.data()),
                               2);
        return names;
    }
};

// --- Add and Modify -----------------------------------------------------------------------------

TEST_F(ListCommandsTest, NormalAdd_249OpensAnEmptyEditor_250IsRefused) {
    load(basics(249));
    EXPECT_EQ(OpenedDialog([&] { Button(*form, "NormalAddCmd")->click(); }, EditorShows),
              kFileEditor + QStringLiteral(": "));
    EXPECT_TRUE(shownMessages().isEmpty());

    load(basics(250));
    EXPECT_EQ(OpenedDialog([&] { Button(*form, "NormalAddCmd")->click(); }), QString());
    EXPECT_EQ(shownMessages(), QStringList({QStringLiteral("Too many basic schedules!!")}));
    EXPECT_EQ(schedule().basicCount, 250);
}

TEST_F(ListCommandsTest, AdvanceAdd_249OpensTheEditorOnToday_250IsRefusedWithTheSameMessage) {
    Schedule s;
    for (int i = 0; i < 249; ++i)
        AddAdvance(s, MakeAdvance(7, 1, 1, 7, 1));
    load(s);
    EXPECT_EQ(OpenedDialog([&] { Button(*form, "AdvanceAddCmd")->click(); }, EditorShows),
              kAdvanceEditorShows + QStringLiteral("2007 5 31 All Day"));

    AddAdvance(s, MakeAdvance(7, 1, 1, 7, 1));
    load(s);
    EXPECT_EQ(OpenedDialog([&] { Button(*form, "AdvanceAddCmd")->click(); }), QString());
    EXPECT_EQ(shownMessages(), QStringList({QStringLiteral("Too many basic schedules!!")}));
}

TEST_F(ListCommandsTest, DetailAdd_99OpensTheEditor_100IsRefused_forTheSelectedEntry) {
    Schedule s;
    AddAdvance(s, MakeAdvance(7, 1, 1, 7, 100));
    AddAdvance(s, MakeAdvance(7, 1, 2, 7, 99));
    load(s);
    List(*form, "AdvanceList")->setCurrentRow(1);
    EXPECT_EQ(OpenedDialog([&] { Button(*form, "DetailAddCmd")->click(); }, EditorShows),
              kFileEditor + QStringLiteral(": "));
    EXPECT_TRUE(shownMessages().isEmpty());

    List(*form, "AdvanceList")->setCurrentRow(0);
    EXPECT_EQ(OpenedDialog([&] { Button(*form, "DetailAddCmd")->click(); }), QString());
    EXPECT_EQ(shownMessages(), QStringList({QStringLiteral("Too many basic schedules!!")}));
}

TEST_F(ListCommandsTest, Modify_opensTheRightEditorOnTheSelectedEntry_orTheFirstWhenNoneIs) {
    Schedule s = basics(2);
    AddAdvance(s, MakeAdvance(7, 3, 7, 4, 2));
    AddAdvance(s, MakeAdvance(8, 1, 2, 7, 2, 10));
    load(s);
    struct Case {
        const char* list;
        int selected;
        const char* button;
        QString shows;
    };
    const Case cases[] = {
        {"NormalList", 1, "NormalModifyCmd", kFileEditor + ": B1.MP3"},
        {"NormalList", -1, "NormalModifyCmd", kFileEditor + ": B0.MP3"},
        {"AdvanceList", 1, "AdvanceModifyCmd", kAdvanceEditorShows + "2008 1 2 All Day"},
        {"AdvanceList", -1, "AdvanceModifyCmd", kAdvanceEditorShows + "2007 3 7 Thursday"},
        // The details of the advance entry the last case selected.
        {"DetailList", 1, "DetailModifyCmd", kFileEditor + ": D1.MP3"},
        {"DetailList", -1, "DetailModifyCmd", kFileEditor + ": D0.MP3"},
    };
    for (const Case& c : cases) {
        List(*form, c.list)->setCurrentRow(c.selected);
        EXPECT_EQ(OpenedDialog([&] { Button(*form, c.button)->click(); }, EditorShows), c.shows) << c.button;
        EXPECT_EQ(List(*form, c.list)->currentRow(), std::max(c.selected, 0)) << c.button;
    }
    EXPECT_EQ(Rows(List(*form, "DetailList")).size(), 2); // the first advance entry's details follow
    EXPECT_EQ(schedule(), s);
}

TEST_F(ListCommandsTest, FileEditorOK_storesIntoTheSelectedEntrysDetails_andSelectsTheRow) {
    Schedule s;
    AddAdvance(s, MakeAdvance(7, 1, 1, 7, 1));
    AddAdvance(s, MakeAdvance(7, 1, 2, 7, 2, 10));
    load(s);
    List(*form, "AdvanceList")->setCurrentRow(1);
    const auto enter = [](const char* name) {
        return [name](QWidget* editor) {
            editor->findChild<QLineEdit*>(QStringLiteral("FileNameText"))->setText(QString::fromLatin1(name));
            editor->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click();
        };
    };
    WithDialog([&] { Button(*form, "DetailAddCmd")->click(); }, enter("song.mp3"));
    // Each edit stores a new schedule, so the entry is looked up anew.
    const auto owner = [this] { return schedule().advanceEntries[1]; };
    ASSERT_EQ(owner().fileCount, 3);
    EXPECT_EQ(owner().files[2], MakeFile("SONG", "MP3", 1, 13));
    EXPECT_EQ(schedule().advanceEntries[0].fileCount, 1);
    EXPECT_EQ(RowText(List(*form, "DetailList"), 2), QString::fromStdString(FormatFileRow(owner().files[2])));
    EXPECT_EQ(List(*form, "DetailList")->currentRow(), 2);

    List(*form, "DetailList")->setCurrentRow(1);
    WithDialog([&] { Button(*form, "DetailModifyCmd")->click(); }, enter("new.dat"));
    EXPECT_EQ(owner().fileCount, 3);
    EXPECT_EQ(owner().files[1], MakeFile("NEW", "DAT", 1, 13));
    EXPECT_EQ(owner().files[0], MakeFile("D10", "MP3", 1, 13));
    EXPECT_EQ(RowText(List(*form, "DetailList"), 1), QString::fromStdString(FormatFileRow(owner().files[1])));
    EXPECT_EQ(List(*form, "DetailList")->currentRow(), 1);
    EXPECT_EQ(schedule().basicCount, 0);
}

TEST_F(ListCommandsTest, Add_closedEditorChangesNothing) {
    Schedule s = basics(2);
    AddAdvance(s, MakeAdvance(7, 1, 1, 7, 1));
    load(s);
    const QStringList before =
        Rows(List(*form, "NormalList")) + Rows(List(*form, "AdvanceList")) + Rows(List(*form, "DetailList"));
    OpenedDialog([&] { Button(*form, "NormalAddCmd")->click(); });
    OpenedDialog([&] { Button(*form, "AdvanceAddCmd")->click(); });
    OpenedDialog([&] { Button(*form, "DetailAddCmd")->click(); });
    EXPECT_EQ(schedule(), s);
    EXPECT_EQ(Rows(List(*form, "NormalList")) + Rows(List(*form, "AdvanceList")) +
                  Rows(List(*form, "DetailList")),
              before);
}

TEST_F(ListCommandsTest, HelpMenu_opensBothAboutDialogsModally) {
    EXPECT_EQ(OpenedDialog([&] { Action(*form, "subAboutVelmoScheduleGenerator")->trigger(); }),
              QStringLiteral("velmo::AboutVelmoScheduleGeneratorForm"));
    EXPECT_EQ(OpenedDialog([&] { Action(*form, "subAboutCompany")->trigger(); }),
              QStringLiteral("velmo::AboutCompanyForm"));
}

// --- Move ---------------------------------------------------------------------------------------

TEST_F(ListCommandsTest, NormalMoveUp_row3Of5_tradesEntriesAndRowsAndSelectsRow2) {
    load(basics(5));
    const QStringList rows = Rows(List(*form, "NormalList"));
    List(*form, "NormalList")->setCurrentRow(3);
    Button(*form, "NormalMoveUpCmd")->click();
    EXPECT_EQ(basicNames(), (std::vector<std::string>{"B0", "B1", "B3", "B2", "B4"}));
    EXPECT_EQ(Rows(List(*form, "NormalList")), QStringList({rows[0], rows[1], rows[3], rows[2], rows[4]}));
    EXPECT_EQ(List(*form, "NormalList")->currentRow(), 2);
    EXPECT_TRUE(RowSelected(List(*form, "NormalList"), 2));
    EXPECT_EQ(schedule().basicEntries[2].playTimes, 3); // the whole record moved

    Button(*form, "NormalMoveDownCmd")->click();
    EXPECT_EQ(basicNames(), (std::vector<std::string>{"B0", "B1", "B2", "B3", "B4"}));
    EXPECT_EQ(Rows(List(*form, "NormalList")), rows);
    EXPECT_EQ(List(*form, "NormalList")->currentRow(), 3);
}

TEST_F(ListCommandsTest, Move_atTheEndsOrOnOneRow_changesNothing) {
    load(basics(3));
    List(*form, "NormalList")->setCurrentRow(0);
    Button(*form, "NormalMoveUpCmd")->click();
    List(*form, "NormalList")->setCurrentRow(2);
    Button(*form, "NormalMoveDownCmd")->click();
    EXPECT_EQ(basicNames(), (std::vector<std::string>{"B0", "B1", "B2"}));
    EXPECT_EQ(List(*form, "NormalList")->currentRow(), 2);

    load(basics(1));
    Button(*form, "NormalMoveUpCmd")->click();
    Button(*form, "NormalMoveDownCmd")->click();
    EXPECT_EQ(basicNames(), std::vector<std::string>{"B0"});
    EXPECT_EQ(List(*form, "NormalList")->currentRow(), 0);
    EXPECT_TRUE(shownMessages().isEmpty());
}

TEST_F(ListCommandsTest, AdvanceMove_entryKeepsItsDetailsAndDetailListFollows) {
    Schedule s;
    AddAdvance(s, MakeAdvance(7, 1, 1, 0, 2, 10));
    AddAdvance(s, MakeAdvance(7, 1, 2, 1, 3, 20));
    AddAdvance(s, MakeAdvance(7, 1, 3, 2, 0));
    load(s);
    List(*form, "AdvanceList")->setCurrentRow(1);
    const QStringList details = Rows(List(*form, "DetailList"));
    ASSERT_EQ(details.size(), 3);
    const QString row1 = RowText(List(*form, "AdvanceList"), 1);

    Button(*form, "AdvanceMoveUpCmd")->click();
    EXPECT_EQ(List(*form, "AdvanceList")->currentRow(), 0);
    EXPECT_EQ(RowText(List(*form, "AdvanceList"), 0), row1);
    EXPECT_EQ(schedule().advanceEntries[0], s.advanceEntries[1]);
    EXPECT_EQ(schedule().advanceEntries[1], s.advanceEntries[0]);
    EXPECT_EQ(Rows(List(*form, "DetailList")), details);
    EXPECT_TRUE(Button(*form, "DetailMoveUpCmd")->isEnabled());

    Button(*form, "AdvanceMoveDownCmd")->click();
    Button(*form, "AdvanceMoveDownCmd")->click();
    EXPECT_EQ(List(*form, "AdvanceList")->currentRow(), 2);
    EXPECT_EQ(schedule().advanceEntries[2], s.advanceEntries[1]);
    EXPECT_EQ(schedule().advanceEntries[1], s.advanceEntries[2]);
    EXPECT_EQ(Rows(List(*form, "DetailList")), details);

    // The copies are independent: changing one entry's details leaves the others alone.
    schedule().advanceEntries[2].files[0].playTimes = 99;
    EXPECT_EQ(schedule().advanceEntries[0].files[0].playTimes, 1);
    EXPECT_EQ(schedule().advanceEntries[1].fileCount, 0);
}

TEST_F(ListCommandsTest, DetailMove_movesWithinTheSelectedAdvanceEntry) {
    Schedule s;
    AddAdvance(s, MakeAdvance(7, 1, 1, 0, 2, 10));
    AddAdvance(s, MakeAdvance(7, 1, 2, 1, 3, 20));
    load(s);
    List(*form, "AdvanceList")->setCurrentRow(1);
    const QStringList rows = Rows(List(*form, "DetailList"));
    List(*form, "DetailList")->setCurrentRow(2);
    Button(*form, "DetailMoveUpCmd")->click();
    EXPECT_EQ(Rows(List(*form, "DetailList")), QStringList({rows[0], rows[2], rows[1]}));
    EXPECT_EQ(List(*form, "DetailList")->currentRow(), 1);
    EXPECT_EQ(schedule().advanceEntries[1].files[1], s.advanceEntries[1].files[2]);
    EXPECT_EQ(schedule().advanceEntries[0], s.advanceEntries[0]);
}

// Drags row `from` of `source` to the upper or lower half of row `onto` of `target`, through the
// events a drag delivers to the target list; true when the list took the drop.
bool DragRow(ScheduleListView* source, int from, ScheduleListView* target, int onto, bool lowerHalf) {
    const std::unique_ptr<QMimeData> data(source->model()->mimeData({source->model()->index(from, 0)}));
    const QRect row = target->visualRect(target->model()->index(onto, 0));
    const QPoint at(row.center().x(), row.center().y() + (lowerHalf ? 1 : -1) * row.height() / 4);
    QWidget* viewport = target->viewport();
    QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    QDropEvent drop(QPointF(at), Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    return enter.isAccepted() && drop.isAccepted();
}

TEST_F(ListCommandsTest, DraggedRow_takesItsNewPlaceInItsList_eachDragOneUndoStep) {
    Schedule s = basics(4);
    AddAdvance(s, MakeAdvance(7, 1, 1, 0, 3, 10));
    AddAdvance(s, MakeAdvance(7, 1, 2, 1, 1, 20));
    AddAdvance(s, MakeAdvance(7, 1, 3, 2, 2, 30));
    const struct {
        const char* list;
        int from;
        int onto;
        bool lowerHalf;
        int to; // where the entry is afterwards
    } drags[] = {
        {"NormalList", 0, 2, true, 2},  {"NormalList", 3, 0, false, 0}, {"NormalList", 0, 3, true, 3},
        {"AdvanceList", 2, 0, true, 1}, {"AdvanceList", 0, 2, true, 2}, {"DetailList", 0, 2, true, 2},
        {"DetailList", 2, 1, false, 1},
    };
    for (const auto& d : drags) {
        SCOPED_TRACE(testing::Message() << d.list << " " << d.from << " onto " << d.onto);
        load(s);
        ScheduleListView* list = List(*form, d.list);
        const QStringList rows = Rows(list);
        Schedule expected = s;
        const std::string name = d.list;
        if (name == "NormalList")
            ASSERT_TRUE(MoveEntry(expected.basicEntries, expected.basicCount, d.from, d.to));
        else if (name == "AdvanceList")
            ASSERT_TRUE(MoveEntry(expected.advanceEntries, expected.advanceCount, d.from, d.to));
        else
            ASSERT_TRUE(MoveEntry(expected.advanceEntries[0].files, expected.advanceEntries[0].fileCount,
                                  d.from, d.to));

        EXPECT_TRUE(DragRow(list, d.from, list, d.onto, d.lowerHalf));
        EXPECT_EQ(schedule(), expected);
        EXPECT_EQ(RowText(list, d.to), rows[d.from]);
        EXPECT_EQ(list->currentRow(), d.to);
        // The moved period stays selected, its own details shown.
        if (name == "AdvanceList") {
            EXPECT_EQ(Rows(List(*form, "DetailList")).size(), expected.advanceEntries[d.to].fileCount);
        }
        Action(*form, "subUndo")->trigger();
        EXPECT_EQ(schedule(), s);
        EXPECT_EQ(Rows(list), rows);
    }

    // A row of another list, and a drop on the row's own place, change nothing.
    load(s);
    EXPECT_FALSE(DragRow(List(*form, "DetailList"), 0, List(*form, "NormalList"), 0, false));
    DragRow(List(*form, "NormalList"), 1, List(*form, "NormalList"), 1, true);
    EXPECT_EQ(schedule(), s);
    EXPECT_FALSE(Action(*form, "subUndo")->isEnabled());
}

// --- Remove -------------------------------------------------------------------------------------

TEST_F(ListCommandsTest, NormalRemove_middleAndLastRow) {
    load(basics(3));
    const QStringList rows = Rows(List(*form, "NormalList"));
    List(*form, "NormalList")->setCurrentRow(1);
    Button(*form, "NormalRemoveCmd")->click();
    EXPECT_EQ(basicNames(), (std::vector<std::string>{"B0", "B2"}));
    EXPECT_EQ(Rows(List(*form, "NormalList")), QStringList({rows[0], rows[2]}));
    EXPECT_EQ(List(*form, "NormalList")->currentRow(), 1);
    EXPECT_TRUE(RowSelected(List(*form, "NormalList"), 1));
    EXPECT_EQ(schedule().basicCount, 2);

    load(basics(3));
    List(*form, "NormalList")->setCurrentRow(2);
    Button(*form, "NormalRemoveCmd")->click();
    EXPECT_EQ(Rows(List(*form, "NormalList")), QStringList({rows[0], rows[1]}));
    EXPECT_EQ(List(*form, "NormalList")->currentRow(), 1);
    EXPECT_TRUE(Button(*form, "NormalMoveUpCmd")->isEnabled());
}

TEST_F(ListCommandsTest, NormalRemove_onlyRow_emptyListAndButtonsDisabled) {
    load(basics(1));
    Button(*form, "NormalRemoveCmd")->click();
    EXPECT_EQ(List(*form, "NormalList")->count(), 0);
    EXPECT_EQ(List(*form, "NormalList")->currentRow(), -1);
    EXPECT_EQ(schedule().basicCount, 0);
    EXPECT_EQ(Enabled({Button(*form, "NormalAddCmd"), Button(*form, "NormalModifyCmd"),
                       Button(*form, "NormalRemoveCmd"), Button(*form, "NormalMoveUpCmd"),
                       Button(*form, "NormalMoveDownCmd")}),
              (std::vector<bool>{true, false, false, false, false}));
    // Nothing left to remove: nothing happens.
    Button(*form, "NormalRemoveCmd")->click();
    EXPECT_EQ(schedule().basicCount, 0);
}

TEST_F(ListCommandsTest, AdvanceRemove_detailsOfTheEntryNowSelectedAndOthersUntouched) {
    Schedule s;
    AddAdvance(s, MakeAdvance(7, 1, 1, 0, 2, 10));
    AddAdvance(s, MakeAdvance(7, 1, 2, 1, 3, 20));
    AddAdvance(s, MakeAdvance(7, 1, 3, 2, 1, 30));
    load(s);
    List(*form, "AdvanceList")->setCurrentRow(1);
    Button(*form, "AdvanceRemoveCmd")->click();

    EXPECT_EQ(schedule().advanceCount, 2);
    EXPECT_EQ(schedule().advanceEntries[0], s.advanceEntries[0]);
    EXPECT_EQ(schedule().advanceEntries[1], s.advanceEntries[2]);
    // Same row index, another entry: the details still follow.
    EXPECT_EQ(List(*form, "AdvanceList")->currentRow(), 1);
    EXPECT_EQ(Rows(List(*form, "DetailList")),
              QStringList({QString::fromStdString("D30.MP3" + Spaces(14) + Spaces(5) + "1  " + Spaces(5) +
                                                  "Default")}));
    EXPECT_EQ(Enabled({Button(*form, "DetailAddCmd"), Button(*form, "DetailModifyCmd"),
                       Button(*form, "DetailRemoveCmd"), Button(*form, "DetailMoveUpCmd"),
                       Button(*form, "DetailMoveDownCmd")}),
              (std::vector<bool>{true, true, true, false, false}));
    EXPECT_TRUE(Button(*form, "AdvanceMoveUpCmd")->isEnabled());
}

TEST_F(ListCommandsTest, AdvanceRemove_onlyEntry_bothListsEmptyAndEveryDetailButtonDisabled) {
    Schedule s;
    AddAdvance(s, MakeAdvance(7, 1, 1, 0, 3));
    load(s);
    ASSERT_EQ(List(*form, "DetailList")->count(), 3);
    Button(*form, "AdvanceRemoveCmd")->click();
    EXPECT_EQ(List(*form, "AdvanceList")->count(), 0);
    EXPECT_EQ(List(*form, "DetailList")->count(), 0);
    EXPECT_EQ(schedule().advanceCount, 0);
    EXPECT_EQ(Enabled({Button(*form, "DetailAddCmd"), Button(*form, "DetailModifyCmd"),
                       Button(*form, "DetailRemoveCmd"), Button(*form, "DetailMoveUpCmd"),
                       Button(*form, "DetailMoveDownCmd")}),
              std::vector<bool>(5, false));
    EXPECT_EQ(Enabled({Button(*form, "AdvanceAddCmd"), Button(*form, "AdvanceModifyCmd"),
                       Button(*form, "AdvanceRemoveCmd")}),
              (std::vector<bool>{true, false, false}));
}

TEST_F(ListCommandsTest, DetailRemove_lastDetailOfTheSelectedEntry) {
    Schedule s;
    AddAdvance(s, MakeAdvance(7, 1, 1, 0, 2, 10));
    AddAdvance(s, MakeAdvance(7, 1, 2, 1, 1, 20));
    load(s);
    List(*form, "AdvanceList")->setCurrentRow(1);
    Button(*form, "DetailRemoveCmd")->click();
    EXPECT_EQ(List(*form, "DetailList")->count(), 0);
    EXPECT_EQ(schedule().advanceEntries[1].fileCount, 0);
    EXPECT_EQ(schedule().advanceEntries[0], s.advanceEntries[0]);
    EXPECT_EQ(Enabled({Button(*form, "DetailAddCmd"), Button(*form, "DetailModifyCmd"),
                       Button(*form, "DetailRemoveCmd")}),
              (std::vector<bool>{true, false, false}));
}

} // namespace
} // namespace velmo::test
