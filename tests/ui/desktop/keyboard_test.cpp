#include "ui/main/main_form_fixture.h"

#include <QAction>
#include <QKeySequence>
#include <QTest>

namespace velmo::test {
namespace {

class KeyboardTest : public MainFormTest {
protected:
    // Two rows in every list, so that every command button is enabled.
    void startWithFullLists() {
        start();
        Schedule s;
        AddBasic(s, MakeFile("A", "MP3", 1, 13));
        AddBasic(s, MakeFile("B", "MP3", 2, 5));
        AddAdvance(s, MakeAdvance(7, 6, 1, 7, 2, 0));
        AddAdvance(s, MakeAdvance(7, 7, 1, 1, 2, 10));
        load(s);
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    // Double-clicks row `row` of `list` as a mouse would, and reports the editor that opened.
    QString doubleClickRow(ScheduleListView* list, int row) {
        const QPoint at = RowRect(list, row).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        const QString opened =
            OpenedDialog([&] { QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at); }, EditorShows);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
        return opened;
    }
};

TEST_F(KeyboardTest, FileMenuHasTheStandardShortcuts) {
    start();
    EXPECT_EQ(Action(*form, "subNew")->shortcut(), QKeySequence(QKeySequence::New));
    EXPECT_EQ(Action(*form, "subOpen")->shortcut(), QKeySequence(QKeySequence::Open));
    EXPECT_EQ(Action(*form, "subSave")->shortcut(), QKeySequence(QKeySequence::Save));
    EXPECT_EQ(Action(*form, "subSaveAs")->shortcut(), QKeySequence(QKeySequence::SaveAs));
    EXPECT_EQ(Action(*form, "subExit")->shortcut(), QKeySequence(QKeySequence::Quit));
    EXPECT_FALSE(Action(*form, "subNew")->shortcut().isEmpty());
}

TEST_F(KeyboardTest, NewShortcutStartsANewScheduleFromTheKeyboard) {
    startWithFullLists();
    // The loaded lists count as unsaved changes; they are discarded.
    tc.prompts.choices = {"Discard"};
    QTest::keySequence(form.get(), QKeySequence(QKeySequence::New));
    EXPECT_TRUE(tc.prompts.choices.empty());
    EXPECT_EQ(schedule().basicCount, 0);
    EXPECT_EQ(List(*form, "NormalList")->count(), 0);
    EXPECT_EQ(List(*form, "AdvanceList")->count(), 0);
}

TEST_F(KeyboardTest, DoubleClickOnARowModifiesThatRowsEntry) {
    startWithFullLists();

    EXPECT_EQ(doubleClickRow(List(*form, "NormalList"), 1), QStringLiteral("Schedule File Editor: B.MP3"));
    EXPECT_EQ(doubleClickRow(List(*form, "AdvanceList"), 1),
              QStringLiteral("Advance Schecule Editor: 2007 7 1 Monday"));
    // The click that selected the second advance entry shows its details, and those are edited.
    EXPECT_EQ(RowText(List(*form, "DetailList"), 0).left(3), QStringLiteral("D10"));
    EXPECT_EQ(doubleClickRow(List(*form, "DetailList"), 1), QStringLiteral("Schedule File Editor: D11.MP3"));
}

TEST_F(KeyboardTest, DoubleClickBesideTheRowsOpensNothing) {
    startWithFullLists();
    ScheduleListView* list = List(*form, "NormalList");
    const QPoint below = RowRect(list, 1).bottomLeft() + QPoint(4, 30);
    ASSERT_FALSE(list->indexAt(below).isValid());
    EXPECT_EQ(OpenedDialog([&] { QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, below); }),
              QString());
}

TEST_F(KeyboardTest, TabWalksTheFileCommandsThenEachListWithItsCommands) {
    startWithFullLists();
    Button(*form, "NewCmd")->setFocus();
    const QStringList expected = {"OpenCmd",
                                  "SaveCmd",
                                  "SaveAsCmd",
                                  "ExitCmd",
                                  "NormalList",
                                  "NormalAddCmd",
                                  "NormalModifyCmd",
                                  "NormalMoveUpCmd",
                                  "NormalMoveDownCmd",
                                  "NormalRemoveCmd",
                                  "AdvanceList",
                                  "AdvanceAddCmd",
                                  "AdvanceModifyCmd",
                                  "AdvanceMoveUpCmd",
                                  "AdvanceMoveDownCmd",
                                  "AdvanceRemoveCmd",
                                  "EditDaysTogetherCheck",
                                  "DetailList",
                                  "DetailAddCmd",
                                  "DetailModifyCmd",
                                  "DetailMoveUpCmd",
                                  "DetailMoveDownCmd",
                                  "DetailRemoveCmd",
                                  "NewCmd"};
    QStringList visited;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(visited, expected);
}

} // namespace
} // namespace velmo::test
