#include "main_form_fixture.h"

#include <QAction>

namespace velmo::test {
namespace {

const QString kScheduleEditor = QStringLiteral("velmo::ScheduleEditForm");
const QString kAdvanceEditor = QStringLiteral("velmo::AdvanceScheduleEditForm");

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

TEST_F(ListCommandsTest, NormalAdd_249OpensTheEditor_250IsRefused) {
    load(basics(249));
    state().editMode = 0;
    EXPECT_EQ(OpenedDialog([&] { form->NormalAddCmd->click(); }), kScheduleEditor);
    EXPECT_EQ(state().editMode, 1);
    EXPECT_TRUE(shownMessages().isEmpty());

    load(basics(250));
    state().editMode = 0;
    EXPECT_EQ(OpenedDialog([&] { form->NormalAddCmd->click(); }), QString());
    EXPECT_EQ(shownMessages(), QStringList({QStringLiteral("Too many basic schedules!!")}));
    EXPECT_EQ(state().editMode, 1); // set even when refused
    EXPECT_EQ(schedule().basicCount, 250);
}

TEST_F(ListCommandsTest, AdvanceAdd_249OpensTheEditor_250IsRefusedWithTheSameMessage) {
    Schedule s;
    for (int i = 0; i < 249; ++i)
        AddAdvance(s, MakeAdvance(7, 1, 1, 7, 1));
    load(s);
    EXPECT_EQ(OpenedDialog([&] { form->AdvanceAddCmd->click(); }), kAdvanceEditor);
    EXPECT_EQ(state().editMode, 1);

    AddAdvance(s, MakeAdvance(7, 1, 1, 7, 1));
    load(s);
    EXPECT_EQ(OpenedDialog([&] { form->AdvanceAddCmd->click(); }), QString());
    EXPECT_EQ(shownMessages(), QStringList({QStringLiteral("Too many basic schedules!!")}));
}

TEST_F(ListCommandsTest, DetailAdd_99OpensTheEditor_100IsRefused_forTheSelectedEntry) {
    Schedule s;
    AddAdvance(s, MakeAdvance(7, 1, 1, 7, 100));
    AddAdvance(s, MakeAdvance(7, 1, 2, 7, 99));
    load(s);
    form->AdvanceList->setCurrentRow(1);
    EXPECT_EQ(OpenedDialog([&] { form->DetailAddCmd->click(); }), kScheduleEditor);
    EXPECT_EQ(state().editMode, 3);
    EXPECT_TRUE(shownMessages().isEmpty());

    form->AdvanceList->setCurrentRow(0);
    EXPECT_EQ(OpenedDialog([&] { form->DetailAddCmd->click(); }), QString());
    EXPECT_EQ(shownMessages(), QStringList({QStringLiteral("Too many basic schedules!!")}));
    EXPECT_EQ(state().editMode, 3);
}

TEST_F(ListCommandsTest, Modify_setsTheModeAndOpensTheRightEditor) {
    Schedule s = basics(1);
    AddAdvance(s, MakeAdvance(7, 1, 1, 7, 1));
    load(s);
    EXPECT_EQ(OpenedDialog([&] { form->NormalModifyCmd->click(); }), kScheduleEditor);
    EXPECT_EQ(state().editMode, 2);
    EXPECT_EQ(OpenedDialog([&] { form->DetailModifyCmd->click(); }), kScheduleEditor);
    EXPECT_EQ(state().editMode, 4);
    EXPECT_EQ(OpenedDialog([&] { form->AdvanceModifyCmd->click(); }), kAdvanceEditor);
    EXPECT_EQ(state().editMode, 2);
}

TEST_F(ListCommandsTest, Add_closedEditorChangesNothing) {
    Schedule s = basics(2);
    AddAdvance(s, MakeAdvance(7, 1, 1, 7, 1));
    load(s);
    const QStringList before = Rows(form->NormalList) + Rows(form->AdvanceList) + Rows(form->DetailList);
    OpenedDialog([&] { form->NormalAddCmd->click(); });
    OpenedDialog([&] { form->AdvanceAddCmd->click(); });
    OpenedDialog([&] { form->DetailAddCmd->click(); });
    EXPECT_EQ(schedule(), s);
    EXPECT_EQ(Rows(form->NormalList) + Rows(form->AdvanceList) + Rows(form->DetailList), before);
}

TEST_F(ListCommandsTest, HelpMenu_opensBothAboutDialogsModally) {
    EXPECT_EQ(OpenedDialog([&] { form->subAboutVelmoScheduleGenerator->trigger(); }),
              QStringLiteral("velmo::AboutVelmoScheduleGeneratorForm"));
    EXPECT_EQ(OpenedDialog([&] { form->subAboutCompany->trigger(); }),
              QStringLiteral("velmo::AboutCompanyForm"));
}

// --- Move ---------------------------------------------------------------------------------------

TEST_F(ListCommandsTest, NormalMoveUp_row3Of5_tradesEntriesAndRowsAndSelectsRow2) {
    load(basics(5));
    const QStringList rows = Rows(form->NormalList);
    form->NormalList->setCurrentRow(3);
    form->NormalMoveUpCmd->click();
    EXPECT_EQ(basicNames(), (std::vector<std::string>{"B0", "B1", "B3", "B2", "B4"}));
    EXPECT_EQ(Rows(form->NormalList), QStringList({rows[0], rows[1], rows[3], rows[2], rows[4]}));
    EXPECT_EQ(form->NormalList->currentRow(), 2);
    EXPECT_TRUE(form->NormalList->item(2)->isSelected());
    EXPECT_EQ(schedule().basicEntries[2].playTimes, 3); // the whole record moved

    form->NormalMoveDownCmd->click();
    EXPECT_EQ(basicNames(), (std::vector<std::string>{"B0", "B1", "B2", "B3", "B4"}));
    EXPECT_EQ(Rows(form->NormalList), rows);
    EXPECT_EQ(form->NormalList->currentRow(), 3);
}

TEST_F(ListCommandsTest, Move_atTheEndsOrOnOneRow_changesNothing) {
    load(basics(3));
    form->NormalList->setCurrentRow(0);
    form->NormalMoveUpCmd->click();
    form->NormalList->setCurrentRow(2);
    form->NormalMoveDownCmd->click();
    EXPECT_EQ(basicNames(), (std::vector<std::string>{"B0", "B1", "B2"}));
    EXPECT_EQ(form->NormalList->currentRow(), 2);

    load(basics(1));
    form->NormalMoveUpCmd->click();
    form->NormalMoveDownCmd->click();
    EXPECT_EQ(basicNames(), std::vector<std::string>{"B0"});
    EXPECT_EQ(form->NormalList->currentRow(), 0);
    EXPECT_TRUE(shownMessages().isEmpty());
}

TEST_F(ListCommandsTest, AdvanceMove_entryKeepsItsDetailsAndDetailListFollows) {
    Schedule s;
    AddAdvance(s, MakeAdvance(7, 1, 1, 0, 2, 10));
    AddAdvance(s, MakeAdvance(7, 1, 2, 1, 3, 20));
    AddAdvance(s, MakeAdvance(7, 1, 3, 2, 0));
    load(s);
    form->AdvanceList->setCurrentRow(1);
    const QStringList details = Rows(form->DetailList);
    ASSERT_EQ(details.size(), 3);
    const QString row1 = form->AdvanceList->item(1)->text();

    form->AdvanceMoveUpCmd->click();
    EXPECT_EQ(form->AdvanceList->currentRow(), 0);
    EXPECT_EQ(form->AdvanceList->item(0)->text(), row1);
    EXPECT_EQ(schedule().advanceEntries[0], s.advanceEntries[1]);
    EXPECT_EQ(schedule().advanceEntries[1], s.advanceEntries[0]);
    EXPECT_EQ(Rows(form->DetailList), details);
    EXPECT_TRUE(form->DetailMoveUpCmd->isEnabled());

    form->AdvanceMoveDownCmd->click();
    form->AdvanceMoveDownCmd->click();
    EXPECT_EQ(form->AdvanceList->currentRow(), 2);
    EXPECT_EQ(schedule().advanceEntries[2], s.advanceEntries[1]);
    EXPECT_EQ(schedule().advanceEntries[1], s.advanceEntries[2]);
    EXPECT_EQ(Rows(form->DetailList), details);

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
    form->AdvanceList->setCurrentRow(1);
    const QStringList rows = Rows(form->DetailList);
    form->DetailList->setCurrentRow(2);
    form->DetailMoveUpCmd->click();
    EXPECT_EQ(Rows(form->DetailList), QStringList({rows[0], rows[2], rows[1]}));
    EXPECT_EQ(form->DetailList->currentRow(), 1);
    EXPECT_EQ(schedule().advanceEntries[1].files[1], s.advanceEntries[1].files[2]);
    EXPECT_EQ(schedule().advanceEntries[0], s.advanceEntries[0]);
}

// --- Remove -------------------------------------------------------------------------------------

TEST_F(ListCommandsTest, NormalRemove_middleAndLastRow) {
    load(basics(3));
    const QStringList rows = Rows(form->NormalList);
    form->NormalList->setCurrentRow(1);
    form->NormalRemoveCmd->click();
    EXPECT_EQ(basicNames(), (std::vector<std::string>{"B0", "B2"}));
    EXPECT_EQ(Rows(form->NormalList), QStringList({rows[0], rows[2]}));
    EXPECT_EQ(form->NormalList->currentRow(), 1);
    EXPECT_TRUE(form->NormalList->item(1)->isSelected());
    EXPECT_EQ(schedule().basicCount, 2);

    load(basics(3));
    form->NormalList->setCurrentRow(2);
    form->NormalRemoveCmd->click();
    EXPECT_EQ(Rows(form->NormalList), QStringList({rows[0], rows[1]}));
    EXPECT_EQ(form->NormalList->currentRow(), 1);
    EXPECT_TRUE(form->NormalMoveUpCmd->isEnabled());
}

TEST_F(ListCommandsTest, NormalRemove_onlyRow_emptyListAndButtonsDisabled) {
    load(basics(1));
    form->NormalRemoveCmd->click();
    EXPECT_EQ(form->NormalList->count(), 0);
    EXPECT_EQ(form->NormalList->currentRow(), -1);
    EXPECT_EQ(schedule().basicCount, 0);
    EXPECT_EQ(Enabled({form->NormalAddCmd, form->NormalModifyCmd, form->NormalRemoveCmd,
                       form->NormalMoveUpCmd, form->NormalMoveDownCmd}),
              (std::vector<bool>{true, false, false, false, false}));
    // Nothing left to remove: nothing happens.
    form->NormalRemoveCmd->click();
    EXPECT_EQ(schedule().basicCount, 0);
}

TEST_F(ListCommandsTest, AdvanceRemove_detailsOfTheEntryNowSelectedAndOthersUntouched) {
    Schedule s;
    AddAdvance(s, MakeAdvance(7, 1, 1, 0, 2, 10));
    AddAdvance(s, MakeAdvance(7, 1, 2, 1, 3, 20));
    AddAdvance(s, MakeAdvance(7, 1, 3, 2, 1, 30));
    load(s);
    form->AdvanceList->setCurrentRow(1);
    form->AdvanceRemoveCmd->click();

    EXPECT_EQ(schedule().advanceCount, 2);
    EXPECT_EQ(schedule().advanceEntries[0], s.advanceEntries[0]);
    EXPECT_EQ(schedule().advanceEntries[1], s.advanceEntries[2]);
    // Same row index, another entry: the details still follow.
    EXPECT_EQ(form->AdvanceList->currentRow(), 1);
    EXPECT_EQ(Rows(form->DetailList), QStringList({QString::fromStdString("D30.MP3" + Spaces(14) + Spaces(5) +
                                                                          "1  " + Spaces(5) + "Default")}));
    EXPECT_EQ(Enabled({form->DetailAddCmd, form->DetailModifyCmd, form->DetailRemoveCmd,
                       form->DetailMoveUpCmd, form->DetailMoveDownCmd}),
              (std::vector<bool>{true, true, true, false, false}));
    EXPECT_TRUE(form->AdvanceMoveUpCmd->isEnabled());
}

TEST_F(ListCommandsTest, AdvanceRemove_onlyEntry_bothListsEmptyAndEveryDetailButtonDisabled) {
    Schedule s;
    AddAdvance(s, MakeAdvance(7, 1, 1, 0, 3));
    load(s);
    ASSERT_EQ(form->DetailList->count(), 3);
    form->AdvanceRemoveCmd->click();
    EXPECT_EQ(form->AdvanceList->count(), 0);
    EXPECT_EQ(form->DetailList->count(), 0);
    EXPECT_EQ(schedule().advanceCount, 0);
    EXPECT_EQ(Enabled({form->DetailAddCmd, form->DetailModifyCmd, form->DetailRemoveCmd,
                       form->DetailMoveUpCmd, form->DetailMoveDownCmd}),
              std::vector<bool>(5, false));
    EXPECT_EQ(Enabled({form->AdvanceAddCmd, form->AdvanceModifyCmd, form->AdvanceRemoveCmd}),
              (std::vector<bool>{true, false, false}));
}

TEST_F(ListCommandsTest, DetailRemove_lastDetailOfTheSelectedEntry) {
    Schedule s;
    AddAdvance(s, MakeAdvance(7, 1, 1, 0, 2, 10));
    AddAdvance(s, MakeAdvance(7, 1, 2, 1, 1, 20));
    load(s);
    form->AdvanceList->setCurrentRow(1);
    form->DetailRemoveCmd->click();
    EXPECT_EQ(form->DetailList->count(), 0);
    EXPECT_EQ(schedule().advanceEntries[1].fileCount, 0);
    EXPECT_EQ(schedule().advanceEntries[0], s.advanceEntries[0]);
    EXPECT_EQ(Enabled({form->DetailAddCmd, form->DetailModifyCmd, form->DetailRemoveCmd}),
              (std::vector<bool>{true, false, false}));
}

} // namespace
} // namespace velmo::test
