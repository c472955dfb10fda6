#include "main_form_fixture.h"

#include "rules/schedule_rules.h"

#include <QComboBox>
#include <QLineEdit>

namespace velmo::test {
namespace {

class EditingCycleTest : public MainFormTest {
protected:
    void SetUp() override { start(); }

    void addFile(QPushButton* addButton, const QString& name, int playTimes, int volumeIndex) {
        WithDialog(
            [&] { addButton->click(); },
            [&](QWidget* dialog) {
                dialog->findChild<QLineEdit*>(QStringLiteral("FileNameText"))->setText(name);
                dialog->findChild<QComboBox*>(QStringLiteral("PlayTimesCombo"))->setCurrentIndex(playTimes);
                dialog->findChild<QComboBox*>(QStringLiteral("VolumeCombo"))->setCurrentIndex(volumeIndex);
                dialog->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click();
            });
    }
    void addAdvance() {
        // The editor's add defaults: today (2007/5/31 on the test clock), the whole day, every day.
        WithDialog(
            [&] { Button(*form, "AdvanceAddCmd")->click(); },
            [](QWidget* dialog) { dialog->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click(); });
    }
    // Every row of the three lists.
    QStringList allRows() {
        QStringList rows = Rows(List(*form, "NormalList"));
        rows << Rows(List(*form, "AdvanceList"));
        for (int i = 0; i < List(*form, "AdvanceList")->count(); ++i) {
            List(*form, "AdvanceList")->setCurrentRow(i);
            rows << Rows(List(*form, "DetailList"));
        }
        return rows;
    }
};

TEST_F(EditingCycleTest, AddMoveRemoveSaveReopen_theSameRowsComeBack) {
    addFile(Button(*form, "NormalAddCmd"), QStringLiteral("song.mp3"), 3, 13);
    addFile(Button(*form, "NormalAddCmd"), QStringLiteral("Clip.Avi"), 1, 5);
    addFile(Button(*form, "NormalAddCmd"), QStringLiteral("intro.mpg"), 2, 12);
    ASSERT_EQ(schedule().basicCount, 3);
    EXPECT_EQ(List(*form, "NormalList")->currentRow(), 2);
    EXPECT_TRUE(Button(*form, "NormalMoveUpCmd")->isEnabled());

    addAdvance();
    ASSERT_EQ(schedule().advanceCount, 1);
    EXPECT_EQ(Rows(List(*form, "AdvanceList")), QStringList({"2007/05/31   2007/05/31   All Day"}));
    EXPECT_EQ(List(*form, "DetailList")->count(), 0);
    EXPECT_TRUE(Button(*form, "DetailAddCmd")->isEnabled());
    EXPECT_FALSE(Button(*form, "DetailModifyCmd")->isEnabled());

    addFile(Button(*form, "DetailAddCmd"), QStringLiteral("a.jpg"), 1, 0);
    addFile(Button(*form, "DetailAddCmd"), QStringLiteral("b.dat"), 4, 13);
    ASSERT_EQ(schedule().advanceEntries[0].fileCount, 2);
    EXPECT_EQ(List(*form, "DetailList")->count(), 2);
    EXPECT_TRUE(Button(*form, "DetailMoveUpCmd")->isEnabled());

    addAdvance();
    addFile(Button(*form, "DetailAddCmd"), QStringLiteral("c.vob"), 7, 7);

    // Rearrange: the intro to the top, the first advance entry last, one detail away.
    List(*form, "NormalList")->setCurrentRow(2);
    Button(*form, "NormalMoveUpCmd")->click();
    Button(*form, "NormalMoveUpCmd")->click();
    List(*form, "NormalList")->setCurrentRow(1);
    Button(*form, "NormalRemoveCmd")->click();
    List(*form, "AdvanceList")->setCurrentRow(0);
    Button(*form, "AdvanceMoveDownCmd")->click();
    ASSERT_EQ(List(*form, "AdvanceList")->currentRow(), 1);
    ASSERT_EQ(List(*form, "DetailList")->count(), 2);
    List(*form, "DetailList")->setCurrentRow(0);
    Button(*form, "DetailRemoveCmd")->click();

    const QStringList before = allRows();
    ASSERT_EQ(before.size(), 2 + 2 + 1 + 1);
    EXPECT_TRUE(before[0].startsWith(QStringLiteral("INTRO.MPG ")));
    EXPECT_TRUE(before[1].startsWith(QStringLiteral("CLIP.AVI ")));
    EXPECT_TRUE(before[4].startsWith(QStringLiteral("C.VOB ")));
    EXPECT_TRUE(before[5].startsWith(QStringLiteral("B.DAT ")));
    const Schedule built = schedule();

    const std::string out = makeDir("out");
    tc.prompts.files = {QString::fromStdString(out + "cycle")};
    Button(*form, "SaveCmd")->click();
    ASSERT_EQ(state().scheduleFileName, "cycle.vlm");
    EXPECT_TRUE(shownMessages().isEmpty());

    Button(*form, "NewCmd")->click();
    ASSERT_EQ(List(*form, "NormalList")->count(), 0);
    tc.prompts.files = {QString::fromStdString(out + "cycle.vlm")};
    Button(*form, "OpenCmd")->click();
    EXPECT_EQ(schedule(), built);
    EXPECT_EQ(allRows(), before);
}

TEST_F(EditingCycleTest, AdvanceModify_refillsTheDetailListAndSelectsItsFirstRow) {
    Schedule s;
    AddAdvance(s, MakeAdvance(7, 1, 3, 2, 3));
    load(s);
    ScheduleListView* details = List(*form, "DetailList");
    // Row 0 stored from a name typed without a dot, and a later row selected.
    details->setCurrentRow(0);
    WithDialog(
        [&] { Button(*form, "DetailModifyCmd")->click(); },
        [](QWidget* dialog) {
            dialog->findChild<QLineEdit*>(QStringLiteral("FileNameText"))->setText(QStringLiteral("d0"));
            dialog->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click();
        });
    ASSERT_EQ(Rows(details).at(0), QStringLiteral("D0.") + QString(23, QLatin1Char(' ')) +
                                       QStringLiteral("1  ") + QString(5, QLatin1Char(' ')) +
                                       QStringLiteral("Default"));
    details->setCurrentRow(2);

    WithDialog([&] { Button(*form, "AdvanceModifyCmd")->click(); },
               [](QWidget* dialog) { dialog->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click(); });

    EXPECT_EQ(Rows(details).at(0),
              QString::fromStdString(FormatFileRow(schedule().advanceEntries[0].files[0])));
    EXPECT_EQ(details->count(), 3);
    EXPECT_EQ(details->currentRow(), 0);
}

} // namespace
} // namespace velmo::test
