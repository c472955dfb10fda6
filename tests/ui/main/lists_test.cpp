#include "main_form_fixture.h"

#include <QTest>

namespace velmo::test {
namespace {

std::vector<bool> detailButtons(const MainForm& form) {
    return Enabled({Button(form, "DetailAddCmd"), Button(form, "DetailModifyCmd"),
                    Button(form, "DetailRemoveCmd"), Button(form, "DetailMoveUpCmd"),
                    Button(form, "DetailMoveDownCmd")});
}

const std::vector<bool> kAddOnly = {true, false, false, false, false};
const std::vector<bool> kAll = {true, true, true, true, true};
const std::vector<bool> kNoMoves = {true, true, true, false, false};
const std::vector<bool> kNone(5, false);

class ListsTest : public MainFormTest {
protected:
    void SetUp() override {
        start();
        Schedule s;
        AddAdvance(s, MakeAdvance(7, 5, 31, 7, 0));
        AddAdvance(s, MakeAdvance(7, 6, 1, 1, 3, 10));
        AddAdvance(s, MakeAdvance(7, 6, 2, 2, 1, 20));
        load(s);
    }
    QString detailRow(int n) {
        return QString::fromStdString("D" + std::to_string(n) + ".MP3" + Spaces(21 - 7) + Spaces(5) + "1  " +
                                      Spaces(5) + "Default");
    }
};

TEST_F(ListsTest, ShowAdvanceList_rowZeroSelectedAndItsDetailsShown) {
    EXPECT_EQ(Rows(List(*form, "AdvanceList")),
              QStringList({"2007/05/31   2007/05/31   All Day", "2007/06/01   2007/06/01   Monday",
                           "2007/06/02   2007/06/02   Tuesday"}));
    EXPECT_EQ(List(*form, "AdvanceList")->currentRow(), 0);
    EXPECT_EQ(List(*form, "DetailList")->count(), 0); // entry 0 has no details
    EXPECT_EQ(List(*form, "DetailList")->currentRow(), -1);
    EXPECT_EQ(detailButtons(*form), kAddOnly);
}

TEST_F(ListsTest, AdvanceList_Click_programmaticSelectionRefillsDetailsAndButtons) {
    List(*form, "AdvanceList")->setCurrentRow(1);
    EXPECT_EQ(Rows(List(*form, "DetailList")), QStringList({detailRow(10), detailRow(11), detailRow(12)}));
    EXPECT_EQ(List(*form, "DetailList")->currentRow(), 0);
    EXPECT_EQ(detailButtons(*form), kAll);

    List(*form, "AdvanceList")->setCurrentRow(2);
    EXPECT_EQ(Rows(List(*form, "DetailList")), QStringList({detailRow(20)}));
    EXPECT_EQ(detailButtons(*form), kNoMoves);

    List(*form, "AdvanceList")->setCurrentRow(0);
    EXPECT_TRUE(Rows(List(*form, "DetailList")).isEmpty());
    EXPECT_EQ(detailButtons(*form), kAddOnly);
}

TEST_F(ListsTest, AdvanceList_Click_userClickRefillsDetailsAndButtons) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QWidget* viewport = List(*form, "AdvanceList")->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, RowRect(List(*form, "AdvanceList"), 1).center());
    EXPECT_EQ(List(*form, "AdvanceList")->currentRow(), 1);
    EXPECT_EQ(List(*form, "DetailList")->count(), 3);
    EXPECT_EQ(detailButtons(*form), kAll);

    QTest::mouseClick(viewport, Qt::LeftButton, {}, RowRect(List(*form, "AdvanceList"), 0).center());
    EXPECT_EQ(List(*form, "DetailList")->count(), 0);
    EXPECT_EQ(detailButtons(*form), kAddOnly);
}

TEST_F(ListsTest, Selection_aRowStaysSelectedWhenTheUserTriesToDeselectIt) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const QPoint row0 = RowRect(List(*form, "AdvanceList"), 0).center();
    QTest::mouseClick(List(*form, "AdvanceList")->viewport(), Qt::LeftButton, Qt::ControlModifier, row0);
    QCoreApplication::processEvents();
    EXPECT_EQ(List(*form, "AdvanceList")->currentRow(), 0);
    EXPECT_TRUE(RowSelected(List(*form, "AdvanceList"), 0));
}

TEST_F(ListsTest, ShowDetailList_withoutSelectedAdvanceRowShowsNothing) {
    List(*form, "AdvanceList")->setCurrentRow(1);
    ASSERT_EQ(List(*form, "DetailList")->count(), 3);
    List(*form, "AdvanceList")->setCurrentRow(-1);
    EXPECT_EQ(List(*form, "DetailList")->count(), 0);
    form->ShowDetailList();
    EXPECT_EQ(List(*form, "DetailList")->count(), 0);
}

TEST_F(ListsTest, ShowBasicList_emptyHasNoSelectedRow) {
    EXPECT_EQ(List(*form, "NormalList")->count(), 0);
    EXPECT_EQ(List(*form, "NormalList")->currentRow(), -1);
    Schedule s = schedule();
    AddBasic(s, MakeFile("A", "", 0, 0));
    load(s);
    EXPECT_EQ(Rows(List(*form, "NormalList")),
              QStringList({QString::fromStdString("A." + Spaces(19) + Spaces(5) + "0  " + Spaces(8) + "0")}));
    EXPECT_EQ(List(*form, "NormalList")->currentRow(), 0);
}

TEST_F(MainFormTest, ButtonStatusSetup_followsTheRowCountsOnly) {
    start();
    Schedule s;
    for (int i = 0; i < 250; ++i)
        AddBasic(s, MakeFile("B" + std::to_string(i), "MP3", 1, 1));
    AddAdvance(s, MakeAdvance(7, 1, 1, 7, 0));
    load(s);
    // The limit does not disable Add.
    EXPECT_EQ(Enabled({Button(*form, "NormalAddCmd"), Button(*form, "NormalModifyCmd"),
                       Button(*form, "NormalRemoveCmd"), Button(*form, "NormalMoveUpCmd"),
                       Button(*form, "NormalMoveDownCmd")}),
              kAll);
    EXPECT_EQ(Enabled({Button(*form, "AdvanceAddCmd"), Button(*form, "AdvanceModifyCmd"),
                       Button(*form, "AdvanceRemoveCmd"), Button(*form, "AdvanceMoveUpCmd"),
                       Button(*form, "AdvanceMoveDownCmd")}),
              kNoMoves);
    EXPECT_EQ(detailButtons(*form), kAddOnly);
    // The selection does not matter: the first row keeps Move Up enabled.
    List(*form, "NormalList")->setCurrentRow(0);
    form->ButtonStatusSetup();
    EXPECT_TRUE(Button(*form, "NormalMoveUpCmd")->isEnabled());
    EXPECT_TRUE(List(*form, "NormalList")->isEnabled());
    EXPECT_TRUE(List(*form, "AdvanceList")->isEnabled());
}

} // namespace
} // namespace velmo::test
