#include "main_form_fixture.h"

#include "media/media_files.h"
#include "rules/schedule_rules.h"
#include "ui/document/entry_list_model.h"
#include "ui/document/schedule_document.h"

#include <QStatusBar>
#include <QTest>

namespace velmo::test {
namespace {

int verdict(const ScheduleListView* list, int row) {
    return list->model()->index(row, 0).data(EntryListModel::VerdictRole).toInt();
}

bool allExamined(const ScheduleListView* list) {
    for (int row = 0; row < list->count(); ++row)
        if (verdict(list, row) == static_cast<int>(RowMedia::Verdict::None))
            return false;
    return true;
}

// Media beside the schedule count as found; each row gets its mark and facts, its text unchanged,
// and the list's length stands beside its title.
TEST_F(MainFormTest, MediaRows_markEachFileAndTellTheListsLength) {
    if (!MediaCanBeMade())
        GTEST_SKIP() << "ffmpeg is not installed";
    const std::string shows = makeDir("shows");
    ASSERT_TRUE(MakeMedium(shows + "CLIP.MPG", "DVD.MPG"));
    ASSERT_TRUE(MakeMedium(shows + "LOGO.PNG", "PNG.JPG"));
    start();
    Schedule s;
    AddBasic(s, MakeFile("CLIP", "MPG", 2, 13));
    AddBasic(s, MakeFile("LOGO", "PNG", 1, 13));
    AddBasic(s, MakeFile("GONE", "MP3", 1, 13));
    form->document().replace(TextId::TextOpen, DocumentState{s, shows, "show.vlm"}, Replacement::Opened);
    const ScheduleListView* list = List(*form, "NormalList");
    ASSERT_TRUE(QTest::qWaitFor([list] { return allExamined(list); }, 60000));

    const struct {
        RowMedia::Verdict verdict;
        const char* factsStart;
    } rows[] = {
        {RowMedia::Verdict::Plays, "Video\n"},
        {RowMedia::Verdict::WillNotPlay, "Picture\n"},
        {RowMedia::Verdict::Missing, "Not in any media folder"},
    };
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(RowText(list, row),
                  QString::fromStdString(FormatFileRow(s.basicEntries[static_cast<std::size_t>(row)])));
        EXPECT_EQ(verdict(list, row), static_cast<int>(rows[row].verdict));
        const QModelIndex index = list->model()->index(row, 0);
        EXPECT_TRUE(
            index.data(Qt::ToolTipRole).toString().startsWith(QString::fromLatin1(rows[row].factsStart)));
        EXPECT_EQ(index.data(Qt::AccessibleDescriptionRole), index.data(Qt::ToolTipRole));
    }
    EXPECT_TRUE(list->model()
                    ->index(1, 0)
                    .data(Qt::ToolTipRole)
                    .toString()
                    .contains(QStringLiteral("Will not play: ")));
    // CLIP.MPG runs 2 s and plays twice; the picture that will not play and the missing file add no
    // length, but are rows of the list all the same.
    EXPECT_EQ(Frame(*form, "NormalFrame")->title(),
              QStringLiteral("Basic Schedule · 3 files: 1 timed (4 s), 2 will not play"));
    EXPECT_EQ(Frame(*form, "DetailFrame")->title(), QStringLiteral("Detail of Advance Schedule"));

    // The rows paint with their marks without disturbing anything.
    EXPECT_FALSE(List(*form, "NormalList")->grab().isNull());

    // The file that will not play and the missing one are the warnings a save counts; a schedule
    // whose media sit beside it has no false "in no media folder".
    tc.prompts.files.push_back(QString::fromStdString(shows + "show.vlm")); // Save asks where, the first time
    Button(*form, "SaveCmd")->click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !form->statusBar()->currentMessage().isEmpty(); }, 60000));
    EXPECT_EQ(form->statusBar()->currentMessage(),
              QStringLiteral("Saved; the schedule overview shows 2 warnings"));
    EXPECT_TRUE(shownMessages().isEmpty()) << shownMessages().join('|').toStdString();
}

} // namespace
} // namespace velmo::test
